#include "player/pictures/formats/jpeg_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <jpeglib.h>

#include "player/base/bytes.h"
#include "player/media/alloc_hooks.h"
#include "player/media/source_state.h"
#include "player/pictures/tests/picture_test_files.h"

using namespace crv;
using namespace crv::testing_support;

namespace {

struct Trap {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};
void TrapExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<Trap*>(cinfo->err)->jump, 1); }

// A gradient compressed by the library itself, so that these cases run under Wine too.
std::vector<uint8_t> EncodeGradient(int width, int height, bool progressive) {
  std::vector<uint8_t> rgb(size_t(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
      p[0] = uint8_t(x * 7), p[1] = uint8_t(y * 9), p[2] = uint8_t(200 - x * 3);
    }
  jpeg_compress_struct cinfo;
  Trap trap;
  cinfo.err = jpeg_std_error(&trap.mgr);
  trap.mgr.error_exit = TrapExit;
  unsigned char* out = nullptr;
  unsigned long size = 0;
  if (setjmp(trap.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return {};
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 85, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = &rgb[size_t(cinfo.next_scanline) * width * 3];
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> bytes(out, out + size);
  std::free(out);
  return bytes;
}

// The library's own decoding of a file in memory, as RGB (grey expanded to three equal
// samples).
Rgb DecodeRgb(const std::vector<uint8_t>& bytes, unsigned scaleEighths = 8) {
  jpeg_decompress_struct dinfo;
  Trap trap;
  dinfo.err = jpeg_std_error(&trap.mgr);
  trap.mgr.error_exit = TrapExit;
  Rgb want;
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&dinfo);
    return {};
  }
  jpeg_create_decompress(&dinfo);
  jpeg_mem_src(&dinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&dinfo, TRUE);
  const bool grey = dinfo.num_components == 1;
  dinfo.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  dinfo.scale_num = scaleEighths;
  dinfo.scale_denom = 8;
  jpeg_start_decompress(&dinfo);
  want.width = static_cast<int32_t>(dinfo.output_width);
  want.height = static_cast<int32_t>(dinfo.output_height);
  want.pixels.resize(size_t(want.width) * want.height * 3);
  std::vector<uint8_t> line(size_t(want.width) * 3);
  while (dinfo.output_scanline < dinfo.output_height) {
    uint8_t* out = &want.pixels[size_t(dinfo.output_scanline) * want.width * 3];
    JSAMPROW row = line.data();
    jpeg_read_scanlines(&dinfo, &row, 1);
    for (int32_t x = 0; x < want.width; ++x)
      for (int c = 0; c < 3; ++c) out[x * 3 + c] = grey ? line[size_t(x)] : line[size_t(x) * 3 + c];
  }
  jpeg_finish_decompress(&dinfo);
  jpeg_destroy_decompress(&dinfo);
  return want;
}

}  // namespace

namespace {

std::u16string Info(const ImgFmtBase& source) { return std::u16string(source.Record().infoText); }

class JpegWrittenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveConvert()) GTEST_SKIP() << "convert is missing";
  }
};

// Baseline and progressive colour pictures of odd and even sizes that ImageMagick writes,
// pixel for pixel against the library's own decoding of the same file; the info text names
// the JFIF version and the progressive mode.
TEST_F(JpegWrittenTest, ColourBaselineAndProgressive) {
  for (const char* size : {"70x46", "69x45"}) {
    for (bool progressive : {false, true}) {
      const std::string file = std::string(progressive ? "prog-" : "base-") + size + ".jpg";
      ASSERT_TRUE(Convert(std::string("rose: -crop ") + size + "+0+0 +repage -quality 90 " +
                          (progressive ? "-interlace JPEG " : "-interlace none ") + file));
      ImgFmtJPG source;
      ASSERT_EQ(kResultOk, LoadWith(source, Path(file))) << file;
      EXPECT_EQ(24, source.Record().info->bitCount);
      ExpectSamePicture(DecodeRgb(ReadWholeFile(Path(file))), RecordRgb(source.Record()), file);
      EXPECT_EQ(progressive ? u"Ver.1.01 - progressive" : u"Ver.1.01", Info(source)) << file;
    }
  }
}

