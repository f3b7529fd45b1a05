// Fixed-size fields in either byte order, the four-character code word, and ByteView, through
// which a parser reads the fields of a block at fixed offsets without ever passing its end.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace crv {

// ---- Reading a field at a pointer (the caller has checked that the bytes are there) ----

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Le24(const uint8_t* p) { return Le16(p) | uint32_t{p[2]} << 16; }
inline uint32_t Le32(const uint8_t* p) { return uint32_t{Le16(p)} | uint32_t{Le16(p + 2)} << 16; }
inline uint64_t Le64(const uint8_t* p) { return uint64_t{Le32(p)} | uint64_t{Le32(p + 4)} << 32; }

inline uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t Be24(const uint8_t* p) { return uint32_t{p[0]} << 16 | Be16(p + 1); }
inline uint32_t Be32(const uint8_t* p) { return uint32_t{Be16(p)} << 16 | Be16(p + 2); }
inline uint64_t Be64(const uint8_t* p) { return uint64_t{Be32(p)} << 32 | Be32(p + 4); }

// ---- Writing a field ----

inline void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, static_cast<uint16_t>(v));
  PutLe16(p + 2, static_cast<uint16_t>(v >> 16));
}
inline void PutBe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void PutBe32(uint8_t* p, uint32_t v) {
  PutBe16(p, static_cast<uint16_t>(v >> 16));
  PutBe16(p + 2, static_cast<uint16_t>(v));
}

// Appends a field to a file being built.
template <size_t N, typename T>
void AppendField(std::vector<uint8_t>& out, T value, void (*put)(uint8_t*, T)) {
  out.resize(out.size() + N);
  put(out.data() + out.size() - N, value);
}
inline void AppendLe16(std::vector<uint8_t>& out, uint32_t v) {
  AppendField<2, uint16_t>(out, static_cast<uint16_t>(v), &PutLe16);
}
inline void AppendLe32(std::vector<uint8_t>& out, uint32_t v) { AppendField<4, uint32_t>(out, v, &PutLe32); }
inline void AppendBe16(std::vector<uint8_t>& out, uint32_t v) {
  AppendField<2, uint16_t>(out, static_cast<uint16_t>(v), &PutBe16);
}
inline void AppendBe32(std::vector<uint8_t>& out, uint32_t v) { AppendField<4, uint32_t>(out, v, &PutBe32); }

// ---- Four-character codes ----

// The four characters as a little-endian word ("RIFF" -> 'R' | 'I' << 8 | ...), the way RIFF
// chunk ids and compression codes are stored and compared.
constexpr uint32_t FourCc(const char (&s)[5]) {
  return uint32_t{static_cast<uint8_t>(s[0])} | uint32_t{static_cast<uint8_t>(s[1])} << 8 |
         uint32_t{static_cast<uint8_t>(s[2])} << 16 | uint32_t{static_cast<uint8_t>(s[3])} << 24;
}

// The word with its four bytes in the other order.
constexpr uint32_t SwapBytes32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

// ---- Fields at fixed offsets of a block ----

// A block in memory read at fixed offsets. Every read is checked against the block's size: a
// field that does not lie wholly inside it reads as 0 and marks the view failed, so a parser
// reads a structure's fields and asks Ok() once. No offset, however large, reads outside.
class ByteView {
 public:
  ByteView(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
  explicit ByteView(const std::vector<uint8_t>& block) : ByteView(block.data(), block.size()) {}

  size_t size() const { return size_; }
  bool Ok() const { return ok_; }
  // Whether `count` bytes at `offset` lie inside the block (overflow-safe).
  bool Has(size_t offset, size_t count) const { return offset <= size_ && count <= size_ - offset; }

  // The `count` bytes at `offset`, or null (and the view failed) when they are not all there.
  const uint8_t* Bytes(size_t offset, size_t count) {
    if (Has(offset, count)) return data_ + offset;
    ok_ = false;
    return nullptr;
  }
  // The `count` bytes at `offset` as a view of their own; empty (and this view failed) when
  // they are not all there.
  ByteView Sub(size_t offset, size_t count) {
    const uint8_t* p = Bytes(offset, count);
    return ByteView(p, p ? count : 0);
  }

  uint8_t U8(size_t offset) {
    const uint8_t* p = Bytes(offset, 1);
    return p ? *p : 0;
  }
  uint16_t Le16(size_t offset) { return Field(offset, 2, &crv::Le16); }
  uint32_t Le32(size_t offset) { return Field(offset, 4, &crv::Le32); }
  uint16_t Be16(size_t offset) { return Field(offset, 2, &crv::Be16); }
  uint32_t Be32(size_t offset) { return Field(offset, 4, &crv::Be32); }
  uint64_t Be64(size_t offset) { return Field(offset, 8, &crv::Be64); }

 private:
  template <typename T>
  T Field(size_t offset, size_t count, T (*decode)(const uint8_t*)) {
    const uint8_t* p = Bytes(offset, count);
    return p ? decode(p) : T{0};
  }

  const uint8_t* data_;
  size_t size_;
  bool ok_ = true;
};

}  // namespace crv
