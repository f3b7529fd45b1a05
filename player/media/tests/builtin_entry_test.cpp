#include "player/media/builtin_entry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>
#include "player/base/text16.h"
#include "player/media/img_fmt_base.h"
#include "player/media/source_state.h"
#include "player/media/tests/test_hooks.h"

using namespace crv;
using crv::testing_support::Log;
using crv::testing_support::TrackedHooks;

namespace {

// A still source: a width x height picture decoded row by row through the base.
struct StillPlan {
  int32_t width = 4, height = 3;
  uint32_t bits = 24;
  bool makeBitmap = true;
  int32_t result = kResultOk;
  intptr_t cookieAfter = 0;  // when not 0: the cookie the source leaves in its record
  // What the source saw.
  uint32_t flags = 0;
  bool aborted = true;
  intptr_t cookie = 0;
  u16 path;
};
StillPlan g_still;

class FakeStill : public ImgFmtBase {
 public:
  int32_t Load(RFileHandle, uint32_t) override {
    g_still.flags = CurrentLoadFlags();
    g_still.aborted = LoadAborted();
    g_still.cookie = record_.ownerCookie;
    g_still.path = record_.path;
    if (g_still.makeBitmap) {
      if (!CreateBitmap(g_still.width, g_still.height, g_still.bits, nullptr, 0, true)) return kResultNoMemory;
      for (int32_t y = 0; y < g_still.height; ++y) {
        uint8_t* row = RowBuffer(y);
        std::memset(row, 0x33, static_cast<size_t>(SourceRowBytes()));
        PutRow(y);
      }
    }
    CopyTo(record_.infoText, kRecordInfoChars, u"Uncompressed");
    if (g_still.cookieAfter) record_.ownerCookie = g_still.cookieAfter;
    return g_still.result;
  }
};
ImgFmtBase* MakeStill() { return new FakeStill; }

// A video source: 5 x 3, first frame and numbered frames filled with 0x40 + slot, the
// frame on screen kept as 5-6-5 pixels.
constexpr int32_t kVideoW = 5, kVideoH = 3;
uint16_t g_onScreen[kVideoW * kVideoH];
bool g_framesFail;
int32_t g_lastSlot;
intptr_t g_lastCookie;
int g_getFrames, g_mpegMade, g_aviMade;
uint32_t g_tableSlots = 2;

int32_t VideoStart(RFileHandle, RWindow, const char16_t*, uint32_t) { return 0; }
int32_t VideoStep(const uint16_t*, int32_t frame, const RRect*, const RRect*, uint32_t) { return frame + 1; }
int32_t VideoClose() { return 0; }
int32_t VideoGetFrame(RFileHandle, RFrameTable* table, intptr_t cookie, int32_t slot) {
  ++g_getFrames;
  g_lastSlot = slot;
  g_lastCookie = cookie;
  RFrameSlot* s = Slot(table, slot < 0 ? 0 : static_cast<uint32_t>(slot));
  if (g_framesFail || !s->buffer) return -1;
  if (slot < 0)
    Rgb565ToDib24(g_onScreen, kVideoW, kVideoW, kVideoH, s->buffer);
  else
    std::memset(s->buffer, 0x40 + slot, s->bytes);
  return 0;
}
const RVideoOps kVideoOps{VideoStart, VideoGetFrame, VideoStep, VideoClose};

class FakeVideo : public ImgFmtBase {
 public:
  int32_t Load(RFileHandle file, uint32_t) override {
    const int32_t result = LoadVideo(file, kVideoW, kVideoH, kVideoOps, kResultBadData);
    if (result != kResultOk || g_tableSlots == 2) return result;
    // A table of more slots, one of them holding a cached frame.
    RFrameTable* wide = AllocFrameTable(g_tableSlots);
    std::memcpy(wide, record_.frames, FrameTableBytes(2));
    wide->slotCount = g_tableSlots;
    Slot(wide, g_tableSlots - 1)->buffer = static_cast<uint8_t*>(HookAlloc(8));
    FreeFrameTable(record_.frames);
    record_.frames = wide;
    return kResultOk;
  }
};
ImgFmtBase* MakeMpeg() { return ++g_mpegMade, new FakeVideo; }
ImgFmtBase* MakeAvi() { return ++g_aviMade, new FakeVideo; }

tagRDIBIMG EmptyRecord(const char16_t* path, intptr_t cookie) {
  tagRDIBIMG r;
  std::memset(&r, 0, sizeof(r));
  ResetRecord(r);
  r.ownerCookie = cookie;
  CopyTo(r.path, kRecordPathChars, path);
  return r;
}

void ClearSources() {
  for (int i = 0; i < kVideoFormatCount; ++i) RegisterSource(FormatTable::Video, i, nullptr);
  for (int i = 0; i < kImageFormatCount; ++i) RegisterSource(FormatTable::Image, i, nullptr);
}

class Entry : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSources();
    OverrideScreenSize(240, 320);
    g_still = StillPlan();
    g_framesFail = false;
    g_getFrames = g_mpegMade = g_aviMade = 0;
    g_tableSlots = 2;
    for (auto& p : g_onScreen) p = 0xFFFF;
  }
  void TearDown() override {
    ClearSources();
    SetMediaMode(true);
    OverrideScreenSize(0, 0);
    ClearAbort();
  }
  // A loaded video record (media mode, MPEG row).
  tagRDIBIMG LoadVideoRecord() {
    SetMediaMode(true);
    RegisterSource(FormatTable::Video, kVideoMpeg, MakeMpeg);
    tagRDIBIMG r = EmptyRecord(u"\\My Documents\\clip.mpg", 99);
    EXPECT_EQ(RLoadImage(nullptr, &r, 0, 0), kResultOk);
    return r;
  }
  TrackedHooks hooks;
};

}  // namespace

