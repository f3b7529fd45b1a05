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

void PutBgrPicture(const uint8_t* src, size_t src_stride, const PixelTarget& target) {
  const size_t row = static_cast<size_t>(target.width) * 3;
  for (int y = 0; y < target.height; ++y) {
    const uint8_t* s = src + y * src_stride;
    uint8_t* d = target.Row(y);
    if (target.form == PixelForm::kBgr24) {
      std::memcpy(d, s, row);
    } else {
      for (int x = 0; x < target.width; ++x, s += 3, d += 2) Store16(d, Pack565(s[2], s[1], s[0]));
    }
  }
}

}  // namespace crv
