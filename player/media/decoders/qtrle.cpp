// QuickTime Animation ("rle "), 24 bits per pixel.
//
// A frame is a 32-bit big-endian chunk size, a 16-bit header and, when header bit 3 is set,
// the first changed line and the number of changed lines (16 bits each, each followed by two
// unused bytes); otherwise all lines change. Frames shorter than 8 bytes change nothing.
// Each changed line starts with a skip byte (skip n - 1 pixels) and is a list of codes
// ended by -1: 0 is followed by another skip byte; a negative code -n is followed by one
// red-green-blue pixel repeated n times; a positive code n by n pixels.
#include "player/media/decoders/byte_reader.h"
#include "player/media/decoders/video_decoders.h"

namespace crv {
namespace {

template <class Put>
bool DecodeLines(ByteReader& in, int first, int count, const PixelTarget& t) {
  const int w = t.width;
  for (int y = first; y < first + count; ++y) {
    uint8_t* row = t.Row(y);
    int x = in.U8() - 1;
    for (;;) {
      if (in.Failed() || x < 0 || x > w) return false;
      const int code = static_cast<int8_t>(in.U8());
      if (code == -1) break;
      if (code == 0) {
        x += in.U8() - 1;
      } else if (code < 0) {
        const int n = -code;
        const uint8_t r = in.U8(), g = in.U8(), b = in.U8();
        if (in.Failed() || n > w - x) return false;
        uint8_t* d = row + x * Put::kBytes;
        for (int i = 0; i < n; ++i, d += Put::kBytes) Put::Rgb(d, r, g, b);
        x += n;
      } else {
        if (code > w - x || !in.Has(static_cast<size_t>(code) * 3)) return false;
        const uint8_t* s = in.Pos();
        uint8_t* d = row + x * Put::kBytes;
        for (int i = 0; i < code; ++i, s += 3, d += Put::kBytes) Put::Rgb(d, s[0], s[1], s[2]);
        in.Skip(static_cast<size_t>(code) * 3);
        x += code;
      }
    }
  }
  return true;
}

}  // namespace

bool DecodeQtRle24(const uint8_t* data, size_t size, const PixelTarget& target) {
  if (!data || size < 4) return false;
  ByteReader in(data, size);
  const uint32_t chunk = in.Be32() & 0x3FFFFFFF;
  if (size < 8) return chunk <= size;  // nothing changes, unless the frame was cut short
  if (chunk < 6) return false;
  in.Limit(chunk - 4);
  const uint16_t header = in.Be16();
  int first = 0, count = target.height;
  if (header & 0x0008) {
    first = in.Be16();
    in.Skip(2);
    count = in.Be16();
    in.Skip(2);
    if (in.Failed() || first + count > target.height) return false;
  }
  if (in.Failed()) return false;
  return target.form == PixelForm::kRgb565 ? DecodeLines<Put565>(in, first, count, target)
                                           : DecodeLines<PutBgr24>(in, first, count, target);
}

}  // namespace crv
