// The arithmetic of the wave-out engine, apart from the device: how many one-frame buffers
// the ring holds, the device volume word for a percentage, and how the ring index and the
// audio counter move. Platform-free so it is tested without a sound device.
#pragma once
#include <cstdint>

#include "player/media/playback_devices.h"  // kMaxWaveBuffers, the most buffers a ring holds

namespace crv {

// Buffers prepared for a video of `frameCount` frames (none for an empty one).
int WaveBufferCount(int frameCount);

// The percentage clamped to 0..100.
int ClampVolumePercent(int percent);

// waveOutSetVolume's argument for a clamped percentage: 65535 x percent / 100 computed in
// floating point and truncated, in the low word (left channel), high word 0.
uint32_t WaveVolumeWord(int percent);

// Ring position: the buffer filled next and the video frame whose sound goes into it.
// Both are -1 while the engine is closed.
struct WaveRing {
  int bufferCount = 0;
  int frameCount = 0;
  int index = -1;
  int audioCounter = -1;

  void Start(int buffers, int frames) {
    bufferCount = buffers;
    frameCount = frames;
    index = 0;
    audioCounter = 0;
  }
  void Stop() {
    bufferCount = frameCount = 0;
    index = audioCounter = -1;
  }
  // In streaming mode sound may only run 16 frames ahead of the frame being decoded (the
  // frames beyond may not have arrived yet).
  bool MayFill(bool streaming, int currentFrame) const {
    return !streaming || audioCounter <= currentFrame + kMaxWaveBuffers;
  }
  // After a buffer was written. True when the audio counter wrapped past the last frame.
  bool Advance() {
    if (++index >= bufferCount) index = 0;
    if (++audioCounter >= frameCount) {
      audioCounter = 0;
      return true;
    }
    return false;
  }
};

}  // namespace crv
