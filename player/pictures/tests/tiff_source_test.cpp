#include "player/pictures/formats/tiff_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/base/bytes.h"
#include "player/base/text16.h"
#include "player/media/alloc_hooks.h"
#include "player/media/source_state.h"
#include "player/media/stream_file.h"
#include "player/pictures/tests/picture_test_files.h"

using namespace crv;
using namespace crv::testing_support;

namespace {

// A little-endian one-strip TIFF of width x height 8-bit single samples; the pixel data
// follow the header, the directory follows the pixels.
std::vector<uint8_t> MakeGreyTiff(uint32_t width, uint32_t height, uint16_t photometric, const std::vector<uint8_t>& data,
                                  uint16_t compression = 1) {
  std::vector<uint8_t> b = {'I', 'I', 42, 0};
  const uint32_t ifd = 8 + static_cast<uint32_t>(data.size());
  AppendLe32(b, ifd);
  b.insert(b.end(), data.begin(), data.end());
  struct Entry {
    uint16_t tag, type;
    uint32_t value;
  };
  const std::vector<Entry> entries = {{256, 4, width},       {257, 4, height}, {258, 3, 8},
                                      {259, 3, compression}, {262, 3, photometric}, {273, 4, 8},
                                      {277, 3, 1},           {278, 4, height}, {279, 4, uint32_t(data.size())}};
  AppendLe16(b, static_cast<uint16_t>(entries.size()));
  for (const Entry& e : entries) {
    AppendLe16(b, e.tag);
    AppendLe16(b, e.type);
    AppendLe32(b, 1);
    if (e.type == 3) {
      AppendLe16(b, e.value);
      AppendLe16(b, 0);
    } else {
      AppendLe32(b, e.value);
    }
  }
  AppendLe32(b, 0);
  return b;
}

int32_t LoadPageOf(const std::string& path, tagRDIBIMG& record, int32_t page) {
  RFileHandle file = StreamFileOpen(FromUtf8(path));
  if (!file) return kResultCannotOpen;
  const int32_t result = record.pageLoader ? record.pageLoader(file, &record, page) : kResultOutOfRange;
  StreamFileClose(file);
  return result;
}

}  // namespace

// Hand-built files (these also run under Wine): grey levels go straight in, white-is-zero
// is turned round, and the colour models without a conversion are refused.
TEST(TiffSourceTest, GreyInterpretationsAndRefusedModels) {
  const std::vector<uint8_t> data = {0, 60, 200, 255, 10, 20, 30, 40};
  WriteFile(Path("black0.tif"), MakeGreyTiff(4, 2, 1, data));
  ImgFmtTIFF black;
  ASSERT_EQ(kResultOk, LoadWith(black, Path("black0.tif")));
  ASSERT_EQ(8, black.Record().info->bitCount);
  EXPECT_EQ(1, black.Record().frameCount);
  EXPECT_EQ(nullptr, black.Record().pageLoader);
  const uint8_t* p = black.Record().pixels;  // bottom row first
  EXPECT_EQ((std::vector<uint8_t>{10, 20, 30, 40, 0, 60, 200, 255}), std::vector<uint8_t>(p, p + 8));
  EXPECT_EQ(77, ColourTable(black.Record().info)[77].green);

  WriteFile(Path("white0.tif"), MakeGreyTiff(4, 2, 0, data));
  ImgFmtTIFF white;
  ASSERT_EQ(kResultOk, LoadWith(white, Path("white0.tif")));
  p = white.Record().pixels;
  EXPECT_EQ((std::vector<uint8_t>{245, 235, 225, 215, 255, 195, 55, 0}), std::vector<uint8_t>(p, p + 8));

  for (uint16_t photometric : {4, 32844, 32845}) {
    WriteFile(Path("model.tif"), MakeGreyTiff(4, 2, photometric, data));
    ImgFmtTIFF source;
    EXPECT_EQ(kResultCompression, LoadWith(source, Path("model.tif"))) << photometric;
  }
  WriteFile(Path("lab.tif"), MakeGreyTiff(4, 2, 8, data));
  ImgFmtTIFF lab;
  EXPECT_EQ(kResultCmykLab, LoadWith(lab, Path("lab.tif")));
  // The compression field alone refuses LZW, whatever the data.
  WriteFile(Path("lzw0.tif"), MakeGreyTiff(4, 2, 1, data, 5));
  ImgFmtTIFF lzw;
  EXPECT_EQ(kResultLzwRefused, LoadWith(lzw, Path("lzw0.tif")));
}