TEST(FormatTables, ExtensionLookup) {
  const RFormatEntry* video = FormatRows(FormatTable::Video);
  EXPECT_EQ(FormatRowCount(video), 6);
  EXPECT_EQ(FindFormatIndex(u"clip.MPEG", video), kVideoMpeg);
  EXPECT_EQ(FindFormatIndex(u"clip.Mpe", video), kVideoMpeg);
  EXPECT_EQ(FindFormatIndex(u"\\Storage Card\\a.b\\clip.mpg", video), kVideoMpeg);
  EXPECT_EQ(FindFormatIndex(u"a.AVI", video), kVideoAvi);
  EXPECT_EQ(FindFormatIndex(u"a.Qt", video), kVideoQuickTime);
  EXPECT_EQ(FindFormatIndex(u"a.rvl", video), kVideoRemoteLink);
  EXPECT_EQ(FindFormatIndex(u"list.hvpl", video), kVideoPlaylist);
  EXPECT_EQ(FindFormatIndex(u"a.txt", video), 6) << "no match: the number of rows";
  EXPECT_EQ(FindFormatIndex(u"a.mp", video), 6) << "a prefix of an extension is no match";
  EXPECT_EQ(FindFormatIndex(u"clip.", video), 6);
  EXPECT_EQ(FindFormatIndex(u"\\My Documents\\clip", video), -1);
  EXPECT_EQ(FindFormatIndex(u"\\clips.avi\\clip", video), -1) << "a folder's dot is not an extension";
  EXPECT_EQ(FindFormatIndex(nullptr, video), -1);

  const RFormatEntry* image = FormatRows(FormatTable::Image);
  EXPECT_EQ(FormatRowCount(image), 7);
  EXPECT_EQ(FindFormatIndex(u"a.2BP", image), kImageBmp);
  EXPECT_EQ(FindFormatIndex(u"a.JPE", image), kImageJpeg);
  EXPECT_EQ(FindFormatIndex(u"a.cfx", image), kImageTiff);
  EXPECT_EQ(FindFormatIndex(u"a.raw", image), kImagePnm);
  EXPECT_EQ(FindFormatIndex(u"a.mpg", image), 7);
  EXPECT_EQ(u16(image[kImagePnm].description), u"Portable Graymap Format");
  EXPECT_EQ(u16(video[kVideoPlaylist].defaultExtension), u"hvpl");
  SetMediaMode(false);
  EXPECT_EQ(RGetSupportedFormats(), image);
  SetMediaMode(true);
  EXPECT_EQ(RGetSupportedFormats(), video);
}

