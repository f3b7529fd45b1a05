// The player's decoders against libavcodec, frame by frame, over movies the ffmpeg tool
// writes: an exact match after both are put in the layer's 5-6-5 and bottom-up 24-bit
// layouts. Motion JPEG is lossy and decoded by the JPEG library, whose inverse transform and
// colour arithmetic round differently: it is held within a level or two of libavcodec's
// pictures, and to the source picture below.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "player/media/codec_layer.h"
#include "player/media/tests/codec_test_movies.h"

namespace crv {
namespace {

using test::Movie;
using test::ReferenceFrames;

const char kPattern[] = "-f lavfi -i testsrc2=size=%s:rate=10 -frames:v 8 ";

std::string Pattern(const std::string& size) {
  char buf[128];
  std::snprintf(buf, sizeof buf, kPattern, size.c_str());
  return buf;
}

bool HaveFfmpeg() { return std::system("ffmpeg -version > /dev/null 2>&1") == 0; }

// Exact for the lossless formats; for Motion JPEG a few levels apart at most, 5-6-5 words a
// step of 8 where the two land either side of one.
enum class Match { kExact, kWithinRounding };

// Decodes every packet through a fresh set-up into one kept buffer (as the frame buffer is
// kept), and compares each frame with the reference.
void ExpectSameFrames(const Movie& movie, const ReferenceFrames& ref, bool bgr24, const char* code = nullptr,
                      int depth = -1, Match match = Match::kExact) {
  CodecLayer layer;
  int w = movie.width, h = movie.SetupHeight();
  ASSERT_EQ(layer.Setup(code ? code : movie.code, &w, &h, depth >= 0 ? depth : movie.depth,
                        movie.palette.empty() ? nullptr : movie.palette.data(), nullptr),
            1);
  ASSERT_EQ(w, movie.width);
  ASSERT_EQ(h, movie.height);
  std::vector<uint8_t> out(static_cast<size_t>(w) * h * (bgr24 ? 3 : 2), 0);
  const auto& frames = bgr24 ? ref.bgr24 : ref.rgb565;
  ASSERT_EQ(frames.size(), movie.packets.size());
  for (size_t i = 0; i < movie.packets.size(); ++i) {
    ASSERT_EQ(layer.Decode(movie.packets[i].data(), movie.packets[i].size(), out.data(), bgr24), 1)
        << "frame " << i << (bgr24 ? " (24-bit)" : " (16-bit)");
    const char* const form = bgr24 ? " (24-bit)" : " (16-bit)";
    if (match == Match::kExact) {
      ASSERT_EQ(test::CountDifferences(out, frames[i]), 0u) << "frame " << i << form;
    } else {
      const test::Distance d = test::FrameDistance(out, frames[i], bgr24);
      EXPECT_LT(d.mean, bgr24 ? 0.5 : 1.0) << "frame " << i << form;
      EXPECT_LE(d.max, bgr24 ? 4 : 8) << "frame " << i << form;
    }
  }
}

struct Case {
  const char* name;
  const char* file;
  std::string args;
  bool palette_via_565;
};

class ReferenceTest : public ::testing::TestWithParam<Case> {};

TEST_P(ReferenceTest, MatchesLibavcodecInBothLayouts) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg tool";
  const Case& c = GetParam();
  const std::string path = test::WriteMovie(c.file, c.args);
  ASSERT_FALSE(path.empty()) << c.args;
  Movie movie;
  ReferenceFrames ref;
  ASSERT_TRUE(test::ReadAndDecode(path, c.palette_via_565, &movie, &ref));
  ExpectSameFrames(movie, ref, false);
  ExpectSameFrames(movie, ref, true);
}

std::vector<Case> Cases() {
  return {
      {"QtRle", "qtrle.mov", Pattern("64x48") + "-c:v qtrle -pix_fmt rgb24", false},
      {"QtRleOddSize", "qtrle_odd.mov", Pattern("37x29") + "-c:v qtrle -pix_fmt rgb24", false},
      {"Rpza", "rpza.mov", Pattern("64x64") + "-c:v rpza -pix_fmt rgb555le", false},
      {"RpzaWide", "rpza_wide.mov", Pattern("128x96") + "-c:v rpza -pix_fmt rgb555le", false},
      {"Cinepak", "cinepak.avi", Pattern("64x48") + "-c:v cinepak", false},
      {"Cinepak32Strips", "cinepak32.avi", Pattern("96x128") + "-c:v cinepak -min_strips 32 -max_strips 32", false},
      {"CinepakQuickTime", "cinepak.mov", Pattern("64x48") + "-c:v cinepak", false},
      {"MsVideo1", "msvc.avi", Pattern("64x48") + "-c:v msvideo1", true},
      {"MsVideo1Cram", "cram.avi", Pattern("64x48") + "-c:v msvideo1 -vtag CRAM", true},
      {"DibBgr24", "dib24.avi", Pattern("64x48") + "-c:v rawvideo -pix_fmt bgr24 -flipped_raw_rgb 1", false},
      {"DibBgr24TopDown", "dib24_td.avi", Pattern("64x48") + "-c:v rawvideo -pix_fmt bgr24", false},
      {"DibBgr24PaddedRows", "dib24_odd.avi", Pattern("33x10") + "-c:v rawvideo -pix_fmt bgr24 -flipped_raw_rgb 1", false},
      {"DibPal8", "dib8.avi", Pattern("64x48") + "-c:v rawvideo -pix_fmt pal8 -flipped_raw_rgb 1", false},
      {"DibPal8TopDown", "dib8_td.avi", Pattern("64x48") + "-c:v rawvideo -pix_fmt pal8", false},
      {"DibPal8PaddedRows", "dib8_odd.avi", Pattern("33x10") + "-c:v rawvideo -pix_fmt pal8 -flipped_raw_rgb 1", false},
      {"RawRgb24", "raw24.mov", Pattern("33x10") + "-c:v rawvideo -pix_fmt rgb24", false},
      {"RawArgb", "raw32.mov", Pattern("33x10") + "-c:v rawvideo -pix_fmt argb", false},
      {"RawRgb555", "raw16.mov", Pattern("33x10") + "-c:v rawvideo -pix_fmt rgb555be", false},
      {"RawPal8", "raw8.mov", Pattern("33x10") + "-c:v rawvideo -pix_fmt pal8", false},
  };
}

INSTANTIATE_TEST_SUITE_P(Movies, ReferenceTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Motion JPEG in the samplings encoders write, at sizes with partial blocks and partial
// pixel groups: within rounding of libavcodec's decoding, in both layouts.
struct MjpegCase {
  const char* name;
  const char* file;
  std::string args;
};

class MjpegReferenceTest : public ::testing::TestWithParam<MjpegCase> {};

TEST_P(MjpegReferenceTest, WithinRoundingOfLibavcodec) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg tool";
  const MjpegCase& c = GetParam();
  const std::string path = test::WriteMovie(c.file, c.args);
  ASSERT_FALSE(path.empty()) << c.args;
  Movie movie;
  ReferenceFrames ref;
  ASSERT_TRUE(test::ReadAndDecode(path, false, &movie, &ref));
  ExpectSameFrames(movie, ref, false, nullptr, -1, Match::kWithinRounding);
  ExpectSameFrames(movie, ref, true, nullptr, -1, Match::kWithinRounding);
}

INSTANTIATE_TEST_SUITE_P(
    Movies, MjpegReferenceTest,
    ::testing::Values(MjpegCase{"Avi420", "mjpeg.avi", Pattern("64x48") + "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p"},
                      MjpegCase{"QuickTime422", "mjpeg.mov", Pattern("48x32") + "-c:v mjpeg -q:v 3 -pix_fmt yuvj422p"},
                      MjpegCase{"Avi444", "mjpeg444.avi", Pattern("64x48") + "-c:v mjpeg -q:v 3 -pix_fmt yuvj444p"},
                      MjpegCase{"OddSize420", "mjpeg_odd.avi", Pattern("37x29") + "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p"},
                      MjpegCase{"OddSize422", "mjpeg_odd.mov", Pattern("53x19") + "-c:v mjpeg -q:v 3 -pix_fmt yuvj422p"}),
    [](const ::testing::TestParamInfo<MjpegCase>& info) { return std::string(info.param.name); });

// The codes real files carry for these formats decode the same packets.
TEST(ReferenceCodes, AppleVideoDecodesWhateverDepthIsDeclared) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg tool";
  const std::string path = test::WriteMovie("rpza_depth.mov", Pattern("64x64") + "-c:v rpza -pix_fmt rgb555le");
  ASSERT_FALSE(path.empty());
  Movie movie;
  ASSERT_TRUE(test::ReadMovie(path, &movie));
  EXPECT_EQ(movie.depth, 24);  // what ffmpeg declares
  ReferenceFrames ref;
  ASSERT_TRUE(test::DecodeReference(movie, false, &ref));
  ExpectSameFrames(movie, ref, false, "rpza", 16);
  ExpectSameFrames(movie, ref, false, "rpza", 24);
  ExpectSameFrames(movie, ref, true, "RPZA", 32);
}

