// ScreenRenderer: the screen-sized 24-bit bitmap through which the picture view draws every
// picture and the video view draws its poster frame or last snapshot. A picture record is
// scaled by nearest neighbour into a destination rectangle, turned by a multiple of 90
// degrees; the caller fills the area around it, adds its own layers through the memory DC
// and copies the picture area to its window.
//
// Turning direction (the one rule for the views, the video poster, the thumbnails and
// saving): a positive quarter turn turns the picture clockwise. Rotation 90 (and -270) puts
// the picture's bottom-left pixel at the top-left of the destination and its top-left pixel
// at the top-right; rotation 270 (and -90) turns counter-clockwise, putting the top-right
// pixel at the top-left. Rotation 180 puts the top-left pixel at the bottom-right.
//
// Sampling: destination pixel i of n along an axis shows source pixel i x m / n of the m the
// source rectangle has along it (nearest neighbour with the step m / n, exact for every i).
// A turned drawing is exactly the unturned drawing of the same size turned, at every scale:
// the source's top-left pixel always lands in the corner the turn takes it to.
#pragma once
#include <cstddef>
#include <cstdint>
#include "player/media/frame_record.h"

namespace crv {

// x, y, width, height.
struct RenderRect {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
};

class ScreenRenderer {
 public:
  ScreenRenderer() = default;
  ScreenRenderer(const ScreenRenderer&) = delete;
  ScreenRenderer& operator=(const ScreenRenderer&) = delete;
  ~ScreenRenderer() { Destroy(); }

  // A bitmap of the screen size (CurrentScreenSize) and the two tables. False leaves the
  // renderer empty: Fill and Draw then do nothing.
  bool Create();
  // Releases the memory DC, the bitmap and the tables.
  void Destroy();
  bool IsCreated() const { return pixels_ != nullptr; }

  // Fills the screen outside `picture` with `colour` (0x00BBGGRR, red in the low byte).
  void Fill(const RenderRect& picture, uint32_t colour);

  // Draws `source` (in the picture's own pixels, x to the right, y down from its top row,
  // before turning) into `destination` (screen pixels, clipped to the screen) turned by
  // `rotation` degrees (0, +-90, +-180, +-270). Each axis is scaled on its own: for a
  // quarter turn the source's height runs along the destination's width. Source positions
  // outside the picture are clamped to its edge. Pictures of 1, 2, 4, 8 (through the colour
  // table) and 24 bits are drawn; 16 and 32 bits, compressed pictures and other angles are
  // not. True when drawn.
  bool Draw(const tagRDIBIMG& picture, const RenderRect& source, const RenderRect& destination, int32_t rotation);

  // The memory DC with the bitmap selected, made on first use (Windows; null natively).
  void* MemoryDC();

  int32_t Width() const { return screenWidth_; }
  int32_t Height() const { return screenHeight_; }
  size_t RowBytes() const { return rowBytes_; }
  void* Bitmap() const { return bitmap_; }
  // The pixel at screen position (x, y), y down from the top (blue, green, red), or null.
  const uint8_t* PixelAt(int32_t x, int32_t y) const;

 private:
  uint8_t* ScreenRow(int32_t y) const { return pixels_ + static_cast<size_t>(screenHeight_ - 1 - y) * rowBytes_; }
  void ReleaseMemoryDC();  // the platform part (screen_renderer_dc_*.cpp)
  void FlushDrawing();     // lets GDI finish before the pixels are written directly

  void* bitmap_ = nullptr;
  void* memoryDC_ = nullptr;
  void* previousObject_ = nullptr;
  ptrdiff_t* columnTable_ = nullptr;  // per destination column: a source offset
  ptrdiff_t* rowTable_ = nullptr;     // per destination row: a source offset
  int32_t rotation_ = 0;
  RRgbQuad colours_[256] = {};
  uint32_t sourceBits_ = 0;
  int32_t screenWidth_ = 0;
  int32_t screenHeight_ = 0;
  uint32_t bytesPerPixel_ = 3;
  size_t rowBytes_ = 0;
  uint8_t* pixels_ = nullptr;
  uint32_t bitsPerPixel_ = 24;
  size_t tableEntries_ = 0;
};

}  // namespace crv
