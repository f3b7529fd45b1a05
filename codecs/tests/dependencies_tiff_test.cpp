// libtiff as the still-image code uses it: pictures read through client procedures (our byte
// streams) and from files, with the codecs this build of the library has built in.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// libtiff's messages, collected instead of printed.
std::vector<std::string> g_tiff_errors;

void CollectError(const char* module, const char* fmt, va_list ap) {
  char text[512];
  std::vsnprintf(text, sizeof text, fmt, ap);
  g_tiff_errors.push_back(std::string(module ? module : "") + ": " + text);
}

class TiffTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_tiff_errors.clear();
    old_error_ = TIFFSetErrorHandler(CollectError);
    old_warning_ = TIFFSetWarningHandler(nullptr);
  }
  void TearDown() override {
    TIFFSetErrorHandler(old_error_);
    TIFFSetWarningHandler(old_warning_);
  }
  TIFFErrorHandler old_error_ = nullptr;
  TIFFErrorHandler old_warning_ = nullptr;
};

// A TIFF file in memory, reached through TIFFClientOpen.
struct MemoryFile {
  std::vector<uint8_t> data;
  uint64_t pos = 0;

  static tmsize_t Read(thandle_t h, void* buf, tmsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    if (f->pos >= f->data.size()) return 0;
    tmsize_t n = std::min<tmsize_t>(size, static_cast<tmsize_t>(f->data.size() - f->pos));
    std::memcpy(buf, f->data.data() + f->pos, n);
    f->pos += n;
    return n;
  }
  static tmsize_t Write(thandle_t h, void* buf, tmsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    if (f->data.size() < f->pos + size) f->data.resize(f->pos + size);
    std::memcpy(f->data.data() + f->pos, buf, size);
    f->pos += size;
    return size;
  }
  static toff_t Seek(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<MemoryFile*>(h);
    int64_t base = whence == SEEK_CUR ? int64_t(f->pos) : whence == SEEK_END ? int64_t(f->data.size()) : 0;
    int64_t to = base + int64_t(off);
    if (to < 0) return static_cast<toff_t>(-1);
    f->pos = uint64_t(to);
    return f->pos;
  }
  static int Close(thandle_t) { return 0; }
  static toff_t Size(thandle_t h) { return static_cast<MemoryFile*>(h)->data.size(); }
  static int Map(thandle_t, void**, toff_t*) { return 0; }
  static void Unmap(thandle_t, void*, toff_t) {}

  TIFF* Open(const char* mode) {
    pos = 0;
    return TIFFClientOpen("memory", mode, this, Read, Write, Seek, Close, Size, Map, Unmap);
  }
};

constexpr uint32_t kWidth = 40;
constexpr uint32_t kHeight = 30;

uint8_t Sample(uint32_t x, uint32_t y, int c) {
  return static_cast<uint8_t>(c == 0 ? x * 6 : c == 1 ? y * 8 : (x * y) & 0xF0);
}

void WriteRgb(TIFF* tif, uint16_t compression) {
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 8);
  TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, "Corvane test picture");
  std::vector<uint8_t> row(kWidth * 3);
  for (uint32_t y = 0; y < kHeight; ++y) {
    for (uint32_t x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = Sample(x, y, c);
    ASSERT_EQ(TIFFWriteScanline(tif, row.data(), y, 0), 1) << "row " << y;
  }
}

void ExpectRgb(TIFF* tif, uint16_t compression) {
  uint32_t w = 0, h = 0;
  uint16_t spp = 0, bps = 0, comp = 0;
  char* description = nullptr;
  ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w));
  ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h));
  ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp));
  ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bps));
  ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_COMPRESSION, &comp));
  ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &description));
  EXPECT_EQ(w, kWidth);
  EXPECT_EQ(h, kHeight);
  EXPECT_EQ(spp, 3);
  EXPECT_EQ(bps, 8);
  EXPECT_EQ(comp, compression);
  EXPECT_STREQ(description, "Corvane test picture");

  std::vector<uint8_t> row(TIFFScanlineSize(tif));
  ASSERT_EQ(row.size(), kWidth * 3);
  int wrong = 0;
  for (uint32_t y = 0; y < kHeight; ++y) {
    ASSERT_EQ(TIFFReadScanline(tif, row.data(), y, 0), 1) << "row " << y;
    for (uint32_t x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c) wrong += row[x * 3 + c] != Sample(x, y, c);
  }
  EXPECT_EQ(wrong, 0);

  // The RGBA interface a picture viewer would use: bottom-up rows, ABGR in each word.
  std::vector<uint32_t> rgba(kWidth * kHeight);
  ASSERT_TRUE(TIFFReadRGBAImage(tif, kWidth, kHeight, rgba.data(), 0));
  const uint32_t px = rgba[(kHeight - 1 - 5) * kWidth + 7];  // x 7, y 5
  EXPECT_EQ(TIFFGetR(px), Sample(7, 5, 0));
  EXPECT_EQ(TIFFGetG(px), Sample(7, 5, 1));
  EXPECT_EQ(TIFFGetB(px), Sample(7, 5, 2));
  EXPECT_EQ(TIFFGetA(px), 255u);
}

