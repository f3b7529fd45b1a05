#include "player/pictures/formats/gif_source.h"

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
  const char* args;      // between the pictures and the output file
  const char* picture;   // the image of the file ImageMagick decodes for comparison
  const char* reference; // its options for that
};

class GifWrittenTest : public ::testing::TestWithParam<Written> {
 protected:
  void SetUp() override {
    if (!HaveConvert()) GTEST_SKIP() << "convert is missing";
  }
};

// Code sizes 2 to 8, interlacing, transparency (shown on white), local colour tables and the
// last of several images, against ImageMagick's decoding.
TEST_P(GifWrittenTest, MatchesImageMagick) {
  const Written w = GetParam();
  const std::string file = std::string(w.name) + ".gif";
  ASSERT_TRUE(Convert(std::string(w.args) + " " + file)) << file;
  ImgFmtGIF source;
  ASSERT_EQ(kResultOk, LoadWith(source, Path(file))) << file;
  ExpectSamePicture(ReferenceRgb(Path(file) + w.picture, w.reference), RecordRgb(source.Record()), file);
  EXPECT_EQ(u"Ver.89a - LZW compression", std::u16string(source.Record().infoText));
}

INSTANTIATE_TEST_SUITE_P(
    Variants, GifWrittenTest,
    ::testing::Values(
        Written{"colours2", "rose: -colors 2", "", ""},
        Written{"colours4", "rose: -colors 4", "", ""},
        Written{"colours16", "rose: -crop 69x45+0+0 +repage -colors 16", "", ""},
        Written{"colours200", "rose: -colors 200", "", ""},
        Written{"large", "rose: -resize 400x300! -colors 256", "", ""},  // the table fills up to 12-bit codes
        Written{"interlaced", "rose: -resize 73x61! -colors 64 -interlace GIF", "", ""},
        Written{"transparent", "rose: -colors 16 -fuzz 20% -transparent '#FFFFFF' -transparent '#E0E0E0'", "",
                "-background white -alpha remove -alpha off"},
        Written{"multi", "rose: \\( rose: -negate \\) \\( rose: -flip -colors 30 \\) +repage", "[2]", ""}),
    [](const ::testing::TestParamInfo<Written>& info) { return std::string(info.param.name); });

std::vector<uint8_t> Gif(const std::vector<uint8_t>& afterTable, int width = 2, int height = 2) {
  std::vector<uint8_t> f = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x81, 0, 0};
  for (int i = 0; i < 4; ++i) f.insert(f.end(), {uint8_t(60 * i), uint8_t(60 * i), uint8_t(60 * i)});
  f.insert(f.end(), {0x2C, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8), 0});
  f.insert(f.end(), afterTable.begin(), afterTable.end());
  return f;
}

int32_t LoadBytes(const std::vector<uint8_t>& bytes, ImgFmtGIF& source) {
  WriteFile(Path("hand.gif"), bytes);
  return LoadWith(source, Path("hand.gif"));
}

TEST(GifSourceTest, BrokenFilesGiveResultCodes) {
  ImgFmtGIF a, b, c, d, e, f, g;
  std::vector<uint8_t> v7 = Gif({2, 1, 0x44, 0, 0x3B});
  v7[3] = '7';
  EXPECT_EQ(kResultVersion, LoadBytes(v7, a));
  EXPECT_EQ(kResultBadData, LoadBytes({'G', 'I', 'F', '8', '9'}, b));
  // Clear, 1, then code 7 while the next free code is 6.
  EXPECT_EQ(kResultBadData, LoadBytes(Gif({2, 2, 0xCC, 0x01, 0, 0x3B}), c));
  EXPECT_EQ(kResultBadData, LoadBytes(Gif({10, 1, 0, 0, 0x3B}), d));  // code size 10
  // 65535 x 65535 is beyond any bitmap.
  EXPECT_EQ(kResultNoMemory, LoadBytes(Gif({2, 1, 0x44, 0, 0x3B}, 65535, 65535), e));
  std::vector<uint8_t> noImage = Gif({});
  noImage.resize(25);
  noImage.push_back(0x3B);
  EXPECT_EQ(kResultBadData, LoadBytes(noImage, f));
  // Data cut short: what was decoded stays, and the load succeeds.
  ASSERT_EQ(kResultOk, LoadBytes(Gif({2, 1, 0x0C}), g));  // clear, then pixel 1
  EXPECT_EQ(1, g.Record().pixels[4]);
}

TEST(GifSourceTest, TransparentIndexShowsWhite) {
  std::vector<uint8_t> f = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x81, 0, 0};
  for (int i = 0; i < 4; ++i) f.insert(f.end(), {uint8_t(10 * i), 0, 0});
  f.insert(f.end(), {0x21, 0xF9, 4, 1, 0, 0, 3, 0});
  f.insert(f.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 1, 0x0C, 0, 0x3B});
  ImgFmtGIF source;
  ASSERT_EQ(kResultOk, LoadBytes(f, source));
  const RRgbQuad* table = ColourTable(source.Record().info);
  EXPECT_EQ(255, table[3].red + 0);
  EXPECT_EQ(255, table[3].blue + 0);
  EXPECT_EQ(255, table[200].green + 0);
  EXPECT_EQ(10, table[1].red + 0);
}

TEST(GifSourceTest, AbortGives15) {
  AbortFlag().store(1);
  ImgFmtGIF source;
  EXPECT_EQ(kResultAborted, LoadBytes(Gif({2, 1, 0x44, 0, 0x3B}), source));
  ClearAbort();
}

}  // namespace
