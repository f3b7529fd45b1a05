// The three device seams of video playback: the sound device (a ring of one-frame buffers),
// the screen (the display output over the process-wide frame buffer) and a millisecond clock.
// On Windows they are the wave-out engine and the display output; natively there are none;
// tests install fakes.
#pragma once
#include <cstdint>

#include "player/media/frame_record.h"

namespace crv {

// The sound device's ring never holds more than this many one-frame buffers, so sound runs at
// most this many frames ahead of the picture.
constexpr int kMaxWaveBuffers = 16;

// Puts the sound of video frame `frame` into `data` (room for `capacity` bytes) and returns the
// byte count to play, at most `capacity`. The same shape as the wave-out engine's fill.
using FrameAudioFill = uint32_t (*)(void* context, int frame, uint8_t* data, uint32_t capacity);

// The device format (WAVEFORMATEX without the extra bytes; extra size 0).
struct PlaybackAudioFormat {
  uint16_t formatTag = 1;
  uint16_t channels = 1;
  uint32_t samplesPerSecond = 0;
  uint32_t averageBytesPerSecond = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
};

// The sound device: a ring of one-frame buffers (the wave-out engine's operations).
class PlaybackAudio {
 public:
  virtual ~PlaybackAudio() = default;
  // Prepares for one playback; does nothing (stays unprepared) without a device or when the
  // device refuses the format.
  virtual void Open(const PlaybackAudioFormat& format, int frameCount, uint32_t capacity) = 0;
  virtual bool IsPrepared() const = 0;
  // Fills and queues every done buffer from the audio counter on; the count written.
  virtual int Feed(int currentFrame, FrameAudioFill fill, void* context) = 0;
  // Discards the queued sound.
  virtual void Reset() = 0;
  virtual void Close() = 0;
  virtual int BufferCount() const = 0;
  // The video frame whose sound goes into the next buffer; -1 while closed.
  virtual int AudioCounter() const = 0;
  virtual void SetAudioCounter(int frame) = 0;
  virtual void SetStreaming(bool on) = 0;
  // The next Feed refills and writes every buffer at once (QuickTime restart and resume).
  virtual void SetRefillMark(bool on) = 0;
  // The audio counter wrapped past the last frame since the last clear.
  virtual bool SoundWrapped() const = 0;
  virtual void ClearSoundWrapped() = 0;
};

// Left, top, right, bottom: the sources' rectangle (the layout of RECT).
using PlaybackRect = RRect;

// The screen: the display output over the process-wide frame buffer.
class PlaybackDisplay {
 public:
  virtual ~PlaybackDisplay() = default;
  virtual void BindWindow(void* window) = 0;
  // Writes the frame buffer's `source` part (frame pixels) into `target` (screen coordinates),
  // with the 104 x 20 `overlay` over it when given; step flag 0x2 turns the picture.
  virtual bool Blit(const PlaybackRect& source, const PlaybackRect& target, const uint16_t* overlay,
                    uint32_t stepFlags) = 0;
};

// A millisecond tick (it may wrap; only differences are used).
class PlaybackClock {
 public:
  virtual ~PlaybackClock() = default;
  virtual uint32_t NowMs() = 0;
};

// The platform's devices, defined in the playback layer (player/playback/playback_devices_win.cpp
// over the wave-out engine and the display output, playback_devices_native.cpp without devices).
PlaybackAudio& PlatformPlaybackAudio();
PlaybackDisplay& PlatformPlaybackDisplay();
PlaybackClock& PlatformPlaybackClock();

// The devices in use: the platform's unless a test installed its own. Null restores the
// platform's device of that kind.
PlaybackAudio& CurrentPlaybackAudio();
PlaybackDisplay& CurrentPlaybackDisplay();
PlaybackClock& CurrentPlaybackClock();
void SetPlaybackDevices(PlaybackAudio* audio, PlaybackDisplay* display, PlaybackClock* clock);

}  // namespace crv
