#include "player/playback/wave_math.h"

#include <algorithm>

namespace crv {

int ClampVolumePercent(int percent) { return std::clamp(percent, 0, 100); }

uint32_t WaveVolumeWord(int percent) {
  const double word = 65535.0 * ClampVolumePercent(percent) / 100.0;
  return static_cast<uint32_t>(word) & 0xFFFFu;
}

}  // namespace crv