// A grey JPEG is an 8-bit bitmap whose palette is the grey ramp.
TEST_F(JpegWrittenTest, GreyIsEightBitsWithRamp) {
  ASSERT_TRUE(Convert("rose: -colorspace Gray -type Grayscale grey.jpg"));
  ImgFmtJPG source;
  ASSERT_EQ(kResultOk, LoadWith(source, Path("grey.jpg")));
  ASSERT_EQ(8, source.Record().info->bitCount);
  const RRgbQuad* palette = ColourTable(source.Record().info);
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(i, palette[i].red) << i;
    ASSERT_EQ(i, palette[i].green) << i;
    ASSERT_EQ(i, palette[i].blue) << i;
  }
  EXPECT_EQ(u"Ver.1.01", Info(source));
  ExpectSamePicture(DecodeRgb(ReadWholeFile(Path("grey.jpg"))), RecordRgb(source.Record()), "grey");
}

// The stored C, M, Y, K samples of a JPEG, decoded by the library directly.
std::vector<uint8_t> StoredCmyk(const std::vector<uint8_t>& bytes, int& width, int& height) {
  jpeg_decompress_struct cinfo;
  Trap trap;
  cinfo.err = jpeg_std_error(&trap.mgr);
  trap.mgr.error_exit = TrapExit;
  std::vector<uint8_t> out;
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return {};
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_CMYK;
  jpeg_start_decompress(&cinfo);
  width = static_cast<int>(cinfo.output_width);
  height = static_cast<int>(cinfo.output_height);
  out.resize(static_cast<size_t>(width) * height * 4);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &out[static_cast<size_t>(cinfo.output_scanline) * width * 4];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return out;
}

// CMYK becomes 24 bits: each of red, green, blue is C, M or Y plus K plus one, modulo 256.
TEST_F(JpegWrittenTest, CmykRule) {
  ASSERT_TRUE(Convert("rose: -colorspace CMYK cmyk.jpg"));
  int width = 0, height = 0;
  const std::vector<uint8_t> cmyk = StoredCmyk(ReadWholeFile(Path("cmyk.jpg")), width, height);
  ASSERT_FALSE(cmyk.empty());
  ImgFmtJPG source;
  ASSERT_EQ(kResultOk, LoadWith(source, Path("cmyk.jpg")));
  ASSERT_EQ(24, source.Record().info->bitCount);
  const Rgb got = RecordRgb(source.Record());
  ASSERT_EQ(width, got.width);
  ASSERT_EQ(height, got.height);
  for (size_t p = 0; p < static_cast<size_t>(width) * height; ++p) {
    const uint8_t* s = &cmyk[p * 4];
    for (int c = 0; c < 3; ++c)
      ASSERT_EQ(uint8_t(s[c] + s[3] + 1), got.pixels[p * 3 + c]) << "pixel " << p << " channel " << c;
  }
}

// The reduced picture as the base places rows into it: target pixel (x, y) is source pixel
// (column map[x], the source row placed onto y last). The maps count rows bottom-up in memory
// order and the rows arrive top-down, so the lowest memory row mapped onto y stays.
Rgb PlacedLikeTheMaps(const Rgb& source, const ImgFmtBase& reduced) {
  Rgb out;
  out.width = reduced.Record().info->width;
  out.height = reduced.Record().info->height;
  out.pixels.resize(size_t(out.width) * out.height * 3);
  std::vector<int32_t> lastRow(size_t(out.height), 0);
  for (int32_t y = reduced.SourceHeight() - 1; y >= 0; --y) lastRow[size_t(reduced.RowMap()[y])] = y;
  for (int32_t ty = 0; ty < out.height; ++ty) {
    const int32_t sy = source.height - 1 - lastRow[size_t(out.height - 1 - ty)];
    for (int32_t tx = 0; tx < out.width; ++tx)
      for (int c = 0; c < 3; ++c)
        out.pixels[(size_t(ty) * out.width + tx) * 3 + c] =
            source.pixels[(size_t(sy) * source.width + size_t(reduced.ColumnMap()[tx])) * 3 + c];
  }
  return out;
}

