#include "player/pictures/formats/bmp_source.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>
#include "player/base/bytes.h"
#include "player/media/alloc_hooks.h"
#include "player/media/source_state.h"
#include "player/pictures/tests/picture_test_files.h"

using namespace crv;
using namespace crv::testing_support;

namespace {

// A Windows bitmap with a 40-byte header: `palette` entries of 4 bytes, then `data`.
std::vector<uint8_t> MakeBmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                             const std::vector<uint32_t>& palette, const std::vector<uint8_t>& data,
                             bool fileHeader = true) {
  std::vector<uint8_t> b;
  const uint32_t offset = 14 + 40 + 4 * static_cast<uint32_t>(palette.size());
  if (fileHeader) {
    b.insert(b.end(), {'B', 'M'});
    AppendLe32(b, offset + static_cast<uint32_t>(data.size()));
    AppendLe32(b, 0);
    AppendLe32(b, offset);
  }
  AppendLe32(b, 40);
  AppendLe32(b, static_cast<uint32_t>(width));
  AppendLe32(b, static_cast<uint32_t>(height));
  AppendLe16(b, 1);
  AppendLe16(b, bits);
  AppendLe32(b, compression);
  AppendLe32(b, static_cast<uint32_t>(data.size()));
  AppendLe32(b, 2835);
  AppendLe32(b, 2835);
  AppendLe32(b, static_cast<uint32_t>(palette.size()));
  AppendLe32(b, 0);
  for (uint32_t c : palette) AppendLe32(b, c);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

std::vector<uint32_t> GreyPalette(int n) {
  std::vector<uint32_t> p;
  for (int i = 0; i < n; ++i) {
    const uint32_t g = static_cast<uint32_t>(i * 255 / (n - 1));
    p.push_back(g | (g << 8) | (g << 16));
  }
  return p;
}

uint16_t FileBits(const std::vector<uint8_t>& f, size_t headerAt) { return Le16(&f[headerAt + 14]); }

struct Written {
  const char* name;
  const char* args;      // convert arguments between the source picture and the output
  uint16_t bits;
  uint32_t compression;
};

class BmpWrittenTest : public ::testing::TestWithParam<Written> {
 protected:
  void SetUp() override {
    if (!HaveConvert()) GTEST_SKIP() << "convert is missing";
  }
};

// Every depth and variant ImageMagick writes, odd and even widths, compared pixel by pixel
// with its own decoding of the same file.
TEST_P(BmpWrittenTest, MatchesImageMagick) {
  const Written w = GetParam();
  for (const char* size : {"70x46", "69x45"}) {
    const std::string file = std::string(w.name) + "-" + size + ".bmp";
    ASSERT_TRUE(Convert(std::string("rose: -crop ") + size + "+0+0 +repage " + w.args + file)) << file;
    const std::vector<uint8_t> bytes = ReadWholeFile(Path(file));
    const bool core = bytes[14] == 12;
    if (core)
      EXPECT_EQ(w.bits, Le16(&bytes[24])) << file;
    else {
      EXPECT_EQ(w.bits, FileBits(bytes, 14)) << file;
      EXPECT_EQ(w.compression, bytes[30]) << file;
    }
    ImgFmtBMP source;
    ASSERT_EQ(kResultOk, LoadWith(source, Path(file))) << file;
    ExpectSamePicture(ReferenceRgb(Path(file)), RecordRgb(source.Record()), file);
    const std::u16string info(source.Record().infoText);
    EXPECT_EQ(w.compression == 1 ? u"RLE8 compression" : w.compression == 2 ? u"RLE4 compression" : u"Uncompressed",
              info);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Depths, BmpWrittenTest,
    ::testing::Values(Written{"bits1", "-monochrome BMP3:", 1, 0},
                      Written{"bits4", "-colors 12 -type Palette -compress None BMP3:", 4, 0},
                      Written{"bits8", "-colors 200 -type Palette -compress None BMP3:", 8, 0},
                      Written{"bits24", "-type TrueColor BMP3:", 24, 0},
                      Written{"rle8", "-colors 200 -type Palette -compress RLE BMP3:", 8, 1},
                      Written{"os2bits8", "-colors 200 -type Palette BMP2:", 8, 0},
                      Written{"os2bits24", "-type TrueColor BMP2:", 24, 0}),
    [](const ::testing::TestParamInfo<Written>& info) { return std::string(info.param.name); });

// The file header is optional: the same bitmap without its first 14 bytes is the same picture.
TEST(BmpSourceTest, BareBitmapWithoutFileHeader) {
  if (!HaveConvert()) GTEST_SKIP();
  ASSERT_TRUE(Convert("rose: -colors 100 -type Palette BMP3:bare-src.bmp"));
  std::vector<uint8_t> bytes = ReadWholeFile(Path("bare-src.bmp"));
  const uint32_t offset = Le32(&bytes[10]);
  const uint32_t colours = Le32(&bytes[46]);
  ASSERT_EQ(offset, 54 + 4 * (colours ? colours : 256));  // the pixels follow the palette
  WriteFile(Path("bare.bmp"), std::vector<uint8_t>(bytes.begin() + 14, bytes.end()));
  ImgFmtBMP source;
  ASSERT_EQ(kResultOk, LoadWith(source, Path("bare.bmp")));
  ExpectSamePicture(ReferenceRgb(Path("bare-src.bmp")), RecordRgb(source.Record()), "bare");
}

// RLE4 pictures with runs, absolute runs of odd and even length (with their pad bytes) and
// line ends, against ImageMagick's decoding of the same file.
TEST(BmpSourceTest, Rle4MatchesImageMagick) {
  if (!HaveConvert()) GTEST_SKIP();
  const std::vector<uint8_t> data = {
      5, 0x12,                      // run of 5: 1 2 1 2 1
      0, 3, 0x34, 0x50, 0,          // absolute 3 pixels: 3 4 5, two bytes: one pad
      0, 0,                         // end of line (row 0 has 8 pixels; the rest stay 0)
      0, 5, 0x67, 0x89, 0xA0, 0,    // absolute 5 pixels: three bytes, one pad
      4, 0xBC, 0, 0,                // run, end of line
      0, 4, 0xDE, 0xF1,             // absolute 4: two bytes, no pad
      6, 0x77, 0, 1};               // end of picture
  WriteFile(Path("rle4.bmp"), MakeBmp(9, 3, 4, 2, GreyPalette(16), data));
  ImgFmtBMP source;
  ASSERT_EQ(kResultOk, LoadWith(source, Path("rle4.bmp")));
  EXPECT_EQ(u"RLE4 compression", std::u16string(source.Record().infoText));
  ExpectSamePicture(ReferenceRgb(Path("rle4.bmp")), RecordRgb(source.Record()), "rle4");
}

// A delta escape ends decoding: the rows before it stay, the picture is a success.
TEST(BmpSourceTest, Rle8DeltaStopsAndSucceeds) {
  const std::vector<uint8_t> data = {3, 7, 0, 0, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 3, 9};
  WriteFile(Path("delta.bmp"), MakeBmp(3, 3, 8, 1, GreyPalette(256), data));
  ImgFmtBMP source;
  ASSERT_EQ(kResultOk, LoadWith(source, Path("delta.bmp")));
  const uint8_t* p = source.Record().pixels;  // bottom row first, rows of 4 bytes
  EXPECT_EQ((std::vector<uint8_t>{7, 7, 7, 0, 1, 2, 3, 0, 0, 0, 0, 0}), std::vector<uint8_t>(p, p + 12));
}

// Runs and absolute runs past the row and past the last row are dropped, at full size and
// when the picture is reduced afterwards.
TEST(BmpSourceTest, RleRunsNeverWritePastTheBitmap) {
  std::vector<uint8_t> data;
  for (int i = 0; i < 600; ++i) data.insert(data.end(), {255, 0x42, 0, 255});
  for (int i = 0; i < 256; ++i) data.push_back(uint8_t(i));
  for (int i = 0; i < 3000; ++i) data.insert(data.end(), {200, 9, 0, 0});
  WriteFile(Path("runs8.bmp"), MakeBmp(1000, 1500, 8, 1, GreyPalette(256), data));
  WriteFile(Path("runs4.bmp"), MakeBmp(1001, 1500, 4, 2, GreyPalette(16), data));
  for (const char* name : {"runs8.bmp", "runs4.bmp"}) {
    for (uint32_t flags : {0u, 4u}) {
      ImgFmtBMP source;
      ASSERT_EQ(kResultOk, LoadWith(source, Path(name), flags)) << name;
      const RBitmapInfoHeader& h = *source.Record().info;
      if (flags == 4 && h.bitCount == 8)
        EXPECT_LT(h.width, 1000);
      else
        EXPECT_EQ(h.width, name[4] == '8' ? 1000 : 1001);
      EXPECT_EQ(9, source.Record().pixels[DibRowBytes(h.bitCount, h.width) * (h.height - 1)]) << name;
    }
  }
}

// 16 bits are 5-5-5 with bit 15 unused; 32 bits drop their fourth byte; both become 24.
TEST(BmpSourceTest, SixteenAndThirtyTwoBitsBecomeTwentyFour) {
  WriteFile(Path("b16.bmp"), MakeBmp(2, 1, 16, 0, {}, {0xFF, 0x7F, 0x1F, 0x80}));
  ImgFmtBMP s16;
  ASSERT_EQ(kResultOk, LoadWith(s16, Path("b16.bmp")));
  EXPECT_EQ(24, s16.Record().info->bitCount);
  const uint8_t* p = s16.Record().pixels;
  EXPECT_EQ((std::vector<uint8_t>{248, 248, 248, 248, 0, 0}), std::vector<uint8_t>(p, p + 6));

  WriteFile(Path("b32.bmp"), MakeBmp(2, 1, 32, 0, {}, {1, 2, 3, 4, 5, 6, 7, 8}));
  ImgFmtBMP s32;
  ASSERT_EQ(kResultOk, LoadWith(s32, Path("b32.bmp")));
  p = s32.Record().pixels;
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 5, 6, 7}), std::vector<uint8_t>(p, p + 6));
}