class TiffCompression : public TiffTest, public ::testing::WithParamInterface<uint16_t> {};

TEST_P(TiffCompression, RgbPictureRoundTripsInMemory) {
  const uint16_t compression = GetParam();
  ASSERT_TRUE(TIFFIsCODECConfigured(compression)) << "codec " << compression << " not built in";
  MemoryFile file;
  {
    TIFF* tif = file.Open("w");
    ASSERT_NE(tif, nullptr);
    WriteRgb(tif, compression);
    TIFFClose(tif);
  }
  ASSERT_GT(file.data.size(), 8u);
  EXPECT_TRUE(file.data[0] == 'I' || file.data[0] == 'M');
  {
    TIFF* tif = file.Open("r");
    ASSERT_NE(tif, nullptr);
    ExpectRgb(tif, compression);
    TIFFClose(tif);
  }
  EXPECT_TRUE(g_tiff_errors.empty()) << g_tiff_errors.front();
}

INSTANTIATE_TEST_SUITE_P(Builtin, TiffCompression,
                         ::testing::Values(uint16_t(COMPRESSION_NONE), uint16_t(COMPRESSION_PACKBITS),
                                           uint16_t(COMPRESSION_LZW)),
                         [](const ::testing::TestParamInfo<uint16_t>& info) {
                           switch (info.param) {
                             case COMPRESSION_NONE: return std::string("none");
                             case COMPRESSION_PACKBITS: return std::string("packbits");
                             case COMPRESSION_LZW: return std::string("lzw");
                           }
                           return std::to_string(info.param);
                         });

TEST_F(TiffTest, BilevelG4PictureRoundTripsThroughAFile) {
  const auto path = std::filesystem::temp_directory_path() / "crv_deps_tiff_g4.tif";
  const std::string name = path.string();
  constexpr uint32_t w = 64, h = 32;
  auto bit = [](uint32_t x, uint32_t y) { return ((x / 8 + y / 4) & 1) != 0; };
  {
    TIFF* tif = TIFFOpen(name.c_str(), "w");
    ASSERT_NE(tif, nullptr) << name;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, h);
    std::vector<uint8_t> row(w / 8);
    for (uint32_t y = 0; y < h; ++y) {
      std::fill(row.begin(), row.end(), 0);
      for (uint32_t x = 0; x < w; ++x)
        if (bit(x, y)) row[x / 8] |= 0x80 >> (x % 8);
      ASSERT_EQ(TIFFWriteScanline(tif, row.data(), y, 0), 1);
    }
    TIFFClose(tif);
  }
  ASSERT_TRUE(std::filesystem::exists(path));
  {
    TIFF* tif = TIFFOpen(name.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    uint16_t comp = 0;
    ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_COMPRESSION, &comp));
    EXPECT_EQ(comp, COMPRESSION_CCITTFAX4);
    std::vector<uint8_t> row(TIFFScanlineSize(tif));
    ASSERT_EQ(row.size(), w / 8);
    int wrong = 0;
    for (uint32_t y = 0; y < h; ++y) {
      ASSERT_EQ(TIFFReadScanline(tif, row.data(), y, 0), 1);
      for (uint32_t x = 0; x < w; ++x) wrong += ((row[x / 8] & (0x80 >> (x % 8))) != 0) != bit(x, y);
    }
    EXPECT_EQ(wrong, 0);
    TIFFClose(tif);
  }
  std::filesystem::remove(path);
  EXPECT_TRUE(g_tiff_errors.empty()) << g_tiff_errors.front();
}

TEST_F(TiffTest, SomethingElseIsRefusedWithAnError) {
  MemoryFile file;
  file.data = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0, 0, 0};
  TIFF* tif = file.Open("r");
  EXPECT_EQ(tif, nullptr);
  if (tif) TIFFClose(tif);
  EXPECT_FALSE(g_tiff_errors.empty());
}

}  // namespace
