#include "player/pictures/image_holder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include "player/base/bytes.h"
#include "player/base/text16.h"
#include "player/media/alloc_hooks.h"
#include "player/media/source_state.h"
#include "player/pictures/formats/picture_sources.h"
#include "player/pictures/tests/picture_test_files.h"

using namespace crv;
using namespace crv::testing_support;

namespace {

std::u16string U16(const std::string& path) { return FromUtf8(path); }

// A binary PPM of width x height whose pixel (x, y) is (x, y, x + y) modulo 256.
std::vector<uint8_t> Ppm(int width, int height) {
  const std::string header = "P6 " + std::to_string(width) + " " + std::to_string(height) + " 255\n";
  std::vector<uint8_t> f(header.begin(), header.end());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) f.insert(f.end(), {uint8_t(x), uint8_t(y), uint8_t(x + y)});
  return f;
}

// A little-endian TIFF with one uncompressed 8-bit grey page per entry; page k is
// (k + 2) x 3 pixels, every pixel of value 40 k + 10.
std::vector<uint8_t> PagesTiff(int pages) {
  std::vector<uint8_t> b = {'I', 'I', 42, 0, 0, 0, 0, 0};
  size_t link = 4;  // where the offset of the next directory goes
  for (int k = 0; k < pages; ++k) {
    const uint32_t width = uint32_t(k + 2), height = 3;
    const auto data = static_cast<uint32_t>(b.size());
    b.insert(b.end(), width * height, uint8_t(40 * k + 10));
    if (b.size() % 2) b.push_back(0);
    PutLe32(&b[link], static_cast<uint32_t>(b.size()));
    const uint32_t entries[][3] = {{256, 4, width}, {257, 4, height}, {258, 3, 8},      {259, 3, 1},
                                   {262, 3, 1},     {273, 4, data},   {277, 3, 1},      {278, 4, height},
                                   {279, 4, width * height}};
    AppendLe16(b, 9);
    for (const auto& e : entries) {
      AppendLe16(b, e[0]);
      AppendLe16(b, e[1]);
      AppendLe32(b, 1);
      if (e[1] == 3) {
        AppendLe16(b, e[2]);
        AppendLe16(b, 0);
      } else {
        AppendLe32(b, e[2]);
      }
    }
    link = b.size();
    AppendLe32(b, 0);
  }
  return b;
}

class HolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterPictureSources();
    SetMediaMode(false);
    registry_.Build();
  }
  ReaderRegistry registry_{nullptr};
};

}  // namespace

// Every row of the image table has its source once the sources are registered.
TEST_F(HolderTest, AllSevenSourcesAreRegistered) {
  for (int row = 0; row < kImageFormatCount; ++row) {
    ImgFmtBase* source = CreateSource(FormatTable::Image, row);
    EXPECT_NE(nullptr, source) << row;
    delete source;
  }
}

// A load keeps the entry, path, depth and result; a reload (no path) reads the same file
// again; the owner cookie survives loads, failures and releases.
TEST_F(HolderTest, LoadReloadAndRelease) {
  WriteFile(Path("holder.ppm"), Ppm(5, 4));
  ImageHolder holder(registry_);
  EXPECT_EQ(kResultNoSource, holder.Result());
  EXPECT_FALSE(holder.HasPicture());
  holder.Record().ownerCookie = 1234;
  ASSERT_TRUE(holder.Load(U16(Path("holder.ppm")).c_str(), 0));
  EXPECT_EQ(kResultOk, holder.Result());
  EXPECT_EQ(registry_.Entry(0), holder.Entry());
  EXPECT_EQ(24, holder.BitsPerPixel());
  EXPECT_EQ(U16(Path("holder.ppm")), std::u16string(holder.Path()));
  EXPECT_EQ(U16(Path("holder.ppm")), std::u16string(holder.Record().path));
  EXPECT_EQ(1234, holder.Record().ownerCookie);
  EXPECT_EQ(static_cast<void*>(&holder), static_cast<void*>(&holder.Record()));
  EXPECT_EQ(5, holder.Record().info->width);

  WriteFile(Path("holder.ppm"), Ppm(7, 2));
  ASSERT_TRUE(holder.Load(nullptr, 0));
  EXPECT_EQ(7, holder.Record().info->width);
  EXPECT_EQ(1234, holder.Record().ownerCookie);

  holder.Release();
  EXPECT_FALSE(holder.HasPicture());
  EXPECT_EQ(nullptr, holder.Entry());
  EXPECT_EQ(1234, holder.Record().ownerCookie);
}

