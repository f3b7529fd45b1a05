// The player's own video decoders. Each decodes one compressed frame into a PixelTarget and
// answers false, with nothing read or written outside the given buffers, when the frame is
// corrupt or truncated. Decoders of formats that code only the changed parts of a frame
// (QuickTime Animation, Apple Video, Microsoft Video 1) leave the unchanged pixels of the
// target as they were, so the caller keeps the target between frames.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>
#include "player/media/decoders/pixel_target.h"

namespace crv {

// Palettes: 256 entries of 0x00RRGGBB, and the matching 5-6-5 words.
struct Palettes {
  const uint32_t* rgb = nullptr;
  const uint16_t* rgb565 = nullptr;
};

// Uncompressed bitmap rows as stored in AVI: bottom-up, 8 bits through the palette or 24 bits
// blue-green-red, each row padded to 4 bytes (packed rows are accepted as well); top-down
// when the bitmap said so with a negative height.
bool DecodeDibFrame(const uint8_t* data, size_t size, int depth, const Palettes& palettes, bool top_down,
                    const PixelTarget& target);

// QuickTime "raw ": top-down rows padded to an even byte count (or packed): 8 bits through the
// palette, 16 bits 1-5-5-5 big-endian, 24 bits red-green-blue, 32 bits alpha-red-green-blue.
bool DecodeRawFrame(const uint8_t* data, size_t size, int depth, const Palettes& palettes,
                    const PixelTarget& target);

// QuickTime Animation ("rle "), 24 bits per pixel.
bool DecodeQtRle24(const uint8_t* data, size_t size, const PixelTarget& target);

// Apple Video ("rpza"): 4 x 4 blocks of 1-5-5-5 colours.
bool DecodeRpza(const uint8_t* data, size_t size, const PixelTarget& target);

// Microsoft Video 1 ("CRAM"): 4 x 4 blocks from the bottom of the picture up; 8-bit streams
// index the 5-6-5 palette, 16-bit streams carry 1-5-5-5 colours.
bool DecodeMsVideo1(const uint8_t* data, size_t size, int depth, const uint16_t* palette565,
                    const PixelTarget& target);

// Cinepak: up to 32 strips, each with a V1 and a V4 codebook that later frames update, over
// a picture of its own (5-6-5 with the dropped low bits beside it, top-down) that frames
// change in place.
class CinepakDecoder {
 public:
  static constexpr int kMaxStrips = 32;

  // False when the size is not positive or the picture cannot be allocated.
  bool Init(int width, int height);
  // Keeping the low bits costs a fifth of the time; the player's 5-6-5 playback goes
  // without. A 24-bit picture is exact when every frame since the last key frame kept them.
  bool Decode(const uint8_t* data, size_t size, bool keep_low_bits);
  // The picture in 5-6-5, padded to whole blocks: PaddedWidth() pixels a row.
  const uint16_t* Picture565() const { return picture565_.data(); }
  int PaddedWidth() const { return padded_width_; }
  // Copies the picture into the target in its form. The blocks are painted in 5-6-5 with the
  // bits that form drops kept beside it (when asked), so either form is a copy or an exact
  // expansion.
  void Put(const PixelTarget& target) const;
  int Width() const { return width_; }
  int Height() const { return height_; }
  int StripsInUse() const { return strips_in_use_; }

  // A codebook entry in the forms the painting stores whole: the four pixels of a 2 x 2
  // square (top left, top right, bottom left, bottom right) in 5-6-5 and their dropped low
  // bits (red 3, green 2, blue 3: rrrggbbb); and the rows of a V1 block, each pixel doubled.
  struct Entry {
    uint16_t rgb565[4];
    uint8_t low[4];
    uint64_t v1_row565[2];  // rows 0-1 from pixels 0 and 1, rows 2-3 from pixels 2 and 3
    uint32_t v1_row_low[2];
  };
  struct Strip {
    Entry v1[256];
    Entry v4[256];
  };

 private:
  bool DecodeStrip(Strip& strip, const uint8_t* data, size_t size, int y1, int y2, int x1, int x2);
  template <bool kLow>
  bool DecodeVectors(const Strip& strip, int chunk, const uint8_t* data, size_t size, int y1, int y2,
                     int x1, int x2);

  int width_ = 0, height_ = 0;
  int padded_width_ = 0, padded_height_ = 0;  // whole 4 x 4 blocks
  int strips_in_use_ = 0;
  bool keep_low_ = true;
  std::vector<uint16_t> picture565_;  // padded_width_ pixels a row
  std::vector<uint8_t> low_;          // the dropped bits of each pixel, as Entry::low
  std::vector<Strip> strips_;
};

// Maps -512 ... 511 to 0 ... 255: below 0 gives 0, above 254 gives 255. Built once.
const uint8_t* CinepakClampTable();

}  // namespace crv
