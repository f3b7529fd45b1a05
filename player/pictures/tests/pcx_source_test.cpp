#include "player/pictures/formats/pcx_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include "player/media/source_state.h"
#include "player/pictures/tests/picture_test_files.h"

using namespace crv;
using namespace crv::testing_support;

namespace {

struct Written {
  const char* name;
  const char* args;
  int bitsPerPlane;
  int planes;
};

class PcxWrittenTest : public ::testing::TestWithParam<Written> {
 protected:
  void SetUp() override {
    if (!HaveConvert()) GTEST_SKIP() << "convert is missing";
  }
};

// ImageMagick's PCX files in every depth it writes, at even and odd widths (where its lines
// are as long as the header's bytes-per-line says, which for 8 bits is odd), against its own
// decoding.
TEST_P(PcxWrittenTest, MatchesImageMagick) {
  const Written w = GetParam();
  for (const char* size : {"70x46", "69x45", "67x5"}) {
    const std::string file = std::string(w.name) + "-" + size + ".pcx";
    ASSERT_TRUE(Convert(std::string("rose: -crop ") + size + "+0+0 +repage " + w.args + " PCX:" + file)) << file;
    const std::vector<uint8_t> bytes = ReadWholeFile(Path(file));
    ASSERT_GT(bytes.size(), 128u);
    EXPECT_EQ(w.bitsPerPlane, bytes[3]) << file;
    EXPECT_EQ(w.planes, bytes[65]) << file;
    ImgFmtPCX source;
    ASSERT_EQ(kResultOk, LoadWith(source, Path(file))) << file;
    ExpectSamePicture(ReferenceRgb(Path(file)), RecordRgb(source.Record()), file);
    EXPECT_EQ(u"Ver.5 - RLE compression", std::u16string(source.Record().infoText));
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, PcxWrittenTest,
                         ::testing::Values(Written{"bits8", "-colors 200 -type Palette", 8, 1},
                                           Written{"bits24", "-type TrueColor", 8, 3}),
                         [](const ::testing::TestParamInfo<Written>& info) { return std::string(info.param.name); });

std::vector<uint8_t> Header(int width, int height, int bits, int planes, int lineBytes) {
  std::vector<uint8_t> h(128, 0);
  h[0] = 10;
  h[1] = 5;
  h[2] = 1;
  h[3] = uint8_t(bits);
  h[8] = uint8_t(width - 1);
  h[9] = uint8_t((width - 1) >> 8);
  h[10] = uint8_t(height - 1);
  h[11] = uint8_t((height - 1) >> 8);
  h[65] = uint8_t(planes);
  h[66] = uint8_t(lineBytes);
  h[67] = uint8_t(lineBytes >> 8);
  return h;
}

int32_t LoadBytes(const std::vector<uint8_t>& bytes, ImgFmtPCX& source) {
  WriteFile(Path("hand.pcx"), bytes);
  return LoadWith(source, Path("hand.pcx"));
}

// Runs that cross a line's end go on in the next line; the 8-bit palette follows its mark.
TEST(PcxSourceTest, RunsAcrossLinesAndTrailingPalette) {
  std::vector<uint8_t> f = Header(3, 2, 8, 1, 4);
  f.insert(f.end(), {0xC6, 7, 0xC1, 0xC5, 9});  // 7 x 6, then a literal 0xC5, then 9
  f.push_back(12);
  for (int i = 0; i < 256; ++i) f.insert(f.end(), {uint8_t(i), 0, uint8_t(255 - i)});
  ImgFmtPCX source;
  ASSERT_EQ(kResultOk, LoadBytes(f, source));
  const Rgb rgb = RecordRgb(source.Record());
  EXPECT_EQ((std::vector<uint8_t>{7, 0, 248, 7, 0, 248, 7, 0, 248, 7, 0, 248, 7, 0, 248, 0xC5, 0, 0x3A}), rgb.pixels);
}

// 4 bit planes (ImageMagick reads them but writes none): plane k gives bit k of the pixel,
// with the header's 16 colours, at an odd width.
TEST(PcxSourceTest, FourPlanesMatchImageMagick) {
  if (!HaveConvert()) GTEST_SKIP();
  const int width = 13, height = 5, lineBytes = 2;
  std::vector<uint8_t> f = Header(width, height, 1, 4, lineBytes);
  for (int i = 0; i < 16; ++i) {
    f[16 + 3 * i] = uint8_t(16 * i);
    f[17 + 3 * i] = uint8_t(255 - 16 * i);
    f[18 + 3 * i] = uint8_t(i * 7);
  }
  for (int y = 0; y < height; ++y)
    for (int plane = 0; plane < 4; ++plane)
      for (int b = 0; b < lineBytes; ++b) {
        uint8_t bits = 0;
        for (int i = 0; i < 8; ++i) {
          const int value = (8 * b + i + 3 * y) % 16;
          if ((value >> plane) & 1) bits |= uint8_t(0x80 >> i);
        }
        if (bits >= 0xC0) f.push_back(0xC1);  // a literal of this size needs a run of one
        f.push_back(bits);
      }
  WriteFile(Path("planes4.pcx"), f);
  ImgFmtPCX source;
  ASSERT_EQ(kResultOk, LoadWith(source, Path("planes4.pcx")));
  EXPECT_EQ(4, source.Record().info->bitCount);
  ExpectSamePicture(ReferenceRgb(Path("planes4.pcx")), RecordRgb(source.Record()), "planes4");
}

// One bit is black and white whatever the header's palette says (ImageMagick writes it zero
// and reads such files, its own too, as all black, so it is no reference here).
TEST(PcxSourceTest, OneBitIsBlackAndWhite) {
  std::vector<uint8_t> f = Header(11, 2, 1, 1, 2);
  f.insert(f.end(), {0xA5, 0xC1, 0xE0, 0xC2, 0x00});  // 10100101 111(00000), then 0s
  ImgFmtPCX source;
  ASSERT_EQ(kResultOk, LoadBytes(f, source));
  EXPECT_EQ(1, source.Record().info->bitCount);
  const Rgb rgb = RecordRgb(source.Record());
  std::string top;
  for (int x = 0; x < 11; ++x) top += rgb.pixels[3 * x] == 255 ? '1' : '0';
  EXPECT_EQ("10100101111", top);
  for (int x = 0; x < 11; ++x) EXPECT_EQ(0, rgb.pixels[3 * (11 + x)]);
}

TEST(PcxSourceTest, BrokenFilesGiveResultCodes) {
  ImgFmtPCX a, b, c, d, e;
  std::vector<uint8_t> f = Header(4, 4, 8, 1, 4);
  f[0] = 11;
  EXPECT_EQ(kResultBadData, LoadBytes(f, a));
  EXPECT_EQ(kResultVersion, LoadBytes(Header(4, 4, 2, 2, 1), b));
  EXPECT_EQ(kResultBadData, LoadBytes(Header(40, 4, 8, 1, 4), c));  // lines shorter than the width
  EXPECT_EQ(kResultBadData, LoadBytes(std::vector<uint8_t>(f.begin(), f.begin() + 100), d));
  // Huge sides, a few bytes of data: the rest stays as created, and quickly.
  std::vector<uint8_t> big = Header(65535, 2000, 8, 1, 65535);
  big.insert(big.end(), {0xFF, 3, 0xFF});
  EXPECT_EQ(kResultOk, LoadBytes(big, e));
  EXPECT_EQ(3, e.Record().pixels[static_cast<size_t>(DibRowBytes(8, 65535)) * 1999]);
}

TEST(PcxSourceTest, AbortGives15) {
  std::vector<uint8_t> f = Header(2, 2, 8, 1, 2);
  f.insert(f.end(), {1, 2, 3, 4});
  AbortFlag().store(1);
  ImgFmtPCX source;
  EXPECT_EQ(kResultAborted, LoadBytes(f, source));
  ClearAbort();
}

}  // namespace
