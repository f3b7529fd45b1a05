// The GDI fallbacks of the allocation hooks: with no hooks installed a source's bitmap is a
// real DIB section that GDI can draw into and read from, laid out as the record says, and
// releasing the record gives the section back.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include "player/base/text16.h"
#include "player/media/alloc_hooks.h"
#include "player/media/builtin_entry.h"
#include "player/media/img_fmt_base.h"
#include "player/media/source_state.h"

using namespace crv;

namespace {

class DibSource : public ImgFmtBase {
 public:
  using ImgFmtBase::CreateBitmap;
};

bool IsLiveBitmap(void* handle) { return GetObjectType(static_cast<HGDIOBJ>(handle)) == OBJ_BITMAP; }

class GdiFallbacks : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallAllocHooks(AllocHooks());
    SetCurrentLoadFlags(0);
  }
  void TearDown() override {
    for (int i = 0; i < kVideoFormatCount; ++i) RegisterSource(FormatTable::Video, i, nullptr);
    for (int i = 0; i < kImageFormatCount; ++i) RegisterSource(FormatTable::Image, i, nullptr);
    SetMediaMode(true);
  }
};

}  // namespace

TEST_F(GdiFallbacks, TwentyFourBitSectionIsBottomUpAndDrawable) {
  DibSource s;
  ASSERT_TRUE(s.CreateBitmap(5, 3, 24));
  const tagRDIBIMG& r = s.Record();
  ASSERT_TRUE(r.bitmap && r.pixels);
  DIBSECTION ds{};
  ASSERT_EQ(GetObjectW(static_cast<HBITMAP>(r.bitmap), sizeof(ds), &ds), static_cast<int>(sizeof(ds)));
  EXPECT_EQ(ds.dsBm.bmBits, r.pixels) << "the record's pixels are the section's bits";
  EXPECT_EQ(ds.dsBm.bmWidth, 5);
  EXPECT_EQ(ds.dsBm.bmHeight, 3);
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 24);
  EXPECT_EQ(ds.dsBm.bmWidthBytes, 16) << "rows padded to 4 bytes";
  EXPECT_EQ(ds.dsBmih.biHeight, 3) << "bottom-up";
  EXPECT_EQ(ds.dsBmih.biSizeImage, r.info->sizeImage);

  // Memory row 0 is the bottom row; bytes are blue, green, red.
  r.pixels[0] = 0;
  r.pixels[1] = 0;
  r.pixels[2] = 255;
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  HGDIOBJ old = SelectObject(dc, static_cast<HBITMAP>(r.bitmap));
  ASSERT_NE(old, nullptr) << "the section can be selected into a DC";
  EXPECT_EQ(GetPixel(dc, 0, 2), RGB(255, 0, 0));
  SetPixel(dc, 4, 0, RGB(10, 20, 30));  // top-right, drawn by GDI
  GdiFlush();
  const uint8_t* topRight = r.pixels + 2 * 16 + 4 * 3;
  EXPECT_EQ(topRight[0], 30);
  EXPECT_EQ(topRight[1], 20);
  EXPECT_EQ(topRight[2], 10);
  SelectObject(dc, old);
  DeleteDC(dc);

  void* handle = r.bitmap;
  s.Free();
  EXPECT_FALSE(IsLiveBitmap(handle)) << "releasing the record deletes the section";
  EXPECT_EQ(s.Record().bitmap, nullptr);
}

TEST_F(GdiFallbacks, PalettedSectionCarriesTheColourTable) {
  DibSource s;
  const RRgbQuad palette[2] = {{0, 0, 0, 0}, {40, 50, 60, 0}};
  ASSERT_TRUE(s.CreateBitmap(9, 2, 8, palette, 2));
  const tagRDIBIMG& r = s.Record();
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, static_cast<HBITMAP>(r.bitmap));
  RGBQUAD table[256] = {};
  EXPECT_EQ(GetDIBColorTable(dc, 0, 256, table), 256u);
  EXPECT_EQ(table[1].rgbBlue, 40);
  EXPECT_EQ(table[1].rgbRed, 60);
  r.pixels[0] = 1;  // bottom-left takes entry 1
  GdiFlush();
  EXPECT_EQ(GetPixel(dc, 0, 1), RGB(60, 50, 40));
  SelectObject(dc, old);
  DeleteDC(dc);
}

