#include "player/media/qt_stream_source.h"

namespace crv {

QtStreamSource::QtStreamSource(RStream* stream) : stream_(stream) {
  const int64_t end = stream_->Seek(0, 2);
  size_ = end > 0 ? static_cast<uint64_t>(end) : 0;
}

bool QtStreamSource::ReadAt(uint64_t offset, void* destination, uint32_t count) {
  if (offset > size_ || count > size_ - offset) return false;
  if (stream_->Seek(static_cast<int64_t>(offset), 0) != static_cast<int64_t>(offset)) return false;
  uint32_t got = 0;
  return stream_->Read(destination, count, &got) == 1 && got == count;
}

}  // namespace crv