// A missing file is 4; a name without a dot, or an extension no entry lists, is 9; a
// recognised but broken file is the source's code; each leaves the holder empty.
TEST_F(HolderTest, FailuresLeaveTheHolderEmpty) {
  WriteFile(Path("holder.ppm"), Ppm(3, 3));
  ImageHolder holder(registry_);
  holder.Record().ownerCookie = 77;
  ASSERT_TRUE(holder.Load(U16(Path("holder.ppm")).c_str(), 0));

  EXPECT_FALSE(holder.Load(U16(Path("missing.ppm")).c_str(), 0));
  EXPECT_EQ(kResultCannotOpen, holder.Result());
  EXPECT_FALSE(holder.HasPicture());
  EXPECT_EQ(77, holder.Record().ownerCookie);

  WriteFile(Path("nodot"), Ppm(3, 3));
  EXPECT_FALSE(holder.Load(U16(Path("nodot")).c_str(), 0));
  EXPECT_EQ(kResultNoSource, holder.Result());
  WriteFile(Path("holder.xyz"), Ppm(3, 3));
  EXPECT_FALSE(holder.Load(U16(Path("holder.xyz")).c_str(), 0));
  EXPECT_EQ(kResultNoSource, holder.Result());

  WriteFile(Path("broken.pgm"), {'P', '5', ' ', '2', ' ', '2', ' ', '0', '\n'});
  EXPECT_FALSE(holder.Load(U16(Path("broken.pgm")).c_str(), 0));
  EXPECT_EQ(kResultBadData, holder.Result());
  EXPECT_FALSE(holder.HasPicture());
  EXPECT_EQ(nullptr, holder.Entry());
  EXPECT_EQ(77, holder.Record().ownerCookie);
}

// Three pages: the frame count is 3, each page loads through the page loader, page 3 is
// out of range (17) and a single picture has no pages to turn.
TEST_F(HolderTest, PagesOfAThreePageTiff) {
  WriteFile(Path("three.tif"), PagesTiff(3));
  ImageHolder holder(registry_);
  ASSERT_TRUE(holder.Load(U16(Path("three.tif")).c_str(), 0));
  EXPECT_EQ(3, holder.Record().frameCount);
  EXPECT_EQ(2, holder.Record().info->width);
  EXPECT_EQ(kResultOutOfRange, holder.LoadPage(3));
  for (int page : {2, 1, 0}) {
    ASSERT_EQ(kResultOk, holder.LoadPage(page)) << page;
    EXPECT_EQ(page + 2, holder.Record().info->width);
    EXPECT_EQ(40 * page + 10, holder.Record().pixels[0]);
    EXPECT_EQ(8, holder.BitsPerPixel());
  }
  EXPECT_EQ(3, holder.Record().frameCount);

  WriteFile(Path("one.tif"), PagesTiff(1));
  ASSERT_TRUE(holder.Load(U16(Path("one.tif")).c_str(), 0));
  EXPECT_EQ(1, holder.Record().frameCount);
  EXPECT_EQ(kResultOutOfRange, holder.LoadPage(0));
  // A still picture has no frame table: there is no video frame to load.
  EXPECT_EQ(kResultOk, holder.LoadVideoFrame(nullptr, 0));
}

// The three-page file ImageMagick writes behaves the same.
TEST_F(HolderTest, PagesOfAWrittenTiff) {
  if (!HaveConvert()) GTEST_SKIP() << "convert is missing";
  ASSERT_TRUE(Convert("rose: \\( rose: -flip \\) \\( rose: -negate \\) -compress None three-written.tif"));
  ImageHolder holder(registry_);
  ASSERT_TRUE(holder.Load(U16(Path("three-written.tif")).c_str(), 0));
  EXPECT_EQ(3, holder.Record().frameCount);
  EXPECT_EQ(kResultOutOfRange, holder.LoadPage(3));
  ASSERT_EQ(kResultOk, holder.LoadPage(2));
  ExpectSamePicture(ReferenceRgb(Path("three-written.tif") + "[2]"), RecordRgb(holder.Record()), "page 2");
}

namespace {

// The copy as top-down RGB.
Rgb CopyRgb(const RBitmapInfoHeader* info, const uint8_t* pixels) {
  tagRDIBIMG record{};
  record.info = const_cast<RBitmapInfoHeader*>(info);
  record.pixels = const_cast<uint8_t*>(pixels);
  return RecordRgb(record);
}

}  // namespace

