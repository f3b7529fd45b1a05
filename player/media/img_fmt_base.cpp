#include "player/media/img_fmt_base.h"

#include <algorithm>
#include <cstring>
#include "player/media/alloc_hooks.h"
#include "player/media/decoders/pixel_target.h"
#include "player/media/source_state.h"

namespace crv {

namespace {

// The header's sizeImage is a 32-bit field, and the device could never hold more anyway:
// a size read from a file that asks for more is refused before anything is allocated.
constexpr uint64_t kMaxImageBytes = 0x7FFFFFFF;

bool ValidDepth(uint32_t bits) {
  return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// A picture may be far larger than any bitmap (it is then reduced), but one full-width row
// (the row buffer) and the row map (4 bytes a source row) must be blocks we can ask for.
bool ValidPicture(int32_t width, int32_t height, uint32_t bits) {
  return width >= 1 && height >= 1 && ValidDepth(bits) &&
         DibRowBytes(bits, static_cast<uint64_t>(width)) <= kMaxImageBytes &&
         uint64_t{static_cast<uint32_t>(height)} * sizeof(int32_t) <= kMaxImageBytes;
}

bool FitsOneBitmap(int32_t width, int32_t height, uint32_t bits) {
  return DibRowBytes(bits, static_cast<uint64_t>(width)) * static_cast<uint64_t>(height) <= kMaxImageBytes;
}

}  // namespace

FitBox FitToScreenBox(int32_t width, int32_t height, int k, int32_t screenWidth, int32_t screenHeight) {
  if (width < 1 || height < 1 || screenWidth < 1 || screenHeight < 1) return {std::max(width, 1), std::max(height, 1)};
  const double shortScreen = std::min(screenWidth, screenHeight), longScreen = std::max(screenWidth, screenHeight);
  const double shortSide = std::min(width, height), longSide = std::max(width, height);
  double s = std::min(k * shortScreen / shortSide, k * longScreen / longSide);
  // A box larger than the picture would only stretch it into gaps of the row map.
  if (s > 1.0) s = 1.0;
  FitBox box{static_cast<int32_t>(width * s), static_cast<int32_t>(height * s)};
  box.width = std::max(box.width, 1);
  box.height = std::max(box.height, 1);
  return box;
}

void Rgb565ToDib24(const uint16_t* frame, size_t pitch, uint32_t width, uint32_t height, uint8_t* dib) {
  const size_t rowBytes = static_cast<size_t>(DibRowBytes(24, width));
  for (uint32_t y = 0; y < height; ++y) {
    const uint16_t* in = frame + y * pitch;
    uint8_t* out = dib + (height - 1 - y) * rowBytes;
    for (uint32_t x = 0; x < width; ++x) Expand565(in[x], out + 3 * x);
  }
}

ImgFmtBase::ImgFmtBase() {
  std::memset(&record_, 0, sizeof(record_));
  ResetRecord(record_);
}

ImgFmtBase::~ImgFmtBase() { ImgFmtBase::Free(); }

int32_t ImgFmtBase::Load(RFileHandle, uint32_t) { return kResultNoSource; }

int32_t ImgFmtBase::Save(RFileHandle, const tagRDIBIMG&) { return kResultSaveUnsupported; }

void ImgFmtBase::Free() {
  FreeMaps();
  ReleaseRecord(record_);
}

void ImgFmtBase::FreeMaps() {
  HookFree(rowBuffer_);
  HookFree(columnMap_);
  HookFree(rowMap_);
  rowBuffer_ = nullptr;
  columnMap_ = nullptr;
  rowMap_ = nullptr;
  scaleFixed_ = 0;
  scale_ = 1.0f;
}

void ImgFmtBase::ReleaseBitmap() {
  FreeMaps();
  HookFree(record_.info);
  if (record_.bitmap)
    HookDeleteObject(record_.bitmap);
  else
    HookFree(record_.pixels);
  record_.info = nullptr;
  record_.bitmap = nullptr;
  record_.pixels = nullptr;
}

bool ImgFmtBase::MakeDib(int32_t width, int32_t height, uint32_t bits, const RRgbQuad* palette,
                         uint32_t paletteCount, void* dc) {
  // Never asked of the platform: more than a 32-bit image size can say.
  if (!FitsOneBitmap(width, height, bits)) return false;
  const uint32_t entries = PaletteEntries(bits);
  auto* info = static_cast<RBitmapInfoHeader*>(HookAllocZeroed(BitmapInfoBytes(bits)));
  if (!info) return false;
  info->size = sizeof(RBitmapInfoHeader);
  info->width = width;
  info->height = height;
  info->planes = 1;
  info->bitCount = static_cast<uint16_t>(bits);
  info->compression = 0;
  info->sizeImage = static_cast<uint32_t>(DibImageBytes(*info));
  info->clrUsed = entries;
  if (entries) {
    RRgbQuad* table = ColourTable(info);
    if (palette && paletteCount) {
      std::memcpy(table, palette, std::min(paletteCount, entries) * sizeof(RRgbQuad));
    } else {
      for (uint32_t i = 0; i < entries; ++i) {
        const auto grey = static_cast<uint8_t>(i * 255 / (entries - 1));
        table[i] = {grey, grey, grey, 0};
      }
    }
  }
  void* bits_ = nullptr;
  void* bitmap = HookCreateDib(dc, info, &bits_);
  if (!bitmap) {
    HookFree(info);
    return false;
  }
  record_.info = info;
  record_.bitmap = bitmap;
  record_.pixels = static_cast<uint8_t*>(bits_);
  return true;
}

bool ImgFmtBase::SetUpMaps(int32_t targetWidth, int32_t targetHeight) {
  const int32_t w = sourceWidth_, h = sourceHeight_;
  columnMap_ = static_cast<int32_t*>(HookAlloc(sizeof(int32_t) * static_cast<size_t>(targetWidth)));
  rowMap_ = static_cast<int32_t*>(HookAlloc(sizeof(int32_t) * static_cast<size_t>(h)));
  rowBuffer_ = static_cast<uint8_t*>(HookAllocZeroed(static_cast<size_t>(SourceRowBytes())));
  if (!columnMap_ || !rowMap_ || !rowBuffer_) {
    FreeMaps();
    return false;
  }
  // The step in 64 bits: a picture millions of pixels wide would overflow the 32-bit field.
  const uint64_t step = uint64_t{static_cast<uint32_t>(w)} * 1024 / static_cast<uint32_t>(targetWidth);
  scaleFixed_ = static_cast<uint32_t>(std::min<uint64_t>(step, UINT32_MAX));
  scale_ = static_cast<float>(w) / static_cast<float>(targetWidth);
  for (int32_t i = 0; i < targetWidth; ++i)
    columnMap_[i] = static_cast<int32_t>(std::min<uint64_t>((uint64_t{static_cast<uint32_t>(i)} * step) >> 10,
                                                            static_cast<uint64_t>(w - 1)));
  columnMap_[targetWidth - 1] = w - 1;  // the truncated step falls short of the last column
  // Rows by the ratio of the heights: the widths' ratio would leave the top rows of a tall,
  // thin picture's bitmap unwritten, its box width being truncated so much.
  for (int32_t y = 0; y < h; ++y)
    rowMap_[y] = static_cast<int32_t>(std::min<int64_t>(int64_t{y} * targetHeight / h, targetHeight - 1));
  return true;
}

bool ImgFmtBase::StartBitmap(int32_t width, int32_t height, uint32_t bits) {
  ReleaseBitmap();
  sourceWidth_ = sourceHeight_ = 0;
  if (!ValidPicture(width, height, bits)) return false;
  sourceWidth_ = width;
  sourceHeight_ = height;
  return true;
}

bool ImgFmtBase::MakeBoxDib(FitBox box, uint32_t bits, const RRgbQuad* palette, uint32_t paletteCount, void* dc) {
  if (!MakeDib(box.width, box.height, bits, palette, paletteCount, dc)) return false;
  if (SetUpMaps(box.width, box.height)) return true;
  ReleaseBitmap();
  return false;
}

bool ImgFmtBase::CreateBitmap(int32_t width, int32_t height, uint32_t bits, const RRgbQuad* palette,
                              uint32_t paletteCount, bool fitToScreen, void* dc) {
  if (!StartBitmap(width, height, bits)) return false;
  bool fullTried = false;
  auto tryFull = [&] {
    if (fullTried) return false;
    fullTried = true;
    return MakeDib(width, height, bits, palette, paletteCount, dc);
  };
  // A box is never larger than the picture, so one that is not narrower is the full size.
  auto tryBox = [&](FitBox box) { return box.width >= width ? tryFull() : MakeBoxDib(box, bits, palette, paletteCount, dc); };
  const ScreenSize screen = CurrentScreenSize();
  auto box = [&](int k) { return FitToScreenBox(width, height, k, screen.width, screen.height); };
  // Twice the screen first, then the screen; the first bitmap made wins.
  auto reduceLarge = [&] { return tryBox(box(2)) || tryBox(box(1)); };

  const uint32_t flags = CurrentLoadFlags();
  if (!fitToScreen || bits < 8 || (flags & kLoadNeverReduce)) return tryFull();
  // The box when it is narrower than the picture, else the full size (which is the box).
  if (flags & (kLoadFitScreen | kLoadFitTwiceScreen)) return tryBox(box(flags & kLoadFitTwiceScreen ? 2 : 1));
  if (flags & kLoadReduceLarge) return reduceLarge();
  return tryFull() || reduceLarge();
}

FitBox ImgFmtBase::FirstFitBox(int32_t width, int32_t height, uint32_t bits) const {
  const uint32_t flags = CurrentLoadFlags();
  const FitBox full{width, height};
  if (bits < 8 || (flags & kLoadNeverReduce) || !(flags & (kLoadReduceLarge | kLoadFitScreen | kLoadFitTwiceScreen)))
    return full;
  const int k = (flags & kLoadFitScreen) && !(flags & kLoadFitTwiceScreen) ? 1 : 2;
  const ScreenSize screen = CurrentScreenSize();
  const FitBox box = FitToScreenBox(width, height, k, screen.width, screen.height);
  return box.width >= width ? full : box;
}

bool ImgFmtBase::CreateBitmapInBox(int32_t width, int32_t height, uint32_t bits, FitBox box) {
  if (!StartBitmap(width, height, bits)) return false;
  if (box.width >= width && box.height >= height) return MakeDib(width, height, bits, nullptr, 0, nullptr);
  return MakeBoxDib({std::min(box.width, width), std::min(box.height, height)}, bits, nullptr, 0, nullptr);
}

uint64_t ImgFmtBase::SourceRowBytes() const {
  return record_.info ? DibRowBytes(record_.info->bitCount, static_cast<uint64_t>(sourceWidth_)) : 0;
}

uint8_t* ImgFmtBase::RowBuffer(int32_t y) {
  if (!record_.pixels || y < 0 || y >= sourceHeight_) return nullptr;
  if (IsReduced()) return rowBuffer_;
  return record_.pixels + static_cast<size_t>(y) * static_cast<size_t>(SourceRowBytes());
}

void ImgFmtBase::PutRow(int32_t y) {
  if (IsReduced()) PutRow(y, rowBuffer_);
}

void ImgFmtBase::PutRow(int32_t y, const uint8_t* row) {
  if (!record_.pixels || !row || y < 0 || y >= sourceHeight_) return;
  if (!IsReduced()) {
    uint8_t* target = RowBuffer(y);
    if (target != row) std::memmove(target, row, static_cast<size_t>(SourceRowBytes()));
    return;
  }
  const RBitmapInfoHeader& info = *record_.info;
  const int32_t targetWidth = info.width;
  const size_t bytes = info.bitCount / 8;
  uint8_t* out = record_.pixels + static_cast<size_t>(rowMap_[y]) * static_cast<size_t>(DibRowBytes(info.bitCount, targetWidth));
  const int32_t* columns = columnMap_;
  switch (bytes) {
    case 1:
      for (int32_t i = 0; i < targetWidth; ++i) out[i] = row[columns[i]];
      break;
    case 3:
      for (int32_t i = 0; i < targetWidth; ++i) {
        const uint8_t* p = row + 3 * static_cast<size_t>(columns[i]);
        out[3 * i] = p[0];
        out[3 * i + 1] = p[1];
        out[3 * i + 2] = p[2];
      }
      break;
    default:
      for (int32_t i = 0; i < targetWidth; ++i)
        std::memcpy(out + bytes * static_cast<size_t>(i), row + bytes * static_cast<size_t>(columns[i]), bytes);
      break;
  }
}

bool ImgFmtBase::ReduceAfterLoad() {
  if (!record_.info || !record_.pixels || IsReduced()) return false;
  const uint32_t flags = CurrentLoadFlags();
  if ((flags & kLoadNeverReduce) || !(flags & (kLoadReduceLarge | kLoadFitScreen | kLoadFitTwiceScreen)))
    return false;
  RBitmapInfoHeader* oldInfo = record_.info;
  const uint32_t bits = oldInfo->bitCount;
  if (bits < 8 || oldInfo->height < 1) return false;
  const int k = (flags & kLoadFitScreen) && !(flags & kLoadFitTwiceScreen) ? 1 : 2;
  const ScreenSize screen = CurrentScreenSize();
  const FitBox box = FitToScreenBox(oldInfo->width, oldInfo->height, k, screen.width, screen.height);
  if (box.width >= oldInfo->width) return false;

  void* oldBitmap = record_.bitmap;
  uint8_t* oldPixels = record_.pixels;
  record_.info = nullptr;
  record_.bitmap = nullptr;
  record_.pixels = nullptr;
  sourceWidth_ = oldInfo->width;
  sourceHeight_ = oldInfo->height;
  auto restore = [&] {
    record_.info = oldInfo;
    record_.bitmap = oldBitmap;
    record_.pixels = oldPixels;
  };
  const uint32_t entries = PaletteEntries(bits);
  if (!MakeDib(box.width, box.height, bits, entries ? ColourTable(oldInfo) : nullptr, entries, nullptr)) {
    restore();
    return false;
  }
  // The row buffer is sized from the new header, whose depth is the old one's.
  if (!SetUpMaps(box.width, box.height)) {
    ReleaseBitmap();
    restore();
    return false;
  }
  record_.info->xPelsPerMeter = oldInfo->xPelsPerMeter;
  record_.info->yPelsPerMeter = oldInfo->yPelsPerMeter;
  const size_t oldRowBytes = static_cast<size_t>(DibRowBytes(bits, static_cast<uint64_t>(oldInfo->width)));
  for (int32_t y = 0; y < sourceHeight_; ++y) PutRow(y, oldPixels + static_cast<size_t>(y) * oldRowBytes);
  HookFree(oldInfo);
  if (oldBitmap)
    HookDeleteObject(oldBitmap);
  else
    HookFree(oldPixels);
  return true;
}

int32_t ImgFmtBase::BuildVideoTable(int32_t width, int32_t height, const RVideoOps& ops) {
  if (!CreateBitmap(width, height, 24)) return kResultNoMemory;
  RFrameTable* table = AllocFrameTable(2);
  if (!table) return kResultNoMemory;
  table->Start = ops.start;
  table->GetFrame = ops.getFrame;
  table->Step = ops.step;
  table->Close = ops.close;
  table->framePeriod = 0;
  table->width = static_cast<uint32_t>(width);
  table->height = static_cast<uint32_t>(height);
  table->bitsPerPixel = 24;
  table->slotCount = 2;
  // Every decoded frame has the size of the DIB, whichever slot it goes to.
  Slot(table, 0)->bytes = Slot(table, 1)->bytes = record_.info->sizeImage;
  record_.frames = table;
  return kResultOk;
}

int32_t ImgFmtBase::LoadVideo(RFileHandle file, int32_t width, int32_t height, const RVideoOps& ops,
                              int32_t decodeFailure) {
  ClearAbort();
  int32_t result = BuildVideoTable(width, height, ops);
  if (result == kResultOk) {
    RFrameSlot* first = Slot(record_.frames, 0);
    auto* buffer = static_cast<uint8_t*>(HookAlloc(first->bytes));
    if (!buffer) {
      result = kResultNoMemory;
    } else {
      first->buffer = buffer;
      const bool decoded = ops.getFrame && ops.getFrame(file, record_.frames, 0, 0) == 0;
      if (decoded) std::memcpy(record_.pixels, buffer, first->bytes);
      result = decoded ? kResultOk : decodeFailure;
      first->buffer = nullptr;
      HookFree(buffer);
    }
  }
  // The probe has opened the decoder, whatever happened after it.
  if (ops.close) ops.close();
  return result;
}

int32_t ImgFmtBase::LoadVideoFrom565(const uint16_t* picture, size_t pitch, int32_t width, int32_t height,
                                     const RVideoOps& ops) {
  ClearAbort();
  const int32_t result = BuildVideoTable(width, height, ops);
  if (result == kResultOk) {
    std::memset(record_.pixels, 0xFF, record_.info->sizeImage);
    if (picture)
      Rgb565ToDib24(picture, pitch, static_cast<uint32_t>(width), static_cast<uint32_t>(height), record_.pixels);
  }
  // As after any probe: the decoder is closed until the view starts playback.
  if (ops.close) ops.close();
  return result;
}

}  // namespace crv