// A pixel-data offset of exactly 462 means 3-byte palette entries; 2 and 4 bits go straight
// in. (Desktop GDI, under Wine, makes no 2-bit DIB sections; the device does.)
TEST(BmpSourceTest, OffsetOf462ReadsTriplePalette) {
#ifdef _WIN32
  for (uint16_t bits : {4}) {
#else
  for (uint16_t bits : {2, 4}) {
#endif
  std::vector<uint8_t> b = MakeBmp(4, 1, bits, 0, {}, {});
  b[46] = 136;  // colours used
  for (int i = 0; i < 136; ++i) b.insert(b.end(), {uint8_t(i), uint8_t(i + 1), uint8_t(i + 2)});
  ASSERT_EQ(462u, b.size());
  b[10] = 462 & 0xFF;
  b[11] = 462 >> 8;
  if (bits == 2)
    b.insert(b.end(), {0x1B, 0, 0, 0});  // pixels 0 1 2 3
  else
    b.insert(b.end(), {0x01, 0x23, 0, 0});
  WriteFile(Path("b462.bmp"), b);
  ImgFmtBMP source;
  ASSERT_EQ(kResultOk, LoadWith(source, Path("b462.bmp")));
  const Rgb got = RecordRgb(source.Record());
  EXPECT_EQ((std::vector<uint8_t>{2, 1, 0, 3, 2, 1, 4, 3, 2, 5, 4, 3}), got.pixels) << bits;
  }
}

// Hostile and unsupported files answer with result codes.
TEST(BmpSourceTest, BrokenFilesGiveResultCodes) {
  std::vector<uint8_t> good = MakeBmp(2, 2, 24, 0, {}, std::vector<uint8_t>(16, 0x55));
  auto load = [](const std::vector<uint8_t>& bytes, uint32_t flags = 0) {
    WriteFile(Path("broken.bmp"), bytes);
    ImgFmtBMP source;
    return LoadWith(source, Path("broken.bmp"), flags);
  };
  EXPECT_EQ(kResultReadError, load(std::vector<uint8_t>(good.begin(), good.begin() + 10)));
  EXPECT_EQ(kResultReadError, load(std::vector<uint8_t>(good.begin(), good.begin() + 30)));
  auto patched = [&](size_t at, uint32_t value, int bytes) {
    std::vector<uint8_t> b = good;
    for (int i = 0; i < bytes; ++i) b[at + i] = uint8_t(value >> (8 * i));
    return b;
  };
  EXPECT_EQ(kResultBadData, load(patched(18, 0x7FFFFFFF, 4)));   // width
  EXPECT_EQ(kResultBadData, load(patched(22, 0x80000000, 4)));   // height
  EXPECT_EQ(kResultBadData, load(patched(18, 0, 4)));
  std::vector<uint8_t> huge = patched(18, 65535, 4);  // 12 GB of pixels: refused at full size,
  huge[22] = huge[23] = 0xFF;                          // reduced when reducing is allowed
  EXPECT_EQ(kResultNoMemory, load(huge, kLoadNeverReduce));
  EXPECT_EQ(kResultOk, load(huge, 0));
  EXPECT_EQ(kResultVersion, load(patched(28, 12, 2)));           // 12 bits per pixel
  EXPECT_EQ(kResultCompression, load(patched(30, 3, 4)));        // bit fields
  EXPECT_EQ(kResultCompression, load(patched(30, 1, 4)));        // RLE8 on 24 bits
  // Truncated pixels: a success with the rest as created.
  std::vector<uint8_t> cut(good.begin(), good.end() - 10);
  WriteFile(Path("cut.bmp"), cut);
  ImgFmtBMP source;
  ASSERT_EQ(kResultOk, LoadWith(source, Path("cut.bmp")));
  EXPECT_EQ(0x55, source.Record().pixels[5]);
  EXPECT_EQ(0, source.Record().pixels[8]);
}

TEST(BmpSourceTest, AbortBetweenRowsGives15) {
  WriteFile(Path("abort.bmp"), MakeBmp(2, 2, 24, 0, {}, std::vector<uint8_t>(16, 1)));
  WriteFile(Path("abort8.bmp"), MakeBmp(2, 2, 8, 1, GreyPalette(256), {2, 1, 0, 0, 2, 1, 0, 1}));
  for (const char* name : {"abort.bmp", "abort8.bmp"}) {
    AbortFlag().store(1);
    ImgFmtBMP source;
    EXPECT_EQ(kResultAborted, LoadWith(source, Path(name))) << name;
    ClearAbort();
  }
}

}  // namespace