TEST_F(GdiFallbacks, AnInstalledHookGetsAMemoryDc) {
  static DWORD kind;
  kind = 0;
  AllocHooks hooks;
  hooks.createDib = [](void* dc, const void* info, uint32_t usage, void** bits, void* section,
                       uint32_t offset) -> void* {
    kind = GetObjectType(static_cast<HGDIOBJ>(dc));
    return CreateDIBSection(static_cast<HDC>(dc), static_cast<const BITMAPINFO*>(info), usage, bits,
                            static_cast<HANDLE>(section), offset);
  };
  InstallAllocHooks(hooks);
  DibSource s;
  ASSERT_TRUE(s.CreateBitmap(2, 2, 24));
  EXPECT_EQ(kind, static_cast<DWORD>(OBJ_MEMDC));
  s.Free();
  InstallAllocHooks(AllocHooks());
}

TEST_F(GdiFallbacks, ScreenIsTheSystemMetrics) {
  OverrideScreenSize(0, 0);
  const ScreenSize screen = CurrentScreenSize();
  EXPECT_EQ(screen.width, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(screen.height, GetSystemMetrics(SM_CYSCREEN));
}

namespace {

void* g_sourceBitmap;

class StillSource : public ImgFmtBase {
 public:
  int32_t Load(RFileHandle, uint32_t) override {
    if (!CreateBitmap(4, 4, 24)) return kResultNoMemory;
    g_sourceBitmap = record_.bitmap;
    std::memset(record_.pixels, 0x5A, record_.info->sizeImage);
    return kResultOk;
  }
};
ImgFmtBase* MakeStill() { return new StillSource; }

int32_t FirstFrame(RFileHandle, RFrameTable* table, intptr_t, int32_t) {
  RFrameSlot* slot = Slot(table, 0);
  std::memset(slot->buffer, 0x6B, slot->bytes);
  return 0;
}

class VideoSource : public ImgFmtBase {
 public:
  int32_t Load(RFileHandle file, uint32_t) override {
    const int32_t result = LoadVideo(file, 6, 2, RVideoOps{nullptr, FirstFrame, nullptr, nullptr}, kResultBadData);
    g_sourceBitmap = record_.bitmap;
    return result;
  }
};
ImgFmtBase* MakeVideo() { return new VideoSource; }

tagRDIBIMG RecordFor(const char16_t* path) {
  tagRDIBIMG r;
  std::memset(&r, 0, sizeof(r));
  ResetRecord(r);
  CopyTo(r.path, kRecordPathChars, path);
  return r;
}

}  // namespace

TEST_F(GdiFallbacks, BuiltInEntryMovesOrDropsTheSection) {
  SetMediaMode(false);
  RegisterSource(FormatTable::Image, kImageBmp, MakeStill);
  tagRDIBIMG still = RecordFor(u"\\My Documents\\a.bmp");
  ASSERT_EQ(RLoadImage(nullptr, &still, 0, 0), kResultOk);
  EXPECT_EQ(still.bitmap, g_sourceBitmap) << "picture mode hands the section over";
  EXPECT_TRUE(IsLiveBitmap(still.bitmap));
  EXPECT_EQ(still.pixels[47], 0x5A);
  void* handle = still.bitmap;
  RDeleteImage(&still, nullptr);
  EXPECT_FALSE(IsLiveBitmap(handle));

  SetMediaMode(true);
  RegisterSource(FormatTable::Video, kVideoAvi, MakeVideo);
  tagRDIBIMG video = RecordFor(u"\\My Documents\\clip.avi");
  ASSERT_EQ(RLoadImage(nullptr, &video, 0, 0), kResultOk);
  EXPECT_EQ(video.bitmap, nullptr);
  EXPECT_FALSE(IsLiveBitmap(g_sourceBitmap)) << "the source's section went with the source";
  EXPECT_EQ(video.pixels[2 * 20 - 1], 0x6B) << "the first frame, copied off the section";
  RDeleteImage(&video, nullptr);
}
