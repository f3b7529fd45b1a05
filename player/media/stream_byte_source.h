// The byte stream (a local file or an HTTP stream) as a ByteSource, for the container parsers.
#pragma once
#include "player/base/byte_source.h"
#include "player/media/rstream.h"

namespace crv {

class StreamByteSource final : public ByteSource {
 public:
  // Learns the stream's size once and leaves its position as it was; a stream whose end
  // cannot be found reads as empty. The stream must outlive the source.
  explicit StreamByteSource(RStream& stream);
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* destination, size_t count) override;

 private:
  RStream& stream_;
  uint64_t size_ = 0;
};

}  // namespace crv
