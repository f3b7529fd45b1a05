#include "player/media/stream_byte_source.h"

#include <algorithm>

namespace crv {

StreamByteSource::StreamByteSource(RStream& stream) : stream_(stream) {
  const int64_t here = stream_.Tell();
  const int64_t end = stream_.Seek(0, 2);
  size_ = end > 0 ? static_cast<uint64_t>(end) : 0;
  if (here >= 0) stream_.Seek(here, 0);
}

size_t StreamByteSource::ReadAt(uint64_t offset, void* destination, size_t count) {
  if (offset >= size_ || !destination) return 0;
  if (stream_.Seek(static_cast<int64_t>(offset), 0) != static_cast<int64_t>(offset)) return 0;
  // The stream reads at most 32 bits' worth a call; nothing past the size is asked for.
  auto* out = static_cast<uint8_t*>(destination);
  const uint64_t wanted = std::min<uint64_t>(count, size_ - offset);
  uint64_t done = 0;
  while (done < wanted) {
    const uint32_t ask = static_cast<uint32_t>(std::min<uint64_t>(wanted - done, 0x40000000u));
    uint32_t got = 0;
    if (stream_.Read(out + done, ask, &got) != 1 || got == 0) break;
    done += got;
  }
  return static_cast<size_t>(done);
}

}  // namespace crv
