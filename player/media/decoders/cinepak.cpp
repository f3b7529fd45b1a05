// Cinepak.
//
// Frame: flags (bit 0 set: every strip brings its own codebooks; clear: a strip starts from a
// copy of the previous strip's), 24-bit size, width, height, strip count (16 bits each, big-
// endian), then the strips. Strip: id (0x10 key, 0x11 inter), 24-bit size with its 12-byte
// header, top, left, bottom, right (16 bits each; top 0 means "below the previous strip" and
// bottom is then the strip's height), then chunks of id byte, 24-bit size with the 4-byte
// header, data:
//   0x20 / 0x22 V4 / V1 codebook, entries of 4 luma + signed u, v (6 bytes);
//   0x24 / 0x26 the same with luma only (4 bytes); odd ids (0x21, 0x23, 0x25, 0x27) replace
//   only the entries whose bits are set in 32-bit masks read before every 32 entries;
//   0x30 blocks, a 32-bit mask per 32 blocks: set = V4 (4 indices), clear = V1 (1 index);
//   0x31 blocks, mask bits in pairs: first clear = unchanged, else second chooses V4 / V1;
//   0x32 blocks, all V1.
// The block chunk ends the strip. A 4 x 4 block from a V1 entry takes the entry's four lumas
// for its four 2 x 2 squares; from V4, four entries give one 2 x 2 square each.
// Colour: r = y + 2v, g = y - u/2 - v, b = y + 2u.
#include "player/media/decoders/byte_reader.h"
#include "player/media/decoders/video_decoders.h"

namespace crv {
namespace {

uint8_t clampTable[1024];

void BuildClampTable() {
  for (int i = 0; i < 1024; ++i) {
    const int v = i - 512;
    clampTable[i] = static_cast<uint8_t>(v < 0 ? 0 : v > 254 ? 255 : v);
  }
}

using Entry = CinepakDecoder::Entry;

// One entry from its 4 lumas and (unless luma only) signed u and v; the V1 rows only for V1
// books, the only ones painted that way; the dropped bits only when they are kept.
template <bool kLow>
inline void MakeEntry(const uint8_t* p, bool luma_only, bool v1, Entry& e) {
  const uint8_t* clamp = CinepakClampTable() + 512;
  const int u = luma_only ? 0 : static_cast<int8_t>(p[4]), v = luma_only ? 0 : static_cast<int8_t>(p[5]);
  const int to_b = 2 * u, to_g = -u / 2 - v, to_r = 2 * v;
  for (int k = 0; k < 4; ++k) {
    const unsigned b = clamp[p[k] + to_b], g = clamp[p[k] + to_g], r = clamp[p[k] + to_r];
    e.rgb565[k] = Pack565(r, g, b);
    if (kLow) e.low[k] = static_cast<uint8_t>((r & 7) << 5 | (g & 3) << 3 | (b & 7));
  }
  if (!v1) return;
  for (int half = 0; half < 2; ++half) {
    const uint16_t left = e.rgb565[2 * half], right = e.rgb565[2 * half + 1];
    e.v1_row565[half] = FourPixels565(left, left, right, right);
    if (!kLow) continue;
    const uint32_t low_left = e.low[2 * half], low_right = e.low[2 * half + 1];
    e.v1_row_low[half] = low_left | low_left << 8 | low_right << 16 | low_right << 24;
  }
}

// Codebook chunks: ids 0x2x, bit 2 luma only, bit 0 partial (masks say which entries follow).
template <bool kLow>
void ReadCodebook(Entry* book, int chunk, bool v1, const uint8_t* data, size_t size) {
  const bool luma_only = chunk & 0x04, partial = chunk & 0x01;
  const size_t n = luma_only ? 4 : 6;
  const uint8_t* p = data;
  const uint8_t* const end = data + size;
  uint32_t flags = 0, mask = 0;
  for (int i = 0; i < 256; ++i) {
    if (partial && !(mask >>= 1)) {
      if (end - p < 4) return;
      flags = Be32(p);
      p += 4;
      mask = 0x80000000u;
    }
    if (partial && !(flags & mask)) continue;
    if (static_cast<size_t>(end - p) < n) return;
    MakeEntry<kLow>(p, luma_only, v1, book[i]);
    p += n;
  }
}

// Where a 4 x 4 block lies in the picture and in its plane of dropped bits.
struct BlockAt {
  uint8_t* rgb565;
  uint8_t* low;
  size_t stride565;  // bytes
  size_t stride_low;
};

inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline void Store64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }

// Paints a 2 x 2 square (sx, sy in squares) of one entry.
template <bool kLow>
inline void PutSquare(const BlockAt& b, int sx, int sy, const Entry& e) {
  uint8_t* top565 = b.rgb565 + 2 * sy * b.stride565 + 4 * sx;
  std::memcpy(top565, &e.rgb565[0], 4);
  std::memcpy(top565 + b.stride565, &e.rgb565[2], 4);
  if (!kLow) return;
  uint8_t* top_low = b.low + 2 * sy * b.stride_low + 2 * sx;
  std::memcpy(top_low, &e.low[0], 2);
  std::memcpy(top_low + b.stride_low, &e.low[2], 2);
}

// A V1 block: each of the entry's four pixels fills one 2 x 2 square.
template <bool kLow>
inline void PutV1(const BlockAt& b, const Entry& e) {
  for (int row = 0; row < 4; ++row) {
    Store64(b.rgb565 + row * b.stride565, e.v1_row565[row >> 1]);
    if (kLow) Store32(b.low + row * b.stride_low, e.v1_row_low[row >> 1]);
  }
}

}  // namespace

