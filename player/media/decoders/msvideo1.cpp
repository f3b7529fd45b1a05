// Microsoft Video 1 ("CRAM").
//
// The picture is coded in 4 x 4 blocks, block rows from the bottom of the picture up, left to
// right; inside a block, pixel rows from the bottom up too. Every block starts with a 16-bit
// little-endian word (bytes a, b):
//   b in 0x84 ... 0x87: skip ((b - 0x84) << 8) + a blocks, this one included;
//   8-bit streams: b < 0x80 two colours (palette indices) follow, b >= 0x90 eight colours
//   (two per 2 x 2 quadrant) follow; otherwise a is the block's one colour;
//   16-bit streams: b < 0x80 two 1-5-5-5 colours follow, eight when the first has its top
//   bit set; otherwise the word itself is the block's one colour.
// With two or eight colours the word is a pixel mask, lowest bit first: a set bit takes the
// first colour of the pair, a clear bit the second. Whole blocks only: a picture whose size is
// not a multiple of 4 keeps its top rows and right columns as they were.
#include "player/media/decoders/byte_reader.h"
#include "player/media/decoders/video_decoders.h"

namespace crv {
namespace {

template <class Put>
void PutBlock(const PixelTarget& t, int bx, int by, uint16_t mask, const uint16_t* colours, bool eight) {
  for (int py = 0; py < 4; ++py, mask >>= 4) {
    uint8_t* row = t.Row(t.height - 1 - (by * 4 + py)) + bx * 4 * Put::kBytes;
    // The pair of the left and of the right half of this pixel row.
    const uint16_t* left = colours + (eight ? (py & 2) << 1 : 0);
    const uint16_t* right = left + (eight ? 2 : 0);
    const uint16_t p0 = left[(mask & 1) ^ 1], p1 = left[((mask >> 1) & 1) ^ 1];
    const uint16_t p2 = right[((mask >> 2) & 1) ^ 1], p3 = right[((mask >> 3) & 1) ^ 1];
    if (Put::kBytes == 2) {
      // A row of four 5-6-5 pixels in one store.
      const uint64_t word = FourPixels565(p0, p1, p2, p3);
      std::memcpy(row, &word, 8);
    } else {
      Put::Word(row, p0);
      Put::Word(row + Put::kBytes, p1);
      Put::Word(row + 2 * Put::kBytes, p2);
      Put::Word(row + 3 * Put::kBytes, p3);
    }
  }
}

template <class Put>
bool DecodeBlocks(ByteReader& in, int depth, const uint16_t* pal, const PixelTarget& t) {
  const int across = t.width / 4, high = t.height / 4;
  const int total = across * high;
  uint16_t colours[8];
  for (int done = 0; done < total;) {
    const uint8_t a = in.U8(), b = in.U8();
    if (in.Failed()) return false;
    if ((b & 0xFC) == 0x84) {
      const int skip = ((b - 0x84) << 8) + a;
      if (skip > total - done) return false;
      done += skip > 0 ? skip : 1;
      continue;
    }
    const uint16_t mask = static_cast<uint16_t>(b << 8 | a);
    const int bx = done % across, by = done / across;
    bool eight = false;
    if (depth == 8) {
      if (b < 0x80 || b >= 0x90) {
        eight = b >= 0x90;
        const int n = eight ? 8 : 2;
        if (!in.Has(static_cast<size_t>(n))) return false;
        for (int i = 0; i < n; ++i) colours[i] = pal[in.U8()];
      } else {
        colours[0] = colours[1] = pal[a];
      }
    } else {
      if (b < 0x80) {
        const uint16_t c0 = in.Le16(), c1 = in.Le16();
        colours[0] = From555(c0);
        colours[1] = From555(c1);
        eight = (c0 & 0x8000) != 0;
        if (eight) {
          if (!in.Has(12)) return false;
          for (int i = 2; i < 8; ++i) colours[i] = From555(in.Le16());
        }
        if (in.Failed()) return false;
      } else {
        colours[0] = colours[1] = From555(mask);
      }
    }
    PutBlock<Put>(t, bx, by, mask, colours, eight);
    ++done;
  }
  return true;
}

}  // namespace

bool DecodeMsVideo1(const uint8_t* data, size_t size, int depth, const uint16_t* palette565,
                    const PixelTarget& target) {
  if (depth != 8 && depth != 16) return false;
  if (depth == 8 && !palette565) return false;
  ByteReader in(data, size);
  return target.form == PixelForm::kRgb565 ? DecodeBlocks<Put565>(in, depth, palette565, target)
                                           : DecodeBlocks<PutBgr24>(in, depth, palette565, target);
}

}  // namespace crv
