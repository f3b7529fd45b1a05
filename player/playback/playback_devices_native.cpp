// Natively there is no sound device and no screen: playback is silent, unseen and clock-led.
#include <chrono>

#include "player/media/playback_devices.h"

namespace crv {

namespace {

class NoAudio final : public PlaybackAudio {
 public:
  void Open(const PlaybackAudioFormat&, int, uint32_t) override {}
  bool IsPrepared() const override { return false; }
  int Feed(int, FrameAudioFill, void*) override { return 0; }
  void Reset() override {}
  void Close() override {}
  int BufferCount() const override { return 0; }
  int AudioCounter() const override { return -1; }
  void SetAudioCounter(int) override {}
  void SetStreaming(bool) override {}
  void SetRefillMark(bool) override {}
  bool SoundWrapped() const override { return false; }
  void ClearSoundWrapped() override {}
};

class NoDisplay final : public PlaybackDisplay {
 public:
  void BindWindow(void*) override {}
  bool Blit(const PlaybackRect&, const PlaybackRect&, const uint16_t*, uint32_t) override { return false; }
};

class SteadyClock final : public PlaybackClock {
 public:
  uint32_t NowMs() override {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
};

}  // namespace

PlaybackAudio& PlatformPlaybackAudio() {
  static NoAudio audio;
  return audio;
}
PlaybackDisplay& PlatformPlaybackDisplay() {
  static NoDisplay display;
  return display;
}
PlaybackClock& PlatformPlaybackClock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace crv
