// The QuickTime source's bytes through the byte stream (a local file or an HTTP stream).
#pragma once
#include "player/media/qt_source.h"
#include "player/media/rstream.h"

namespace crv {

class QtStreamSource final : public QtSource {
 public:
  // Learns the stream's size once; a stream whose end cannot be found reads as empty.
  explicit QtStreamSource(RStream* stream);
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* destination, uint32_t count) override;

 private:
  RStream* stream_;
  uint64_t size_ = 0;
};

}  // namespace crv
