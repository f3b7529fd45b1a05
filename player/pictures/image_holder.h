// ImageHolder: one picture as the views hold it. It owns one frame record, remembers the
// reader entry that produced it (so that the same entry frees it) and keeps the result code
// of the last load, whose text the views show (ResultText).
#pragma once
#include <cstdint>
#include <string>
#include <type_traits>
#include "player/media/frame_record.h"
#include "player/pictures/reader_registry.h"

namespace crv {

// The key the holder passes to every entry's RLoadImage ('RIMG'); the built-in entry
// ignores it.
constexpr uint32_t kReaderCallerKey = 0x52494D47;

// The text the views show for a result code; null for success and for the codes without a
// text (16, 17, 18) or unknown ones.
const char16_t* ResultText(int32_t result);
// Shown while a picture is still being loaded.
extern const char16_t kLoadingText[];

// Opens an existing picture file for reading (others may read it too); null when it cannot be
// opened.
// Closed with StreamFileClose (player/media/stream_file.h).
RFileHandle OpenPictureFile(const std::u16string& path);

// A box for FitCopy.
struct FitSize {
  int32_t width;
  int32_t height;
};

class ImageHolder {
 public:
  explicit ImageHolder(ReaderRegistry& registry = ProcessReaderRegistry());
  ~ImageHolder() { Release(); }
  ImageHolder(const ImageHolder&) = delete;
  ImageHolder& operator=(const ImageHolder&) = delete;

  // Loads `path` (null: the stored path again). The current picture is released first,
  // the owner cookie survives. False when the file cannot be opened (result 4) or the
  // entry fails (its result).
  bool Load(const char16_t* path, uint32_t loadFlags);
  // Loads from an open file by the stored path's extension: result 9 without an entry,
  // else the entry's RLoadImage result.
  void LoadFromHandle(RFileHandle file, uint32_t loadFlags);
  // Another page through the record's page loader: 17 when the page is not below the frame
  // count or there is no page loader, 4 when the file cannot be opened again.
  int32_t LoadPage(int32_t page);
  // The entry's RLoadFrame for a record whose frame table has at least 2 frames; else 0.
  int32_t LoadVideoFrame(RFileHandle file, int32_t frame, void* cache = nullptr, uint32_t budget = 0);
  // The entry frees the record; the record is reset (owner cookie and path kept).
  void Release();

  // A 24-bit copy of the picture fitted into `box` (null: the picture's own size), never
  // enlarged: a picture wider or taller than the box is scaled by
  // min(box width / width, box height / height), each side truncated. The new bitmap's
  // handle, with its info block and pixels in `info` and `pixels`; the caller frees them
  // (HookDeleteObject, HookFree). Null without a picture or memory.
  RBitmapHandle FitCopy(const FitSize* box, RBitmapInfoHeader** info, uint8_t** pixels) const;

  tagRDIBIMG& Record() { return record_; }
  const tagRDIBIMG& Record() const { return record_; }
  const ReaderEntry* Entry() const { return entry_; }
  const char16_t* Path() const { return path_; }
  int32_t BitsPerPixel() const { return bitsPerPixel_; }
  int32_t Result() const { return result_; }
  bool HasPicture() const { return record_.info && record_.pixels; }

 private:
  void ReleaseKeepingCookie();

  // In this order: a pointer to the holder is a pointer to its record.
  tagRDIBIMG record_;
  const ReaderEntry* entry_ = nullptr;
  char16_t path_[kRecordPathChars];
  int32_t bitsPerPixel_ = 0;
  int32_t result_ = kResultNoSource;
  ReaderRegistry* registry_;
};

}  // namespace crv