TEST(FormatTables, PlaylistsAndUnknownRowsTakeNoSource) {
  EXPECT_FALSE(RegisterSource(FormatTable::Video, kVideoPlaylist, MakeMpeg));
  EXPECT_FALSE(RegisterSource(FormatTable::Video, kVideoFormatCount, MakeMpeg));
  EXPECT_FALSE(RegisterSource(FormatTable::Image, -1, MakeStill));
  EXPECT_EQ(CreateSource(FormatTable::Video, kVideoPlaylist), nullptr);
  EXPECT_EQ(CreateSource(FormatTable::Image, 7), nullptr);
}

TEST_F(Entry, MediaModeRecordHoldsTableHeaderAndPixelsOnly) {
  tagRDIBIMG r = LoadVideoRecord();
  EXPECT_EQ(r.bitmap, nullptr) << "no DIB section survives";
  EXPECT_EQ(TrackedHooks::LiveBitmaps(), 0u);
  ASSERT_NE(r.frames, nullptr);
  EXPECT_EQ(TrackedHooks::BlockBytes(r.frames), FrameTableBytes(2));
  if (sizeof(void*) == 4) {
    EXPECT_EQ(TrackedHooks::BlockBytes(r.frames), 64u);
  }
  EXPECT_EQ(TrackedHooks::BlockBytes(r.info), 44u);
  EXPECT_EQ(TrackedHooks::BlockBytes(r.pixels), 3u * 16u) << "5 x 3 x 3 bytes, rows padded to 16";
  EXPECT_EQ(TrackedHooks::LiveBlocks(), 3u) << "the source's own record is gone";
  EXPECT_EQ(r.frames->slotCount, 2u);
  EXPECT_EQ(r.frames->Start, VideoStart) << "the view tells the kind of video by Start";
  EXPECT_EQ(Slot(r.frames, 0)->buffer, nullptr);
  EXPECT_EQ(Slot(r.frames, 0)->bytes, 48u);
  EXPECT_EQ(r.pixels[0], 0x40) << "the first frame";
  EXPECT_EQ(r.ownerCookie, 99);
  RDeleteImage(&r, nullptr);
  EXPECT_EQ(TrackedHooks::LiveBlocks(), 0u);
  EXPECT_EQ(r.frames, nullptr);
}

TEST_F(Entry, MediaModeKeepsTwoSlotsOfAWiderTable) {
  g_tableSlots = 5;
  tagRDIBIMG r = LoadVideoRecord();
  EXPECT_EQ(TrackedHooks::BlockBytes(r.frames), FrameTableBytes(2));
  EXPECT_EQ(r.frames->slotCount, 2u) << "no slot may lie past the copied block";
  EXPECT_EQ(TrackedHooks::LiveBlocks(), 3u) << "the cached frame went with the source";
  const int calls = g_getFrames;
  EXPECT_EQ(RLoadFrame(nullptr, &r, 4, nullptr, 0), kResultOk) << "past the kept slots: nothing done";
  EXPECT_EQ(g_getFrames, calls);
  RDeleteImage(&r, nullptr);
  EXPECT_EQ(TrackedHooks::LiveBlocks(), 0u);
}

TEST_F(Entry, CaseOfTheExtensionDoesNotMatter) {
  SetMediaMode(true);
  RegisterSource(FormatTable::Video, kVideoMpeg, MakeMpeg);
  RegisterSource(FormatTable::Video, kVideoAvi, MakeAvi);
  for (const char16_t* path : {u"\\clip.MPEG", u"\\clip.Mpe"}) {
    tagRDIBIMG r = EmptyRecord(path, 1);
    EXPECT_EQ(RLoadImage(nullptr, &r, 0, 0), kResultOk);
    RDeleteImage(&r, nullptr);
  }
  EXPECT_EQ(g_mpegMade, 2);
  EXPECT_EQ(g_aviMade, 0);
}

