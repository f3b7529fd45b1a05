#include "player/pictures/screen_renderer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>
#include "player/base/bytes.h"
#include "player/media/alloc_hooks.h"

using namespace crv;

namespace {

// A picture record as a source leaves it: header, colour table, rows bottom-up unless asked.
class TestPicture {
 public:
  TestPicture(int32_t width, int32_t height, uint32_t bits, std::vector<RRgbQuad> palette = {}, bool topDown = false)
      : width_(width), height_(height), topDown_(topDown) {
    info_.resize(BitmapInfoBytes(bits));
    auto* h = reinterpret_cast<RBitmapInfoHeader*>(info_.data());
    h->size = 40;
    h->width = width;
    h->height = topDown ? -height : height;
    h->planes = 1;
    h->bitCount = static_cast<uint16_t>(bits);
    h->clrUsed = palette.empty() ? PaletteEntries(bits) : static_cast<uint32_t>(palette.size());
    // Entries past the picture's own colours are junk that must never show.
    for (uint32_t i = 0; i < PaletteEntries(bits); ++i) ColourTable(h)[i] = {0xEE, 0xEE, 0xEE, 0};
    if (!palette.empty()) std::memcpy(ColourTable(h), palette.data(), palette.size() * sizeof(RRgbQuad));
    rowBytes_ = static_cast<size_t>(DibRowBytes(bits, width));
    pixels_.assign(rowBytes_ * height, 0);
    std::memset(&record_, 0, sizeof(record_));
    ResetRecord(record_);
    record_.info = h;
    record_.pixels = pixels_.data();
  }
  // Row y counted from the top of the picture.
  uint8_t* Row(int32_t y) { return pixels_.data() + rowBytes_ * (topDown_ ? y : height_ - 1 - y); }
  void Set(int32_t x, int32_t y, uint32_t rgb) {
    uint8_t* p = Row(y) + 3 * x;
    p[0] = rgb & 0xFF;
    p[1] = (rgb >> 8) & 0xFF;
    p[2] = rgb >> 16;
  }
  // Every pixel byte from a small generator (palette indices beyond the colours included).
  void Scramble(uint32_t seed) {
    for (auto& byte : pixels_) byte = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 23);
  }
  // The colour of pixel (x, y) read the plain way, for comparing with what the renderer drew.
  uint32_t Get(int32_t x, int32_t y) {
    const uint32_t bits = Header().bitCount;
    const uint8_t* row = Row(y);
    if (bits == 24) return Le24(row + 3 * x);
    const uint32_t bit = static_cast<uint32_t>(x) * bits;
    const uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
    if (index >= Header().clrUsed) return 0;
    const RRgbQuad q = ColourTable(&Header())[index];
    return q.blue | (q.green << 8) | (q.red << 16);
  }
  const tagRDIBIMG& Record() const { return record_; }
  RBitmapInfoHeader& Header() { return *reinterpret_cast<RBitmapInfoHeader*>(info_.data()); }

 private:
  int32_t width_, height_;
  bool topDown_;
  size_t rowBytes_;
  std::vector<uint8_t> info_, pixels_;
  tagRDIBIMG record_;
};

uint32_t Rgb(const uint8_t* p) { return p ? Le24(p) : 0xDEADBEEF; }
RRgbQuad Quad(uint32_t rgb) {
  return {static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb >> 16), 0};
}

// The 3 x 2 picture  a b c / d e f.
constexpr uint32_t a = 0x0000A1, b = 0x0000B2, c = 0x0000C3, d = 0x00D400, e = 0x00E500, f = 0x00F600;
constexpr uint32_t kBlank = 0x010101;

TestPicture Letters() {
  TestPicture p(3, 2, 24);
  const uint32_t v[2][3] = {{a, b, c}, {d, e, f}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) p.Set(x, y, v[y][x]);
  return p;
}

