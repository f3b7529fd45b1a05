#include "player/pictures/display_optimisation.h"

#include <algorithm>
#include <memory>
#include <new>

namespace crv {

namespace {

constexpr int kFractionBits = 22;
constexpr int32_t kLowestValue = 255 << 14;
constexpr int32_t kHighestValue = 255 << kFractionBits;
constexpr int32_t kKeptBits = 0xF0;
// Wider pictures are not ours to reduce: their error rows would not be worth the memory.
constexpr int64_t kMaxWidth = 1 << 20;

bool IsGreyPalette(const RRgbQuad* palette) {
  if (!palette) return false;
  for (int i = 0; i < 256; ++i)
    if (palette[i].red != i || palette[i].green != i || palette[i].blue != i) return false;
  return true;
}

// The error diffusion over `rows` rows of `width` pixels of `channels` bytes each. `errors`
// holds two rows of (width + 2) x channels entries: the row being reduced and the next, with
// one spare pixel at each end that takes the error falling outside the picture.
void Diffuse(uint8_t* pixels, size_t rowBytes, int32_t width, int64_t rows, int channels, int32_t* errors) {
  const size_t rowEntries = (static_cast<size_t>(width) + 2) * channels;
  int32_t* current = errors;
  int32_t* next = errors + rowEntries;
  std::fill(current, current + 2 * rowEntries, 0);
  for (int64_t r = 0; r < rows; ++r) {
    uint8_t* row = pixels + static_cast<size_t>(r) * rowBytes;
    const bool rightwards = r % 2 == 0;
    const int step = rightwards ? channels : -channels;  // to the next pixel, in entries
    std::fill(next, next + rowEntries, 0);
    for (int32_t i = 0; i < width; ++i) {
      const int32_t x = rightwards ? i : width - 1 - i;
      uint8_t* pixel = row + static_cast<size_t>(x) * channels;
      for (int c = 0; c < channels; ++c) {
        const size_t at = (static_cast<size_t>(x) + 1) * channels + c;
        const int32_t diffused = (int32_t{pixel[c]} << kFractionBits) + current[at];
        const int32_t value = std::clamp(diffused, kLowestValue, kHighestValue);
        const int32_t kept = (value >> kFractionBits) & kKeptBits;
        pixel[c] = static_cast<uint8_t>(kept);
        const int32_t error = (value - (kept << kFractionBits)) / 16;
        current[at + step] += 7 * error;
        next[at - step] += 3 * error;
        next[at] += 5 * error;
        next[at + step] += error;
      }
    }
    std::swap(current, next);
  }
}

}  // namespace

bool ReduceForDisplay(const RBitmapInfoHeader& info, const RRgbQuad* palette, uint8_t* pixels) {
  if (!pixels || info.compression != 0 || info.width < 1 || info.width > kMaxWidth || info.height == 0) return false;
  int channels = 0;
  if (info.bitCount == 24)
    channels = 3;
  else if (info.bitCount == 8 && IsGreyPalette(palette))
    channels = 1;
  else
    return false;
  const size_t entries = 2 * (static_cast<size_t>(info.width) + 2) * channels;
  const std::unique_ptr<int32_t[]> errors(new (std::nothrow) int32_t[entries]);
  if (!errors) return false;
  const int64_t rows = info.height < 0 ? -int64_t{info.height} : info.height;
  Diffuse(pixels, static_cast<size_t>(DibRowBytes(info.bitCount, static_cast<uint64_t>(info.width))), info.width, rows,
          channels, errors.get());
  return true;
}

bool ReduceForDisplay(tagRDIBIMG& record) {
  if (!record.info) return false;
  return ReduceForDisplay(*record.info, ColourTable(record.info), record.pixels);
}

}  // namespace crv
