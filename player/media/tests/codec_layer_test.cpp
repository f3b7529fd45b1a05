// The codec layer's own rules: codes, set-up and teardown, the codec libraries through a fake
// loader, the output layouts, and hand-made frames of each decoder.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "player/media/codec_layer.h"
#include "player/media/decoders/pixel_target.h"

namespace crv {
namespace {

TEST(CodecCode, NormalisesLowerCaseAndReadsLittleEndian) {
  EXPECT_EQ(NormaliseCodecCode("cvid"), FourCc("CVID"));
  EXPECT_EQ(NormaliseCodecCode("rle "), FourCc("RLE "));
  EXPECT_EQ(NormaliseCodecCode("mp4v"), FourCc("MP4V"));
  EXPECT_EQ(FourCc("CVID"), 0x44495643u);
  const char zero[4] = {0, 0, 0, 0};
  EXPECT_EQ(NormaliseCodecCode(zero), 0u);
  EXPECT_EQ(NormaliseCodecCode(nullptr), 0u);
  const char odd[4] = {'{', '@', 'z', 'a'};  // only a-z change
  EXPECT_EQ(NormaliseCodecCode(odd), FourCc("{@ZA"));
}

TEST(CodecCode, ChoosesTheDecoder) {
  EXPECT_EQ(CodecKindOf(NormaliseCodecCode("jpeg")), CodecKind::kMjpeg);
  EXPECT_EQ(CodecKindOf(FourCc("MJPG")), CodecKind::kMjpeg);
  EXPECT_EQ(CodecKindOf(NormaliseCodecCode("cvid")), CodecKind::kCinepak);
  for (const char* c : {"CRAM", "cram", "MSVC", "msvc", "WHAM", "wham"})
    EXPECT_EQ(CodecKindOf(NormaliseCodecCode(c)), CodecKind::kMsVideo1) << c;
  EXPECT_EQ(CodecKindOf(FourCc("RPZA")), CodecKind::kRpza);
  EXPECT_EQ(CodecKindOf(FourCc("RAW ")), CodecKind::kRaw);
  EXPECT_EQ(CodecKindOf(FourCc("SVQ1")), CodecKind::kCodecsDll);
  EXPECT_EQ(CodecKindOf(FourCc("H263")), CodecKind::kCodecsDll);
  EXPECT_EQ(CodecKindOf(FourCc("MP4V")), CodecKind::kCodecsDll);
  EXPECT_EQ(CodecKindOf(FourCc("SVQ3")), CodecKind::kCodecs3Dll);
  EXPECT_EQ(CodecKindOf(FourCc("XVID")), CodecKind::kUnknown);
}

TEST(CodecPalette, DerivesThe565Form) {
  const uint32_t pal[4] = {0xFFFFFF, 0xF80000, 0x00FC00, 0x0000F8};
  uint16_t out[4];
  DerivePalette565(pal, out, 4);
  EXPECT_EQ(out[0], 0xFFFF);
  EXPECT_EQ(out[1], 0xF800);
  EXPECT_EQ(out[2], 0x07E0);
  EXPECT_EQ(out[3], 0x001F);

  std::vector<uint32_t> full(256, 0x123456);
  CodecLayer layer;
  int w = 4, h = 2;
  ASSERT_EQ(layer.Setup(nullptr, &w, &h, 8, full.data(), nullptr), 1);
  EXPECT_EQ(layer.Palette565()[200], ((0x12 & 0xF8) << 8) | ((0x34 & 0xFC) << 3) | (0x56 >> 3));
  // A given 16-bit palette is used as it is.
  std::vector<uint16_t> given(256, 0xBEEF);
  ASSERT_EQ(layer.Setup(nullptr, &w, &h, 8, full.data(), given.data()), 1);
  EXPECT_EQ(layer.Palette565()[3], 0xBEEF);
}

// A loader whose libraries remember what was asked of them.
struct FakeLibraries : CodecLibraryLoader {
  static inline std::vector<std::string> calls;
  static inline int init_result = 0;
  static inline bool present = true;

  static int Init(uint32_t code, int w, int h) {
    calls.push_back("init " + std::to_string(w) + "x" + std::to_string(h));
    return init_result;
  }
  static int Finish(uint32_t code) {
    calls.push_back("finish");
    return 0;
  }
  static int Decode(const void*, int size, void* out, int w, int h, int bgr24) {
    // Row y of the picture is filled with y + 1, so turned rows show.
    auto* p = static_cast<uint8_t*>(out);
    const int row = w * (bgr24 ? 3 : 2);
    for (int y = 0; y < h; ++y) std::memset(p + y * row, y + 1, row);
    calls.push_back("decode " + std::to_string(size));
    return 0;
  }
  void* Load(const char16_t* name, CodecLibraryEntries* e) override {
    std::string n;
    for (; *name; ++name) n += static_cast<char>(*name);
    calls.push_back("load " + n);
    if (!present) return nullptr;
    e->init = Init;
    e->finish = Finish;
    e->decode = Decode;
    return this;
  }
  void Release(void*) override { calls.push_back("release"); }
};

class CodecLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeLibraries::calls.clear();
    FakeLibraries::init_result = 0;
    FakeLibraries::present = true;
  }
  FakeLibraries loader;
};

