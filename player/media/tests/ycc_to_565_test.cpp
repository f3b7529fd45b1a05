// The one-pass YCbCr to 5-6-5 conversion: the vector code gives exactly the values of the
// pixel-at-a-time code for every shape of rows and every width (the tails past the last
// eight pixels included), and the colours are the right ones.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "player/media/decoders/pixel_target.h"
#include "player/media/decoders/ycc_to_565.h"

namespace crv {
namespace {

struct Planes {
  std::vector<uint8_t> luma[2], cb, cr;
  std::vector<uint8_t> out[2];
  YccRows Rows(int count, bool half) {
    YccRows r;
    r.count = count;
    r.half_chroma = half;
    r.cb = cb.data();
    r.cr = cr.data();
    for (int i = 0; i < 2; ++i) {
      r.luma[i] = luma[i].data();
      r.out[i] = out[i].data();
    }
    return r;
  }
};

Planes RandomPlanes(std::mt19937& rng, int width) {
  Planes p;
  std::uniform_int_distribution<int> byte(0, 255);
  auto fill = [&](std::vector<uint8_t>& v, int n) {
    v.resize(static_cast<size_t>(n));
    for (auto& b : v) b = static_cast<uint8_t>(byte(rng));
  };
  for (int i = 0; i < 2; ++i) {
    fill(p.luma[i], width);
    p.out[i].assign(static_cast<size_t>(width) * 2 + 2, 0xA5);  // one word past the row, to see overruns
  }
  fill(p.cb, width);
  fill(p.cr, width);
  return p;
}

TEST(YccTo565, VectorCodeMatchesThePixelAtATimeCode) {
  std::mt19937 rng(11);
  for (int width : {1, 7, 8, 9, 15, 16, 17, 33, 320, 327})
    for (int count : {1, 2})
      for (bool half : {false, true}) {
        SCOPED_TRACE(testing::Message() << "width " << width << " rows " << count << " half " << half);
        Planes fast = RandomPlanes(rng, width);
        Planes slow = fast;
        YccRowsTo565(fast.Rows(count, half), width);
        YccRowsTo565Scalar(slow.Rows(count, half), width);
        for (int i = 0; i < count; ++i) {
          EXPECT_EQ(fast.out[i], slow.out[i]);
          EXPECT_EQ(fast.out[i][width * 2], 0xA5);
          EXPECT_EQ(fast.out[i][width * 2 + 1], 0xA5);
        }
        if (count == 1) {
          EXPECT_EQ(fast.out[1], std::vector<uint8_t>(width * 2 + 2, 0xA5));
        }
      }
}

// Each channel within a level or two of the full-range formulas, before its low bits go.
TEST(YccTo565, ColoursFollowTheJpegFormulas) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int n = 0; n < 2000; ++n) {
    const int y = byte(rng), cb = byte(rng), cr = byte(rng);
    Planes p;
    p.luma[0].assign(16, static_cast<uint8_t>(y));
    p.cb.assign(16, static_cast<uint8_t>(cb));
    p.cr.assign(16, static_cast<uint8_t>(cr));
    p.out[0].assign(32, 0);
    YccRowsTo565(p.Rows(1, false), 16);
    auto clamp = [](double v) { return v < 0 ? 0.0 : v > 255 ? 255.0 : v; };
    const double r = clamp(y + 1.402 * (cr - 128));
    const double g = clamp(y - 0.34414 * (cb - 128) - 0.71414 * (cr - 128));
    const double b = clamp(y + 1.772 * (cb - 128));
    for (int x = 0; x < 16; x += 15) {
      const uint16_t w = Load16(p.out[0].data() + 2 * x);
      // The kept high bits of each channel lie within what the rounding allows.
      EXPECT_NEAR((w >> 11) * 8, r, 8 + 1.5) << y << " " << cb << " " << cr;
      EXPECT_NEAR(((w >> 5) & 0x3F) * 4, g, 4 + 2.5) << y << " " << cb << " " << cr;
      EXPECT_NEAR((w & 0x1F) * 8, b, 8 + 1.5) << y << " " << cb << " " << cr;
    }
  }
  Planes grey;
  grey.luma[0] = {0, 255, 128, 0, 0, 0, 0, 0};
  grey.cb.assign(8, 128);
  grey.cr.assign(8, 128);
  grey.out[0].assign(16, 0);
  YccRowsTo565(grey.Rows(1, false), 8);
  EXPECT_EQ(Load16(grey.out[0].data()), 0x0000);
  EXPECT_EQ(Load16(grey.out[0].data() + 2), 0xFFFF);
  EXPECT_EQ(Load16(grey.out[0].data() + 4), Pack565(128, 128, 128));
}

// Halved chroma covers two pixels across; two rows share one chroma row.
TEST(YccTo565, HalvedChromaCoversPairsOfPixelsAndRows) {
  Planes p;
  for (int i = 0; i < 2; ++i) {
    p.luma[i].assign(16, 128);
    p.out[i].assign(32, 0);
  }
  p.cb.assign(8, 128);
  p.cr = {255, 0, 128, 128, 255, 0, 128, 128};  // red, cyan, grey, grey, ...
  YccRowsTo565(p.Rows(2, true), 16);
  for (int i = 0; i < 2; ++i)
    for (int x = 0; x < 16; ++x) {
      const uint16_t w = Load16(p.out[i].data() + 2 * x);
      const int cr = p.cr[x / 2];
      const int red = w >> 11;
      const int expected = cr == 255 ? 31 : cr == 0 ? 0 : 16;
      EXPECT_EQ(red, expected) << "row " << i << " x " << x;
    }
}

}  // namespace
}  // namespace crv
