// The ring of one-frame sound buffers that every playback sound device moves through: how many
// buffers a video gets, the buffer filled next and the video frame whose sound goes into it.
// The wave-out engine keeps one; so do the tests' stand-in devices.
#pragma once
#include <algorithm>

#include "player/media/playback_devices.h"  // kMaxWaveBuffers, the most buffers a ring holds

namespace crv {

// Buffers prepared for a video of `frameCount` frames (none for an empty one).
inline int WaveBufferCount(int frameCount) { return std::clamp(frameCount, 0, kMaxWaveBuffers); }

// Ring position. Both index and audio counter are -1 while the device is closed.
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
