// The arithmetic of the wave-out engine, apart from the device: the device volume word for a
// percentage (the ring of one-frame buffers it moves is player/media/audio_ring.h).
// Platform-free so it is tested without a sound device.
#pragma once
#include <cstdint>

#include "player/media/audio_ring.h"  // the ring of one-frame buffers and its size

namespace crv {

// The percentage clamped to 0..100.
int ClampVolumePercent(int percent);

// waveOutSetVolume's argument for a clamped percentage: 65535 x percent / 100 computed in
// floating point and truncated, in the low word (left channel), high word 0.
uint32_t WaveVolumeWord(int percent);

}  // namespace crv