namespace {
void* AbortingCreateDib(void* dc, const void* info, uint32_t usage, void** bits, void* section, uint32_t offset) {
  AbortFlag().store(1);
  return PlatformCreateDib(dc, info, usage, bits, section, offset);
}
}  // namespace

// The abort flag raised once the bitmap exists stops the decoding before the first row.
TEST(TiffSourceTest, AbortBetweenRowsGives15) {
  WriteFile(Path("abort.tif"), MakeGreyTiff(4, 2, 1, {1, 2, 3, 4, 5, 6, 7, 8}));
  AllocHooks hooks;
  hooks.createDib = AbortingCreateDib;
  InstallAllocHooks(hooks);
  ImgFmtTIFF source;
  const int32_t result = LoadWith(source, Path("abort.tif"));
  InstallAllocHooks(AllocHooks{});
  ClearAbort();
  EXPECT_EQ(kResultAborted, result);
}

// Garbage, every cut of a small file and flipped bytes give a result code, never a crash.
TEST(TiffSourceTest, HostileAndTruncatedFiles) {
  WriteFile(Path("text.tif"), std::vector<uint8_t>(3000, 'x'));
  ImgFmtTIFF text;
  EXPECT_EQ(kResultBadData, LoadWith(text, Path("text.tif")));

  std::vector<uint8_t> data(64 * 8);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7);
  const std::vector<uint8_t> whole = MakeGreyTiff(64, 8, 1, data);
  for (size_t keep = 0; keep < whole.size(); keep += 5) {
    WriteFile(Path("cut.tif"), std::vector<uint8_t>(whole.begin(), whole.begin() + keep));
    ImgFmtTIFF source;
    const int32_t result = LoadWith(source, Path("cut.tif"));
    EXPECT_TRUE(result == kResultBadData || result == kResultOk) << keep << ": " << result;
  }
  // A huge size in the directory is refused before anything is allocated.
  std::vector<uint8_t> huge = whole;
  const size_t ifd = 8 + data.size() + 2;
  huge[ifd + 8] = 0xFF, huge[ifd + 9] = 0xFF, huge[ifd + 10] = 0xFF, huge[ifd + 11] = 0x7F;
  WriteFile(Path("huge.tif"), huge);
  ImgFmtTIFF source;
  EXPECT_EQ(kResultBadData, LoadWith(source, Path("huge.tif")));
}

namespace {

class TiffWrittenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveConvert()) GTEST_SKIP() << "convert is missing";
  }
};

struct Written {
  const char* name;
  const char* args;
  uint16_t bits;
};

}  // namespace

// Uncompressed, PackBits, grey, palette, bilevel and fax pictures ImageMagick writes,
// pixel for pixel against its decoding of the same file.
TEST_F(TiffWrittenTest, MatchesImageMagick) {
  const Written cases[] = {
      {"rgb", "-type TrueColor -compress None", 24},
      {"packbits", "-type TrueColor -compress RLE", 24},
      {"grey", "-colorspace Gray -type Grayscale -compress None", 8},
      {"palette", "-colors 60 -type Palette -compress None", 8},
      {"bilevel", "-monochrome -depth 1 -compress None", 1},
      {"g3", "-monochrome -compress Fax", 1},
      {"g4", "-monochrome -compress Group4", 1},
  };
  for (const Written& w : cases) {
    for (const char* size : {"70x46", "69x45"}) {
      const std::string file = std::string(w.name) + "-" + size + ".tif";
      ASSERT_TRUE(Convert(std::string("rose: -crop ") + size + "+0+0 +repage " + w.args + " " + file)) << file;
      ImgFmtTIFF source;
      ASSERT_EQ(kResultOk, LoadWith(source, Path(file))) << file;
      EXPECT_EQ(w.bits, source.Record().info->bitCount) << file;
      ExpectSamePicture(ReferenceRgb(Path(file)), RecordRgb(source.Record()), file);
    }
  }
}

// Separated (CMYK) pictures become 24-bit colour: each ink and the black take away light.
TEST_F(TiffWrittenTest, SeparatedImagesBecomeColour) {
  ASSERT_TRUE(Convert("rose: -colorspace CMYK -compress None cmyk.tif"));
  ImgFmtTIFF source;
  ASSERT_EQ(kResultOk, LoadWith(source, Path("cmyk.tif")));
  EXPECT_EQ(24, source.Record().info->bitCount);
  ExpectSamePicture(ReferenceRgb(Path("cmyk.tif")), RecordRgb(source.Record()), "cmyk");
}