// A large picture asked for at the screen or twice the screen is decoded by the library at
// the smallest eighth that covers the box, then placed into a bitmap of exactly the box.
TEST_F(JpegWrittenTest, LargePictureIsDecodedScaledIntoTheBox) {
  ASSERT_TRUE(Convert("rose: -resize 2400x1600! -sampling-factor 2x2 big.jpg"));
  const std::vector<uint8_t> bytes = ReadWholeFile(Path("big.jpg"));
  OverrideScreenSize(240, 320);
  ImgFmtJPG full;
  ASSERT_EQ(kResultOk, LoadWith(full, Path("big.jpg"), 0));
  EXPECT_EQ(2400, full.Record().info->width);
  EXPECT_FALSE(full.IsReduced());
  struct Case {
    uint32_t flags;
    int k;
    unsigned eighths;  // 2400 x 1600 into 320 x 213 needs 600 x 400; into 640 x 426, 900 x 600
  };
  for (const Case c : {Case{4, 1, 2}, Case{8, 2, 3}, Case{2, 2, 3}}) {
    ImgFmtJPG reduced;
    ASSERT_EQ(kResultOk, LoadWith(reduced, Path("big.jpg"), c.flags));
    const FitBox box = FitToScreenBox(2400, 1600, c.k, 240, 320);
    ASSERT_TRUE(reduced.IsReduced()) << c.flags;
    EXPECT_EQ(box.width, reduced.Record().info->width) << c.flags;
    EXPECT_EQ(box.height, reduced.Record().info->height) << c.flags;
    EXPECT_EQ(int32_t(2400 * c.eighths / 8), reduced.SourceWidth()) << c.flags;
    const Rgb scaled = DecodeRgb(bytes, c.eighths);
    ExpectSamePicture(PlacedLikeTheMaps(scaled, reduced), RecordRgb(reduced.Record()), "flags " + std::to_string(c.flags));
  }
  // Never reduced: the full picture.
  ImgFmtJPG never;
  ASSERT_EQ(kResultOk, LoadWith(never, Path("big.jpg"), 4 | 16));
  EXPECT_EQ(2400, never.Record().info->width);
  OverrideScreenSize(0, 0);
}

// Bitmaps above a million pixels are refused, as memory would refuse them on a handheld.
void* SmallDibsOnly(void* dc, const void* info, uint32_t usage, void** bits, void* section, uint32_t offset) {
  const auto* header = static_cast<const RBitmapInfoHeader*>(info);
  if (int64_t{header->width} * header->height > 1000000) return nullptr;
  return PlatformCreateDib(dc, info, usage, bits, section, offset);
}

// Without a size bit the full size comes first; when memory refuses it, the picture is decoded
// at the scale of the box the base falls back to (twice the screen), and with bit 16 not at all.
TEST_F(JpegWrittenTest, PictureTooLargeForMemoryIsDecodedScaled) {
  ASSERT_TRUE(Convert("rose: -resize 2400x1600! -sampling-factor 2x2 huge.jpg"));
  const std::vector<uint8_t> bytes = ReadWholeFile(Path("huge.jpg"));
  OverrideScreenSize(240, 320);
  AllocHooks hooks;
  hooks.createDib = SmallDibsOnly;
  InstallAllocHooks(hooks);
  ImgFmtJPG reduced, never;
  const int32_t result = LoadWith(reduced, Path("huge.jpg"), 0);
  const int32_t neverResult = LoadWith(never, Path("huge.jpg"), 16);
  InstallAllocHooks(AllocHooks{});
  OverrideScreenSize(0, 0);
  ASSERT_EQ(kResultOk, result);
  const FitBox box = FitToScreenBox(2400, 1600, 2, 240, 320);
  EXPECT_EQ(box.width, reduced.Record().info->width);
  EXPECT_EQ(box.height, reduced.Record().info->height);
  EXPECT_EQ(900, reduced.SourceWidth()) << "three eighths cover 640 x 426";
  ExpectSamePicture(PlacedLikeTheMaps(DecodeRgb(bytes, 3), reduced), RecordRgb(reduced.Record()), "flags 0");
  EXPECT_EQ(kResultNoMemory, neverResult);
}

// Garbage is corrupt data; cuts of a real file end early but never crash: a cut inside the
// headers is corrupt, a cut inside the scan is the picture so far.
TEST_F(JpegWrittenTest, HostileAndTruncatedFiles) {
  ASSERT_TRUE(Convert("rose: cut.jpg"));
  const std::vector<uint8_t> whole = ReadWholeFile(Path("cut.jpg"));
  for (size_t keep : {size_t{0}, size_t{2}, size_t{20}, size_t{150}, whole.size() / 2, whole.size() - 3}) {
    WriteFile(Path("cut-part.jpg"), std::vector<uint8_t>(whole.begin(), whole.begin() + keep));
    ImgFmtJPG source;
    const int32_t result = LoadWith(source, Path("cut-part.jpg"));
    EXPECT_TRUE(result == kResultOk || result == kResultBadData) << keep << ": " << result;
    if (keep < 100) {
      EXPECT_EQ(kResultBadData, result) << keep;
    }
    if (keep >= whole.size() / 2) {
      EXPECT_EQ(kResultOk, result) << keep;
    }
  }
  // Flipped bytes all through the data.
  std::vector<uint8_t> noisy = whole;
  for (size_t i = 0; i < noisy.size(); i += 7) noisy[i] ^= 0x5A;
  WriteFile(Path("noisy.jpg"), noisy);
  ImgFmtJPG source;
  const int32_t result = LoadWith(source, Path("noisy.jpg"));
  EXPECT_TRUE(result == kResultOk || result == kResultBadData) << result;
}

