#include "player/pictures/display_optimisation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <vector>

using namespace crv;

namespace {

constexpr uint8_t kPad = 0xAB;  // in the row padding, which must stay as it is

// A bitmap as a loaded picture has it: header and colour table, padded rows.
struct Bitmap {
  Bitmap(int32_t width, int32_t height, uint16_t bits) : info(BitmapInfoBytes(bits), 0) {
    Header().size = 40;
    Header().width = width;
    Header().height = height;
    Header().planes = 1;
    Header().bitCount = bits;
    rowBytes = static_cast<size_t>(DibRowBytes(bits, static_cast<uint64_t>(width)));
    pixels.assign(rowBytes * static_cast<size_t>(height < 0 ? -height : height), kPad);
    for (uint32_t i = 0; i < PaletteEntries(bits); ++i)
      Palette()[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
  }
  RBitmapInfoHeader& Header() { return *reinterpret_cast<RBitmapInfoHeader*>(info.data()); }
  RRgbQuad* Palette() { return ColourTable(&Header()); }
  uint8_t* Row(int32_t r) { return pixels.data() + rowBytes * static_cast<size_t>(r); }
  bool Reduce() { return ReduceForDisplay(Header(), Palette(), pixels.data()); }

  std::vector<uint8_t> info;
  size_t rowBytes = 0;
  std::vector<uint8_t> pixels;
};

// Floyd-Steinberg as written down, over a whole-picture table of errors: rows in memory
// order, even rows rightwards, values value << 22 plus the error clamped to
// [255 << 14, 255 << 22], the top 4 bits kept, the rest / 16 spread 7 / 3, 5, 1.
void ReferenceReduce(std::vector<uint8_t>& pixels, size_t rowBytes, int width, int rows, int channels) {
  std::vector<std::vector<int64_t>> error(rows + 1, std::vector<int64_t>(static_cast<size_t>(width) * channels, 0));
  auto spread = [&](int row, int x, int c, int64_t amount) {
    if (x >= 0 && x < width) error[row][static_cast<size_t>(x) * channels + c] += amount;
  };
  for (int row = 0; row < rows; ++row) {
    const int dir = row % 2 == 0 ? 1 : -1;
    for (int i = 0; i < width; ++i) {
      const int x = dir == 1 ? i : width - 1 - i;
      for (int c = 0; c < channels; ++c) {
        uint8_t& byte = pixels[rowBytes * row + static_cast<size_t>(x) * channels + c];
        int64_t value = (int64_t{byte} << 22) + error[row][static_cast<size_t>(x) * channels + c];
        value = std::min<int64_t>(std::max<int64_t>(value, 255LL << 14), 255LL << 22);
        const int64_t kept = (value >> 22) & 0xF0;
        byte = static_cast<uint8_t>(kept);
        const int64_t rest = (value - (kept << 22)) / 16;
        spread(row, x + dir, c, 7 * rest);
        spread(row + 1, x - dir, c, 3 * rest);
        spread(row + 1, x, c, 5 * rest);
        spread(row + 1, x + dir, c, rest);
      }
    }
  }
}

}  // namespace

// A grey 8-bit picture keeps only the values 0, 16, ..., 240, exactly as the error diffusion
// written down gives them; the row padding is not touched.
TEST(DisplayOptimisation, GreyPictureKeepsMultiplesOf16) {
  Bitmap grey(37, 9, 8);
  for (int32_t r = 0; r < 9; ++r)
    for (int32_t x = 0; x < 37; ++x) grey.Row(r)[x] = static_cast<uint8_t>((x * 7 + r * 29) % 256);
  std::vector<uint8_t> expected = grey.pixels;
  ReferenceReduce(expected, grey.rowBytes, 37, 9, 1);
  ASSERT_TRUE(grey.Reduce());
  EXPECT_EQ(expected, grey.pixels);
  for (int32_t r = 0; r < 9; ++r) {
    for (int32_t x = 0; x < 37; ++x) ASSERT_EQ(0, grey.Row(r)[x] & 0x0F) << x << "," << r;
    for (size_t x = 37; x < grey.rowBytes; ++x) EXPECT_EQ(kPad, grey.Row(r)[x]);
  }
}

// A flat grey of 8 becomes a dither of 0 and 16 in about equal parts (the error travels on
// instead of being dropped), black stays black and white becomes 240.
TEST(DisplayOptimisation, FlatGreysDither) {
  for (const auto& [value, lowest, highest, share16] :
       std::vector<std::tuple<int, int, int, bool>>{{8, 0, 16, true}, {0, 0, 0, false}, {255, 240, 240, false}}) {
    Bitmap flat(64, 64, 8);
    for (int32_t r = 0; r < 64; ++r) std::fill(flat.Row(r), flat.Row(r) + 64, static_cast<uint8_t>(value));
    ASSERT_TRUE(flat.Reduce());
    int sixteens = 0, low = 255, high = 0;
    for (int32_t r = 0; r < 64; ++r)
      for (int32_t x = 0; x < 64; ++x) {
        const int v = flat.Row(r)[x];
        low = std::min(low, v), high = std::max(high, v);
        sixteens += v == 16;
      }
    EXPECT_EQ(lowest, low) << value;
    EXPECT_EQ(highest, high) << value;
    if (share16) {
      EXPECT_GT(sixteens, 64 * 64 * 40 / 100);
      EXPECT_LT(sixteens, 64 * 64 * 55 / 100);
    }
  }
}

// A 24-bit gradient is diffused channel by channel, alternating direction row by row, as the
// reference does it; a top-down picture is walked in memory order as well.
TEST(DisplayOptimisation, TrueColourGradientMatchesTheReference) {
  for (int32_t height : {13, -13}) {
    Bitmap colour(29, height, 24);
    for (int32_t r = 0; r < 13; ++r)
      for (int32_t x = 0; x < 29; ++x) {
        uint8_t* p = colour.Row(r) + 3 * x;
        p[0] = static_cast<uint8_t>(x * 9);
        p[1] = static_cast<uint8_t>(r * 19 + x);
        p[2] = static_cast<uint8_t>(255 - x * 3 - r * 5);
      }
    std::vector<uint8_t> expected = colour.pixels;
    ReferenceReduce(expected, colour.rowBytes, 29, 13, 3);
    ASSERT_TRUE(colour.Reduce());
    EXPECT_EQ(expected, colour.pixels) << height;
  }
}

// Pictures the optimisation does not cover stay as they are: a colour palette, a grey palette
// with one entry off, 4, 16 and 32 bits, compressed and empty pictures.
TEST(DisplayOptimisation, OtherPicturesAreLeftAlone) {
  auto untouched = [](Bitmap& b) {
    for (auto& byte : b.pixels) byte = 0x37;
    const std::vector<uint8_t> before = b.pixels;
    EXPECT_FALSE(b.Reduce());
    EXPECT_EQ(before, b.pixels);
  };
  Bitmap colourPalette(10, 4, 8);
  colourPalette.Palette()[7].red = 200;
  untouched(colourPalette);
  Bitmap greyButLast(10, 4, 8);
  greyButLast.Palette()[255].blue = 0;
  untouched(greyButLast);
  for (uint16_t bits : {4, 16, 32}) {
    Bitmap other(10, 4, bits);
    untouched(other);
  }
  Bitmap compressed(10, 4, 24);
  compressed.Header().compression = 1;
  untouched(compressed);
  Bitmap noRows(10, 4, 24);
  noRows.Header().height = 0;
  untouched(noRows);
  EXPECT_FALSE(ReduceForDisplay(noRows.Header(), nullptr, nullptr));
}