// A copy is never larger than the picture: 100 x 50 in a 160 x 120 box stays 100 x 50;
// 1600 x 1200 becomes 160 x 120, each pixel taken from where it falls in the picture.
TEST_F(HolderTest, FitCopyNeverEnlarges) {
  ImageHolder holder(registry_);
  const FitSize box{160, 120};
  const struct {
    int width, height, wantWidth, wantHeight;
  } cases[] = {{100, 50, 100, 50}, {1600, 1200, 160, 120}, {50, 400, 15, 120}, {1000, 10, 160, 1}};
  for (const auto& c : cases) {
    const std::string name = "fit-" + std::to_string(c.width) + ".ppm";
    WriteFile(Path(name), Ppm(c.width, c.height));
    ASSERT_TRUE(holder.Load(U16(Path(name)).c_str(), kLoadNeverReduce)) << name;
    RBitmapInfoHeader* info = nullptr;
    uint8_t* pixels = nullptr;
    RBitmapHandle bitmap = holder.FitCopy(&box, &info, &pixels);
    ASSERT_NE(nullptr, bitmap) << name;
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(24, info->bitCount);
    EXPECT_EQ(c.wantWidth, info->width) << name;
    EXPECT_EQ(c.wantHeight, info->height) << name;
    const Rgb got = CopyRgb(info, pixels);
    for (int y = 0; y < c.wantHeight; ++y)
      for (int x = 0; x < c.wantWidth; ++x) {
        const int sx = x * c.width / c.wantWidth, sy = y * c.height / c.wantHeight;
        const uint8_t* p = &got.pixels[(size_t(y) * c.wantWidth + x) * 3];
        ASSERT_EQ(uint8_t(sx), p[0]) << name << " " << x << "," << y;
        ASSERT_EQ(uint8_t(sy), p[1]) << name << " " << x << "," << y;
        ASSERT_EQ(uint8_t(sx + sy), p[2]) << name << " " << x << "," << y;
      }
    HookDeleteObject(bitmap);
    HookFree(info);
  }
}

// Without a box the copy has the picture's own size; a palette picture becomes 24 bits with
// its colours looked up; an empty holder gives nothing.
TEST_F(HolderTest, FitCopyOfOwnSizeAndPalette) {
  ImageHolder holder(registry_);
  RBitmapInfoHeader* info = nullptr;
  uint8_t* pixels = nullptr;
  EXPECT_EQ(nullptr, holder.FitCopy(nullptr, &info, &pixels));
  EXPECT_EQ(nullptr, info);

  WriteFile(Path("grey.pgm"), {'P', '5', ' ', '3', ' ', '1', ' ', '2', '5', '5', '\n', 0, 128, 255});
  ASSERT_TRUE(holder.Load(U16(Path("grey.pgm")).c_str(), 0));
  ASSERT_EQ(8, holder.BitsPerPixel());
  RBitmapHandle bitmap = holder.FitCopy(nullptr, &info, &pixels);
  ASSERT_NE(nullptr, bitmap);
  EXPECT_EQ(3, info->width);
  EXPECT_EQ(1, info->height);
  EXPECT_EQ((std::vector<uint8_t>{0, 0, 0, 128, 128, 128, 255, 255, 255}), CopyRgb(info, pixels).pixels);
  HookDeleteObject(bitmap);
  HookFree(info);
}

namespace {
void* AbortingCreateDib(void* dc, const void* info, uint32_t usage, void** bits, void* section, uint32_t offset) {
  AbortFlag().store(1);
  return PlatformCreateDib(dc, info, usage, bits, section, offset);
}
}  // namespace

// The abort flag raised while a picture is decoded (here: as its bitmap is made) stops it
// between rows, and the holder reports 15 with its text. The next load starts afresh.
TEST_F(HolderTest, AbortBetweenRowsGives15) {
  WriteFile(Path("abort.ppm"), Ppm(20, 20));
  ImageHolder holder(registry_);
  AllocHooks hooks;
  hooks.createDib = AbortingCreateDib;
  InstallAllocHooks(hooks);
  const bool loaded = holder.Load(U16(Path("abort.ppm")).c_str(), 0);
  InstallAllocHooks(AllocHooks{});
  EXPECT_FALSE(loaded);
  EXPECT_EQ(kResultAborted, holder.Result());
  EXPECT_EQ(std::u16string(u"Loading aborted..."), std::u16string(ResultText(holder.Result())));
  EXPECT_TRUE(holder.Load(nullptr, 0));
}