TEST_F(Entry, NoSourceGives9AndResetsTheRecord) {
  SetMediaMode(true);
  RegisterSource(FormatTable::Video, kVideoMpeg, MakeMpeg);
  for (const char16_t* path : {u"\\My Documents\\clip", u"\\My Documents\\list.hvpl", u"\\a.txt", u"\\a.avi"}) {
    tagRDIBIMG r = EmptyRecord(path, 42);
    r.frameCount = 7;
    EXPECT_EQ(RLoadImage(nullptr, &r, 0, 0), kResultNoSource) << ToUtf8(path);
    EXPECT_EQ(r.frameCount, 1);
    EXPECT_EQ(r.ownerCookie, 42);
    EXPECT_EQ(u16(r.path), path);
  }
  SetMediaMode(false);
  tagRDIBIMG r = EmptyRecord(u"clip.mpg", 5);
  EXPECT_EQ(RLoadImage(nullptr, &r, 0, 0), kResultNoSource) << "picture mode has no .mpg";
  EXPECT_EQ(g_mpegMade, 0);
  EXPECT_EQ(TrackedHooks::LiveBlocks(), 0u);
}

TEST_F(Entry, PictureModeHandsTheSourcesRecordOver) {
  SetMediaMode(false);
  RegisterSource(FormatTable::Image, kImageBmp, MakeStill);
  tagRDIBIMG r = EmptyRecord(u"\\My Documents\\a.BMP", 7);
  ASSERT_EQ(RLoadImage(nullptr, &r, 0x1234, 0), kResultOk);
  EXPECT_EQ(g_still.cookie, 7) << "the cookie is copied into the source";
  EXPECT_EQ(g_still.path, u"\\My Documents\\a.BMP");
  ASSERT_NE(r.bitmap, nullptr);
  EXPECT_EQ(Log().bitmaps.count(r.bitmap), 1u) << "the source's own DIB section, not a copy";
  EXPECT_EQ(r.pixels, r.bitmap);
  EXPECT_EQ(r.pixels[0], 0x33);
  EXPECT_EQ(r.frames, nullptr);
  EXPECT_EQ(u16(r.infoText), u"Uncompressed");
  EXPECT_EQ(TrackedHooks::LiveBlocks(), 1u);
  EXPECT_EQ(RLoadFrame(nullptr, &r, 0, nullptr, 0), kResultOk) << "a still picture has no frames to load";
  EXPECT_EQ(g_getFrames, 0);
  RDeleteImage(&r, nullptr);
  EXPECT_EQ(TrackedHooks::LiveBitmaps(), 0u);
  EXPECT_EQ(TrackedHooks::LiveBlocks(), 0u);
}

TEST_F(Entry, APictureTooLargeForMemoryIsReducedUnlessBit16) {
  SetMediaMode(false);
  RegisterSource(FormatTable::Image, kImageJpeg, MakeStill);
  g_still.width = 4000;
  g_still.height = 3000;
  Log().bitmapBudget = 4u << 20;  // 36 MB at full size does not fit, twice the screen does
  tagRDIBIMG r = EmptyRecord(u"big.jpg", 3);
  ASSERT_EQ(RLoadImage(nullptr, &r, 0, 0), kResultOk);
  EXPECT_EQ(r.info->width, 640) << "twice the screen";
  EXPECT_EQ(r.info->height, 480);
  EXPECT_EQ(r.pixels[DibImageBytes(*r.info) - 1], 0x33) << "every target row was placed";
  RDeleteImage(&r, nullptr);

  tagRDIBIMG refused = EmptyRecord(u"big.jpg", 3);
  EXPECT_EQ(RLoadImage(nullptr, &refused, 0, kLoadNeverReduce), kResultNoMemory);
  EXPECT_EQ(g_still.flags, kLoadNeverReduce);
  EXPECT_EQ(refused.info, nullptr);
  EXPECT_EQ(refused.ownerCookie, 3);
  EXPECT_EQ(TrackedHooks::LiveBlocks() + TrackedHooks::LiveBitmaps(), 0u);
}

