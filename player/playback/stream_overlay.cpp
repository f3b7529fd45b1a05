#include "player/playback/stream_overlay.h"

#include <algorithm>

namespace crv {

namespace {

constexpr int kBarLeft = 2, kBarRight = 101, kBarTop = 2, kBarBottom = 17;

uint16_t& At(uint16_t* pixels, int x, int y) { return pixels[y * kOverlayWidth + x]; }

}  // namespace

void BuildOverlay(uint16_t* pixels) {
  std::fill(pixels, pixels + kOverlayPixels, kOverlayWhite);
  for (int x = 1; x <= 102; ++x) At(pixels, x, 1) = At(pixels, x, 18) = kOverlayOutline;
  for (int y = 1; y <= 18; ++y) At(pixels, 1, y) = At(pixels, 102, y) = kOverlayOutline;
}

bool RecolourOverlay(uint16_t* pixels, int& percent) {
  if (percent < 0) return false;
  const bool complete = percent >= 100;
  const int lastBlue = std::min(percent, 99);
  for (int y = kBarTop; y <= kBarBottom; ++y)
    for (int x = kBarLeft; x <= kBarRight; ++x)
      At(pixels, x, y) = complete ? kOverlayComplete : (x - kBarLeft <= lastBlue ? kOverlayProgress : kOverlayWhite);
  if (percent > 100) percent = -1;
  return true;
}

}  // namespace crv
