#include "player/pictures/thumbnail_loader.h"

#include <mutex>
#include <utility>
#include "player/pictures/display_optimisation.h"

namespace crv {

namespace {

using HoldLock = std::lock_guard<AlbumLock>;

uint64_t Magnitude(int32_t value) { return static_cast<uint64_t>(value < 0 ? -int64_t{value} : value); }

// The memory the loaded picture takes, as the album estimates an item's picture.
uint64_t PictureBytes(const ImageHolder& holder) {
  const RBitmapInfoHeader* info = holder.Record().info;
  if (!info) return 0;
  return DibRowBytes(info->bitCount, Magnitude(info->width)) * Magnitude(info->height) + 1096;
}

u16 InfoTextOf(const tagRDIBIMG& record) {
  size_t length = 0;
  while (length < kRecordInfoChars && record.infoText[length]) ++length;
  return u16(record.infoText, length);
}

}  // namespace

ThumbnailLoader::ThumbnailLoader(PictureAlbum& album, ReaderRegistry& registry) : album_(album), registry_(registry) {}

bool ThumbnailLoader::NeedsThumbnail(const AlbumItem& item) {
  return item.Thumbnail().Empty() && item.LoadState() != kItemFailed;
}

void ThumbnailLoader::StartFrom(int32_t index) {
  HoldLock hold(album_.Lock());
  next_ = index < 0 ? 0 : index;
}

ThumbnailResult ThumbnailLoader::LoadNext(const StopTest& stop) {
  Job job;
  if (!TakeJob(0, true, job)) return {ThumbnailOutcome::kNoneLeft, -1};
  return Run(job, stop);
}

ThumbnailResult ThumbnailLoader::LoadItem(int32_t index, const StopTest& stop) {
  Job job;
  if (!TakeJob(index, false, job)) return {ThumbnailOutcome::kNoneLeft, -1};
  return Run(job, stop);
}

bool ThumbnailLoader::TakeJob(int32_t index, bool searchOn, Job& job) {
  HoldLock hold(album_.Lock());
  const int32_t count = album_.Count();
  int32_t start = searchOn ? next_ : index;
  if (start < 0 || start >= count) {
    if (!searchOn || count == 0) return false;
    start = 0;
  }
  const int32_t candidates = searchOn ? count : 1;
  for (int32_t step = 0; step < candidates; ++step) {
    const int32_t at = (start + step) % count;
    const AlbumItem& item = *album_.Item(at);
    if (!NeedsThumbnail(item)) continue;
    job.item = &item;
    job.path = album_.ItemPath(at, false);
    job.width = item.Fixed().width;
    job.height = item.Fixed().height;
    if (searchOn) next_ = at + 1;
    return true;
  }
  return false;
}

ThumbnailResult ThumbnailLoader::Run(const Job& job, const StopTest& stop) {
  ImageHolder holder(registry_);
  const int32_t result = LoadPicture(job, holder, stop);
  if (result == kResultAborted) return {ThumbnailOutcome::kAborted, -1};
  if (result != kResultOk) return WriteFailure(job, result);
  if (settings_.displayOptimisation) ReduceForDisplay(holder.Record());
  return WriteBack(job, holder, FitThumbnail(job, holder));
}

int32_t ThumbnailLoader::LoadPicture(const Job& job, ImageHolder& holder, const StopTest& stop) {
  const uint32_t flags = settings_.loadReduced ? uint32_t{kLoadReduceLarge} : 0u;
  const u16 path = pathMapper_ ? pathMapper_(job.path) : job.path;
  // What a picture of the item's last known size would take, with some room to spare.
  const uint64_t wanted = job.width && job.height ? uint64_t{job.width} * job.height * 3 + 2048 : kUnknownPictureBytes;
  for (int attempt = 0;; ++attempt) {
    if (stop && stop()) return kResultAborted;
    holder.Load(path.c_str(), flags);
    const int32_t result = holder.Result();
    if (result != kResultNoMemory || attempt == kThumbnailMemoryRetries) return result;
    album_.ReleaseCachedPictures(wanted, job.item, false, settings_.notCacheImage);
  }
}

AlbumThumbnail ThumbnailLoader::FitThumbnail(const Job& job, const ImageHolder& holder) {
  RBitmapInfoHeader* info = nullptr;
  uint8_t* pixels = nullptr;
  RBitmapHandle bitmap = holder.FitCopy(&settings_.box, &info, &pixels);
  if (!bitmap) {
    album_.ReleaseCachedPictures(2 * PictureBytes(holder), job.item, false, settings_.notCacheImage);
    bitmap = holder.FitCopy(&settings_.box, &info, &pixels);
  }
  AlbumThumbnail thumbnail;
  thumbnail.Adopt(bitmap, info, pixels);
  return thumbnail;
}

ThumbnailResult ThumbnailLoader::WriteBack(const Job& job, const ImageHolder& holder, AlbumThumbnail thumbnail) {
  HoldLock hold(album_.Lock());
  const int32_t index = FindItem(job.item);
  if (index < 0) return {ThumbnailOutcome::kItemGone, -1};  // the thumbnail goes with `thumbnail`
  AlbumItem& item = *album_.Item(index);
  const tagRDIBIMG& record = holder.Record();
  item.SetInfoText(InfoTextOf(record));
  AlbumItemFixed& fixed = item.Fixed();
  if (const RBitmapInfoHeader* info = record.info) {
    fixed.width = static_cast<uint32_t>(Magnitude(info->width));
    fixed.height = static_cast<uint32_t>(Magnitude(info->height));
    fixed.bitsPerPixel = static_cast<uint8_t>(info->bitCount);
  }
  InitialiseViewState(fixed, settings_.opening);
  if (thumbnail.Empty()) {
    // Not even after releasing memory: the cell shows why.
    item.SetLoadState(kItemFailed);
    item.SetLastResult(kResultNoMemory);
    return {ThumbnailOutcome::kFailed, index};
  }
  item.Thumbnail() = std::move(thumbnail);
  if (item.LoadState() == kItemFailed) item.SetLoadState(kItemNotLoaded);
  return {ThumbnailOutcome::kMade, index};
}

ThumbnailResult ThumbnailLoader::WriteFailure(const Job& job, int32_t result) {
  HoldLock hold(album_.Lock());
  const int32_t index = FindItem(job.item);
  if (index < 0) return {ThumbnailOutcome::kItemGone, -1};
  AlbumItem& item = *album_.Item(index);
  item.SetLoadState(kItemFailed);
  item.SetLastResult(result);
  return {ThumbnailOutcome::kFailed, index};
}

int32_t ThumbnailLoader::FindItem(const AlbumItem* item) const {
  for (int32_t i = album_.Count(); i-- > 0;)
    if (album_.Item(i) == item) return i;
  return -1;
}

}  // namespace crv

