#include "player/media/frame_buffer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#include "player/media/frame_buffer_notice_native.h"
#endif

using namespace crv;

TEST(FrameBuffer, SizeFollowsTheModeAndReallocationReplaces) {
  FrameBuffer fb;
  ASSERT_TRUE(fb.Allocate(176, 144));
  EXPECT_EQ(fb.SizeInBytes(), 176u * 144 * 2);
  EXPECT_EQ(fb.Width(), 176);
  EXPECT_EQ(fb.Height(), 144);
  std::memset(fb.Bytes(), 0xAB, fb.SizeInBytes());  // the whole block is ours
  fb.Set24BitMode(true);
  ASSERT_TRUE(fb.Allocate(320, 240));
  EXPECT_EQ(fb.SizeInBytes(), 320u * 240 * 3);
  std::memset(fb.Bytes(), 0xCD, fb.SizeInBytes());
  fb.Set24BitMode(false);
  fb.FreeBuffers();
  EXPECT_EQ(fb.Pixels(), nullptr);
  EXPECT_EQ(fb.SizeInBytes(), 0u);
  EXPECT_EQ(fb.Width(), 0);
}

TEST(FrameBuffer, FreeBuffersReleasesDecodingBuffersAndClearsTheirPointers) {
  FrameBuffer fb;
  ASSERT_TRUE(fb.Allocate(16, 16));
  void* rowBuffer = std::malloc(100);
  void* other = std::malloc(10);
  fb.RegisterDecodingBuffer(&rowBuffer);
  fb.RegisterDecodingBuffer(&rowBuffer);  // twice: still freed once
  fb.RegisterDecodingBuffer(&other);
  void* work = fb.AllocateDecodingBuffer(4096);
  ASSERT_NE(work, nullptr);
  std::memset(work, 1, 4096);
  fb.FreeBuffers();
  EXPECT_EQ(rowBuffer, nullptr);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(fb.Pixels(), nullptr);
  fb.FreeBuffers();  // nothing left: no double free
}

#ifndef _WIN32
// (On Windows the notice is a message box: see the display output's tests.)
TEST(FrameBuffer, RefusedSizesShowTheInitializationMessage) {
  FrameBuffer fb;
  ASSERT_TRUE(fb.Allocate(8, 8));
  const int before = FrameBufferNoticeCount();
  EXPECT_FALSE(fb.Allocate(0, 100));
  EXPECT_FALSE(fb.Allocate(100, -1));
  EXPECT_FALSE(fb.Allocate(100000, 100000)) << "far beyond any screen: refused, not attempted";
  EXPECT_FALSE(fb.Allocate(0x7FFFFFFF, 0x7FFFFFFF)) << "the byte count must not overflow";
  EXPECT_EQ(FrameBufferNoticeCount(), before + 4);
  EXPECT_EQ(LastFrameBufferNotice().text, u"MPEG initialization failed");
  EXPECT_EQ(LastFrameBufferNotice().caption, u"Error");
  EXPECT_EQ(fb.Pixels(), nullptr) << "a failed allocation leaves no half buffer";
  EXPECT_EQ(fb.SizeInBytes(), 0u);
}
#endif