TEST_F(CodecLibraryTest, ReadyLibraryRoundsTheSizeDown) {
  CodecLayer layer(loader);
  int w = 177, h = 145;
  ASSERT_EQ(layer.Setup("SVQ1", &w, &h, 24, nullptr, nullptr), 1);
  EXPECT_EQ(w, 176);
  EXPECT_EQ(h, 144);
  EXPECT_EQ(FakeLibraries::calls, (std::vector<std::string>{"load codecs.dll", "init 177x145"}));
}

TEST_F(CodecLibraryTest, RefusedInitReleasesAndFirstFrameFails) {
  FakeLibraries::init_result = 3;
  CodecLayer layer(loader);
  int w = 177, h = 145;
  EXPECT_EQ(layer.Setup("h263", &w, &h, 24, nullptr, nullptr), 0);
  EXPECT_EQ(w, 177);
  EXPECT_EQ(FakeLibraries::calls,
            (std::vector<std::string>{"load codecs.dll", "init 177x145", "finish", "release"}));
  std::vector<uint8_t> out(177 * 145 * 3);
  const uint8_t data[4] = {};
  EXPECT_EQ(layer.Decode(data, 4, out.data(), false), 0);
}

TEST_F(CodecLibraryTest, MissingLibraryFailsSetUpAndFrames) {
  FakeLibraries::present = false;
  CodecLayer layer(loader);
  int w = 64, h = 48;
  EXPECT_EQ(layer.Setup("SVQ3", &w, &h, 24, nullptr, nullptr), 0);
  EXPECT_EQ(FakeLibraries::calls, (std::vector<std::string>{"load codecs3.dll"}));
  std::vector<uint8_t> out(64 * 48 * 2);
  const uint8_t data[4] = {};
  EXPECT_EQ(layer.Decode(data, 4, out.data(), false), 0);
}

TEST_F(CodecLibraryTest, SecondStreamReleasesTheFirstLibrary) {
  CodecLayer layer(loader);
  int w = 64, h = 48;
  ASSERT_EQ(layer.Setup("SVQ3", &w, &h, 24, nullptr, nullptr), 1);
  ASSERT_EQ(layer.Setup("SVQ3", &w, &h, 24, nullptr, nullptr), 1);
  EXPECT_EQ(FakeLibraries::calls, (std::vector<std::string>{"load codecs3.dll", "init 64x48", "finish", "release",
                                                            "load codecs3.dll", "init 64x48"}));
  layer.Teardown();
  EXPECT_FALSE(layer.LibraryLoaded());
  EXPECT_EQ(FakeLibraries::calls.back(), "release");
}

TEST_F(CodecLibraryTest, LibraryFramesInBothLayouts) {
  CodecLayer layer(loader);
  int w = 8, h = 4;
  ASSERT_EQ(layer.Setup("mp4v", &w, &h, 24, nullptr, nullptr), 1);
  const uint8_t data[5] = {};
  std::vector<uint8_t> out16(8 * 4 * 2), out24(8 * 4 * 3);
  ASSERT_EQ(layer.Decode(data, 5, out16.data(), false), 1);
  EXPECT_EQ(out16[0], 1);                  // top-down
  EXPECT_EQ(out16[3 * 16], 4);
  ASSERT_EQ(layer.Decode(data, 5, out24.data(), true), 1);
  EXPECT_EQ(out24[0], 4);                  // turned bottom-up
  EXPECT_EQ(out24[3 * 24], 1);
  EXPECT_EQ(FakeLibraries::calls.back(), "decode 5");
}

TEST(CodecLayerSetUp, UnknownCodeIsAcceptedAndFailsAtTheFirstFrame) {
  CodecLayer layer;
  int w = 16, h = 16;
  ASSERT_EQ(layer.Setup("XVID", &w, &h, 24, nullptr, nullptr), 1);
  std::vector<uint8_t> out(16 * 16 * 2);
  const uint8_t data[64] = {};
  EXPECT_EQ(layer.Decode(data, sizeof data, out.data(), false), 0);
}

TEST(CodecLayerSetUp, RefusesSizesOutOfRange) {
  CodecLayer layer;
  for (auto [w0, h0] : {std::pair{0, 10}, {10, -1}, {CodecLayer::kMaxSide + 1, 10}}) {
    int w = w0, h = h0;
    EXPECT_EQ(layer.Setup("CVID", &w, &h, 24, nullptr, nullptr), 0);
  }
}

