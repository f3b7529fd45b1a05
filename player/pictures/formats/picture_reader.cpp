#include "player/pictures/formats/picture_reader.h"

#include <algorithm>
#include <cstring>
#include "player/media/alloc_hooks.h"
#include "player/media/stream_file.h"

namespace crv {

PictureReader::PictureReader(RFileHandle file) : file_(file) {
  const int64_t here = StreamFileSeek(file_, 0, 1);
  filePos_ = here < 0 ? 0 : here;
}

bool PictureReader::Fill() {
  next_ = length_ = 0;
  if (failed_) return false;
  uint32_t got = 0;
  if (!StreamFileRead(file_, buffer_, kBufferBytes, &got)) failed_ = true;
  length_ = got;
  filePos_ += got;
  return got > 0;
}

size_t PictureReader::Read(void* destination, size_t count) {
  auto* out = static_cast<uint8_t*>(destination);
  size_t done = 0;
  while (done < count) {
    if (next_ == length_) {
      // Large reads go straight to the caller once the buffer is used up.
      if (count - done >= kBufferBytes && !failed_) {
        const auto ask = static_cast<uint32_t>(std::min<size_t>(count - done, 0x40000000));
        uint32_t got = 0;
        if (!StreamFileRead(file_, out + done, ask, &got)) failed_ = true;
        filePos_ += got;
        done += got;
        if (got < ask) break;
        continue;
      }
      if (!Fill()) break;
    }
    const size_t take = std::min(count - done, length_ - next_);
    std::memcpy(out + done, buffer_ + next_, take);
    next_ += take;
    done += take;
  }
  return done;
}

int PictureReader::Byte() {
  if (next_ == length_ && !Fill()) return -1;
  return buffer_[next_++];
}

bool PictureReader::Seek(int64_t position) {
  if (position < 0) return false;
  // Inside the buffered bytes no platform call is needed.
  const int64_t bufferStart = filePos_ - static_cast<int64_t>(length_);
  if (position >= bufferStart && position <= filePos_) {
    next_ = static_cast<size_t>(position - bufferStart);
    return true;
  }
  const int64_t at = StreamFileSeek(file_, position, 0);
  next_ = length_ = 0;
  if (at < 0) return false;
  filePos_ = at;
  return true;
}

int64_t PictureReader::Size() const { return StreamFileSize(file_); }

void SetInfoText(tagRDIBIMG& record, const char* text) {
  size_t i = 0;
  for (; text[i] && i + 1 < kRecordInfoChars; ++i) record.infoText[i] = static_cast<char16_t>(text[i]);
  record.infoText[i] = 0;
}

HookBuffer::HookBuffer(size_t bytes) : data_(static_cast<uint8_t*>(HookAllocZeroed(bytes))) {}

HookBuffer::~HookBuffer() { HookFree(data_); }

}  // namespace crv
