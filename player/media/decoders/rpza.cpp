// Apple Video ("rpza").
//
// A frame is the byte 0xE1 and a 24-bit big-endian chunk size (these four bytes included),
// then opcodes over the 4 x 4 blocks of the picture, left to right and top to bottom. The
// low five bits of an opcode byte give a block count n - 1:
//   0x80 skip n blocks; 0xA0 fill n blocks with one colour;
//   0xC0 n blocks of four colours: colours A and B, then four index bytes per block (one per
//        row, two bits per pixel, leftmost first) into B, 11/32 A + 21/32 B, 21/32 A + 11/32 B, A;
//   a byte with the top bit clear starts a colour A itself: if the next byte but one has its
//   top bit set, one four-colour block follows with colour B, else 15 more colours fill a
//   block pixel by pixel.
// Colours are 1-5-5-5 big-endian.
#include "player/media/decoders/byte_reader.h"
#include "player/media/decoders/video_decoders.h"

namespace crv {
namespace {

// The 4 x 4 blocks of the picture in order. Whole blocks of a 5-6-5 target are written a row
// of four pixels at a time; the blocks at a right or bottom edge the picture cuts go pixel by
// pixel.
class BlockWalk {
 public:
  explicit BlockWalk(const PixelTarget& t) : t_(t), across_((t.width + 3) / 4), total_(across_ * ((t.height + 3) / 4)) {}
  int Left() const { return total_ - done_; }

  // `row(y)` gives the four pixels of row y as a 64-bit word, leftmost in the low bits;
  // `pixel(x, y)` one of them.
  template <class Put, class Row, class Pixel>
  void Put4x4(Row row, Pixel pixel) {
    const int bx = column_ * 4, by = block_row_ * 4;
    if (Put::kBytes == 2 && bx + 4 <= t_.width && by + 4 <= t_.height) {
      for (int y = 0; y < 4; ++y) {
        const uint64_t word = row(y);
        std::memcpy(t_.Row(by + y) + bx * 2, &word, 8);
      }
    } else {
      for (int y = 0; y < 4 && by + y < t_.height; ++y) {
        uint8_t* out = t_.Row(by + y);
        for (int x = 0; x < 4 && bx + x < t_.width; ++x) Put::Word(out + (bx + x) * Put::kBytes, pixel(x, y));
      }
    }
    Skip(1);
  }
  void Skip(int n) {
    done_ += n;
    column_ += n;
    while (column_ >= across_) {
      column_ -= across_;
      ++block_row_;
    }
  }

 private:
  const PixelTarget& t_;
  int across_;
  int total_;
  int done_ = 0;
  int column_ = 0;
  int block_row_ = 0;
};

// Four big-endian 1-5-5-5 colours as four 5-6-5 pixels (From555 on each 16-bit lane).
inline uint64_t FourBigEndian555As565(const uint8_t* p) {
  uint64_t x;
  std::memcpy(&x, p, 8);
  x = ((x & 0x00FF00FF00FF00FFull) << 8) | ((x >> 8) & 0x00FF00FF00FF00FFull);
  return ((x & 0x7FE07FE07FE07FE0ull) << 1) | ((x >> 4) & 0x0020002000200020ull) | (x & 0x001F001F001F001Full);
}

void Blend(uint16_t a, uint16_t b, uint16_t out[4]) {
  out[0] = From555(b);
  out[3] = From555(a);
  uint16_t c1 = 0, c2 = 0;
  for (int shift = 0; shift <= 10; shift += 5) {
    const int ta = (a >> shift) & 0x1F, tb = (b >> shift) & 0x1F;
    c1 = static_cast<uint16_t>(c1 | (((11 * ta + 21 * tb) >> 5) << shift));
    c2 = static_cast<uint16_t>(c2 | (((21 * ta + 11 * tb) >> 5) << shift));
  }
  out[1] = From555(c1);
  out[2] = From555(c2);
}

template <class Put>
bool FourColours(ByteReader& in, BlockWalk& walk, int n, uint16_t a, uint16_t b) {
  uint16_t colours[4];
  Blend(a, b, colours);
  if (in.Failed() || !in.Has(static_cast<size_t>(n) * 4)) return false;
  for (int i = 0; i < n; ++i) {
    const uint8_t* rows = in.Pos();
    walk.Put4x4<Put>(
        [&](int y) {
          const unsigned r = rows[y];
          return FourPixels565(colours[r >> 6], colours[(r >> 4) & 3], colours[(r >> 2) & 3], colours[r & 3]);
        },
        [&](int x, int y) { return colours[(rows[y] >> (2 * (3 - x))) & 3]; });
    in.Skip(4);
  }
  return true;
}

template <class Put>
bool DecodeBlocks(ByteReader& in, const PixelTarget& t) {
  BlockWalk walk(t);
  while (walk.Left() > 0) {
    const uint8_t op = in.U8();
    if (in.Failed()) return false;
    const int n = (op & 0x1F) + 1;
    if (!(op & 0x80)) {
      const uint16_t a = static_cast<uint16_t>(op << 8 | in.U8());
      if (in.Peek() & 0x80) {
        if (!FourColours<Put>(in, walk, 1, a, in.Be16())) return false;
        continue;
      }
      if (!in.Has(30)) return false;
      const uint8_t* s = in.Pos();
      auto pixel = [&](int x, int y) {
        const int i = y * 4 + x;
        return From555(i == 0 ? a : Be16(s + 2 * i - 2));
      };
      // The sixteen colours are contiguous from A's two bytes on, four to a pixel row.
      walk.Put4x4<Put>([&](int y) { return FourBigEndian555As565(s - 2 + 8 * y); }, pixel);
      in.Skip(30);
      continue;
    }
    if (n > walk.Left()) return false;
    switch (op & 0xE0) {
      case 0x80:
        walk.Skip(n);
        break;
      case 0xA0: {
        const uint16_t c = From555(in.Be16());
        if (in.Failed()) return false;
        const uint64_t row = FourPixels565(c, c, c, c);
        for (int i = 0; i < n; ++i) walk.Put4x4<Put>([row](int) { return row; }, [c](int, int) { return c; });
        break;
      }
      case 0xC0: {
        const uint16_t a = in.Be16();
        const uint16_t b = in.Be16();
        if (!FourColours<Put>(in, walk, n, a, b)) return false;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

}  // namespace

bool DecodeRpza(const uint8_t* data, size_t size, const PixelTarget& target) {
  ByteReader in(data, size);
  if (in.U8() != 0xE1) return false;
  const uint32_t chunk = in.Be24();
  if (in.Failed() || chunk < 4) return false;
  in.Limit(chunk - 4);
  return target.form == PixelForm::kRgb565 ? DecodeBlocks<Put565>(in, target)
                                           : DecodeBlocks<PutBgr24>(in, target);
}

}  // namespace crv
