// A fuzz input read front to back as the numbers, bytes and text a target's script is made
// of. Past the end every read gives zeros (and texts come out short), so any input is a whole
// script and a seed can be written by hand field after field.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace crv::fuzz {

class InputReader {
 public:
  InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool AtEnd() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  // Little-endian words.
  uint16_t Word16() {
    const uint16_t low = Byte();
    return static_cast<uint16_t>(low | Byte() << 8);
  }
  uint32_t Word32() {
    const uint32_t low = Word16();
    return low | uint32_t{Word16()} << 16;
  }
  uint64_t Word64() {
    const uint64_t low = Word32();
    return low | uint64_t{Word32()} << 32;
  }
  // The next `count` bytes, fewer at the end.
  std::string Bytes(size_t count) {
    const size_t n = count < size_ - at_ ? count : size_ - at_;
    std::string out(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return out;
  }
  // A text of the next byte's count of bytes, each widened to one UTF-16 unit.
  std::u16string Text16(size_t longest) {
    const std::string bytes = Bytes(Byte() % (longest + 1));
    std::u16string out;
    for (unsigned char c : bytes) out += static_cast<char16_t>(c);
    return out;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace crv::fuzz
