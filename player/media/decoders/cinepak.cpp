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

bool ReadCodebook(CinepakDecoder::Entry* book, int chunk, const uint8_t* data, size_t size) {
  const uint8_t* clamp = CinepakClampTable() + 512;
  const bool luma_only = chunk & 0x04, partial = chunk & 0x01;
  const size_t n = luma_only ? 4 : 6;
  ByteReader in(data, size);
  uint32_t flags = 0, mask = 0;
  for (int i = 0; i < 256; ++i) {
    if (partial && !(mask >>= 1)) {
      if (!in.Has(4)) break;
      flags = in.Be32();
      mask = 0x80000000u;
    }
    if (partial && !(flags & mask)) continue;
    if (!in.Has(n)) break;
    const uint8_t* p = in.Pos();
    int u = 0, v = 0;
    if (!luma_only) {
      u = static_cast<int8_t>(p[4]);
      v = static_cast<int8_t>(p[5]);
    }
    for (int k = 0; k < 4; ++k) {
      uint8_t* px = book[i].bgr[k];
      px[0] = clamp[p[k] + 2 * u];
      px[1] = clamp[p[k] - u / 2 - v];
      px[2] = clamp[p[k] + 2 * v];
      book[i].rgb565[k] = Pack565(px[2], px[1], px[0]);
    }
    in.Skip(n);
  }
  return false;  // a strip always ends with its blocks
}

// Where a 4 x 4 block lies in both forms of the picture.
struct BlockAt {
  uint8_t* bgr;
  uint16_t* rgb565;
  size_t stride;     // bytes, 24-bit picture
  size_t stride565;  // pixels, 5-6-5 picture
};

// Paints a 2 x 2 square (sx, sy in squares) of one entry.
void PutSquare(const BlockAt& b, int sx, int sy, const CinepakDecoder::Entry& e) {
  uint8_t* top = b.bgr + 2 * sy * b.stride + 6 * sx;
  uint8_t* bottom = top + b.stride;
  std::memcpy(top, e.bgr[0], 3);
  std::memcpy(top + 3, e.bgr[1], 3);
  std::memcpy(bottom, e.bgr[2], 3);
  std::memcpy(bottom + 3, e.bgr[3], 3);
  uint16_t* top565 = b.rgb565 + 2 * sy * b.stride565 + 2 * sx;
  top565[0] = e.rgb565[0];
  top565[1] = e.rgb565[1];
  top565[b.stride565] = e.rgb565[2];
  top565[b.stride565 + 1] = e.rgb565[3];
}

// A V1 block: each of the entry's four pixels fills one 2 x 2 square.
void PutV1(const BlockAt& b, const CinepakDecoder::Entry& e) {
  for (int q = 0; q < 4; ++q) {
    uint8_t* sq = b.bgr + (q >> 1) * 2 * b.stride + (q & 1) * 6;
    for (int k = 0; k < 4; ++k) std::memcpy(sq + (k >> 1) * b.stride + (k & 1) * 3, e.bgr[q], 3);
    uint16_t* sq565 = b.rgb565 + (q >> 1) * 2 * b.stride565 + (q & 1) * 2;
    sq565[0] = sq565[1] = sq565[b.stride565] = sq565[b.stride565 + 1] = e.rgb565[q];
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
  stride_ = static_cast<size_t>(padded_width_) * 3;
  strips_in_use_ = 0;
  picture_.assign(stride_ * padded_height_, 0);
  picture565_.assign(static_cast<size_t>(padded_width_) * padded_height_, 0);
  strips_.assign(kMaxStrips, Strip{});
  return true;
}

bool CinepakDecoder::Decode(const uint8_t* data, size_t size) {
  if (picture_.empty()) return false;
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
        ReadCodebook(strip.v4, id, body, n);
        break;
      case 0x22: case 0x23: case 0x26: case 0x27:
        ReadCodebook(strip.v1, id, body, n);
        break;
      case 0x30: case 0x31: case 0x32:
        return DecodeVectors(strip, id, body, n, y1, y2, x1, x2);
      default:
        break;  // unknown chunks are passed over
    }
    in.Skip(n);
  }
  return false;  // a strip always ends with its blocks
}

bool CinepakDecoder::DecodeVectors(const Strip& strip, int chunk, const uint8_t* data, size_t size, int y1, int y2,
                                   int x1, int x2) {
  ByteReader in(data, size);
  uint32_t flags = 0, mask = 0;
  const bool inter = chunk == 0x31, all_v1 = chunk == 0x32;
  auto next_bit = [&](bool* bit) {
    if (!(mask >>= 1)) {
      if (!in.Has(4)) return false;
      flags = in.Be32();
      mask = 0x80000000u;
    }
    *bit = (flags & mask) != 0;
    return true;
  };
  // Blocks outside the picture (strips may claim more) are not painted.
  for (int y = y1; y < y2 && y + 4 <= padded_height_; y += 4) {
    for (int x = x1; x < x2 && x + 4 <= padded_width_; x += 4) {
      bool bit = true;
      if (inter) {
        if (!next_bit(&bit)) return false;
        if (!bit) continue;
      }
      bool v4 = false;
      if (!all_v1 && !next_bit(&v4)) return false;
      const BlockAt block{picture_.data() + y * stride_ + x * 3,
                          picture565_.data() + static_cast<size_t>(y) * padded_width_ + x, stride_,
                          static_cast<size_t>(padded_width_)};
      if (v4) {
        if (!in.Has(4)) return false;
        const uint8_t* idx = in.Pos();
        PutSquare(block, 0, 0, strip.v4[idx[0]]);
        PutSquare(block, 1, 0, strip.v4[idx[1]]);
        PutSquare(block, 0, 1, strip.v4[idx[2]]);
        PutSquare(block, 1, 1, strip.v4[idx[3]]);
        in.Skip(4);
      } else {
        if (!in.Has(1)) return false;
        PutV1(block, strip.v1[in.U8()]);
      }
    }
  }
  return true;
}

void CinepakDecoder::Put(const PixelTarget& target) const {
  if (target.form == PixelForm::kBgr24) {
    PutBgrPicture(picture_.data(), stride_, target);
    return;
  }
  const size_t row = static_cast<size_t>(target.width) * 2;
  for (int y = 0; y < target.height; ++y)
    std::memcpy(target.Row(y), picture565_.data() + static_cast<size_t>(y) * padded_width_, row);
}

}  // namespace crv