class Renderer : public ::testing::Test {
 protected:
  void SetUp() override {
    OverrideScreenSize(8, 6);
    ASSERT_TRUE(r.Create());
    r.Fill({0, 0, 0, 0}, kBlank);
  }
  void TearDown() override { OverrideScreenSize(0, 0); }
  // The screen from (x, y), `rows` strings of hex colours as the eye reads them.
  void ExpectBlock(int32_t x, int32_t y, const std::vector<std::vector<uint32_t>>& rows) {
    for (size_t j = 0; j < rows.size(); ++j)
      for (size_t i = 0; i < rows[j].size(); ++i)
        EXPECT_EQ(Rgb(r.PixelAt(x + static_cast<int32_t>(i), y + static_cast<int32_t>(j))), rows[j][i])
            << "at " << x + i << "," << y + j;
  }
  size_t CountNot(uint32_t colour) {
    size_t n = 0;
    for (int y = 0; y < r.Height(); ++y)
      for (int x = 0; x < r.Width(); ++x) n += Rgb(r.PixelAt(x, y)) != colour;
    return n;
  }
  ScreenRenderer r;
};

}  // namespace

TEST_F(Renderer, ScreenSizedBitmapOrNothing) {
  EXPECT_TRUE(r.Width() == 8 && r.Height() == 6 && r.RowBytes() == 24);
  OverrideScreenSize(5, 2);
  ASSERT_TRUE(r.Create());
  EXPECT_EQ(r.RowBytes(), 16u) << "5 x 3 bytes rounded up to 4";

  AllocHooks failing;
  failing.createDib = [](void*, const void*, uint32_t, void**, void*, uint32_t) -> void* { return nullptr; };
  InstallAllocHooks(failing);
  ScreenRenderer empty;
  EXPECT_FALSE(empty.Create());
  InstallAllocHooks(AllocHooks());
  TestPicture p = Letters();
  empty.Fill({0, 0, 1, 1}, 0xFFFFFF);
  EXPECT_FALSE(empty.Draw(p.Record(), {0, 0, 3, 2}, {0, 0, 3, 2}, 0));
  EXPECT_EQ(empty.PixelAt(0, 0), nullptr);
  EXPECT_EQ(empty.MemoryDC(), nullptr);
}

TEST_F(Renderer, BackgroundFillsTheFourBandsOnly) {
  r.Fill({2, 1, 3, 2}, 0x00112233);  // red in the low byte
  EXPECT_EQ(r.PixelAt(0, 0)[0], 0x11) << "blue first, red last";
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
      EXPECT_EQ(Rgb(r.PixelAt(x, y)), inside ? kBlank : 0x332211u) << x << "," << y;
    }
  r.Fill({-3, 4, 100, 100}, 0x000000);  // off the screen on three sides
  EXPECT_EQ(Rgb(r.PixelAt(7, 3)), 0u);
  EXPECT_EQ(Rgb(r.PixelAt(7, 4)), 0x332211u) << "inside the picture rectangle";
  r.Fill({3, 3, 0, 0}, 0x0000FF);  // an empty picture: the whole screen, in red
  EXPECT_EQ(CountNot(0xFF0000), 0u);
}

TEST_F(Renderer, QuarterTurnsAreClockwisePositive) {
  TestPicture p = Letters();
  struct Turn {
    int32_t rotation;
    std::vector<std::vector<uint32_t>> expected;
  };
  const std::vector<Turn> turns = {
      {0, {{a, b, c}, {d, e, f}}},
      {180, {{f, e, d}, {c, b, a}}},
      {-180, {{f, e, d}, {c, b, a}}},
      {90, {{d, a}, {e, b}, {f, c}}},    // clockwise: bottom-left to top-left
      {-270, {{d, a}, {e, b}, {f, c}}},
      {270, {{c, f}, {b, e}, {a, d}}},   // counter-clockwise: top-right to top-left
      {-90, {{c, f}, {b, e}, {a, d}}},
  };
  for (const Turn& t : turns) {
    SCOPED_TRACE("rotation " + std::to_string(t.rotation));
    r.Fill({0, 0, 0, 0}, kBlank);
    const int32_t w = static_cast<int32_t>(t.expected[0].size()), h = static_cast<int32_t>(t.expected.size());
    ASSERT_TRUE(r.Draw(p.Record(), {0, 0, 3, 2}, {2, 1, w, h}, t.rotation));
    ExpectBlock(2, 1, t.expected);
    EXPECT_EQ(CountNot(kBlank), 6u) << "nothing outside the destination";
  }
}

TEST_F(Renderer, TopLeftLandsBottomRightAt180) {
  TestPicture p(4, 3, 24);
  p.Set(0, 0, 0xFF0000);
  ASSERT_TRUE(r.Draw(p.Record(), {0, 0, 4, 3}, {1, 1, 4, 3}, 180));
  EXPECT_EQ(Rgb(r.PixelAt(4, 3)), 0xFF0000u);
  EXPECT_EQ(Rgb(r.PixelAt(1, 1)), 0u);
}

