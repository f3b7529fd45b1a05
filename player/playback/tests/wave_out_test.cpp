// The wave-out engine against the test session's sound server (a null sink, so buffers
// complete at the real rate).
#include "player/playback/wave_out.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>
#include "player/playback/tests/sound_device.h"

using namespace crv;

namespace {

// 8 kHz 16-bit mono at 25 frames per second: 640 bytes, 40 ms of sound per frame.
constexpr uint32_t kFrameBytes = 640;
constexpr DWORD kFrameMs = 40;

WAVEFORMATEX Pcm(WORD channels = 1) {
  WAVEFORMATEX f = {};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = 8000;
  f.wBitsPerSample = 16;
  f.nBlockAlign = WORD(2 * channels);
  f.nAvgBytesPerSec = 16000 * channels;
  return f;
}

// Records the frames it was asked for and writes a quiet tone.
struct Filler {
  std::vector<int> frames;
  uint32_t bytes = kFrameBytes;
  static uint32_t Fill(void* context, int frame, uint8_t* data, uint32_t capacity) {
    auto* self = static_cast<Filler*>(context);
    self->frames.push_back(frame);
    auto* samples = reinterpret_cast<int16_t*>(data);
    for (uint32_t i = 0; i < capacity / 2; ++i) samples[i] = static_cast<int16_t>((i & 16) ? 300 : -300);
    return self->bytes;
  }
};


// Feeds until `count` more buffers have been written (or two seconds passed).
int FeedUntil(WaveOut& engine, Filler& filler, int count, int currentFrame = 0) {
  int written = 0;
  const DWORD start = GetTickCount();
  while (written < count && GetTickCount() - start < 2000) {
    written += engine.Feed(currentFrame, &Filler::Fill, &filler);
    Sleep(5);
  }
  return written;
}

uint32_t DeviceVolume(const WaveOut& engine) {
  DWORD v = 0xDEADBEEF;
  EXPECT_EQ(waveOutGetVolume(engine.Device(), &v), MMSYSERR_NOERROR);
  return v;
}

}  // namespace

TEST(WaveOut, RingHasOneBufferPerFrameUpToSixteenEachOneBlock) {
  REQUIRE_DEVICE();
  WaveOut engine;
  EXPECT_EQ(engine.RingIndex(), -1);
  EXPECT_EQ(engine.AudioCounter(), -1);
  engine.Open(Pcm(), 5, kFrameBytes);
  ASSERT_TRUE(engine.IsPrepared());
  EXPECT_EQ(engine.BufferCount(), 5);
  engine.Close();
  engine.Open(Pcm(), 600, kFrameBytes);
  ASSERT_TRUE(engine.IsPrepared());
  EXPECT_EQ(engine.BufferCount(), 16);
  EXPECT_EQ(engine.RingIndex(), 0);
  EXPECT_EQ(engine.AudioCounter(), 0);
  EXPECT_EQ(engine.DoneBuffers(), 16) << "every buffer starts done, ready to fill";
  for (int i = 0; i < engine.BufferCount(); ++i) {
    const WAVEHDR* h = engine.Buffer(i);
    EXPECT_EQ(reinterpret_cast<const char*>(h->lpData), reinterpret_cast<const char*>(h) + sizeof(WAVEHDR))
        << "the data follows its header in the same block";
    EXPECT_EQ(h->dwBufferLength, kFrameBytes);
    EXPECT_TRUE(h->dwFlags & WHDR_PREPARED);
  }
  // A second Open while prepared changes nothing.
  engine.Open(Pcm(), 5, 100);
  EXPECT_EQ(engine.BufferCount(), 16);
  EXPECT_EQ(engine.Capacity(), kFrameBytes);
  engine.Close();
  EXPECT_FALSE(engine.HasDevice());
  EXPECT_EQ(engine.RingIndex(), -1);
  EXPECT_EQ(engine.AudioCounter(), -1);
  engine.Close();  // twice is harmless
}

TEST(WaveOut, BuffersCompleteAtTheRealRateAndFramesFollowEachOther) {
  REQUIRE_DEVICE();
  WaveOut engine;
  engine.Open(Pcm(), 20, kFrameBytes);
  ASSERT_TRUE(engine.IsPrepared());
  Filler filler;
  const DWORD start = GetTickCount();
  EXPECT_EQ(engine.Feed(0, &Filler::Fill, &filler), 16) << "the whole ring is queued at once";
  EXPECT_EQ(engine.Feed(0, &Filler::Fill, &filler), 0) << "nothing has been played yet";
  EXPECT_EQ(engine.DoneBuffers(), 0);
  // 16 more frames: they can only be written as the queued sound is played.
  EXPECT_EQ(FeedUntil(engine, filler, 16), 16);
  const DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 16 * kFrameMs * 3 / 4) << "16 frames of 40 ms cannot be played faster than real time";
  ASSERT_GE(filler.frames.size(), 32u);
  for (size_t i = 0; i < filler.frames.size(); ++i) EXPECT_EQ(filler.frames[i], int(i % 20)) << i;
  EXPECT_TRUE(engine.SoundWrapped()) << "the counter went past the last of the 20 frames";
  EXPECT_EQ(engine.AudioCounter(), int(filler.frames.size() % 20));
  EXPECT_EQ(engine.RingIndex(), int(filler.frames.size() % 16));
  engine.Close();
}

