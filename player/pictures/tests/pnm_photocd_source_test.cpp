#include <gtest/gtest.h>

#include <string>
#include <vector>
#include "player/media/alloc_hooks.h"
#include "player/media/source_state.h"
#include "player/pictures/formats/photocd_source.h"
#include "player/pictures/formats/pnm_source.h"
#include "player/pictures/tests/picture_test_files.h"

using namespace crv;
using namespace crv::testing_support;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

int32_t LoadPnm(const std::vector<uint8_t>& bytes, ImgFmtPNM& source, uint32_t flags = 0) {
  WriteFile(Path("hand.ppm"), bytes);
  return LoadWith(source, Path("hand.ppm"), flags);
}

TEST(PnmSourceTest, BinaryMapsWithCommentsMatchImageMagick) {
  if (!HaveConvert()) GTEST_SKIP();
  for (const char* args : {"rose: -set comment 'two\nlines' PPM:c.ppm", "rose: -crop 69x45+0+0 +repage -colorspace Gray PGM:c.pgm"}) {
    ASSERT_TRUE(Convert(args));
    const std::string file = Path(std::string(args).find("PPM") != std::string::npos ? "c.ppm" : "c.pgm");
    ImgFmtPNM source;
    ASSERT_EQ(kResultOk, LoadWith(source, file)) << file;
    ExpectSamePicture(ReferenceRgb(file), RecordRgb(source.Record()), file);
  }
}

TEST(PnmSourceTest, TokensCommentsAndColourOrder) {
  std::vector<uint8_t> f = Bytes("P6\n# made by hand\n2 #width\n 1\n255\n");
  f.insert(f.end(), {255, 0, 0, 0, 0, 255});
  ImgFmtPNM source;
  ASSERT_EQ(kResultOk, LoadPnm(f, source));
  EXPECT_EQ(24, source.Record().info->bitCount);
  EXPECT_EQ((std::vector<uint8_t>{255, 0, 0, 0, 0, 255}), RecordRgb(source.Record()).pixels);
  // The pixels begin right behind the one white-space character after the maximum, even a
  // byte that looks like white space.
  std::vector<uint8_t> g = Bytes("P5 2 1 255 ");
  g.insert(g.end(), {'\n', 200});
  ImgFmtPNM grey;
  ASSERT_EQ(kResultOk, LoadPnm(g, grey));
  EXPECT_EQ((std::vector<uint8_t>{10, 10, 10, 200, 200, 200}), RecordRgb(grey.Record()).pixels);
}

TEST(PnmSourceTest, BadHeadersGive8) {
  for (const char* header : {"P5 2 2 0\n", "P5 2 2 256\n", "P5 2 2\n", "P6 0 2 255\n", "P6 2 99999999999 255\n",
                             "P6 70000 2 255\n", "P5 a b c\n"}) {
    ImgFmtPNM source;
    EXPECT_EQ(kResultBadData, LoadPnm(Bytes(header), source)) << header;
  }
}

TEST(PnmSourceTest, TruncatedReducedAndAborted) {
  std::vector<uint8_t> f = Bytes("P5 2000 1500 255\n");
  f.resize(f.size() + 2000 * 700, 77);
  ImgFmtPNM full;
  ASSERT_EQ(kResultOk, LoadPnm(f, full));
  EXPECT_EQ(77, full.Record().pixels[2000 * 1499]);  // the top row
  EXPECT_EQ(0, full.Record().pixels[0]);             // missing rows stay as created
  OverrideScreenSize(240, 320);
  ImgFmtPNM reduced;
  ASSERT_EQ(kResultOk, LoadPnm(f, reduced, kLoadFitScreen));
  EXPECT_TRUE(reduced.IsReduced());
  EXPECT_LE(reduced.Record().info->width, 320);
  OverrideScreenSize(0, 0);
  AbortFlag().store(1);
  ImgFmtPNM aborted;
  EXPECT_EQ(kResultAborted, LoadPnm(f, aborted));
  ClearAbort();
}

// A PhotoCD file: luma lines and a chroma line per two rows, at the fixed offsets.
std::vector<uint8_t> PhotoCd(size_t size, size_t offset, int width, uint8_t orientation) {
  std::vector<uint8_t> f(size, 0);
  f[72] = orientation;
  for (size_t at = offset; at + 3 * width <= size; at += 3 * width) {
    std::fill(f.begin() + at, f.begin() + at + 2 * width, 100);
    std::fill(f.begin() + at + 2 * width, f.begin() + at + 2 * width + width / 2, 176);  // C1 = 156 + 20
    std::fill(f.begin() + at + 2 * width + width / 2, f.begin() + at + 3 * width, 137);
  }
  std::fill(f.begin() + offset, f.begin() + offset + width, 200);  // the first line
  return f;
}

TEST(PhotoCdSourceTest, SizesOrientationAndColours) {
  struct Case {
    size_t size, offset;
    int width, height;
    uint8_t orientation;
  };
  for (const Case c : {Case{98304, 47104, 384, 256, 8}, Case{98304, 47104, 384, 256, 0},
                       Case{196608 + 768 * 3 * 256, 196608, 768, 512, 72}}) {
    WriteFile(Path("p.pcd"), PhotoCd(c.size, c.offset, c.width, c.orientation));
    ImgFmtPCD source;
    ASSERT_EQ(kResultOk, LoadWith(source, Path("p.pcd")));
    const Rgb rgb = RecordRgb(source.Record());
    ASSERT_EQ(c.width, rgb.width);
    ASSERT_EQ(c.height, rgb.height);
    const bool fromTop = (c.orientation & 63) == 8;
    const uint8_t* first = &rgb.pixels[fromTop ? 0 : 3 * c.width * (c.height - 1)];
    // Y' = 1.407488 x 200 = 281.5: clamped; c1 = 20, c2 = 0.
    EXPECT_EQ((std::vector<uint8_t>{255, 255, 255}), std::vector<uint8_t>(first, first + 3));
    const uint8_t* second = &rgb.pixels[fromTop ? 3 * c.width : 3 * c.width * (c.height - 2)];
    EXPECT_EQ((std::vector<uint8_t>{141, 133, 181}), std::vector<uint8_t>(second, second + 3));
  }
  ImgFmtPCD empty;
  WriteFile(Path("e.pcd"), std::vector<uint8_t>(1000, 0));
  EXPECT_EQ(kResultBadData, LoadWith(empty, Path("e.pcd")));
  AbortFlag().store(1);
  ImgFmtPCD aborted;
  WriteFile(Path("p.pcd"), PhotoCd(98304, 47104, 384, 8));
  EXPECT_EQ(kResultAborted, LoadWith(aborted, Path("p.pcd")));
  ClearAbort();
}

}  // namespace
