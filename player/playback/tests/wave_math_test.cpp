#include "player/playback/wave_math.h"

#include <gtest/gtest.h>

#include <vector>

using namespace crv;

TEST(WaveMath, BufferCountIsOneFramePerBufferUpToSixteen) {
  EXPECT_EQ(WaveBufferCount(5), 5);
  EXPECT_EQ(WaveBufferCount(600), 16);
  EXPECT_EQ(WaveBufferCount(16), 16);
  EXPECT_EQ(WaveBufferCount(17), 16);
  EXPECT_EQ(WaveBufferCount(1), 1);
  EXPECT_EQ(WaveBufferCount(0), 0);
  EXPECT_EQ(WaveBufferCount(-4), 0) << "a broken frame count prepares nothing";
}

TEST(WaveMath, VolumeIsClampedAndScaledToTheDeviceWord) {
  EXPECT_EQ(ClampVolumePercent(150), 100);
  EXPECT_EQ(WaveVolumeWord(150), 65535u);
  EXPECT_EQ(ClampVolumePercent(-5), 0);
  EXPECT_EQ(WaveVolumeWord(-5), 0u);
  EXPECT_EQ(WaveVolumeWord(75), 49151u) << "49151.25 truncated";
  EXPECT_EQ(WaveVolumeWord(50), 32767u) << "32767.5 truncated, not rounded";
  EXPECT_EQ(WaveVolumeWord(1), 655u);
  EXPECT_EQ(WaveVolumeWord(100), 65535u);
  for (int p = -10; p <= 110; ++p) EXPECT_EQ(WaveVolumeWord(p) >> 16, 0u) << p;
}

TEST(WaveMath, RingIndexWrapsAtTheBufferCountAndCounterAtTheFrameCount) {
  WaveRing ring;
  EXPECT_EQ(ring.index, -1);
  EXPECT_EQ(ring.audioCounter, -1);
  ring.Start(WaveBufferCount(20), 20);
  std::vector<int> indexes, counters, wraps;
  for (int i = 0; i < 45; ++i) {
    indexes.push_back(ring.index);
    counters.push_back(ring.audioCounter);
    if (ring.Advance()) wraps.push_back(i);
  }
  EXPECT_EQ(indexes[15], 15);
  EXPECT_EQ(indexes[16], 0);
  EXPECT_EQ(indexes[44], 44 % 16);
  EXPECT_EQ(counters[19], 19);
  EXPECT_EQ(counters[20], 0);
  EXPECT_EQ(counters[44], 4);
  EXPECT_EQ(wraps, (std::vector<int>{19, 39})) << "the wrap is reported once per pass over the video";
  ring.Stop();
  EXPECT_EQ(ring.index, -1);
  EXPECT_EQ(ring.audioCounter, -1);
}

TEST(WaveMath, ShortVideoRingHasOneBufferPerFrame) {
  WaveRing ring;
  ring.Start(WaveBufferCount(5), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(ring.index, ring.audioCounter);
    ring.Advance();
  }
  EXPECT_EQ(ring.index, 0);
  EXPECT_EQ(ring.audioCounter, 0);
}

TEST(WaveMath, StreamingKeepsSoundWithinSixteenFramesOfThePicture) {
  WaveRing ring;
  ring.Start(16, 600);
  ring.audioCounter = 26;
  EXPECT_TRUE(ring.MayFill(true, 10));
  ring.audioCounter = 27;
  EXPECT_FALSE(ring.MayFill(true, 10));
  EXPECT_TRUE(ring.MayFill(false, 10)) << "a local file has all its sound";
}