TEST(CodecLayerSetUp, EightBitAnimationFailsAtTheFirstFrame) {
  CodecLayer layer;
  int w = 4, h = 1;
  // One line, one literal pixel: valid for 24 bits.
  const uint8_t frame[] = {0, 0, 0, 13, 0, 0, 1, 1, 200, 100, 50, 0xFF, 0};
  std::vector<uint8_t> out(4 * 2, 0);
  ASSERT_EQ(layer.Setup("rle ", &w, &h, 8, nullptr, nullptr), 1);
  EXPECT_EQ(layer.Decode(frame, sizeof frame, out.data(), false), 0);
  ASSERT_EQ(layer.Setup("rle ", &w, &h, 24, nullptr, nullptr), 1);
  ASSERT_EQ(layer.Decode(frame, sizeof frame, out.data(), false), 1);
  EXPECT_EQ(Load16(out.data()), Pack565(200, 100, 50));
  EXPECT_EQ(Load16(out.data() + 2), 0);
}

TEST(CodecLayerDecode, UncompressedInBothLayoutsWithStride) {
  CodecLayer layer;
  int w = 2, h = 2;
  ASSERT_EQ(layer.Setup(nullptr, &w, &h, 24, nullptr, nullptr), 1);
  // Bottom row first, each row padded to 8 bytes.
  const uint8_t frame[16] = {1, 2, 3, 4, 5, 6, 0, 0, 10, 20, 30, 40, 50, 60, 0, 0};
  std::vector<uint8_t> out(2 * 12 + 2, 0xEE);
  ASSERT_EQ(layer.DecodeInto(frame, sizeof frame, out.data(), 2 * 12, 12, true), 1);
  const uint8_t expect24[] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(std::memcmp(out.data(), expect24, 6), 0);  // stored bottom-up as given
  EXPECT_EQ(out[6], 0xEE);                             // the stride's gap is left alone
  EXPECT_EQ(out[12], 10);
  EXPECT_EQ(out[24], 0xEE);
  std::vector<uint8_t> out16(8);
  ASSERT_EQ(layer.Decode(frame, sizeof frame, out16.data(), false), 1);
  EXPECT_EQ(Load16(out16.data()), Pack565(30, 20, 10));  // top-down: the second stored row
  EXPECT_EQ(Load16(out16.data() + 4), Pack565(3, 2, 1));
  // Too little data, or an output buffer too small for the frame, fail.
  EXPECT_EQ(layer.Decode(frame, 11, out16.data(), false), 0);
  EXPECT_EQ(layer.DecodeInto(frame, sizeof frame, out.data(), 12 + 6 - 1, 12, true), 0);
  EXPECT_EQ(layer.DecodeInto(frame, sizeof frame, out.data(), out.size(), 5, true), 0);
}

TEST(CodecLayerDecode, AppleVideoOneColourAndSkipBlocks) {
  CodecLayer layer;
  int w = 8, h = 4;
  ASSERT_EQ(layer.Setup("rpza", &w, &h, 24, nullptr, nullptr), 1);
  std::vector<uint8_t> out(8 * 4 * 2, 0);
  // Fill both blocks with red, then a frame that skips the first and makes the second blue.
  const uint8_t fill[] = {0xE1, 0, 0, 7, 0xA1, 0x7C, 0x00};
  const uint8_t delta[] = {0xE1, 0, 0, 8, 0x80, 0xA0, 0x00, 0x1F};
  ASSERT_EQ(layer.Decode(fill, sizeof fill, out.data(), false), 1);
  ASSERT_EQ(layer.Decode(delta, sizeof delta, out.data(), false), 1);
  EXPECT_EQ(Load16(out.data()), 0xF800);
  EXPECT_EQ(Load16(out.data() + 2 * 4), 0x001F);
  EXPECT_EQ(Load16(out.data() + 8 * 3 * 2 + 7 * 2), 0x001F);
  // A frame that does not cover every block fails.
  const uint8_t short_frame[] = {0xE1, 0, 0, 7, 0xA0, 0x7C, 0x00};
  EXPECT_EQ(layer.Decode(short_frame, sizeof short_frame, out.data(), false), 0);
}

