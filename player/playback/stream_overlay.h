// The download-progress picture drawn over a video that plays while it downloads: a white
// 104 x 20 box with a grey outline whose inner bar fills with blue, one column per percent.
// Built once per playback, only recoloured per frame. Platform-free.
#pragma once
#include <cstdint>

#include "player/playback/frame_blit.h"

namespace crv {

constexpr int kOverlayPixels = kOverlayWidth * kOverlayHeight;
constexpr uint16_t kOverlayWhite = 0xFFFF;
constexpr uint16_t kOverlayOutline = 0x2104;
constexpr uint16_t kOverlayProgress = 0x000F;  // the part downloaded
constexpr uint16_t kOverlayComplete = 0x001F;  // the whole bar once everything arrived

// White, with the outline on rows 1 and 18 (columns 1-102) and columns 1 and 102 (rows 1-18).
void BuildOverlay(uint16_t* pixels);

// Colours the inner bar (rows 2-17, columns 2-101) for `percent`: columns 0..percent blue and
// white beyond below 100; the whole bar in the complete colour at 100 or more. Above 100 the
// percentage becomes -1, so that from the next frame on no overlay is passed. Returns whether
// the overlay is to be drawn this frame (false for a negative percentage).
bool RecolourOverlay(uint16_t* pixels, int& percent);

}  // namespace crv
