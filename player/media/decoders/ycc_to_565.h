// JPEG's full-range YCbCr samples to 5-6-5 words in one pass: the colour sums in 16-bit fixed
// point (coefficients in 1/256), each channel clamped to 0-255 and its low bits dropped.
// Chroma is taken as it stands for the pixels it covers (a pair of pixels when it is halved
// across, a pair of rows when it is halved down), as the converter's fast path does.
#pragma once
#include <cstdint>

namespace crv {

struct YccRows {
  const uint8_t* luma[2] = {nullptr, nullptr};  // one or two rows, sharing the chroma rows
  const uint8_t* cb = nullptr;
  const uint8_t* cr = nullptr;
  uint8_t* out[2] = {nullptr, nullptr};  // 5-6-5 rows, one per luma row
  int count = 1;                         // luma rows: 1 or 2
  bool half_chroma = false;              // one chroma sample per two pixels across
};

// With the machine's vector unit where there is one.
void YccRowsTo565(const YccRows& rows, int width);
// The same values one pixel at a time: where there is no vector unit, and the tests' reference.
void YccRowsTo565Scalar(const YccRows& rows, int width);

}  // namespace crv
