// What the still-picture sources share: a buffered reader over the open file handle (the
// decoders read a byte at a time; their fields are read with player/base/bytes.h), the info
// text, scratch memory through the allocation hooks, and the largest side a picture may claim.
#pragma once
#include <cstddef>
#include <cstdint>
#include "player/base/bytes.h"
#include "player/media/frame_record.h"

namespace crv {

// Sides above this are taken for corrupt data before anything is allocated; the base bounds
// the bitmap's bytes on top of it.
constexpr int32_t kMaxPictureSide = 65535;

class PictureReader {
 public:
  static constexpr size_t kBufferBytes = 16384;

  explicit PictureReader(RFileHandle file);
  PictureReader(const PictureReader&) = delete;
  PictureReader& operator=(const PictureReader&) = delete;

  // Up to `count` bytes; fewer at the end of the file or at an error.
  size_t Read(void* destination, size_t count);
  // The next byte, or -1 at the end.
  int Byte();
  // Position from the start of the file, as the caller sees it.
  int64_t Tell() const { return filePos_ - static_cast<int64_t>(length_ - next_); }
  bool Seek(int64_t position);
  // Forward by `count` bytes (by seeking, not reading).
  bool Skip(uint64_t count) { return Seek(Tell() + static_cast<int64_t>(count)); }
  // The file's size, or -1.
  int64_t Size() const;

 private:
  bool Fill();

  RFileHandle file_;
  int64_t filePos_ = 0;  // the file's own position: the end of the buffered bytes
  size_t next_ = 0;
  size_t length_ = 0;
  bool failed_ = false;
  uint8_t buffer_[kBufferBytes];
};

// Writes ASCII text into the record's info text, cut to fit.
void SetInfoText(tagRDIBIMG& record, const char* text);

// A scratch block through the allocation hooks, zeroed, freed with the object.
class HookBuffer {
 public:
  explicit HookBuffer(size_t bytes);
  ~HookBuffer();
  HookBuffer(const HookBuffer&) = delete;
  HookBuffer& operator=(const HookBuffer&) = delete;
  uint8_t* data() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  uint8_t* data_;
};

}  // namespace crv