// Where the entropy-coded data of the first scan starts: past the SOS segment, found by
// walking the segments from SOI. 0 when there is none.
size_t ScanDataStart(const std::vector<uint8_t>& bytes) {
  for (size_t i = 2; i + 4 <= bytes.size();) {
    if (bytes[i] != 0xFF) return 0;
    const size_t length = Be16(&bytes[i + 2]);
    if (bytes[i + 1] == 0xDA) return i + 2 + length;
    i += 2 + length;
  }
  return 0;
}

// A file cut inside its scan is what the library itself makes of the bytes there are, pixel
// for pixel: the rows past the end are its filler (mid-grey), not black, whether the cut is in
// the first MCU row, half-way or just before the end; with and without upsampling context,
// and progressive.
TEST_F(JpegWrittenTest, TruncatedScanIsTheLibrarysOwnDecoding) {
  for (const char* sampling : {"2x2", "1x1"}) {
    for (bool progressive : {false, true}) {
      const std::string file = std::string("tall-") + sampling + (progressive ? "-prog.jpg" : ".jpg");
      ASSERT_TRUE(Convert(std::string("rose: -resize 96x400! -quality 85 -sampling-factor ") + sampling +
                          (progressive ? " -interlace JPEG " : " -interlace none ") + file));
      const std::vector<uint8_t> whole = ReadWholeFile(Path(file));
      const size_t scan = ScanDataStart(whole);
      ASSERT_NE(0u, scan) << file;
      for (size_t keep : {scan + 16, whole.size() / 2, whole.size() - 3}) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + keep);
        const std::string what = file + " cut to " + std::to_string(keep) + " bytes";
        WriteFile(Path("tall-cut.jpg"), cut);
        ImgFmtJPG source;
        ASSERT_EQ(kResultOk, LoadWith(source, Path("tall-cut.jpg"))) << what;
        ExpectSamePicture(DecodeRgb(cut), RecordRgb(source.Record()), what);
      }
    }
  }
}

// The same for a cut picture decoded at an eighth into a reduced bitmap, whose rows all pass
// through one row buffer.
TEST_F(JpegWrittenTest, TruncatedLargePictureDecodedScaled) {
  ASSERT_TRUE(Convert("rose: -resize 2400x1600! -sampling-factor 2x2 cut-big.jpg"));
  const std::vector<uint8_t> whole = ReadWholeFile(Path("cut-big.jpg"));
  const std::vector<uint8_t> cut(whole.begin(), whole.begin() + whole.size() / 3);
  WriteFile(Path("cut-big-part.jpg"), cut);
  OverrideScreenSize(240, 320);
  ImgFmtJPG reduced;
  const int32_t result = LoadWith(reduced, Path("cut-big-part.jpg"), 4);
  OverrideScreenSize(0, 0);
  ASSERT_EQ(kResultOk, result);
  ASSERT_TRUE(reduced.IsReduced());
  ASSERT_EQ(600, reduced.SourceWidth()) << "two eighths cover 320 x 213";
  ExpectSamePicture(PlacedLikeTheMaps(DecodeRgb(cut, 2), reduced), RecordRgb(reduced.Record()), "cut, flags 4");
}

}  // namespace


// Our rows are the library's own RGB decoding, in blue, green, red order and bottom-up.
TEST(JpegSourceTest, MatchesTheLibrarysOwnDecoding) {
  for (bool progressive : {false, true}) {
    const std::vector<uint8_t> bytes = EncodeGradient(37, 29, progressive);
    ASSERT_FALSE(bytes.empty());
    WriteFile(Path("own.jpg"), bytes);
    ImgFmtJPG source;
    ASSERT_EQ(kResultOk, LoadWith(source, Path("own.jpg")));
    EXPECT_EQ(progressive ? u"Ver.1.01 - progressive" : u"Ver.1.01", Info(source));
    ExpectSamePicture(DecodeRgb(bytes), RecordRgb(source.Record()), "own");
  }
}

