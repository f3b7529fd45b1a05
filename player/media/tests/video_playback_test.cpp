// The shared playback over fake devices and a fake source: which frame is decoded when sound
// leads and when the clock leads, waiting, jumping, rewinding, redrawing, pausing, reading
// ahead and streaming.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "player/media/video_playback.h"
#include "player/media/frame_buffer.h"
#include "player/media/tests/playback_fakes.h"

namespace crv {
namespace {

// ---- The rules -----------------------------------------------------------------------------------

TEST(PlaybackRules, AudibleFrameIsTheOldestQueuedBuffer) {
  EXPECT_EQ(AudibleFrame(16, 16, 100), 0);
  EXPECT_EQ(AudibleFrame(20, 16, 100), 4);
  // Wrapped: the counter passed the last frame and started again.
  EXPECT_EQ(AudibleFrame(3, 16, 100), 87);
  EXPECT_EQ(AudibleFrame(0, 5, 5), 0);
  EXPECT_EQ(AudibleFrame(2, 5, 5), 2);
  EXPECT_EQ(AudibleFrame(7, 16, 0), 0);
}

TEST(PlaybackRules, AudioLedWaitsOnlyForTheFrameJustBefore) {
  // The sound of the frame before is still playing: nothing decoded, the same frame again.
  FrameChoice c = ChooseAudioLedFrame(10, 9);
  EXPECT_FALSE(c.decode);
  EXPECT_EQ(c.frame, 10);
  c = ChooseAudioLedFrame(10, 10);
  EXPECT_TRUE(c.decode);
  EXPECT_EQ(c.frame, 10);
  // Video jumps to the sound, forward and back.
  c = ChooseAudioLedFrame(10, 14);
  EXPECT_TRUE(c.decode);
  EXPECT_EQ(c.frame, 14);
  c = ChooseAudioLedFrame(10, 3);
  EXPECT_TRUE(c.decode);
  EXPECT_EQ(c.frame, 3);
}

TEST(PlaybackRules, ClockLedEarlyFramesAreAskedForAgainAndLateOnesNotSkipped) {
  FrameChoice c = ChooseClockLedFrame(10, 9);
  EXPECT_FALSE(c.decode);
  EXPECT_EQ(c.frame, 9);
  c = ChooseClockLedFrame(10, 10);
  EXPECT_TRUE(c.decode);
  EXPECT_EQ(c.frame, 10);
  c = ChooseClockLedFrame(10, 50);
  EXPECT_TRUE(c.decode);
  EXPECT_EQ(c.frame, 10);
  // Never -1, which would end playback.
  c = ChooseClockLedFrame(0, -3);
  EXPECT_FALSE(c.decode);
  EXPECT_EQ(c.frame, 0);
}

TEST(PlaybackRules, FrameNumbersAndTimes) {
  EXPECT_EQ(NextFrameAfter(3, 10), 4);
  EXPECT_EQ(NextFrameAfter(9, 10), 0);
  EXPECT_EQ(FrameToMs(25, 40000), 1000);
  EXPECT_EQ(FrameToMs(3, 33367), 100);
  EXPECT_EQ(MsToFrame(1000, 40000, -1), 25);
  EXPECT_EQ(MsToFrame(79, 40000, -1), 1);
  EXPECT_EQ(MsToFrame(80, 40000, -1), 2);
  EXPECT_EQ(MsToFrame(80, 0, 77), 77);
  // 64-bit: an hour at 1 us per frame.
  EXPECT_EQ(MsToFrame(3600000, 1, -1), 3600000000LL);
}

// ---- The playback over a fake source --------------------------------------------------------------

struct FakeSource {
  int frames = 50;
  uint32_t microSecPerFrame = 40000;
  std::vector<int> decoded, readFrames, readSound, soundFilled;
  int rewinds = 0;
  int keyEvery = 0;  // key frames every N frames (0: no key-frame query)
  bool failAt = false;
  int failFrame = -1;

