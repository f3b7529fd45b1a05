#include "player/pictures/image_holder.h"

#include <cstddef>
#include <cstring>
#include "player/base/text16.h"
#include "player/media/alloc_hooks.h"
#include "player/media/img_fmt_base.h"
#include "player/media/stream_file.h"

namespace crv {


const char16_t kLoadingText[] = u"Loading...";

const char16_t* ResultText(int32_t result) {
  switch (result) {
    case kResultNoMemory:
      return u"Not enough memory or file storage space is not available to complete this operation.";
    case kResultInternal:
      return u"An internal error occurred. Possible causes are that image data file is corrupted or you are out of "
             u"memory.";
    case kResultPathNotFound: return u"The system cannot find the path specified.";
    case kResultCannotOpen: return u"The system cannot open the file.";
    case kResultCannotCreate: return u"The system cannot create the file.";
    case kResultReadError: return u"The system cannot read from the specified device.";
    case kResultWriteError: return u"The system cannot write to the specified device.";
    case kResultBadData: return u"Image data file corrupted or file has a unknown data format.";
    case kResultNoSource: return u"Image file is corrupted or contain newer and not supported image version.";
    case kResultVersion: return u"Image contain not supported format version.";
    case kResultCompression: return u"Image compressed by not supported compression algorithm.";
    case kResultLzwRefused: return u"LZW compression no supported due to Unisys patent enforcement.";
    case kResultCmykLab: return u"Image file contain CMYK or LAB color model.";
    case kResult32BitColour:
      return u"File contain 32bit image format. Device support maximally 24 bits per color.";
    case kResultAborted: return u"Loading aborted...";
    default: return nullptr;  // success, 16, 17, 18 and unknown codes
  }
}

namespace {

// The base's bitmap creation, for a copy that no file produced.
class CopyTarget : public ImgFmtBase {
 public:
  bool Make(int32_t width, int32_t height) { return CreateBitmap(width, height, 24); }
};

}  // namespace

ImageHolder::ImageHolder(ReaderRegistry& registry) : record_{}, path_{}, registry_(&registry) {
  static_assert(std::is_standard_layout<ImageHolder>::value, "the record opens the holder");
  static_assert(offsetof(ImageHolder, record_) == 0, "a pointer to the holder is a pointer to its record");
  ResetRecord(record_);
}

void ImageHolder::ReleaseKeepingCookie() {
  const intptr_t cookie = record_.ownerCookie;
  Release();
  record_.ownerCookie = cookie;
}

bool ImageHolder::Load(const char16_t* path, uint32_t loadFlags) {
  ReleaseKeepingCookie();
  const std::u16string chosen(path ? path : path_);
  CopyTo(record_.path, kRecordPathChars, chosen);
  RFileHandle file = OpenPictureFile(record_.path);
  if (!file) {
    result_ = kResultCannotOpen;
    return false;
  }
  CopyTo(path_, kRecordPathChars, chosen);
  LoadFromHandle(file, loadFlags);
  StreamFileClose(file);
  return result_ == kResultOk;
}

void ImageHolder::LoadFromHandle(RFileHandle file, uint32_t loadFlags) {
  ReleaseKeepingCookie();
  result_ = kResultNoSource;
  bitsPerPixel_ = 0;
  std::memcpy(record_.path, path_, sizeof(record_.path));
  record_.path[kRecordPathChars - 1] = 0;
  const ReaderEntry* entry = registry_->FindByExtension(path_);
  if (!entry || !entry->loadImage) return;
  result_ = entry->loadImage(file, &record_, kReaderCallerKey, loadFlags);
  if (result_ == kResultOk) {
    entry_ = entry;
  } else {
    const intptr_t cookie = record_.ownerCookie;
    ResetRecord(record_);
    record_.ownerCookie = cookie;
  }
  if (record_.info) bitsPerPixel_ = record_.info->bitCount;
}

int32_t ImageHolder::LoadPage(int32_t page) {
  if (page >= record_.frameCount || !record_.pageLoader) return kResultOutOfRange;
  RFileHandle file = OpenPictureFile(path_);
  if (!file) return kResultCannotOpen;
  const int32_t result = record_.pageLoader(file, &record_, page);
  StreamFileClose(file);
  if (record_.info) bitsPerPixel_ = record_.info->bitCount;
  return result;
}

int32_t ImageHolder::LoadVideoFrame(RFileHandle file, int32_t frame, void* cache, uint32_t budget) {
  if (!entry_ || !entry_->loadFrame || !record_.frames || record_.frames->slotCount < 2) return kResultOk;
  return entry_->loadFrame(file, &record_, frame, cache, budget);
}

void ImageHolder::Release() {
  if (entry_ && entry_->deleteImage) entry_->deleteImage(&record_, const_cast<ReaderEntry*>(entry_));
  entry_ = nullptr;
  ResetRecord(record_);
  bitsPerPixel_ = 0;
}

RBitmapHandle ImageHolder::FitCopy(const FitSize* box, RBitmapInfoHeader** info, uint8_t** pixels) const {
  if (info) *info = nullptr;
  if (pixels) *pixels = nullptr;
  if (!HasPicture()) return nullptr;
  const RBitmapInfoHeader& from = *record_.info;
  const int32_t width = from.width, height = from.height;
  if (width < 1 || height < 1 || !KnownDibDepth(from.bitCount)) return nullptr;
  int64_t targetWidth = width, targetHeight = height;
  const int64_t boxWidth = box ? box->width : width, boxHeight = box ? box->height : height;
  if (boxWidth < 1 || boxHeight < 1) return nullptr;
  if (width > boxWidth || height > boxHeight) {
    // s = min(box width / width, box height / height), each side truncated; exact in
    // integers: the side that limits is the box's own.
    if (boxWidth * height <= boxHeight * width) {
      targetWidth = boxWidth;
      targetHeight = height * boxWidth / width;
    } else {
      targetHeight = boxHeight;
      targetWidth = width * boxHeight / height;
    }
    if (targetWidth < 1) targetWidth = 1;
    if (targetHeight < 1) targetHeight = 1;
  }

  CopyTarget target;
  if (!target.Make(static_cast<int32_t>(targetWidth), static_cast<int32_t>(targetHeight))) return nullptr;
  tagRDIBIMG& made = target.Record();
  // The stretching copy: every target pixel takes the source pixel it falls on.
  const uint64_t fromRow = DibRowBytes(from.bitCount, static_cast<uint64_t>(width));
  const uint64_t toRow = DibRowBytes(24, static_cast<uint64_t>(targetWidth));
  for (int64_t ty = 0; ty < targetHeight; ++ty) {
    const int64_t sy = ty * height / targetHeight;  // both counted from the top
    const uint8_t* in = record_.pixels + static_cast<uint64_t>(height - 1 - sy) * fromRow;
    uint8_t* out = made.pixels + static_cast<uint64_t>(targetHeight - 1 - ty) * toRow;
    for (int64_t tx = 0; tx < targetWidth; ++tx)
      DibPixelBgr(from, in, static_cast<int32_t>(tx * width / targetWidth), out + tx * 3);
  }
  RBitmapHandle bitmap = made.bitmap;
  if (info) *info = made.info;
  if (pixels) *pixels = made.pixels;
  // The copy is the caller's now; only an info block nobody asked for is freed here.
  if (!info) HookFree(made.info);
  ResetRecord(made);
  return bitmap;
}

}  // namespace crv