TEST_F(Entry, AFailingSourceLeavesNothing) {
  SetMediaMode(false);
  RegisterSource(FormatTable::Image, kImageGif, MakeStill);
  g_still.result = kResultBadData;
  tagRDIBIMG r = EmptyRecord(u"a.gif", 11);
  EXPECT_EQ(RLoadImage(nullptr, &r, 0, 0), kResultBadData);
  EXPECT_EQ(r.info, nullptr);
  EXPECT_EQ(r.ownerCookie, 11);
  EXPECT_EQ(r.infoText[0], 0);
  EXPECT_EQ(TrackedHooks::LiveBlocks() + TrackedHooks::LiveBitmaps(), 0u);
  g_still.cookieAfter = 21;
  EXPECT_EQ(RLoadImage(nullptr, &r, 0, 0), kResultBadData);
  EXPECT_EQ(r.ownerCookie, 21) << "the caller gets the source's cookie back";
  g_still.cookieAfter = 0;

  // Success without a picture is not success.
  g_still.result = kResultOk;
  g_still.makeBitmap = false;
  EXPECT_EQ(RLoadImage(nullptr, &r, 0, 0), kResultBadData);

  // Nor is a video whose copies cannot be made.
  SetMediaMode(true);
  RegisterSource(FormatTable::Video, kVideoMpeg, MakeMpeg);
  tagRDIBIMG v = EmptyRecord(u"a.mpg", 12);
  // The source's info, table and first-frame buffer, then the copies: table, info (fails).
  Log().allocationsLeft = 4;
  EXPECT_EQ(RLoadImage(nullptr, &v, 0, 0), kResultNoMemory);
  EXPECT_EQ(v.frames, nullptr);
  EXPECT_EQ(v.ownerCookie, 12);
  EXPECT_EQ(TrackedHooks::LiveBlocks(), 0u);
}

TEST_F(Entry, LoadFlagsAndAbortFlagAsTheSourceSeesThem) {
  SetMediaMode(false);
  RegisterSource(FormatTable::Image, kImagePcx, MakeStill);
  auto* flag = static_cast<std::atomic<int32_t>*>(RAbortLoading());
  EXPECT_EQ(flag, &AbortFlag());
  EXPECT_TRUE(LoadAborted());
  tagRDIBIMG r = EmptyRecord(u"a.pcx", 0);
  EXPECT_EQ(RLoadImage(nullptr, &r, 0, kLoadReduceLarge | kLoadFitScreen), kResultOk);
  EXPECT_FALSE(g_still.aborted) << "a load starts with the flag clear";
  EXPECT_EQ(g_still.flags, kLoadReduceLarge | kLoadFitScreen);
  RDeleteImage(&r, nullptr);
}