TEST(ReferenceCodes, MicrosoftVideo1UnderEachOfItsCodes) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg tool";
  const std::string path = test::WriteMovie("msvc_codes.avi", Pattern("32x32") + "-c:v msvideo1");
  ASSERT_FALSE(path.empty());
  Movie movie;
  ASSERT_TRUE(test::ReadMovie(path, &movie));
  EXPECT_EQ(std::string(movie.code, 4), "MSVC");
  ReferenceFrames ref;
  ASSERT_TRUE(test::DecodeReference(movie, true, &ref));
  for (const char* code : {"MSVC", "msvc", "WHAM", "wham", "CRAM", "cram"}) {
    SCOPED_TRACE(code);
    ExpectSameFrames(movie, ref, false, code);
  }
}

// Motion JPEG against the picture that was coded: within what the lossy coding loses.
TEST(ReferenceMjpeg, CloseToTheSourcePicture) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg tool";
  const std::string jpeg = test::WriteMovie("mjpeg_src.avi", Pattern("64x48") + "-c:v mjpeg -q:v 2 -pix_fmt yuvj444p");
  const std::string raw = test::WriteMovie("mjpeg_src_raw.avi", Pattern("64x48") + "-c:v rawvideo -pix_fmt bgr24");
  ASSERT_FALSE(jpeg.empty());
  ASSERT_FALSE(raw.empty());
  Movie mj, src;
  ASSERT_TRUE(test::ReadMovie(jpeg, &mj));
  ASSERT_TRUE(test::ReadMovie(raw, &src));
  ASSERT_EQ(mj.packets.size(), src.packets.size());
  CodecLayer layer;
  int w = 64, h = 48;
  ASSERT_EQ(layer.Setup("MJPG", &w, &h, 24, nullptr, nullptr), 1);
  std::vector<uint8_t> out(64 * 48 * 3);
  for (size_t i = 0; i < mj.packets.size(); ++i) {
    ASSERT_EQ(layer.Decode(mj.packets[i].data(), mj.packets[i].size(), out.data(), true), 1);
    // Ours is bottom-up, the source's rows are top-down (negative height); 192 bytes a row.
    // The sharp-edged pattern at this small size loses about 6.6 levels a byte on average
    // through the coding (ffmpeg's own decoding of the file shows the same).
    double err = 0;
    for (size_t k = 0; k < out.size(); ++k)
      err += std::abs(int(out[k]) - int(src.packets[i][(47 - k / 192) * 192 + k % 192]));
    EXPECT_LT(err / out.size(), 10.0) << "frame " << i;
  }
}