  VideoSourceCallbacks Callbacks() {
    VideoSourceCallbacks cb;
    cb.context = this;
    cb.frameTimeMs = [](void* c, int f) { return FrameToMs(f, static_cast<FakeSource*>(c)->microSecPerFrame); };
    cb.dueFrame = [](void* c, int64_t ms) {
      auto* s = static_cast<FakeSource*>(c);
      return static_cast<int>(MsToFrame(ms, s->microSecPerFrame, s->frames));
    };
    cb.fillAudio = [](void* c, int f, uint8_t* data, uint32_t capacity) {
      static_cast<FakeSource*>(c)->soundFilled.push_back(f);
      for (uint32_t i = 0; i < capacity; ++i) data[i] = static_cast<uint8_t>(f);
      return capacity;
    };
    cb.decodeFrame = [](void* c, int f) {
      auto* s = static_cast<FakeSource*>(c);
      if (f == s->failFrame) return false;
      s->decoded.push_back(f);
      TheFrameBuffer().Pixels()[0] = static_cast<uint16_t>(f);
      return true;
    };
    cb.readFrame = [](void* c, int f) {
      static_cast<FakeSource*>(c)->readFrames.push_back(f);
      return true;
    };
    cb.readAudio = [](void* c, int f) {
      static_cast<FakeSource*>(c)->readSound.push_back(f);
      return true;
    };
    cb.rewind = [](void* c) { static_cast<FakeSource*>(c)->rewinds++; };
    if (keyEvery > 0)
      cb.keyFrameAtOrBefore = [](void* c, int f) { return f - f % static_cast<FakeSource*>(c)->keyEvery; };
    return cb;
  }
};

const RRect kSource = {0, 0, 16, 8};
const RRect kTarget = {10, 20, 26, 28};

class PlaybackTest : public ::testing::Test {
 protected:
  void Begin(bool withSound, bool streaming = false) {
    devices_ = std::make_unique<test::FakeDevices>(withSound);
    ASSERT_TRUE(playback_.Begin(source_.Callbacks(), source_.frames, 16, 8, &window_, streaming));
    PlaybackAudioFormat format;
    format.samplesPerSecond = 8000;
    format.averageBytesPerSecond = 16000;
    format.blockAlign = 2;
    format.bitsPerSample = 16;
    playback_.OpenAudio(format, 640);
  }
  void TearDown() override {
    playback_.ClearPaused();
    playback_.End();
    devices_.reset();
  }
  int Step(uint32_t flags = 0, int frame = 0) { return playback_.Step(nullptr, frame, &kSource, &kTarget, flags); }
  test::FakeAudio& Audio() { return devices_->audio; }
  test::FakeClock& Clock() { return devices_->clock; }
  test::FakeDisplay& Display() { return devices_->display; }

