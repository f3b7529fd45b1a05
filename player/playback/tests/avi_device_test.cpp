// ImgFmtAVI on the real devices under Wine: the wave-out engine against the session's sound
// server (a null sink, buffers complete at the real rate) and the display output without a
// surface. Start opens the sound with the file's format, Step is paced by it, a pause keeps it
// prepared, Close releases it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "player/media/avi_source.h"
#include "player/media/builtin_entry.h"
#include "player/media/tests/avi_builder.h"
#include "player/media/video_playback.h"
#include "player/playback/wave_out.h"
#include "player/playback/tests/sound_device.h"

namespace crv {
namespace {


// 8 kHz 16-bit mono, 40 ms frames: 640 bytes of sound a frame.
test::AviRecipe SoundMovie(int frames) {
  test::AviRecipe recipe;
  recipe.width = 16;
  recipe.height = 8;
  recipe.audio = true;
  for (int i = 0; i < frames; ++i) {
    recipe.frames.push_back(test::PatternDib24(16, 8, i));
    recipe.audioChunks.push_back(test::Ramp(640, static_cast<uint8_t>(i)));
  }
  return recipe;
}

const RRect kRect = {0, 0, 16, 8};

// Steps until the playback reaches `frame` (or three seconds passed); the last result.
int StepUntil(RFrameTable& t, int frame) {
  int result = 0;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 3000) {
    result = t.Step(nullptr, 0, &kRect, &kRect, 0);
    if (result < 0 || result >= frame) break;
    Sleep(2);
  }
  return result;
}

TEST(AviDevice, SoundLedPlaybackPauseAndClose) {
  REQUIRE_DEVICE();
  test::OpenedMovie m;
  test::LoadMovie(test::WriteTestFile("device.avi", test::BuildAvi(SoundMovie(40))), &m);
  ASSERT_EQ(m.result, 0);
  RFrameTable& t = *m.record.frames;
  const std::u16string path = test::WidePath(test::TestDir() + "/device.avi");
  ASSERT_EQ(t.Start(m.file, nullptr, path.c_str(), 0), 0);
  ASSERT_TRUE(TheWaveOut().IsPrepared());
  EXPECT_EQ(TheWaveOut().BufferCount(), 16);
  EXPECT_EQ(TheWaveOut().Capacity(), AviAudioCapacity(CurrentAviFile()));
  EXPECT_TRUE(TheVideoPlayback().AudioRunning());

  EXPECT_EQ(t.Step(nullptr, 0, &kRect, &kRect, 0), 1);
  // The sound plays on: video follows it.
  const int reached = StepUntil(t, 5);
  EXPECT_GE(reached, 5);
  EXPECT_GT(TheWaveOut().AudioCounter(), 16);

  // Pause: the frame on screen is taken, the engine stays prepared across Close.
  ASSERT_EQ(RLoadFrame(m.file, &m.record, kSlotPause, nullptr, 0), 0);
  const int paused = TheVideoPlayback().CurrentFrame();
  EXPECT_EQ(TheWaveOut().AudioCounter(), paused);
  EXPECT_EQ(t.Close(), 0);
  EXPECT_TRUE(TheWaveOut().IsPrepared());
  ASSERT_EQ(t.Start(m.file, nullptr, path.c_str(), 0), 0);
  EXPECT_EQ(t.Step(nullptr, 0, &kRect, &kRect, 0), paused + 1);

  EXPECT_EQ(t.Close(), 0);
  EXPECT_FALSE(TheWaveOut().IsPrepared());
  EXPECT_EQ(TheWaveOut().AudioCounter(), -1);
}

}  // namespace
}  // namespace crv