// Raising the abort flag when the bitmap is made: the first row sees it.
namespace {
void* AbortingCreateDib(void* dc, const void* info, uint32_t usage, void** bits, void* section, uint32_t offset) {
  AbortFlag().store(1);
  return PlatformCreateDib(dc, info, usage, bits, section, offset);
}
}  // namespace

TEST(JpegSourceTest, AbortBetweenRowsGives15) {
  WriteFile(Path("abort.jpg"), EncodeGradient(40, 30, false));
  AllocHooks hooks;
  hooks.createDib = AbortingCreateDib;
  InstallAllocHooks(hooks);
  ImgFmtJPG source;
  const int32_t result = LoadWith(source, Path("abort.jpg"));
  InstallAllocHooks(AllocHooks{});
  ClearAbort();
  EXPECT_EQ(kResultAborted, result);
}

// The version comes from the JFIF marker: major, then the minor with two digits.
TEST(JpegSourceTest, InfoTextNamesTheJfifVersion) {
  std::vector<uint8_t> bytes = EncodeGradient(16, 16, false);
  // FF D8, then APP0: FF E0, length, "JFIF\0", major, minor.
  ASSERT_EQ(0xE0, bytes[3]);
  ASSERT_EQ('J', bytes[6]);
  bytes[11] = 1;
  bytes[12] = 2;
  WriteFile(Path("jfif102.jpg"), bytes);
  ImgFmtJPG source;
  ASSERT_EQ(kResultOk, LoadWith(source, Path("jfif102.jpg")));
  EXPECT_EQ(u"Ver.1.02", Info(source));
}

TEST(JpegSourceTest, NotAJpegIsCorrupt) {
  WriteFile(Path("text.jpg"), std::vector<uint8_t>(5000, 'x'));
  ImgFmtJPG source;
  EXPECT_EQ(kResultBadData, LoadWith(source, Path("text.jpg")));
}

// A header that claims 65000 x 65000 over a few bytes of scan ends quickly: the decoded rows
// stay, the rows past the end of the file get the library's filler for missing data
// (mid-grey) without being decoded.
TEST(JpegSourceTest, ShortScanUnderHugeHeaderStopsAtTheEnd) {
  std::vector<uint8_t> bytes = EncodeGradient(64, 64, false);
  // Set the frame's sides (the SOF0 marker: FF C0, length, precision, height, width).
  size_t sof = 0;
  for (size_t i = 2; i + 9 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
      sof = i;
      break;
    }
  ASSERT_NE(0u, sof);
  for (int k : {5, 6, 7, 8}) bytes[sof + k] = k % 2 ? 0xFD : 0xE8;  // 65000 both ways
  bytes.resize(bytes.size() - 2);                                 // and no end marker
  WriteFile(Path("huge.jpg"), bytes);
  ImgFmtJPG source;
  ASSERT_EQ(kResultOk, LoadWith(source, Path("huge.jpg"), 4));
  const tagRDIBIMG& record = source.Record();
  ASSERT_NE(nullptr, record.info);
  EXPECT_TRUE(source.IsReduced());
  // The top row lies near the decoded rows; the bottom row far past the end of the data,
  // where the library's decoding of missing data is mid-grey, never black.
  const uint64_t row = DibRowBytes(24, record.info->width);
  EXPECT_NE(0, record.pixels[row * (record.info->height - 1)]);
  for (int32_t x = 0; x < record.info->width * 3; ++x) ASSERT_EQ(128, record.pixels[x]) << x;
}

// A complete picture whose end marker is missing keeps every row.
TEST(JpegSourceTest, MissingEndMarkerKeepsTheLastRows) {
  std::vector<uint8_t> bytes = EncodeGradient(70, 46, false);
  WriteFile(Path("noend-src.jpg"), bytes);
  ASSERT_EQ(0xD9, bytes.back());
  bytes.resize(bytes.size() - 2);
  WriteFile(Path("noend.jpg"), bytes);
  ImgFmtJPG whole, cut;
  ASSERT_EQ(kResultOk, LoadWith(whole, Path("noend-src.jpg")));
  ASSERT_EQ(kResultOk, LoadWith(cut, Path("noend.jpg")));
  ExpectSamePicture(RecordRgb(whole.Record()), RecordRgb(cut.Record()), "no end marker");
}
