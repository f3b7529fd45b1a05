// The picture a video decoder writes into: the caller's buffer, seen in display order (row 0
// at the top) whatever order the rows are stored in. The 16-bit 5-6-5 frame buffer is stored
// top-down; 24-bit blue-green-red pictures are stored bottom-up, as bitmaps are, so their
// target starts at the last stored row and steps backwards.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace crv {

enum class PixelForm { kRgb565, kBgr24 };

struct PixelTarget {
  uint8_t* first = nullptr;  // display row 0
  ptrdiff_t step = 0;        // bytes from one display row to the next
  int width = 0;
  int height = 0;
  PixelForm form = PixelForm::kRgb565;

  uint8_t* Row(int y) const { return first + static_cast<ptrdiff_t>(y) * step; }
};

inline int PixelBytes(PixelForm form) { return form == PixelForm::kRgb565 ? 2 : 3; }

// A target over `size` bytes with rows `stride` bytes apart (0: packed rows). False when the
// size is not positive, the stride is shorter than a row or the rows do not fit the buffer.
bool MakePixelTarget(void* buffer, size_t size, size_t stride, int width, int height, PixelForm form,
                     PixelTarget* target);

inline uint16_t Pack565(unsigned r, unsigned g, unsigned b) {
  return static_cast<uint16_t>(((r << 8) & 0xF800) | ((g << 3) & 0x07E0) | (b >> 3));
}

// 1-5-5-5 to 5-6-5: the top bit is ignored, the top bit of green is repeated below it.
inline uint16_t From555(uint16_t c) {
  return static_cast<uint16_t>(((c & 0x7FE0) << 1) | ((c >> 4) & 0x20) | (c & 0x1F));
}

// A 5-6-5 word as blue, green, red bytes: red and blue times 8, green times 4.
inline void Expand565(uint16_t c, uint8_t* bgr) {
  bgr[0] = static_cast<uint8_t>((c & 0x1F) << 3);
  bgr[1] = static_cast<uint8_t>(((c >> 5) & 0x3F) << 2);
  bgr[2] = static_cast<uint8_t>((c >> 11) << 3);
}

// A 5-5-5 word of a 16-bit bitmap (the top bit unused) as blue, green, red bytes, each times 8.
inline void Expand555(uint16_t c, uint8_t* bgr) {
  bgr[0] = static_cast<uint8_t>((c & 0x1F) << 3);
  bgr[1] = static_cast<uint8_t>(((c >> 5) & 0x1F) << 3);
  bgr[2] = static_cast<uint8_t>(((c >> 10) & 0x1F) << 3);
}

inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

// Four 5-6-5 pixels, left to right, as the 64-bit word that stores them in one go (the
// target's words are little-endian).
inline uint64_t FourPixels565(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
  return uint64_t{a} | uint64_t{b} << 16 | uint64_t{c} << 32 | uint64_t{d} << 48;
}
inline uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

// Pixel writers, one per output form, so that a decoder is written once as a template.
struct Put565 {
  static constexpr int kBytes = 2;
  static void Rgb(uint8_t* p, unsigned r, unsigned g, unsigned b) { Store16(p, Pack565(r, g, b)); }
  static void Word(uint8_t* p, uint16_t c) { Store16(p, c); }
};

struct PutBgr24 {
  static constexpr int kBytes = 3;
  static void Rgb(uint8_t* p, unsigned r, unsigned g, unsigned b) {
    p[0] = static_cast<uint8_t>(b);
    p[1] = static_cast<uint8_t>(g);
    p[2] = static_cast<uint8_t>(r);
  }
  static void Word(uint8_t* p, uint16_t c) { Expand565(c, p); }
};

// Copies a top-down blue-green-red picture (rows `src_stride` apart) into the target.
void PutBgrPicture(const uint8_t* src, size_t src_stride, const PixelTarget& target);

}  // namespace crv
