#include "player/media/frame_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include "player/media/alloc_hooks.h"
#include "player/media/tests/test_hooks.h"

using namespace crv;
using crv::testing_support::TrackedHooks;

// The plug-in interface is the field order; with 64-bit pointers the sizes differ from the
// device's, but every field must still lie where the order puts it, with no gaps between
// the 32-bit words and the texts.
TEST(FrameRecordLayout, FieldOrderWithThisBuildsPointers) {
  const size_t p = sizeof(void*);
  EXPECT_EQ(offsetof(tagRDIBIMG, pageLoader), 0u);
  EXPECT_EQ(offsetof(tagRDIBIMG, info), p);
  EXPECT_EQ(offsetof(tagRDIBIMG, frames), 2 * p);
  EXPECT_EQ(offsetof(tagRDIBIMG, ownerCookie), 3 * p);
  EXPECT_EQ(offsetof(tagRDIBIMG, bitmap), 4 * p);
  EXPECT_EQ(offsetof(tagRDIBIMG, pixels), 5 * p);
  EXPECT_EQ(offsetof(tagRDIBIMG, reserved), 6 * p);
  EXPECT_EQ(offsetof(tagRDIBIMG, frameCount), 6 * p + 4);
  EXPECT_EQ(offsetof(tagRDIBIMG, path), 6 * p + 8);
  EXPECT_EQ(offsetof(tagRDIBIMG, infoText), 6 * p + 8 + 520);
  EXPECT_EQ(sizeof(tagRDIBIMG), 6 * p + 8 + 520 + 128) << "680 with 4-byte pointers";

  EXPECT_EQ(offsetof(RFrameTable, Start), 0u);
  EXPECT_EQ(offsetof(RFrameTable, Close), 3 * p);
  EXPECT_EQ(offsetof(RFrameTable, framePeriod), 4 * p);
  EXPECT_EQ(offsetof(RFrameTable, width), 4 * p + 8);
  EXPECT_EQ(offsetof(RFrameTable, slotCount), 4 * p + 20);
  EXPECT_EQ(offsetof(RFrameSlot, bytes), 4u);
  EXPECT_EQ(offsetof(RFrameSlot, buffer), 8u);
  EXPECT_EQ(FrameTableBytes(2), offsetof(RFrameTable, slots) + 2 * sizeof(RFrameSlot)) << "64 on the device";
  EXPECT_EQ(offsetof(RBitmapInfoHeader, bitCount), 14u);
  EXPECT_EQ(offsetof(RBitmapInfoHeader, sizeImage), 20u);
  EXPECT_EQ(offsetof(RBitmapInfoHeader, clrUsed), 32u);
}

TEST(FrameRecordLayout, SizesAndRowPadding) {
  EXPECT_EQ(sizeof(tagRDIBIMG), offsetof(tagRDIBIMG, path) + 520 + 128) << "the texts close the record";
  EXPECT_EQ(FrameTableBytes(5) - FrameTableBytes(4), sizeof(RFrameSlot));
  EXPECT_EQ(FrameTableBytes(0), FrameTableBytes(1)) << "the first slot is always there";
  if (sizeof(void*) == 4) {
    EXPECT_EQ(sizeof(tagRDIBIMG), 680u);
    EXPECT_EQ(FrameTableBytes(3), 76u);
  }
  EXPECT_EQ(DibRowBytes(24, 1), 4u);
  EXPECT_EQ(DibRowBytes(24, 5), 16u);
  EXPECT_EQ(DibRowBytes(1, 33), 8u);
  EXPECT_EQ(DibRowBytes(4, 9), 8u);
  EXPECT_EQ(DibRowBytes(8, 0x7FFFFFFF), 0x80000000u) << "no 32-bit wrap-around";
  EXPECT_EQ(BitmapInfoBytes(8), 1064u);
  EXPECT_EQ(BitmapInfoBytes(24), 44u);
  RBitmapInfoHeader h{};
  h.width = 3;
  h.height = -2;    // top-down rows count as well
  h.bitCount = 24;
  h.sizeImage = 1;  // never trusted
  EXPECT_EQ(DibImageBytes(h), 24u);
}

TEST(FrameRecord, ReleaseFreesEverythingAndKeepsCookieAndPath) {
  TrackedHooks hooks;
  tagRDIBIMG still;
  std::memset(&still, 0, sizeof(still));
  still.ownerCookie = 77;
  still.path[0] = u'x';
  still.frameCount = 3;
  still.infoText[0] = u'i';
  still.info = static_cast<RBitmapInfoHeader*>(HookAllocZeroed(44));
  still.info->width = still.info->height = 2;
  still.info->bitCount = 24;
  void* bits = nullptr;
  still.bitmap = HookCreateDib(nullptr, still.info, &bits);
  still.pixels = static_cast<uint8_t*>(bits);
  ReleaseRecord(still);
  EXPECT_EQ(TrackedHooks::LiveBlocks() + TrackedHooks::LiveBitmaps(), 0u);
  EXPECT_TRUE(!still.info && !still.bitmap && !still.pixels && !still.frames);
  EXPECT_EQ(still.frameCount, 1);
  EXPECT_EQ(still.infoText[0], 0);
  EXPECT_EQ(still.ownerCookie, 77);
  EXPECT_EQ(still.path[0], u'x');

  // A video record: no DIB section, its pixels and cached frames are heap blocks.
  tagRDIBIMG video{};
  video.info = static_cast<RBitmapInfoHeader*>(HookAllocZeroed(44));
  video.pixels = static_cast<uint8_t*>(HookAlloc(12));
  video.frames = AllocFrameTable(2);
  video.frames->slotCount = 2;
  Slot(video.frames, 1)->buffer = static_cast<uint8_t*>(HookAlloc(12));
  ReleaseRecord(video);
  EXPECT_EQ(TrackedHooks::LiveBlocks(), 0u) << "pixels, cached frame, table and info all freed";
}

TEST(AllocHooks, FallbacksAndSectionsWithoutPixels) {
  InstallAllocHooks(AllocHooks());
  RBitmapInfoHeader h{40, 7, 3, 1, 24, 0, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  void* bitmap = HookCreateDib(nullptr, &h, &bits);
  ASSERT_TRUE(bitmap && bits);
  const auto* p = static_cast<const uint8_t*>(bits);
  for (size_t i = 0; i < DibImageBytes(h); ++i) ASSERT_EQ(p[i], 0) << "a new bitmap starts black";
  HookDeleteObject(bitmap);

  static int deleted;
  deleted = 0;
  AllocHooks broken;
  broken.createDib = [](void*, const void*, uint32_t, void**, void*, uint32_t) -> void* {
    static int token;
    return &token;  // a handle, but no pixels
  };
  broken.deleteObject = [](void*) -> int32_t { return ++deleted; };
  InstallAllocHooks(broken);
  EXPECT_EQ(HookCreateDib(nullptr, &h, &bits), nullptr);
  EXPECT_EQ(bits, nullptr);
  EXPECT_EQ(deleted, 1) << "the useless section is given back";
  InstallAllocHooks(AllocHooks());
}