// Microsoft Video 1 with 8-bit palette indices, which ffmpeg's encoder does not write: frames
// made here from every kind of block, decoded by libavcodec and by the player.
std::vector<uint8_t> RandomCram8Frame(std::mt19937& rng, int blocks) {
  std::vector<uint8_t> f;
  std::uniform_int_distribution<int> byte(0, 255), kind(0, 3);
  for (int done = 0; done < blocks;) {
    switch (kind(rng)) {
      case 0: {  // skip a few
        const int n = std::min(blocks - done, 1 + byte(rng) % 5);
        f.push_back(static_cast<uint8_t>(n));
        f.push_back(0x84);
        done += n;
        continue;
      }
      case 1:  // two colours
        f.push_back(static_cast<uint8_t>(byte(rng)));
        f.push_back(static_cast<uint8_t>(byte(rng) & 0x7F));
        f.push_back(static_cast<uint8_t>(byte(rng)));
        f.push_back(static_cast<uint8_t>(byte(rng)));
        break;
      case 2:  // eight colours
        f.push_back(static_cast<uint8_t>(byte(rng)));
        f.push_back(static_cast<uint8_t>(0x90 + byte(rng) % 0x70));
        for (int i = 0; i < 8; ++i) f.push_back(static_cast<uint8_t>(byte(rng)));
        break;
      default:  // one colour
        f.push_back(static_cast<uint8_t>(byte(rng)));
        f.push_back(static_cast<uint8_t>(0x80 + byte(rng) % 4));
        break;
    }
    ++done;
  }
  return f;
}

TEST(ReferenceMsVideo1, EightBitThroughThe565Palette) {
  Movie movie;
  std::memcpy(movie.code, "CRAM", 4);
  movie.width = 32;
  movie.height = 24;
  movie.depth = 8;
  movie.codec = AV_CODEC_ID_MSVIDEO1;
  std::mt19937 rng(7);
  movie.palette.resize(256);
  for (uint32_t& c : movie.palette) c = rng() & 0xFFFFFF;
  for (int i = 0; i < 6; ++i) movie.packets.push_back(RandomCram8Frame(rng, (32 / 4) * (24 / 4)));
  // The first frame paints every block, so that both sides start from the same picture.
  movie.packets[0].clear();
  for (int b = 0; b < 48; ++b) {
    movie.packets[0].push_back(static_cast<uint8_t>(b));
    movie.packets[0].push_back(0x80);
  }
  ReferenceFrames ref;
  ASSERT_TRUE(test::DecodeReference(movie, true, &ref));
  ExpectSameFrames(movie, ref, false);
  ExpectSameFrames(movie, ref, true);
}

}  // namespace
}  // namespace crv