TEST_F(Renderer, NearestNeighbourWithTheStep) {
  TestPicture p = Letters();
  ASSERT_TRUE(r.Draw(p.Record(), {0, 0, 3, 2}, {0, 0, 6, 4}, 0));
  ExpectBlock(0, 0, {{a, a, b, b, c, c}, {a, a, b, b, c, c}, {d, d, e, e, f, f}, {d, d, e, e, f, f}});

  TestPicture wide(5, 1, 24);
  for (int x = 0; x < 5; ++x) wide.Set(x, 0, 0x10 * (x + 1));
  r.Fill({0, 0, 0, 0}, kBlank);
  ASSERT_TRUE(r.Draw(wide.Record(), {0, 0, 5, 1}, {0, 0, 2, 1}, 0));
  ExpectBlock(0, 0, {{0x10, 0x30}});  // step 2.5: columns 0 and 2
  ASSERT_TRUE(r.Draw(wide.Record(), {0, 0, 5, 1}, {0, 1, 3, 1}, 0));
  ExpectBlock(0, 1, {{0x10, 0x20, 0x40}});  // step 5/3: columns 0, 1 (1.67) and 3 (3.33)

  // Each axis on its own: 3 x 2 into 3 x 4 doubles the rows only.
  r.Fill({0, 0, 0, 0}, kBlank);
  ASSERT_TRUE(r.Draw(p.Record(), {0, 0, 3, 2}, {0, 0, 3, 4}, 0));
  ExpectBlock(0, 0, {{a, b, c}, {a, b, c}, {d, e, f}, {d, e, f}});
}

TEST_F(Renderer, SourceRectanglesTurnWithThePicture) {
  TestPicture p = Letters();
  ASSERT_TRUE(r.Draw(p.Record(), {1, 0, 2, 2}, {0, 0, 2, 2}, 0));
  ExpectBlock(0, 0, {{b, c}, {e, f}});
  ASSERT_TRUE(r.Draw(p.Record(), {1, 0, 2, 2}, {0, 0, 2, 2}, 90));
  ExpectBlock(0, 0, {{e, b}, {f, c}});
  // A quarter turn of a 2 x 1 strip is 1 wide and 2 high.
  r.Fill({0, 0, 0, 0}, kBlank);
  ASSERT_TRUE(r.Draw(p.Record(), {0, 1, 2, 1}, {0, 0, 1, 2}, 270));
  ExpectBlock(0, 0, {{e}, {d}, {kBlank}});
  // Positions past the picture repeat its edge.
  ASSERT_TRUE(r.Draw(p.Record(), {2, 0, 3, 2}, {0, 0, 3, 2}, 0));
  ExpectBlock(0, 0, {{c, c, c}, {f, f, f}});
}

TEST_F(Renderer, DestinationIsClippedToTheScreen) {
  TestPicture p = Letters();
  ASSERT_TRUE(r.Draw(p.Record(), {0, 0, 3, 2}, {-1, -1, 3, 2}, 0));
  ExpectBlock(0, 0, {{e, f}});
  EXPECT_EQ(CountNot(kBlank), 2u);
  r.Fill({0, 0, 0, 0}, kBlank);
  ASSERT_TRUE(r.Draw(p.Record(), {0, 0, 3, 2}, {6, 5, 6, 4}, 180));
  ExpectBlock(6, 5, {{f, f}});
  EXPECT_EQ(CountNot(kBlank), 2u);
  r.Fill({0, 0, 0, 0}, kBlank);
  EXPECT_TRUE(r.Draw(p.Record(), {0, 0, 3, 2}, {100, 100, 3, 2}, 0));
  EXPECT_TRUE(r.Draw(p.Record(), {0, 0, 3, 2}, {-2147483647, 0, 3, 2}, 0));
  EXPECT_EQ(CountNot(kBlank), 0u);
  EXPECT_FALSE(r.Draw(p.Record(), {0, 0, 0, 2}, {0, 0, 3, 2}, 0));
  EXPECT_FALSE(r.Draw(p.Record(), {0, 0, 3, 2}, {0, 0, 3, -2}, 0));
}

