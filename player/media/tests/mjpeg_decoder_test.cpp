// The Motion JPEG decoder's two ways: the frames encoders write go through the JPEG library
// (converted here from planes for 5-6-5), the rest - progressive pictures among them - through
// libavcodec; both give the same picture within rounding. JPEG data is made here with the JPEG
// library's encoder, so that the tables and the scan layout are known.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "player/media/decoders/mjpeg.h"
#include "player/media/tests/codec_test_movies.h"

namespace crv {
namespace {

constexpr int kWidth = 72, kHeight = 40;  // partial blocks across and down for 4:2:0

struct JpegOptions {
  bool progressive = false;
  bool grey = false;
  int h_samp = 2, v_samp = 2;
};

// A smooth picture with some edges, coded at quality 90.
std::vector<uint8_t> EncodeTestPicture(const JpegOptions& o) {
  std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = &rgb[(static_cast<size_t>(y) * kWidth + x) * 3];
      p[0] = static_cast<uint8_t>(x * 3);
      p[1] = static_cast<uint8_t>(y * 6);
      p[2] = static_cast<uint8_t>(x < kWidth / 2 ? 40 : 220);
    }
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = kWidth;
  c.image_height = kHeight;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  if (o.grey) jpeg_set_colorspace(&c, JCS_GRAYSCALE);
  c.comp_info[0].h_samp_factor = o.grey ? 1 : o.h_samp;
  c.comp_info[0].v_samp_factor = o.grey ? 1 : o.v_samp;
  if (o.progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = &rgb[static_cast<size_t>(c.next_scanline) * kWidth * 3];
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<uint8_t> data(out, out + size);
  std::free(out);
  return data;
}

std::vector<uint8_t> Decode(MjpegDecoder& d, const std::vector<uint8_t>& jpeg, bool bgr24,
                            MjpegDecoder::Path* path = nullptr) {
  std::vector<uint8_t> out(static_cast<size_t>(kWidth) * kHeight * (bgr24 ? 3 : 2), 0);
  PixelTarget t;
  EXPECT_TRUE(MakePixelTarget(out.data(), out.size(), 0, kWidth, kHeight,
                              bgr24 ? PixelForm::kBgr24 : PixelForm::kRgb565, &t));
  EXPECT_TRUE(d.Decode(jpeg.data(), jpeg.size(), t));
  if (path) *path = d.LastPath();
  return out;
}

TEST(MjpegDecoder, BaselineFramesTakeTheJpegLibraryInEverySampling) {
  MjpegDecoder d;
  ASSERT_TRUE(d.Open());
  for (auto [h, v] : {std::pair{2, 2}, {2, 1}, {1, 1}, {1, 2}}) {
    SCOPED_TRACE(testing::Message() << h << "x" << v);
    JpegOptions o;
    o.h_samp = h;
    o.v_samp = v;
    const std::vector<uint8_t> jpeg = EncodeTestPicture(o);
    for (bool bgr24 : {false, true}) {
      MjpegDecoder::Path path;
      const auto ours = Decode(d, jpeg, bgr24, &path);
      EXPECT_EQ(path, MjpegDecoder::Path::kJpegLibrary);
      // The same picture through libavcodec: a progressive coding of it goes that way.
      o.progressive = true;
      const auto other = Decode(d, EncodeTestPicture(o), bgr24, &path);
      o.progressive = false;
      EXPECT_EQ(path, MjpegDecoder::Path::kLibavcodec);
      // libavcodec's 24-bit pictures blend the chroma between samples, which shows at the
      // picture's sharp colour edge.
      const test::Distance dist = test::FrameDistance(ours, other, bgr24);
      EXPECT_LT(dist.mean, 2.5);
      EXPECT_LE(dist.max, 24);
    }
  }
}

TEST(MjpegDecoder, GreyPicturesComeOutGrey) {
  MjpegDecoder d;
  ASSERT_TRUE(d.Open());
  JpegOptions o;
  o.grey = true;
  MjpegDecoder::Path path;
  const auto out = Decode(d, EncodeTestPicture(o), true, &path);
  EXPECT_EQ(path, MjpegDecoder::Path::kJpegLibrary);
  size_t coloured = 0, dark = 0;
  for (size_t i = 0; i < out.size(); i += 3) {
    coloured += out[i] != out[i + 1] || out[i + 1] != out[i + 2];
    dark += out[i] < 16;
  }
  EXPECT_EQ(coloured, 0u);
  EXPECT_LT(dark, out.size() / 3);  // a picture, not an empty frame
  const auto out565 = Decode(d, EncodeTestPicture(o), false);
  for (size_t i = 0; i < out565.size(); i += 2) {
    const uint16_t w = Load16(&out565[i]);
    ASSERT_EQ(w >> 11, (w & 0x1F)) << "pixel " << i / 2;
  }
}

// Motion JPEG frames commonly leave out the Huffman tables and rely on the standard ones.
TEST(MjpegDecoder, FramesWithoutHuffmanTablesUseTheStandardOnes) {
  const std::vector<uint8_t> jpeg = EncodeTestPicture({});  // the encoder writes the standard tables
  std::vector<uint8_t> stripped;
  size_t i = 0;
  for (; i + 4 <= jpeg.size() && !(jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA);) {
    const bool marker = jpeg[i] == 0xFF && jpeg[i + 1] != 0xD8;
    const size_t length = marker ? (jpeg[i + 2] << 8 | jpeg[i + 3]) + 2u : 2u;
    if (!(marker && jpeg[i + 1] == 0xC4)) stripped.insert(stripped.end(), jpeg.begin() + i, jpeg.begin() + i + length);
    i += length;
  }
  stripped.insert(stripped.end(), jpeg.begin() + i, jpeg.end());
  ASSERT_LT(stripped.size(), jpeg.size());
  MjpegDecoder d;
  ASSERT_TRUE(d.Open());
  MjpegDecoder::Path path;
  const auto with = Decode(d, jpeg, false);
  const auto without = Decode(d, stripped, false, &path);
  EXPECT_EQ(path, MjpegDecoder::Path::kJpegLibrary);
  EXPECT_EQ(with, without);
}

}  // namespace
}  // namespace crv
