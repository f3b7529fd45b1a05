#include "player/pictures/formats/photocd_source.h"

#include <cmath>
#include "player/media/source_state.h"
#include "player/pictures/formats/picture_reader.h"

namespace crv {

namespace {

constexpr int64_t kSmallFileBytes = 98304;
constexpr int64_t kSmallDataOffset = 47104;
constexpr int64_t kLargeDataOffset = 196608;
constexpr int kOrientationByte = 72;

uint8_t Clamp(double v) {
  const double r = std::floor(v + 0.5);
  return static_cast<uint8_t>(r < 0 ? 0 : r > 255 ? 255 : r);
}

}  // namespace

int32_t ImgFmtPCD::Load(RFileHandle file, uint32_t) {
  PictureReader in(file);
  const int64_t size = in.Size();
  const bool small = size == kSmallFileBytes;
  const int32_t width = small ? 384 : 768, height = small ? 256 : 512;
  const int64_t offset = small ? kSmallDataOffset : kLargeDataOffset;
  // A file that ends before the picture data holds no picture at all.
  if (size <= offset) return kResultBadData;
  if (!CreateBitmap(width, height, 24)) return kResultNoMemory;

  uint8_t head[128] = {};
  in.Read(head, sizeof(head));
  const bool fromTop = (head[kOrientationByte] & 63) == 8;
  in.Seek(offset);

  uint8_t group[3 * 768];
  const uint8_t* lines[3] = {group, group + width, group + 2 * width};
  const auto rowBytes = static_cast<size_t>(SourceRowBytes());
  const int32_t half = width / 2;
  for (int32_t pair = 0; pair < height / 2; ++pair) {
    if (LoadAborted()) return kResultAborted;
    if (in.Read(group, 3 * static_cast<size_t>(width)) < 3 * static_cast<size_t>(width)) break;
    for (int line = 0; line < 2; ++line) {
      const int32_t k = 2 * pair + line;
      uint8_t* out = record_.pixels + static_cast<size_t>(fromTop ? height - 1 - k : k) * rowBytes;
      const uint8_t* luma = lines[line];
      for (int32_t x = 0; x < width; ++x, out += 3) {
        const double y = 1.407488 * luma[x];
        const double c1 = lines[2][x / 2] - 156.0;
        const double c2 = lines[2][half + x / 2] - 137.0;
        out[2] = Clamp(y + 1.3230336 * c2 + 0.0000256 * c1);
        out[1] = Clamp(y - 0.67392 * c2 - 0.3954176 * c1);
        out[0] = Clamp(y + 2.0360448 * c1 + 0.0000256 * c2);
      }
    }
  }
  ReduceAfterLoad();
  return kResultOk;
}

}  // namespace crv
