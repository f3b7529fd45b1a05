// Corrupt frames: valid packets cut short, garbled, or replaced by noise. A decoder must fail
// such a frame (or, for garbling that still parses, decode something) and never write outside
// the buffer it was given; guard bytes around the output show any stray write natively, the
// sanitizer build and the fuzz targets catch stray reads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "player/media/codec_layer.h"
#include "player/media/tests/codec_test_movies.h"

namespace crv {
namespace {

constexpr size_t kGuard = 64;
constexpr uint8_t kGuardByte = 0xA5;

class GuardedOutput {
 public:
  GuardedOutput(size_t size) : bytes_(size + 2 * kGuard, kGuardByte), size_(size) {}
  void* Data() { return bytes_.data() + kGuard; }
  bool GuardsIntact() const {
    for (size_t i = 0; i < kGuard; ++i)
      if (bytes_[i] != kGuardByte || bytes_[kGuard + size_ + i] != kGuardByte) return false;
    return true;
  }

 private:
  std::vector<uint8_t> bytes_;
  size_t size_;
};

struct Case {
  const char* name;
  const char* file;
  const char* args;
  bool truncation_always_fails;  // false for Motion JPEG: libavcodec shows what arrived
};

class CorruptTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (std::system("ffmpeg -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg tool";
    const Case& c = GetParam();
    const std::string path = test::WriteMovie(c.file, std::string("-f lavfi -i testsrc2=size=64x48:rate=10 -frames:v 4 ") + c.args);
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(test::ReadMovie(path, &movie_));
  }

  // A fresh set-up per frame (no history to lean on), 16- or 24-bit output.
  int DecodeOne(const std::vector<uint8_t>& data, size_t size, bool bgr24, bool* guards) {
    CodecLayer layer;
    int w = movie_.width, h = movie_.SetupHeight();
    EXPECT_EQ(layer.Setup(movie_.code, &w, &h, movie_.depth, movie_.palette.empty() ? nullptr : movie_.palette.data(),
                          nullptr),
              1);
    const size_t out_size = static_cast<size_t>(w) * h * (bgr24 ? 3 : 2);
    GuardedOutput out(out_size);
    // The data is copied to a block of exactly its size, so that a read past it is caught.
    std::vector<uint8_t> exact(data.begin(), data.begin() + size);
    const int r = layer.Decode(exact.empty() ? nullptr : exact.data(), size, out.Data(), bgr24);
    *guards = out.GuardsIntact();
    return r;
  }

  test::Movie movie_;
};

TEST_P(CorruptTest, TruncatedFramesFail) {
  const Case& c = GetParam();
  for (const auto& packet : movie_.packets) {
    const size_t step = packet.size() > 400 ? packet.size() / 200 : 1;
    for (size_t cut = 0; cut * 4 < packet.size() * 3; cut += step) {
      bool guards = false;
      const int r = DecodeOne(packet, cut, cut % 2 == 1, &guards);
      ASSERT_TRUE(guards) << "cut at " << cut << " of " << packet.size();
      if (c.truncation_always_fails) {
        ASSERT_EQ(r, 0) << "cut at " << cut << " of " << packet.size();
      }
    }
  }
}

TEST_P(CorruptTest, GarbledAndRandomFramesStayInBounds) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> data = movie_.packets[round % movie_.packets.size()];
    if (round % 3 == 0) {
      data.resize(rng() % 2048);
      for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
    } else {
      for (int k = 0; k < 1 + round % 8; ++k) data[rng() % data.size()] = static_cast<uint8_t>(rng());
    }
    bool guards = false;
    DecodeOne(data, data.size(), round % 2 == 0, &guards);
    ASSERT_TRUE(guards) << "round " << round;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Movies, CorruptTest,
    ::testing::Values(Case{"QtRle", "c_qtrle.mov", "-c:v qtrle -pix_fmt rgb24", true},
                      Case{"Rpza", "c_rpza.mov", "-c:v rpza -pix_fmt rgb555le", true},
                      Case{"Cinepak", "c_cinepak.avi", "-c:v cinepak -max_strips 4", true},
                      Case{"MsVideo1", "c_msvc.avi", "-c:v msvideo1", true},
                      Case{"DibBgr24", "c_dib24.avi", "-c:v rawvideo -pix_fmt bgr24 -flipped_raw_rgb 1", true},
                      Case{"DibPal8", "c_dib8.avi", "-c:v rawvideo -pix_fmt pal8", true},
                      Case{"RawRgb24", "c_raw24.mov", "-c:v rawvideo -pix_fmt rgb24", true},
                      Case{"Mjpeg", "c_mjpeg.avi", "-c:v mjpeg -pix_fmt yuvj420p", false}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace crv
