#include "player/media/decoders/pixel_target.h"

namespace crv {

bool MakePixelTarget(void* buffer, size_t size, size_t stride, int width, int height, PixelForm form,
                     PixelTarget* target) {
  if (!buffer || width <= 0 || height <= 0) return false;
  const size_t row = static_cast<size_t>(width) * PixelBytes(form);
  if (stride == 0) stride = row;
  if (stride < row) return false;
  const size_t rows = static_cast<size_t>(height);
  if (size < row || (size - row) / stride < rows - 1) return false;
  uint8_t* base = static_cast<uint8_t*>(buffer);
  target->width = width;
  target->height = height;
  target->form = form;
  if (form == PixelForm::kRgb565) {
    target->first = base;
    target->step = static_cast<ptrdiff_t>(stride);
  } else {
    target->first = base + (rows - 1) * stride;
    target->step = -static_cast<ptrdiff_t>(stride);
  }
  return true;
}

namespace {

// One row of blue-green-red pixels to 5-6-5: four pixels (twelve bytes) at a time through
// three 32-bit words, the rest one by one.
void BgrRowTo565(const uint8_t* s, uint8_t* d, int width) {
  auto pack = [](uint32_t bgr) {  // b in bits 0-7, g in 8-15, r in 16-23
    return static_cast<uint32_t>(((bgr >> 8) & 0xF800u) | ((bgr >> 5) & 0x07E0u) | ((bgr >> 3) & 0x001Fu));
  };
  int x = 0;
  for (; x + 4 <= width; x += 4, s += 12, d += 8) {
    uint32_t w0, w1, w2;
    std::memcpy(&w0, s, 4);
    std::memcpy(&w1, s + 4, 4);
    std::memcpy(&w2, s + 8, 4);
    const uint32_t p0 = pack(w0), p1 = pack((w0 >> 24) | (w1 << 8)), p2 = pack((w1 >> 16) | (w2 << 16)),
                   p3 = pack(w2 >> 8);
    const uint64_t out = FourPixels565(static_cast<uint16_t>(p0), static_cast<uint16_t>(p1),
                                       static_cast<uint16_t>(p2), static_cast<uint16_t>(p3));
    std::memcpy(d, &out, 8);
  }
  for (; x < width; ++x, s += 3, d += 2) Store16(d, Pack565(s[2], s[1], s[0]));
}

}  // namespace

void PutBgrPicture(const uint8_t* src, size_t src_stride, const PixelTarget& target) {
  const size_t row = static_cast<size_t>(target.width) * 3;
  for (int y = 0; y < target.height; ++y) {
    const uint8_t* s = src + y * src_stride;
    uint8_t* d = target.Row(y);
    if (target.form == PixelForm::kBgr24)
      std::memcpy(d, s, row);
    else
      BgrRowTo565(s, d, target.width);
  }
}

}  // namespace crv