namespace crv {

std::vector<uint8_t> TurnedThumbnailPixels(const uint8_t* pixels, int32_t& width, int32_t& height, int32_t rotation) {
  const int32_t turn = ((NormaliseRotation(rotation) % 360) + 360) % 360;
  if (!pixels || width < 1 || height < 1 || turn == 0) return {};
  const int32_t w = width, h = height;
  const int32_t outW = turn == 180 ? w : h, outH = turn == 180 ? h : w;
  const size_t inRow = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
  const size_t outRow = (static_cast<size_t>(outW) * 3 + 3) & ~size_t{3};
  std::vector<uint8_t> out(outRow * static_cast<size_t>(outH), 0);
  // Positions below are counted from the top row down; rows are stored bottom-up.
  for (int32_t y = 0; y < outH; ++y) {
    uint8_t* to = out.data() + static_cast<size_t>(outH - 1 - y) * outRow;
    for (int32_t x = 0; x < outW; ++x) {
      int32_t sx = x, sy = y;
      if (turn == 90) sx = y, sy = h - 1 - x;             // the bottom-left pixel lands top-left
      else if (turn == 180) sx = w - 1 - x, sy = h - 1 - y;
      else if (turn == 270) sx = w - 1 - y, sy = x;       // the top-right pixel lands top-left
      const uint8_t* from = pixels + static_cast<size_t>(h - 1 - sy) * inRow + static_cast<size_t>(sx) * 3;
      to[x * 3] = from[0], to[x * 3 + 1] = from[1], to[x * 3 + 2] = from[2];
    }
  }
  width = outW;
  height = outH;
  return out;
}

}  // namespace crv
