// On Windows the media sources' shared playback drives the wave-out engine and the display output.
#include <windows.h>

#include "player/media/playback_devices.h"
#include "player/playback/display_output.h"
#include "player/playback/wave_out.h"

namespace crv {

namespace {

class WaveOutAudio final : public PlaybackAudio {
 public:
  void Open(const PlaybackAudioFormat& f, int frameCount, uint32_t capacity) override {
    WAVEFORMATEX format = {};
    format.wFormatTag = f.formatTag;
    format.nChannels = f.channels;
    format.nSamplesPerSec = f.samplesPerSecond;
    format.nAvgBytesPerSec = f.averageBytesPerSecond;
    format.nBlockAlign = f.blockAlign;
    format.wBitsPerSample = f.bitsPerSample;
    format.cbSize = 0;
    TheWaveOut().Open(format, frameCount, capacity);
  }
  bool IsPrepared() const override { return TheWaveOut().IsPrepared(); }
  int Feed(int currentFrame, FrameAudioFill fill, void* context) override {
    return TheWaveOut().Feed(currentFrame, fill, context);
  }
  void Reset() override { TheWaveOut().Reset(); }
  void Close() override { TheWaveOut().Close(); }
  int BufferCount() const override { return TheWaveOut().BufferCount(); }
  int AudioCounter() const override { return TheWaveOut().AudioCounter(); }
  void SetAudioCounter(int frame) override { TheWaveOut().SetAudioCounter(frame); }
  void SetStreaming(bool on) override { TheWaveOut().SetStreaming(on); }
  void SetRefillMark(bool on) override { TheWaveOut().SetRefillMark(on); }
  bool SoundWrapped() const override { return TheWaveOut().SoundWrapped(); }
  void ClearSoundWrapped() override { TheWaveOut().ClearSoundWrapped(); }
};

class OutputDisplay final : public PlaybackDisplay {
 public:
  void BindWindow(void* window) override { TheDisplayOutput().BindWindow(static_cast<HWND>(window)); }
  bool Blit(const PlaybackRect& source, const PlaybackRect& target, const uint16_t* overlay, uint32_t stepFlags) override {
    const RECT s = {source.left, source.top, source.right, source.bottom};
    const RECT t = {target.left, target.top, target.right, target.bottom};
    return TheDisplayOutput().Blit(&s, &t, overlay, stepFlags);
  }
};

class TickClock final : public PlaybackClock {
 public:
  uint32_t NowMs() override { return GetTickCount(); }
};

}  // namespace

PlaybackAudio& PlatformPlaybackAudio() {
  static WaveOutAudio audio;
  return audio;
}
PlaybackDisplay& PlatformPlaybackDisplay() {
  static OutputDisplay display;
  return display;
}
PlaybackClock& PlatformPlaybackClock() {
  static TickClock clock;
  return clock;
}

}  // namespace crv
