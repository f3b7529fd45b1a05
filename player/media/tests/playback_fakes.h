// Stand-ins for the playback devices: a sound device that plays its one-frame buffers only
// when the test says so, a screen that counts what it is asked to show, and a clock the test
// moves.
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "player/media/audio_ring.h"
#include "player/media/playback_devices.h"

namespace crv::test {

class FakeAudio final : public PlaybackAudio {
 public:
  bool refuse = false;              // the device refuses the format
  std::vector<int> filledFrames;    // the frame of every buffer written
  std::vector<std::vector<uint8_t>> filledBytes;
  PlaybackAudioFormat format;
  uint32_t capacity = 0;
  int queued = 0;
  int resets = 0;
  bool streaming = false;

  void Open(const PlaybackAudioFormat& f, int frameCount, uint32_t cap) override {
    if (refuse || prepared_) return;
    format = f;
    capacity = cap;
    ring_.Start(WaveBufferCount(frameCount), frameCount);
    prepared_ = ring_.bufferCount > 0;
  }
  bool IsPrepared() const override { return prepared_; }
  int Feed(int currentFrame, FrameAudioFill fill, void* context) override {
    if (!prepared_) return 0;
    int written = 0;
    std::vector<uint8_t> data(capacity);
    while (queued < ring_.bufferCount && ring_.MayFill(streaming, currentFrame)) {
      const uint32_t n = fill(context, ring_.audioCounter, data.data(), capacity);
      filledFrames.push_back(ring_.audioCounter);
      filledBytes.emplace_back(data.begin(), data.begin() + std::min(n, capacity));
      if (ring_.Advance()) wrapped_ = true;
      ++queued;
      ++written;
    }
    return written;
  }
  // The device finishes `n` buffers.
  void Play(int n) { queued = std::max(0, queued - n); }
  void Reset() override {
    queued = 0;
    ++resets;
  }
  void Close() override {
    prepared_ = false;
    ring_.Stop();
    queued = 0;
  }
  int BufferCount() const override { return ring_.bufferCount; }
  int AudioCounter() const override { return ring_.audioCounter; }
  void SetAudioCounter(int frame) override { ring_.audioCounter = frame; }
  void SetStreaming(bool on) override { streaming = on; }
  void SetRefillMark(bool) override {}
  bool SoundWrapped() const override { return wrapped_; }
  void ClearSoundWrapped() override { wrapped_ = false; }

 private:
  bool prepared_ = false;
  bool wrapped_ = false;
  WaveRing ring_;
};

class FakeDisplay final : public PlaybackDisplay {
 public:
  void* window = nullptr;
  int blits = 0;
  const uint16_t* lastOverlay = nullptr;
  uint32_t lastFlags = 0;
  PlaybackRect lastSource{}, lastTarget{};
  void BindWindow(void* w) override { window = w; }
  bool Blit(const PlaybackRect& s, const PlaybackRect& t, const uint16_t* overlay, uint32_t flags) override {
    ++blits;
    lastSource = s;
    lastTarget = t;
    lastOverlay = overlay;
    lastFlags = flags;
    return true;
  }
};

class FakeClock final : public PlaybackClock {
 public:
  uint32_t now = 100000;
  uint32_t NowMs() override { return now; }
};

// Installs the fakes for a test's lifetime.
struct FakeDevices {
  FakeAudio audio;
  FakeDisplay display;
  FakeClock clock;
  // Without audio the fake device refuses every format (silent, clock-led playback).
  explicit FakeDevices(bool withAudio = true) {
    audio.refuse = !withAudio;
    SetPlaybackDevices(&audio, &display, &clock);
  }
  ~FakeDevices() { SetPlaybackDevices(nullptr, nullptr, nullptr); }
};

}  // namespace crv::test
