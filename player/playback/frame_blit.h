// Writing one 5-6-5 video frame into a locked screen surface: nearest-neighbour scaling with
// 10-bit fixed-point steps, the quarter turn of a picture shown in landscape mode, the display
// orientation, the contrast/brightness table and the download-progress overlay. Platform-free:
// the Windows display output hands in the locked DirectDraw memory, tests and benchmarks a
// plain block.
//
// Coordinates. The target rectangle is in screen coordinates, the screen as the window system
// sees it (after any display rotation). The surface memory either follows that screen, or -
// when `panelLayout` is set - keeps the panel's own unrotated layout, and then the display
// orientation says how the screen lies on it:
//   0 (DMDO_DEFAULT) screen (x, y) = panel (x, y)
//   1 (DMDO_90)      screen (x, y) = panel (W - 1 - y, x)       screen is turned clockwise
//   2 (DMDO_180)     screen (x, y) = panel (W - 1 - x, H - 1 - y)
//   4 (DMDO_270)     screen (x, y) = panel (y, H - 1 - x)
// (W x H: the panel). A turned picture (step flag bit 1) lies clockwise in the target: its
// top edge runs down the target's right edge, so a person who turns the handheld a quarter
// anticlockwise sees it upright. The source rectangle is always in the frame's own pixels.
#pragma once
#include <cstddef>
#include <cstdint>

namespace crv {

// Display orientations, with the display-settings API's values.
constexpr int kDisplayOrientation0 = 0;
constexpr int kDisplayOrientation90 = 1;
constexpr int kDisplayOrientation180 = 2;
constexpr int kDisplayOrientation270 = 4;

// The download-progress picture drawn over a streamed video.
constexpr int kOverlayWidth = 104;
constexpr int kOverlayHeight = 20;
// Gap between the overlay and the bottom edge of the picture.
constexpr int kOverlayMargin = 4;

struct BlitRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// Pixel layout of the surface: 16, 24 or 32 bits with the channel masks DirectDraw reports.
struct SurfaceFormat {
  int bitsPerPixel = 16;
  uint32_t redMask = 0xF800;
  uint32_t greenMask = 0x07E0;
  uint32_t blueMask = 0x001F;
};

// A locked surface.
struct BlitSurface {
  uint8_t* pixels = nullptr;
  ptrdiff_t pitch = 0;  // bytes from one row to the next
  int width = 0;
  int height = 0;
  SurfaceFormat format;
};

struct BlitJob {
  const uint16_t* frame = nullptr;  // width x height 5-6-5 pixels, top row first
  int frameWidth = 0;
  int frameHeight = 0;
  BlitRect source;  // frame pixels; clamped to the frame
  BlitRect target;  // screen coordinates; clipped to the screen
  bool turned = false;
  int orientation = kDisplayOrientation0;
  bool panelLayout = false;
  const uint16_t* adjust = nullptr;   // 65536-entry 5-6-5 translation, or none
  const uint16_t* overlay = nullptr;  // kOverlayWidth x kOverlayHeight 5-6-5, or none
};

// 10-bit fixed-point nearest-neighbour step: source pixel of target pixel i is (i * step) >> 10.
int ScaleStep(int sourceSize, int targetSize);

// Everything the pixel loop needs, worked out once per frame. The picture is written as a grid
// of `columns` x `rows` output pixels in its own upright orientation; output pixel (c, r) takes
// frame pixel (sourceX + (c * stepX >> 10), sourceY + (r * stepY >> 10)) and lands at byte
// offset origin + c * columnStep + r * rowStep of the surface. Only the clipped part
// [firstColumn, endColumn) x [firstRow, endRow) is written.
struct BlitPlan {
  int columns = 0;
  int rows = 0;
  int sourceX = 0;
  int sourceY = 0;
  int stepX = 0;
  int stepY = 0;
  ptrdiff_t origin = 0;
  ptrdiff_t columnStep = 0;
  ptrdiff_t rowStep = 0;
  int firstColumn = 0;
  int endColumn = 0;
  int firstRow = 0;
  int endRow = 0;
};

// False when nothing is to be drawn (no frame, empty rectangles, nothing on screen, a surface
// format we cannot write).
bool PlanBlit(const BlitJob& job, const BlitSurface& surface, BlitPlan* plan);

// Writes the frame (and the overlay) into the surface. False when nothing was drawn.
bool BlitFrame(const BlitJob& job, const BlitSurface& surface);

// The part of a surface of that size which the job's target (clipped to the screen) covers, in
// surface coordinates. False when the target is off the screen.
bool TargetSurfaceBounds(const BlitJob& job, int surfaceWidth, int surfaceHeight, BlitRect* bounds);

// Writes black over the job's target (clipped to the screen, through the display orientation);
// the frame is not used. False when nothing was cleared.
bool ClearTarget(const BlitJob& job, const BlitSurface& surface);

// The 5-6-5 pixel as the surface format stores it (little-endian, low bytes used).
uint32_t ConvertPixel565(uint16_t pixel, const SurfaceFormat& format);

}  // namespace crv