TEST(WaveOut, ResetDiscardsQueuedSoundAndFeedingGoesOnFromTheSetFrame) {
  REQUIRE_DEVICE();
  WaveOut engine;
  engine.Open(Pcm(), 600, kFrameBytes);
  ASSERT_TRUE(engine.IsPrepared());
  Filler filler;
  ASSERT_EQ(engine.Feed(0, &Filler::Fill, &filler), 16);
  engine.Reset();
  EXPECT_EQ(engine.DoneBuffers(), 16) << "a reset hands every buffer back";
  engine.SetAudioCounter(100);
  filler.frames.clear();
  EXPECT_EQ(engine.Feed(100, &Filler::Fill, &filler), 16);
  EXPECT_EQ(filler.frames.front(), 100);
  EXPECT_EQ(filler.frames.back(), 115);

  // The refill mark: everything is discarded and the whole ring written at once, from the
  // frame the source set, even though nothing had finished playing.
  engine.SetRefillMark(true);
  engine.SetAudioCounter(0);
  filler.frames.clear();
  EXPECT_EQ(engine.Feed(0, &Filler::Fill, &filler), 16);
  EXPECT_FALSE(engine.RefillMark());
  ASSERT_EQ(filler.frames.size(), 16u);
  EXPECT_EQ(filler.frames.front(), 0);
  EXPECT_EQ(filler.frames.back(), 15);
  EXPECT_EQ(engine.RingIndex(), 0);
  EXPECT_EQ(engine.AudioCounter(), 16);
  engine.Close();
}

TEST(WaveOut, StreamingKeepsSoundWithinSixteenFramesOfTheDecodedFrame) {
  REQUIRE_DEVICE();
  WaveOut engine;
  engine.Open(Pcm(), 600, kFrameBytes);
  ASSERT_TRUE(engine.IsPrepared());
  engine.SetStreaming(true);
  Filler filler;
  EXPECT_EQ(engine.Feed(0, &Filler::Fill, &filler), 16);
  // Once buffers are free again, only frame 16 (= 0 + 16) may follow while frame 0 is decoded.
  EXPECT_EQ(FeedUntil(engine, filler, 1), 1);
  Sleep(4 * kFrameMs);
  EXPECT_EQ(engine.Feed(0, &Filler::Fill, &filler), 0);
  EXPECT_EQ(filler.frames.back(), 16);
  EXPECT_GT(engine.Feed(5, &Filler::Fill, &filler), 0) << "the picture moved on: sound may follow";
  EXPECT_LE(filler.frames.back(), 21);
  engine.Close();
}

TEST(WaveOut, VolumeIsClampedScaledAndKeptOnlyWhenTheDeviceTakesIt) {
  WaveOut none;
  EXPECT_FALSE(none.SetVolume(50)) << "no device";
  EXPECT_FALSE(none.ApplyVolume());
  EXPECT_EQ(none.Volume(), 75);
  REQUIRE_DEVICE();
  // Stereo, so the device reports both channels (low word left, high word right).
  WaveOut engine;
  engine.Open(Pcm(2), 10, 2 * kFrameBytes);
  ASSERT_TRUE(engine.HasDevice());
  EXPECT_EQ(DeviceVolume(engine), 0xBFFFBFFFu) << "opened at the panel's 75 percent";
  ASSERT_TRUE(engine.SetVolume(150));
  EXPECT_EQ(engine.Volume(), 100);
  EXPECT_EQ(DeviceVolume(engine), 0xFFFFFFFFu);
  ASSERT_TRUE(engine.SetVolume(-5));
  EXPECT_EQ(engine.Volume(), 0);
  EXPECT_EQ(DeviceVolume(engine), 0u);
  ASSERT_TRUE(engine.SetVolume(75));
  EXPECT_EQ(DeviceVolume(engine) & 0xFFFF, 49151u);
  EXPECT_EQ(DeviceVolume(engine) >> 16, 49151u) << "the right channel at the same level, not silenced";
  engine.SetMute(true);
  ASSERT_TRUE(engine.ApplyVolume());
  EXPECT_EQ(DeviceVolume(engine), 0u);
  EXPECT_EQ(engine.Volume(), 75) << "muting keeps the percentage";
  engine.SetMute(false);
  ASSERT_TRUE(engine.ApplyVolume());
  EXPECT_EQ(DeviceVolume(engine) & 0xFFFF, 49151u);
  engine.Close();
  // A mono device has one level: the low word.
  engine.Open(Pcm(1), 10, kFrameBytes);
  ASSERT_TRUE(engine.SetVolume(75));
  EXPECT_EQ(DeviceVolume(engine), 49151u);
  engine.Close();
}

TEST(WaveOut, MutedPlaybackStartsSilentWhateverTheStoredVolume) {
  REQUIRE_DEVICE();
  WaveOut engine;
  engine.SetStoredVolume(90);
  engine.SetMute(true);
  engine.Open(Pcm(), 30, kFrameBytes);
  ASSERT_TRUE(engine.IsPrepared());
  EXPECT_EQ(DeviceVolume(engine), 0u);
  EXPECT_EQ(engine.Volume(), 90);
  engine.Close();
}

TEST(WaveOut, RefusedFormatPlaysSilently) {
  REQUIRE_DEVICE();
  WaveOut engine;
  WAVEFORMATEX bogus = Pcm();
  bogus.wFormatTag = 0x7A21;  // no driver or codec knows it
  engine.Open(bogus, 100, kFrameBytes);
  EXPECT_FALSE(engine.HasDevice());
  EXPECT_FALSE(engine.IsPrepared());
  Filler filler;
  EXPECT_EQ(engine.Feed(0, &Filler::Fill, &filler), 0);
  EXPECT_TRUE(filler.frames.empty()) << "nothing is decoded for a device that is not there";
  engine.Reset();
  EXPECT_FALSE(engine.SetVolume(40));
  engine.Close();
  // The engine can be opened properly afterwards.
  engine.Open(Pcm(), 100, kFrameBytes);
  EXPECT_TRUE(engine.IsPrepared());
  engine.Close();
}