// 16-bit grey becomes 8 bits; ImageMagick's own rounding may differ by one level.
TEST_F(TiffWrittenTest, SixteenBitGreyToEightBits) {
  ASSERT_TRUE(Convert("rose: -colorspace Gray -type Grayscale -depth 16 -compress None grey16.tif"));
  ImgFmtTIFF source;
  ASSERT_EQ(kResultOk, LoadWith(source, Path("grey16.tif")));
  EXPECT_EQ(8, source.Record().info->bitCount);
  const Rgb want = ReferenceRgb(Path("grey16.tif"));
  const Rgb got = RecordRgb(source.Record());
  ASSERT_EQ(want.width, got.width);
  ASSERT_EQ(want.height, got.height);
  ASSERT_EQ(want.pixels.size(), got.pixels.size());
  for (size_t i = 0; i < want.pixels.size(); ++i) ASSERT_NEAR(want.pixels[i], got.pixels[i], 1) << i;
}

// LZW is refused; layouts without a conversion (tiles, separate planes) are reported as an
// unsupported compression rather than decoded wrongly.
TEST_F(TiffWrittenTest, RefusedLayouts) {
  ASSERT_TRUE(Convert("rose: -compress LZW lzw.tif"));
  ImgFmtTIFF lzw;
  EXPECT_EQ(kResultLzwRefused, LoadWith(lzw, Path("lzw.tif")));
  ASSERT_TRUE(Convert("rose: -compress None -define tiff:tile-geometry=16x16 tiled.tif"));
  ImgFmtTIFF tiled;
  EXPECT_EQ(kResultCompression, LoadWith(tiled, Path("tiled.tif")));
  ASSERT_TRUE(Convert("rose: -compress None -interlace Plane planes.tif"));
  ImgFmtTIFF planes;
  EXPECT_EQ(kResultCompression, LoadWith(planes, Path("planes.tif")));
}

// A fax of 204 x 98 dots per inch: every row twice, the resolutions in the header.
TEST_F(TiffWrittenTest, FaxRowsAreRepeated) {
  ASSERT_TRUE(Convert("rose: -monochrome -units PixelsPerInch -density 204x98 -compress Fax fax.tif"));
  ImgFmtTIFF source;
  ASSERT_EQ(kResultOk, LoadWith(source, Path("fax.tif")));
  EXPECT_EQ(204, source.Record().info->xPelsPerMeter);
  EXPECT_EQ(98, source.Record().info->yPelsPerMeter);
  const Rgb want = ReferenceRgb(Path("fax.tif"), "-sample 100%x200%");
  ExpectSamePicture(want, RecordRgb(source.Record()), "fax");
}

// Three pages: the frame count and the page loader, each page against ImageMagick's,
// and a page past the last refused.
TEST_F(TiffWrittenTest, PagesLoadThroughThePageLoader) {
  ASSERT_TRUE(Convert("rose: \\( rose: -flip \\) \\( rose: -negate -resize 50% \\) -compress None three.tif"));
  ImgFmtTIFF source;
  ASSERT_EQ(kResultOk, LoadWith(source, Path("three.tif")));
  tagRDIBIMG& record = source.Record();
  EXPECT_EQ(3, record.frameCount);
  ASSERT_NE(nullptr, record.pageLoader);
  ExpectSamePicture(ReferenceRgb(Path("three.tif") + "[0]"), RecordRgb(record), "page 0");
  for (int32_t page : {2, 1, 0}) {
    ASSERT_EQ(kResultOk, LoadPageOf(Path("three.tif"), record, page)) << page;
    EXPECT_EQ(3, record.frameCount);
    ExpectSamePicture(ReferenceRgb(Path("three.tif") + "[" + std::to_string(page) + "]"), RecordRgb(record),
                      "page " + std::to_string(page));
  }
  EXPECT_EQ(kResultOutOfRange, LoadPageOf(Path("three.tif"), record, 3));
  EXPECT_EQ(kResultOutOfRange, LoadPageOf(Path("three.tif"), record, -1));
  EXPECT_NE(nullptr, record.pixels);  // a refused page leaves the picture there
}
