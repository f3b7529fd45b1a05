// libjpeg as the still-image code uses it: the IJG 6b interface (version 62), in-memory source
// and destination, errors reported through the error manager rather than by exiting.
// jpeglib.h is kept out of every file that includes windows.h: the two disagree on `boolean`.
#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

namespace {

static_assert(JPEG_LIB_VERSION == 62, "the project is written against the jpeg62 interface");

struct ErrorTrap {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  std::string message;
  int code = 0;
};

void TrapError(j_common_ptr cinfo) {
  auto* trap = reinterpret_cast<ErrorTrap*>(cinfo->err);
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  trap->message = text;
  trap->code = cinfo->err->msg_code;
  std::longjmp(trap->jump, 1);
}

constexpr int kWidth = 64;
constexpr int kHeight = 48;

std::vector<unsigned char> Picture() {
  std::vector<unsigned char> rgb(kWidth * kHeight * 3);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      unsigned char* p = &rgb[(y * kWidth + x) * 3];
      p[0] = static_cast<unsigned char>(x * 4);
      p[1] = static_cast<unsigned char>(y * 5);
      p[2] = static_cast<unsigned char>(128 + (x - y));
    }
  }
  return rgb;
}

// Compresses an RGB picture into memory. Returns false (with the library's message) on error.
bool Compress(const std::vector<unsigned char>& rgb, int quality, std::vector<unsigned char>& out,
              std::string& error) {
  jpeg_compress_struct cinfo;
  ErrorTrap trap;
  cinfo.err = jpeg_std_error(&trap.mgr);
  trap.mgr.error_exit = TrapError;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(trap.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    error = trap.message;
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = kWidth;
  cinfo.image_height = kHeight;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&rgb[cinfo.next_scanline * kWidth * 3]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  out.assign(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return true;
}

struct Decoded {
  int width = 0, height = 0, components = 0;
  std::vector<unsigned char> pixels;
};

bool Decompress(const std::vector<unsigned char>& jpeg, Decoded& out, std::string& error,
                int* code = nullptr) {
  jpeg_decompress_struct cinfo;
  ErrorTrap trap;
  cinfo.err = jpeg_std_error(&trap.mgr);
  trap.mgr.error_exit = TrapError;
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&cinfo);
    error = trap.message;
    if (code) *code = trap.code;
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, const_cast<unsigned char*>(jpeg.data()), jpeg.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  out.width = cinfo.output_width;
  out.height = cinfo.output_height;
  out.components = cinfo.output_components;
  out.pixels.resize(size_t(out.width) * out.height * out.components);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &out.pixels[size_t(cinfo.output_scanline) * out.width * out.components];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

// The header's interface version is checked when this file compiles (above).
TEST(Jpeg62, IsLibjpegTurboWithTheVersion62Interface) {
#ifndef LIBJPEG_TURBO_VERSION_NUMBER
  ADD_FAILURE() << "jpeglib.h is not libjpeg-turbo's";
#endif
  // jpeg_create_* hands the header's version and structure size to the library, which
  // rejects a mismatch through error_exit: a library of another interface fails here.
  jpeg_decompress_struct cinfo;
  ErrorTrap trap;
  cinfo.err = jpeg_std_error(&trap.mgr);
  trap.mgr.error_exit = TrapError;
  if (setjmp(trap.jump)) {
    FAIL() << "creating a decompressor failed: " << trap.message;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
}

TEST(Jpeg62, PictureSurvivesCompressionInMemory) {
  const std::vector<unsigned char> rgb = Picture();
  std::vector<unsigned char> jpeg;
  std::string error;
  ASSERT_TRUE(Compress(rgb, 92, jpeg, error)) << error;
  ASSERT_GT(jpeg.size(), 4u);
  EXPECT_LT(jpeg.size(), rgb.size());
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);  // SOI
  EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF);
  EXPECT_EQ(jpeg[jpeg.size() - 1], 0xD9);  // EOI

  Decoded back;
  ASSERT_TRUE(Decompress(jpeg, back, error)) << error;
  EXPECT_EQ(back.width, kWidth);
  EXPECT_EQ(back.height, kHeight);
  ASSERT_EQ(back.components, 3);
  ASSERT_EQ(back.pixels.size(), rgb.size());
  double sum = 0;
  int worst = 0;
  for (size_t i = 0; i < rgb.size(); ++i) {
    int d = std::abs(int(back.pixels[i]) - int(rgb[i]));
    sum += d;
    worst = std::max(worst, d);
  }
  EXPECT_LT(sum / rgb.size(), 3.0);
  EXPECT_LT(worst, 40);
}

TEST(Jpeg62, LowerQualityMakesASmallerFile) {
  const std::vector<unsigned char> rgb = Picture();
  std::vector<unsigned char> high, low;
  std::string error;
  ASSERT_TRUE(Compress(rgb, 95, high, error)) << error;
  ASSERT_TRUE(Compress(rgb, 20, low, error)) << error;
  EXPECT_LT(low.size(), high.size());
}

TEST(Jpeg62, BrokenDataIsReportedThroughTheErrorManager) {
  Decoded out;
  std::string error;
  int code = 0;
  const std::vector<unsigned char> not_jpeg = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};
  EXPECT_FALSE(Decompress(not_jpeg, out, error, &code));
  EXPECT_EQ(code, JERR_NO_SOI) << error;
  EXPECT_FALSE(error.empty());
}

}  // namespace
