// The bytes a QuickTime movie is read from. The atom reader never keeps a stream position of
// its own: every read names its offset, so the same reader serves the byte stream of a local
// file or a web address and a block of memory (the tests and the fuzzer).
#pragma once
#include <cstddef>
#include <cstdint>

namespace crv {

class QtSource {
 public:
  virtual ~QtSource() = default;
  // The total byte count.
  virtual uint64_t Size() const = 0;
  // Exactly `count` bytes at `offset`, or false (nothing past the end is ever read).
  virtual bool ReadAt(uint64_t offset, void* destination, uint32_t count) = 0;
};

class QtMemorySource final : public QtSource {
 public:
  QtMemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* destination, uint32_t count) override;

 private:
  const uint8_t* data_;
  size_t size_;
};

// Big-endian fields, as every QuickTime structure stores them.
inline uint16_t QtBe16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t QtBe32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
inline uint64_t QtBe64(const uint8_t* p) {
  return (static_cast<uint64_t>(QtBe32(p)) << 32) | QtBe32(p + 4);
}
constexpr uint32_t QtType(const char (&s)[5]) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(s[0])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 8) | static_cast<uint8_t>(s[3]);
}

}  // namespace crv