  int window_ = 0;
  FakeSource source_;
  VideoPlayback playback_;
  std::unique_ptr<test::FakeDevices> devices_;
};

TEST_F(PlaybackTest, BeginBindsTheWindowAndTheFrameBuffer) {
  Begin(false);
  EXPECT_EQ(Display().window, &window_);
  EXPECT_EQ(TheFrameBuffer().Width(), 16);
  EXPECT_EQ(TheFrameBuffer().Height(), 8);
  EXPECT_FALSE(TheFrameBuffer().Is24BitMode());
  EXPECT_FALSE(playback_.AudioRunning());
}

TEST_F(PlaybackTest, SoundIsFedBeforeTheFirstFrameAndLeads) {
  Begin(true);
  ASSERT_TRUE(playback_.AudioRunning());
  EXPECT_EQ(Audio().capacity, 640u);
  EXPECT_EQ(Step(), 1);  // frame 0 audible: decoded
  EXPECT_EQ(source_.decoded, std::vector<int>({0}));
  EXPECT_EQ(Audio().filledFrames.size(), 16u);
  EXPECT_EQ(Audio().filledFrames.front(), 0);
  EXPECT_EQ(Audio().filledFrames.back(), 15);
  EXPECT_EQ(Display().blits, 1);
  EXPECT_EQ(Display().lastTarget.left, 10);
  // Frame 0's sound still plays: video waits for it.
  EXPECT_EQ(Step(), 1);
  EXPECT_EQ(Step(), 1);
  EXPECT_EQ(source_.decoded.size(), 1u);
  // One buffer done: frame 1 is audible, and its buffer is refilled with frame 16.
  Audio().Play(1);
  EXPECT_EQ(Step(), 2);
  EXPECT_EQ(source_.decoded, std::vector<int>({0, 1}));
  EXPECT_EQ(Audio().filledFrames.back(), 16);
}

TEST_F(PlaybackTest, VideoJumpsToTheSoundWhenBehind) {
  Begin(true);
  Step();
  Audio().Play(5);  // frames 0-4 played: 5 is audible
  EXPECT_EQ(Step(), 6);
  EXPECT_EQ(source_.decoded, std::vector<int>({0, 5}));
}

TEST_F(PlaybackTest, TheSoundBufferArrivesZeroedAndFilled) {
  Begin(true);
  Step();
  ASSERT_FALSE(Audio().filledBytes.empty());
  EXPECT_EQ(Audio().filledBytes[3], std::vector<uint8_t>(640, 3));
}

TEST_F(PlaybackTest, WithoutSoundTheClockPaces) {
  Begin(false);
  EXPECT_EQ(Step(), 1);  // the first frame sets the clock
  EXPECT_EQ(Step(), 0);  // early: frame 1 is due at 40 ms
  EXPECT_EQ(source_.decoded, std::vector<int>({0}));
  Clock().now += 39;
  EXPECT_EQ(Step(), 0);
  Clock().now += 1;
  EXPECT_EQ(Step(), 2);
  // Late frames are decoded one after another, none skipped.
  Clock().now += 400;
  EXPECT_EQ(Step(), 3);
  EXPECT_EQ(Step(), 4);
  EXPECT_EQ(source_.decoded, std::vector<int>({0, 1, 2, 3}));
}

TEST_F(PlaybackTest, ARefusedDeviceMeansClockPacing) {
  Begin(false);
  EXPECT_FALSE(playback_.AudioRunning());
  EXPECT_TRUE(Audio().filledFrames.empty());
  Step();
  EXPECT_TRUE(Audio().filledFrames.empty());
}

TEST_F(PlaybackTest, RestartRewindsCodecSoundAndClock) {
  Begin(true);
  Step();
  Audio().Play(3);
  Step();
  EXPECT_EQ(playback_.CurrentFrame(), 4);
  const int resets = Audio().resets;
  EXPECT_EQ(Step(kStepRestart), 1);
  EXPECT_EQ(source_.rewinds, 1);
  EXPECT_EQ(Audio().resets, resets + 1);
  EXPECT_EQ(source_.decoded.back(), 0);
  // A negative frame argument rewinds too.
  Audio().Play(2);
  Step();
  EXPECT_EQ(Step(0, -1), 1);
  EXPECT_EQ(source_.rewinds, 2);
  EXPECT_EQ(source_.decoded.back(), 0);
}

TEST_F(PlaybackTest, RedrawShowsTheCurrentFrameWithoutDecoding) {
  Begin(true);
  Step();
  const size_t decoded = source_.decoded.size();
  const int blits = Display().blits;
  uint16_t overlay[104 * 20] = {};
  EXPECT_EQ(playback_.Step(overlay, 0, &kSource, &kTarget, kStepRedraw | kStepOverlay), 1);
  EXPECT_EQ(source_.decoded.size(), decoded);
  EXPECT_EQ(Display().blits, blits + 1);
  EXPECT_EQ(Display().lastOverlay, overlay);
  // The queued sound is dropped and continues from the frame shown next.
  EXPECT_EQ(Audio().AudioCounter(), 1);
  // Without the overlay flag no overlay is drawn.
  playback_.Step(overlay, 0, &kSource, &kTarget, kStepRedraw);
  EXPECT_EQ(Display().lastOverlay, nullptr);
}

TEST_F(PlaybackTest, TheTurnedFlagReachesTheDisplay) {
  Begin(false);
  Step(kStepTurned);
  EXPECT_EQ(Display().lastFlags & kStepTurned, kStepTurned);
}

TEST_F(PlaybackTest, ADecodeFailureEndsWithMinusOne) {
  source_.failFrame = 0;
  Begin(false);
  EXPECT_EQ(Step(), -1);
}

TEST_F(PlaybackTest, StreamingStopsAtTheDownloadedFrames) {
  Begin(false, true);
  EXPECT_TRUE(Audio().streaming);
  playback_.SetDownloadedFrames(1);
  EXPECT_EQ(Step(), 1);
  Clock().now += 1000;
  EXPECT_EQ(Step(), -1);  // frame 1 has not arrived
  playback_.SetDownloadedFrames(10);
  EXPECT_EQ(Step(), 2);
}

TEST_F(PlaybackTest, PauseKeepsEverythingForTheNextStart) {
  Begin(true);
  Step();
  Audio().Play(2);
  Step();  // frame 2 decoded, 3 next
  std::vector<uint8_t> dib(DibRowBytes(24, 16) * 8);
  ASSERT_TRUE(playback_.Snapshot(dib.data(), 16, 8));
  playback_.PrepareResume();
  EXPECT_TRUE(playback_.Paused());
  EXPECT_FALSE(playback_.End());  // the close is skipped
  EXPECT_TRUE(playback_.Begun());
  EXPECT_EQ(Audio().AudioCounter(), 3);  // sound continues from the frame on screen
  // The next step clears the mark and continues from the paused frame.
  EXPECT_EQ(Step(), 4);
  EXPECT_FALSE(playback_.Paused());
  EXPECT_EQ(source_.decoded.back(), 3);
  EXPECT_TRUE(playback_.End());
  EXPECT_EQ(TheFrameBuffer().Pixels(), nullptr);
}

TEST_F(PlaybackTest, SeekContinuesFromTheKeyFrameWithTheSoundInStep) {
  source_.keyEvery = 10;
  Begin(true);
  Step();
  EXPECT_EQ(playback_.SeekTo(27), 20) << "decoding starts at the key frame before the position";
  EXPECT_EQ(source_.rewinds, 1) << "the codec starts afresh";
  EXPECT_EQ(Audio().AudioCounter(), 20) << "the sound continues from the same frame";
  Audio().Play(16);
  Step();
  EXPECT_EQ(source_.decoded.back(), 20);
  EXPECT_EQ(playback_.SeekTo(1000), 40) << "a position past the end is the last key frame";
  EXPECT_EQ(playback_.SeekTo(-5), 0);
}

TEST_F(PlaybackTest, SeekWhilePausedShowsTheKeyFrameAndResumesAfterIt) {
  source_.keyEvery = 5;
  Begin(false);
  Step();
  playback_.PrepareResume();
  EXPECT_EQ(playback_.SeekTo(12), 11) << "frame 10 decoded at once, play goes on after it";
  EXPECT_EQ(source_.decoded.back(), 10);
  EXPECT_EQ(TheFrameBuffer().Pixels()[0], 10);
  Clock().now += 1000;
  EXPECT_EQ(Step(), 12);
  EXPECT_EQ(source_.decoded.back(), 11);
}

TEST_F(PlaybackTest, SeekBeforeStartOrWithoutKeyFramesLandsOnTheFrame) {
  EXPECT_EQ(playback_.SeekTo(3), -1) << "nothing plays yet";
  Begin(false);
  EXPECT_EQ(playback_.SeekTo(33), 33);
}

TEST_F(PlaybackTest, PauseWithoutSoundRestartsTheClockAtTheFrame) {
  Begin(false);
  Step();
  Clock().now += 40;
  Step();
  Clock().now += 5000;  // a long pause
  playback_.PrepareResume();
  EXPECT_EQ(Step(), 3);
  EXPECT_EQ(Step(), 2);  // frame 3 is not due yet: the clock counts from the resume
}

TEST_F(PlaybackTest, SnapshotConvertsTheFrameOnScreen) {
  Begin(false);
  Step();
  uint16_t* pixels = TheFrameBuffer().Pixels();
  for (int i = 0; i < 16 * 8; ++i) pixels[i] = 0;
  pixels[0] = 0xFFFF;         // top left
  pixels[16 * 7] = 0xF800;    // bottom left: pure red
  std::vector<uint8_t> dib(DibRowBytes(24, 16) * 8, 1);
  ASSERT_TRUE(playback_.Snapshot(dib.data(), 16, 8));
  const size_t row = DibRowBytes(24, 16);
  // Bottom-up: the top row is the last in memory.
  EXPECT_EQ(dib[row * 7 + 0], 248);
  EXPECT_EQ(dib[row * 7 + 1], 252);
  EXPECT_EQ(dib[row * 7 + 2], 248);
  EXPECT_EQ(dib[0], 0);
  EXPECT_EQ(dib[2], 248);
  EXPECT_FALSE(playback_.Snapshot(dib.data(), 15, 8));  // not the frame's size
}

TEST_F(PlaybackTest, ReadAheadReadsTheWindowAndSixteenFramesOfSound) {
  Begin(false);
  // 40 ms frames: a 200 ms window from frame 10 holds frames 10-14.
  EXPECT_EQ(playback_.Step(nullptr, 10, nullptr, nullptr, 200), 14);
  EXPECT_EQ(source_.readFrames, std::vector<int>({10, 11, 12, 13, 14}));
  EXPECT_EQ(source_.readSound.front(), 10);
  EXPECT_EQ(source_.readSound.back(), 30);
  EXPECT_TRUE(source_.decoded.empty());
  // Near the end: only what is there.
  source_.readFrames.clear();
  EXPECT_EQ(playback_.ReadAhead(48, 1000), 49);
  EXPECT_EQ(source_.readFrames, std::vector<int>({48, 49}));
  EXPECT_EQ(playback_.ReadAhead(50, 1000), -1);
}

TEST_F(PlaybackTest, TheLastFrameWrapsToZero) {
  source_.frames = 3;
  Begin(false);
  Step();
  Clock().now += 40;
  Step();
  Clock().now += 40;
  EXPECT_EQ(Step(), 0);
  EXPECT_EQ(source_.decoded, std::vector<int>({0, 1, 2}));
}

TEST_F(PlaybackTest, AShortVideoPreparesOneBufferPerFrame) {
  source_.frames = 5;
  Begin(true);
  EXPECT_EQ(Audio().BufferCount(), 5);
  Step();
  EXPECT_EQ(Audio().filledFrames, std::vector<int>({0, 1, 2, 3, 4}));
  EXPECT_EQ(source_.decoded, std::vector<int>({0}));
}

}  // namespace
}  // namespace crv