TEST_F(Entry, LoadFrameDecodesThroughATemporarySlotBuffer) {
  tagRDIBIMG r = LoadVideoRecord();
  const size_t live = TrackedHooks::LiveBlocks();
  EXPECT_EQ(RLoadFrame(nullptr, &r, 1, nullptr, 0), kResultOk);
  EXPECT_EQ(g_lastSlot, 1);
  EXPECT_EQ(g_lastCookie, 99) << "GetFrame gets the record's owner cookie";
  EXPECT_EQ(r.pixels[47], 0x41);
  EXPECT_EQ(Slot(r.frames, 1)->buffer, nullptr);
  EXPECT_EQ(TrackedHooks::LiveBlocks(), live) << "the temporary buffer is freed";

  const int before = g_getFrames;
  EXPECT_EQ(RLoadFrame(nullptr, &r, 2, nullptr, 0), kResultOk);
  EXPECT_EQ(RLoadFrame(nullptr, &r, 250, nullptr, 0), kResultOk) << "the MPEG view's frame number";
  EXPECT_EQ(g_getFrames, before) << "nothing decoded";
  EXPECT_EQ(r.pixels[0], 0x41) << "nothing done";

  g_framesFail = true;
  EXPECT_EQ(RLoadFrame(nullptr, &r, 0, nullptr, 0), -1) << "GetFrame's failure is returned";
  EXPECT_EQ(r.pixels[0], 0x41);
  g_framesFail = false;

  // A cached frame is copied without decoding.
  uint8_t cached[48];
  std::memset(cached, 0x77, sizeof(cached));
  Slot(r.frames, 1)->buffer = cached;
  const int calls = g_getFrames;
  EXPECT_EQ(RLoadFrame(nullptr, &r, 1, nullptr, 0), kResultOk);
  EXPECT_EQ(g_getFrames, calls);
  EXPECT_EQ(r.pixels[10], 0x77);
  Slot(r.frames, 1)->buffer = nullptr;
  RDeleteImage(&r, nullptr);
}

TEST_F(Entry, SnapshotSlotConvertsTheFrameOnScreen) {
  tagRDIBIMG r = LoadVideoRecord();
  g_onScreen[0] = 0xF800;  // top-left of the screen frame: pure red
  for (int32_t frame : {kSlotSnapshot, kSlotPause}) {
    std::memset(r.pixels, 0, 48);
    ASSERT_EQ(RLoadFrame(nullptr, &r, frame, nullptr, 0), kResultOk);
    EXPECT_EQ(g_lastSlot, frame) << "GetFrame gets the frame number, slot 0 gets the picture";
    const uint8_t* top = r.pixels + 2 * 16;  // the top row is the last memory row
    EXPECT_EQ(top[0], 0);
    EXPECT_EQ(top[2], 248);
    for (int x = 1; x < kVideoW; ++x) {
      EXPECT_EQ(top[3 * x], 248) << "0xFFFF: blue";
      EXPECT_EQ(top[3 * x + 1], 252) << "green";
      EXPECT_EQ(top[3 * x + 2], 248) << "red";
    }
    EXPECT_EQ(r.pixels[0], 248);
  }
  RDeleteImage(&r, nullptr);
}

TEST_F(Entry, LoadFrameNeverWritesPastThePixels) {
  tagRDIBIMG r = LoadVideoRecord();
  // The pixels in a block with a guard band behind the picture's 48 bytes.
  auto* guarded = static_cast<uint8_t*>(HookAlloc(64));
  std::memset(guarded, 0xEE, 64);
  HookFree(r.pixels);
  r.pixels = guarded;
  Slot(r.frames, 1)->bytes = 4096;  // a slot that claims more than the picture holds
  EXPECT_EQ(RLoadFrame(nullptr, &r, 1, nullptr, 0), kResultOk);
  EXPECT_EQ(guarded[47], 0x41);
  for (int i = 48; i < 64; ++i) ASSERT_EQ(guarded[i], 0xEE) << i;
  RDeleteImage(&r, nullptr);
  EXPECT_EQ(TrackedHooks::LiveBlocks(), 0u);
}

TEST_F(Entry, RegisteredHooksCarryEveryAllocation) {
  static int allocs, frees;
  allocs = frees = 0;
  RRegAllocFunc([](size_t n) -> void* { return ++allocs, std::malloc(n); }, nullptr,
                [](void* p) { ++frees, std::free(p); }, nullptr, nullptr);
  tagRDIBIMG r = LoadVideoRecord();
  EXPECT_GT(allocs, 0);
  RDeleteImage(&r, nullptr);
  EXPECT_EQ(allocs, frees);
  RRegAllocFunc(nullptr, nullptr, nullptr, nullptr, nullptr);
  tagRDIBIMG again = LoadVideoRecord();  // the platform fallbacks take over
  EXPECT_NE(again.pixels, nullptr);
  RDeleteImage(&again, nullptr);
}