TEST_F(Renderer, OneBitPixelsMostSignificantFirst) {
  TestPicture p(9, 1, 1, {Quad(0x000000), Quad(0xFFFFFF)});
  p.Row(0)[0] = 0xA0;  // 1 0 1 0 0 0 0 0
  p.Row(0)[1] = 0x80;  // pixel 8
  ASSERT_TRUE(r.Draw(p.Record(), {0, 0, 8, 1}, {0, 0, 8, 1}, 0));
  ExpectBlock(0, 0, {{0xFFFFFF, 0, 0xFFFFFF, 0, 0, 0, 0, 0}});
  ASSERT_TRUE(r.Draw(p.Record(), {6, 0, 3, 1}, {0, 1, 3, 1}, 0));
  ExpectBlock(0, 1, {{0, 0, 0xFFFFFF}});  // across the byte boundary
  // Turned: the bit positions come from the rows of the destination.
  ASSERT_TRUE(r.Draw(p.Record(), {0, 0, 3, 1}, {7, 0, 1, 3}, 90));
  ExpectBlock(7, 0, {{0xFFFFFF}, {0}, {0xFFFFFF}});
}

TEST_F(Renderer, TwoFourAndEightBitsThroughThePalette) {
  const std::vector<RRgbQuad> four = {Quad(0x100000), Quad(0x200000), Quad(0x300000), Quad(0x400000)};
  TestPicture two(4, 1, 2, four);
  two.Row(0)[0] = 0x1B;  // 0 1 2 3
  ASSERT_TRUE(r.Draw(two.Record(), {0, 0, 4, 1}, {0, 0, 4, 1}, 0));
  ExpectBlock(0, 0, {{0x100000, 0x200000, 0x300000, 0x400000}});

  std::vector<RRgbQuad> sixteen(16);
  for (int i = 0; i < 16; ++i) sixteen[i] = Quad(0x000011 * i);
  TestPicture nibbles(3, 1, 4, sixteen);
  nibbles.Row(0)[0] = 0x1F;
  nibbles.Row(0)[1] = 0x20;
  ASSERT_TRUE(r.Draw(nibbles.Record(), {0, 0, 3, 1}, {0, 1, 3, 1}, 0));
  ExpectBlock(0, 1, {{0x000011, 0x0000FF, 0x000022}});

  TestPicture bytes(3, 1, 8, {Quad(0x123456), Quad(0xABCDEF)});
  bytes.Row(0)[0] = 1;
  bytes.Row(0)[1] = 0;
  bytes.Row(0)[2] = 200;  // past the two colours the picture has
  ASSERT_TRUE(r.Draw(bytes.Record(), {0, 0, 3, 1}, {0, 2, 3, 1}, 0));
  ExpectBlock(0, 2, {{0xABCDEF, 0x123456, 0}});
}

TEST_F(Renderer, TopDownPicturesDrawUpright) {
  TestPicture p(2, 2, 24, {}, true);
  p.Set(0, 0, 0x111111);
  p.Set(1, 1, 0x222222);
  ASSERT_TRUE(r.Draw(p.Record(), {0, 0, 2, 2}, {0, 0, 2, 2}, 0));
  ExpectBlock(0, 0, {{0x111111, 0}, {0, 0x222222}});
}

TEST_F(Renderer, WhatIsNotDrawnLeavesTheBackground) {
  r.Fill({0, 0, 0, 0}, 0x808080);
  TestPicture deep(2, 2, 32);
  EXPECT_FALSE(r.Draw(deep.Record(), {0, 0, 2, 2}, {0, 0, 8, 6}, 0)) << "32 bits are not drawn";
  TestPicture p = Letters();
  EXPECT_FALSE(r.Draw(p.Record(), {0, 0, 3, 2}, {0, 0, 8, 6}, 45));
  p.Header().compression = 1;
  EXPECT_FALSE(r.Draw(p.Record(), {0, 0, 3, 2}, {0, 0, 8, 6}, 0));
  EXPECT_EQ(CountNot(0x808080), 0u);
}