TEST(CodecLayerDecode, CinepakResetStartsOver) {
  CodecLayer layer;
  int w = 4, h = 4;
  ASSERT_EQ(layer.Setup("cvid", &w, &h, 24, nullptr, nullptr), 1);
  ASSERT_NE(layer.Cinepak(), nullptr);
  // One key strip: a V1 codebook of one grey entry (luma 200) and one V1 block using it.
  const uint8_t frame[] = {0x00, 0x00, 0x00, 0x23, 0, 4, 0, 4, 0, 1,             // frame
                           0x10, 0x00, 0x00, 0x19, 0, 0, 0, 0, 0, 4, 0, 4,       // strip
                           0x26, 0x00, 0x00, 0x08, 200, 200, 200, 200,           // V1 book
                           0x32, 0x00, 0x00, 0x05, 0x00};                        // blocks
  std::vector<uint8_t> out(4 * 4 * 3, 0);
  ASSERT_EQ(layer.Decode(frame, sizeof frame, out.data(), true), 1);
  EXPECT_EQ(out[0], 200);
  EXPECT_EQ(layer.Cinepak()->StripsInUse(), 1);
  layer.Reset();
  EXPECT_EQ(layer.Cinepak()->StripsInUse(), 0);
  EXPECT_EQ(layer.Cinepak()->Picture565()[0], 0);
}

// The picture carries over between frames in both output forms: a key frame decoded to 5-6-5,
// then an inter frame that leaves the first block alone, decoded to 24 bits.
TEST(CodecLayerDecode, CinepakCarriesThePictureOverInEitherForm) {
  CodecLayer layer;
  int w = 8, h = 4;
  ASSERT_EQ(layer.Setup("cvid", &w, &h, 24, nullptr, nullptr), 1);
  const uint8_t key[] = {0x00, 0x00, 0x00, 40, 0, 8, 0, 4, 0, 1,                      // frame
                         0x10, 0x00, 0x00, 30, 0, 0, 0, 0, 0, 4, 0, 8,                // key strip
                         0x26, 0x00, 0x00, 12, 200, 200, 200, 200, 100, 100, 100, 100,  // V1 book
                         0x32, 0x00, 0x00, 6, 0x00, 0x01};                            // two blocks
  const uint8_t inter[] = {0x00, 0x00, 0x00, 31, 0, 8, 0, 4, 0, 1,                   // frame
                           0x11, 0x00, 0x00, 21, 0, 0, 0, 0, 0, 4, 0, 8,             // inter strip
                           0x31, 0x00, 0x00, 9, 0x40, 0, 0, 0, 0x00};                // kept, V1 0
  std::vector<uint16_t> rgb565(8 * 4, 0);
  ASSERT_EQ(layer.Decode(key, sizeof key, rgb565.data(), false), 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x)
      ASSERT_EQ(rgb565[size_t(y) * 8 + x], x < 4 ? Pack565(200, 200, 200) : Pack565(100, 100, 100)) << x << "," << y;
  std::vector<uint8_t> bgr(8 * 4 * 3, 0);
  ASSERT_EQ(layer.Decode(inter, sizeof inter, bgr.data(), true), 1);
  EXPECT_EQ(bgr, std::vector<uint8_t>(8 * 4 * 3, 200));
}

// Blue-green-red rows to 5-6-5 for widths that are and are not whole groups of four, rows
// with gaps between them: every pixel as Pack565 gives it, nothing written past a row.
TEST(PixelRows, BgrTo565AtEveryWidth) {
  for (int width = 1; width <= 9; ++width) {
    const int height = 3;
    const size_t srcStride = size_t(width) * 3 + 5, dstStride = size_t(width) * 2 + 6;
    std::vector<uint8_t> src(srcStride * height);
    for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i * 37 + 11);
    std::vector<uint8_t> dst(dstStride * height, 0xEE);
    PixelTarget target;
    ASSERT_TRUE(MakePixelTarget(dst.data(), dst.size(), dstStride, width, height, PixelForm::kRgb565, &target));
    PutBgrPicture(src.data(), srcStride, target);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const uint8_t* p = &src[y * srcStride + x * 3];
        ASSERT_EQ(Load16(&dst[y * dstStride + x * 2]), Pack565(p[2], p[1], p[0])) << width << ": " << x << "," << y;
      }
      for (size_t b = size_t(width) * 2; b < dstStride; ++b) ASSERT_EQ(dst[y * dstStride + b], 0xEE) << width;
    }
  }
}

TEST(CinepakClamp, MapsTheRange) {
  const uint8_t* t = CinepakClampTable() + 512;
  EXPECT_EQ(t[-512], 0);
  EXPECT_EQ(t[-1], 0);
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[128], 128);
  EXPECT_EQ(t[254], 254);
  EXPECT_EQ(t[255], 255);
  EXPECT_EQ(t[511], 255);
}

TEST(CodecLayerDecode, MjpegRefusesAPictureOfAnotherSize) {
  CodecLayer layer;
  int w = 16, h = 16;
  ASSERT_EQ(layer.Setup("jpeg", &w, &h, 24, nullptr, nullptr), 1);
  std::vector<uint8_t> out(16 * 16 * 3);
  const uint8_t not_jpeg[32] = {1, 2, 3};
  EXPECT_EQ(layer.Decode(not_jpeg, sizeof not_jpeg, out.data(), true), 0);
}

}  // namespace
}  // namespace crv