const uint8_t* CinepakClampTable() {
  static const bool built = (BuildClampTable(), true);
  (void)built;
  return clampTable;
}

bool CinepakDecoder::Init(int width, int height) {
  if (width <= 0 || height <= 0 || width > 8192 || height > 8192) return false;
  CinepakClampTable();
  width_ = width;
  height_ = height;
  padded_width_ = (width + 3) & ~3;
  padded_height_ = (height + 3) & ~3;
  strips_in_use_ = 0;
  picture565_.assign(static_cast<size_t>(padded_width_) * padded_height_, 0);
  low_.assign(static_cast<size_t>(padded_width_) * padded_height_, 0);
  strips_.assign(kMaxStrips, Strip{});
  return true;
}

bool CinepakDecoder::Decode(const uint8_t* data, size_t size, bool keep_low_bits) {
  if (picture565_.empty()) return false;
  keep_low_ = keep_low_bits;
  ByteReader in(data, size);
  const uint8_t flags = in.U8();
  const uint32_t frame_size = in.Be24();
  in.Skip(4);  // width and height: the stream's own are used
  int strips = in.Be16();
  if (in.Failed()) return false;
  if (frame_size >= 10) in.Limit(frame_size - 10);
  if (strips > kMaxStrips) strips = kMaxStrips;
  int y0 = 0;
  for (int i = 0; i < strips; ++i) {
    in.U8();  // strip id: key and inter strips decode alike
    const uint32_t strip_size = in.Be24();
    int y1 = in.Be16();
    const int x1 = in.Be16();
    int y2 = in.Be16();
    const int x2 = in.Be16();
    if (in.Failed() || strip_size < 12) return false;
    if (y1 == 0) {
      y1 = y0;
      y2 += y0;
    }
    // A strip claiming more than the frame holds is cut to what is there.
    const size_t body = strip_size - 12 < in.Left() ? strip_size - 12 : in.Left();
    if (i > 0 && !(flags & 0x01)) {
      std::memcpy(strips_[i].v1, strips_[i - 1].v1, sizeof strips_[i].v1);
      std::memcpy(strips_[i].v4, strips_[i - 1].v4, sizeof strips_[i].v4);
    }
    if (!DecodeStrip(strips_[i], in.Pos(), body, y1, y2, x1, x2)) return false;
    in.Skip(body);
    if (i + 1 > strips_in_use_) strips_in_use_ = i + 1;
    y0 = y2;
  }
  return true;
}

