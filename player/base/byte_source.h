// ByteSource: bytes read by offset. The container parsers never keep a position of their own:
// every read names its offset, so one parser serves a local file, a movie on a web server
// (the byte stream's form, player/media/stream_byte_source.h) and a block of memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace crv {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The total byte count.
  virtual uint64_t Size() const = 0;
  // Up to `count` bytes at `offset`: the count read, fewer only at the end of the bytes or when
  // reading fails, 0 at or past the end.
  virtual size_t ReadAt(uint64_t offset, void* destination, size_t count) = 0;

  // Exactly `count` bytes at `offset`, or false. A range that does not lie within Size() is
  // refused before anything is read.
  bool ReadExactly(uint64_t offset, void* destination, size_t count) {
    const uint64_t size = Size();
    if (offset > size || count > size - offset) return false;
    return count == 0 || ReadAt(offset, destination, count) == count;
  }
};

// A block of memory the caller keeps alive.
class MemoryByteSource final : public ByteSource {
 public:
  MemoryByteSource(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* destination, size_t count) override {
    if (offset >= size_ || !destination) return 0;
    const size_t n = count < size_ - offset ? count : static_cast<size_t>(size_ - offset);
    std::memcpy(destination, data_ + offset, n);
    return n;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace crv
