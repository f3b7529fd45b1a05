// Bounds-checked reading of a compressed frame. A read past the end sets the failed flag and
// yields zeros, so a decoder can read a whole header and check once.
#pragma once
#include <cstddef>
#include <cstdint>
#include "player/base/bytes.h"

namespace crv {

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : p_(data), end_(data + (data ? size : 0)) {}

  size_t Left() const { return static_cast<size_t>(end_ - p_); }
  bool Failed() const { return failed_; }
  const uint8_t* Pos() const { return p_; }
  bool Has(size_t n) const { return Left() >= n; }

  uint8_t U8() {
    if (p_ == end_) return Fail();
    return *p_++;
  }
  uint8_t Peek() const { return p_ == end_ ? 0 : *p_; }
  uint16_t Be16() { return Take(2, &crv::Be16); }
  uint16_t Le16() { return Take(2, &crv::Le16); }
  uint32_t Be24() { return Take(3, &crv::Be24); }
  uint32_t Be32() { return Take(4, &crv::Be32); }
  bool Skip(size_t n) {
    if (!Has(n)) return Fail() == 0 && false;
    p_ += n;
    return true;
  }
  // Cuts the readable range down to the next n bytes (or what is left).
  void Limit(size_t n) {
    if (n < Left()) end_ = p_ + n;
  }

 private:
  template <typename T>
  T Take(size_t n, T (*decode)(const uint8_t*)) {
    if (!Has(n)) return Fail();
    const uint8_t* at = p_;
    p_ += n;
    return decode(at);
  }
  uint8_t Fail() {
    failed_ = true;
    p_ = end_;
    return 0;
  }

  const uint8_t* p_;
  const uint8_t* end_;
  bool failed_ = false;
};

}  // namespace crv