bool CinepakDecoder::DecodeStrip(Strip& strip, const uint8_t* data, size_t size, int y1, int y2, int x1, int x2) {
  ByteReader in(data, size);
  while (in.Has(4)) {
    const int id = in.U8();
    const uint32_t chunk_size = in.Be24();
    if (chunk_size < 4 || !in.Has(chunk_size - 4)) return false;
    const uint8_t* body = in.Pos();
    const size_t n = chunk_size - 4;
    switch (id) {
      case 0x20: case 0x21: case 0x24: case 0x25:
        keep_low_ ? ReadCodebook<true>(strip.v4, id, false, body, n) : ReadCodebook<false>(strip.v4, id, false, body, n);
        break;
      case 0x22: case 0x23: case 0x26: case 0x27:
        keep_low_ ? ReadCodebook<true>(strip.v1, id, true, body, n) : ReadCodebook<false>(strip.v1, id, true, body, n);
        break;
      case 0x30: case 0x31: case 0x32:
        return keep_low_ ? DecodeVectors<true>(strip, id, body, n, y1, y2, x1, x2)
                         : DecodeVectors<false>(strip, id, body, n, y1, y2, x1, x2);
      default:
        break;  // unknown chunks are passed over
    }
    in.Skip(n);
  }
  return false;  // a strip always ends with its blocks
}

template <bool kLow>
bool CinepakDecoder::DecodeVectors(const Strip& strip, int chunk, const uint8_t* data, size_t size, int y1, int y2,
                                   int x1, int x2) {
  const uint8_t* p = data;
  const uint8_t* const end = data + size;
  uint32_t flags = 0;
  int bits_left = 0;
  auto next_bit = [&](bool* bit) {
    if (bits_left == 0) {
      if (end - p < 4) return false;
      flags = Be32(p);
      p += 4;
      bits_left = 32;
    }
    *bit = (flags & 0x80000000u) != 0;
    flags <<= 1;
    --bits_left;
    return true;
  };
  const bool inter = chunk == 0x31, all_v1 = chunk == 0x32;
  const size_t stride565 = static_cast<size_t>(padded_width_) * 2, stride_low = static_cast<size_t>(padded_width_);
  // Blocks outside the picture (strips may claim more) are not painted.
  for (int y = y1; y < y2 && y + 4 <= padded_height_; y += 4) {
    uint8_t* row565 = reinterpret_cast<uint8_t*>(picture565_.data()) + y * stride565;
    uint8_t* row_low = low_.data() + y * stride_low;
    for (int x = x1; x < x2 && x + 4 <= padded_width_; x += 4) {
      bool bit = true;
      if (inter) {
        if (!next_bit(&bit)) return false;
        if (!bit) continue;
      }
      bool v4 = false;
      if (!all_v1 && !next_bit(&v4)) return false;
      const BlockAt block{row565 + x * 2, row_low + x, stride565, stride_low};
      if (v4) {
        if (end - p < 4) return false;
        PutSquare<kLow>(block, 0, 0, strip.v4[p[0]]);
        PutSquare<kLow>(block, 1, 0, strip.v4[p[1]]);
        PutSquare<kLow>(block, 0, 1, strip.v4[p[2]]);
        PutSquare<kLow>(block, 1, 1, strip.v4[p[3]]);
        p += 4;
      } else {
        if (p == end) return false;
        PutV1<kLow>(block, strip.v1[*p++]);
      }
    }
  }
  return true;
}

void CinepakDecoder::Put(const PixelTarget& target) const {
  const size_t width = static_cast<size_t>(padded_width_);
  if (target.form == PixelForm::kRgb565) {
    const size_t row = static_cast<size_t>(target.width) * 2;
    for (int y = 0; y < target.height; ++y) std::memcpy(target.Row(y), picture565_.data() + y * width, row);
    return;
  }
  for (int y = 0; y < target.height; ++y) {
    const uint16_t* c = picture565_.data() + y * width;
    const uint8_t* low = low_.data() + y * width;
    uint8_t* d = target.Row(y);
    for (int x = 0; x < target.width; ++x, d += 3) {
      d[0] = static_cast<uint8_t>((c[x] & 0x1F) << 3 | (low[x] & 7));
      d[1] = static_cast<uint8_t>(((c[x] >> 5) & 0x3F) << 2 | ((low[x] >> 3) & 3));
      d[2] = static_cast<uint8_t>((c[x] >> 11) << 3 | low[x] >> 5);
    }
  }
}

}  // namespace crv