// Every depth, several scales and source rectangles: the unturned drawing shows source pixel
// (i x sw / w, j x sh / h), and each turn is exactly that drawing turned.
TEST(RendererTurns, EveryTurnIsTheUnturnedDrawingTurnedAtEveryScale) {
  OverrideScreenSize(40, 40);
  ScreenRenderer r;
  ASSERT_TRUE(r.Create());
  struct Scale {
    RenderRect source;
    int32_t w, h;  // the unturned destination size
  };
  const Scale scales[] = {{{0, 0, 13, 7}, 13, 7},  {{0, 0, 13, 7}, 29, 16}, {{0, 0, 13, 7}, 5, 3},
                          {{2, 1, 9, 5}, 17, 11},  {{3, 2, 1, 1}, 4, 6},    {{0, 0, 13, 7}, 13, 1}};
  for (uint32_t bits : {1u, 2u, 4u, 8u, 24u}) {
    std::vector<RRgbQuad> palette;
    // Fewer colours than the depth has, so that unused indices show black.
    for (uint32_t i = 0; bits <= 8 && i < PaletteEntries(bits) - (bits > 1 ? 1 : 0); ++i)
      palette.push_back(Quad(0x10305 * (i + 1)));
    TestPicture p(13, 7, bits, palette, bits == 4);
    p.Scramble(bits);
    for (const Scale& s : scales) {
      SCOPED_TRACE(std::to_string(bits) + " bits into " + std::to_string(s.w) + " x " + std::to_string(s.h));
      r.Fill({0, 0, 0, 0}, kBlank);
      ASSERT_TRUE(r.Draw(p.Record(), s.source, {1, 2, s.w, s.h}, 0));
      std::vector<uint32_t> plain(static_cast<size_t>(s.w) * s.h);
      size_t wrong = 0;
      for (int32_t j = 0; j < s.h; ++j)
        for (int32_t i = 0; i < s.w; ++i) {
          plain[j * s.w + i] = Rgb(r.PixelAt(1 + i, 2 + j));
          const int32_t x = s.source.x + static_cast<int32_t>(int64_t{i} * s.source.width / s.w);
          const int32_t y = s.source.y + static_cast<int32_t>(int64_t{j} * s.source.height / s.h);
          wrong += plain[j * s.w + i] != p.Get(x, y);
        }
      EXPECT_EQ(wrong, 0u) << "unturned";
      auto at = [&](int32_t i, int32_t j) { return plain[j * s.w + i]; };
      for (int32_t rotation : {90, 180, 270, -90, -180, -270}) {
        const bool quarter = rotation % 180 != 0;
        const int32_t w = quarter ? s.h : s.w, h = quarter ? s.w : s.h;
        r.Fill({0, 0, 0, 0}, kBlank);
        ASSERT_TRUE(r.Draw(p.Record(), s.source, {3, 1, w, h}, rotation));
        const int32_t turn = (rotation + 360) % 360;
        wrong = 0;
        for (int32_t v = 0; v < h; ++v)
          for (int32_t u = 0; u < w; ++u) {
            const uint32_t expected = turn == 180  ? at(w - 1 - u, h - 1 - v)
                                      : turn == 90 ? at(v, w - 1 - u)   // clockwise
                                                   : at(h - 1 - v, u);  // counter-clockwise
            wrong += Rgb(r.PixelAt(3 + u, 1 + v)) != expected;
          }
        EXPECT_EQ(wrong, 0u) << "rotation " << rotation;
        EXPECT_EQ(Rgb(r.PixelAt(2, 1)), kBlank);
        EXPECT_EQ(Rgb(r.PixelAt(3 + w, 1 + h - 1)), kBlank);
      }
    }
  }
  OverrideScreenSize(0, 0);
}

TEST(RendererTurns, TheTopLeftPixelGoesWhereTheTurnTakesItWhenScaled) {
  OverrideScreenSize(16, 16);
  ScreenRenderer r;
  ASSERT_TRUE(r.Create());
  TestPicture p(6, 4, 24);
  p.Set(0, 0, 0xFF0000);
  struct Corner {
    int32_t rotation;
    int32_t x, y;  // in the 3 x 2 (or 2 x 3) destination at (0, 0)
  };
  for (const Corner& k : {Corner{0, 0, 0}, Corner{180, 2, 1}, Corner{90, 1, 0}, Corner{270, 0, 2}}) {
    SCOPED_TRACE(k.rotation);
    r.Fill({0, 0, 0, 0}, kBlank);
    const bool quarter = k.rotation % 180 != 0;
    ASSERT_TRUE(r.Draw(p.Record(), {0, 0, 6, 4}, {0, 0, quarter ? 2 : 3, quarter ? 3 : 2}, k.rotation));
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 3; ++x)
        EXPECT_EQ(Rgb(r.PixelAt(x, y)) == 0xFF0000u, x == k.x && y == k.y) << x << "," << y;
  }
  OverrideScreenSize(0, 0);
}
