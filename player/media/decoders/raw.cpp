// Uncompressed frames: AVI bitmap rows (code 0) and QuickTime "raw " rows.
#include "player/base/bytes.h"
#include "player/media/decoders/video_decoders.h"

namespace crv {
namespace {

// Row length in the frame: padded to `align` bytes when the frame holds padded rows,
// otherwise packed; 0 when not even packed rows fit.
size_t StoredRow(size_t size, int width, int depth, size_t align, int height) {
  const size_t packed = (static_cast<size_t>(width) * depth + 7) / 8;
  const size_t padded = (packed + align - 1) / align * align;
  const size_t rows = static_cast<size_t>(height);
  if (size / rows >= padded) return padded;
  if (size / rows >= packed) return packed;
  return 0;
}

template <class Put>
void PutRow(const uint8_t* s, int depth, int width, const Palettes& pal, uint8_t* d, bool rgb_order) {
  switch (depth) {
    case 8:
      for (int x = 0; x < width; ++x, d += Put::kBytes) {
        if constexpr (Put::kBytes == 2) {
          Put::Word(d, pal.rgb565[s[x]]);
        } else {
          const uint32_t c = pal.rgb[s[x]];
          Put::Rgb(d, (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
        }
      }
      break;
    case 16:  // 1-5-5-5 big-endian
      for (int x = 0; x < width; ++x, s += 2, d += Put::kBytes) Put::Word(d, From555(Be16(s)));
      break;
    case 24:
      for (int x = 0; x < width; ++x, s += 3, d += Put::kBytes) {
        if (rgb_order) Put::Rgb(d, s[0], s[1], s[2]);
        else Put::Rgb(d, s[2], s[1], s[0]);
      }
      break;
    case 32:  // alpha, red, green, blue
      for (int x = 0; x < width; ++x, s += 4, d += Put::kBytes) Put::Rgb(d, s[1], s[2], s[3]);
      break;
  }
}

template <class Put>
void PutRows(const uint8_t* data, size_t row, bool bottom_up, int depth, const Palettes& pal,
             const PixelTarget& t, bool rgb_order) {
  for (int y = 0; y < t.height; ++y) {
    const int stored = bottom_up ? t.height - 1 - y : y;
    PutRow<Put>(data + stored * row, depth, t.width, pal, t.Row(y), rgb_order);
  }
}

bool Decode(const uint8_t* data, size_t size, int depth, const Palettes& pal, const PixelTarget& t,
            size_t align, bool bottom_up, bool rgb_order) {
  if (!data || t.width <= 0 || t.height <= 0) return false;
  if (depth == 8 && (t.form == PixelForm::kRgb565 ? !pal.rgb565 : !pal.rgb)) return false;
  const size_t row = StoredRow(size, t.width, depth, align, t.height);
  if (row == 0) return false;
  if (t.form == PixelForm::kRgb565) PutRows<Put565>(data, row, bottom_up, depth, pal, t, rgb_order);
  else PutRows<PutBgr24>(data, row, bottom_up, depth, pal, t, rgb_order);
  return true;
}

}  // namespace

bool DecodeDibFrame(const uint8_t* data, size_t size, int depth, const Palettes& palettes, bool top_down,
                    const PixelTarget& target) {
  if (depth != 8 && depth != 24) return false;
  return Decode(data, size, depth, palettes, target, 4, !top_down, false);
}

bool DecodeRawFrame(const uint8_t* data, size_t size, int depth, const Palettes& palettes,
                    const PixelTarget& target) {
  if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return false;
  return Decode(data, size, depth, palettes, target, 2, false, true);
}

}  // namespace crv
