#include "player/playback/frame_blit.h"

#include <algorithm>
#include <cstring>

namespace crv {

namespace {

// A channel of the surface format: where it sits and how many bits it has.
struct Channel {
  int shift = 0;
  int bits = 0;
};

Channel ChannelOf(uint32_t mask) {
  Channel ch;
  if (mask == 0) return ch;
  while (!(mask & 1u)) {
    mask >>= 1;
    ++ch.shift;
  }
  while (mask & 1u) {
    mask >>= 1;
    ++ch.bits;
  }
  return ch;
}

// An 8-bit channel value placed into a channel of any width.
uint32_t Place(uint32_t value8, const Channel& ch) {
  if (ch.bits == 0) return 0;
  uint32_t v = ch.bits <= 8 ? value8 >> (8 - ch.bits)
                            : (value8 << (ch.bits - 8)) | (value8 >> (16 - ch.bits));
  return v << ch.shift;
}

uint32_t Pack(uint16_t pixel, const Channel& red, const Channel& green, const Channel& blue) {
  const uint32_t r5 = (pixel >> 11) & 31u, g6 = (pixel >> 5) & 63u, b5 = pixel & 31u;
  const uint32_t r8 = (r5 << 3) | (r5 >> 2), g8 = (g6 << 2) | (g6 >> 4), b8 = (b5 << 3) | (b5 >> 2);
  return Place(r8, red) | Place(g8, green) | Place(b8, blue);
}

struct Affine {
  // surface x = ax * x + bx * y + cx, surface y = ay * x + by * y + cy
  int ax, bx, cx, ay, by, cy;
};

// Screen coordinates to surface coordinates for the orientation.
Affine ScreenToSurface(const BlitJob& job, const BlitSurface& s) {
  if (!job.panelLayout) return {1, 0, 0, 0, 1, 0};
  switch (job.orientation) {
    case kDisplayOrientation90:
      return {0, -1, s.width - 1, 1, 0, 0};
    case kDisplayOrientation180:
      return {-1, 0, s.width - 1, 0, -1, s.height - 1};
    case kDisplayOrientation270:
      return {0, 1, 0, -1, 0, s.height - 1};
    default:
      return {1, 0, 0, 0, 1, 0};
  }
}

bool ScreenIsSwapped(const BlitJob& job) {
  return job.panelLayout &&
         (job.orientation == kDisplayOrientation90 || job.orientation == kDisplayOrientation270);
}

bool SupportedFormat(const SurfaceFormat& f) {
  return f.bitsPerPixel == 16 || f.bitsPerPixel == 24 || f.bitsPerPixel == 32;
}

// Pixel writers, one per surface kind; the common ones avoid the generic channel packing.
struct Put565 {
  explicit Put565(const SurfaceFormat&) {}
  void operator()(uint8_t* d, uint16_t p) const { std::memcpy(d, &p, 2); }
};

struct PutXrgb {
  explicit PutXrgb(const SurfaceFormat&) {}
  void operator()(uint8_t* d, uint16_t p) const {
    const uint32_t v = ((p & 0xF800u) << 8) | ((p & 0xE000u) << 3) | ((p & 0x07E0u) << 5) |
                       ((p & 0x0600u) >> 1) | ((p & 0x001Fu) << 3) | ((p & 0x001Cu) >> 2);
    std::memcpy(d, &v, 4);
  }
};

struct PutGeneric {
  explicit PutGeneric(const SurfaceFormat& f)
      : red(ChannelOf(f.redMask)), green(ChannelOf(f.greenMask)), blue(ChannelOf(f.blueMask)),
        bytes(f.bitsPerPixel / 8) {}
  void operator()(uint8_t* d, uint16_t p) const {
    const uint32_t v = Pack(p, red, green, blue);
    for (int i = 0; i < bytes; ++i) d[i] = static_cast<uint8_t>(v >> (8 * i));
  }
  Channel red, green, blue;
  int bytes;
};

template <class Put, bool kAdjust>
void WritePicture(const BlitJob& job, const BlitSurface& s, const BlitPlan& plan) {
  const Put put(s.format);
  const uint16_t* adjust = job.adjust;
  for (int r = plan.firstRow; r < plan.endRow; ++r) {
    const int sy = plan.sourceY + static_cast<int>((static_cast<uint32_t>(r) * plan.stepY) >> 10);
    const uint16_t* row = job.frame + static_cast<ptrdiff_t>(sy) * job.frameWidth + plan.sourceX;
    uint8_t* d = s.pixels + plan.origin + plan.firstColumn * plan.columnStep + r * plan.rowStep;
    uint32_t acc = static_cast<uint32_t>(plan.firstColumn) * plan.stepX;
    for (int c = plan.firstColumn; c < plan.endColumn; ++c) {
      uint16_t p = row[acc >> 10];
      acc += plan.stepX;
      if (kAdjust) p = adjust[p];
      put(d, p);
      d += plan.columnStep;
    }
  }
}

template <class Put>
void WriteOverlay(const BlitJob& job, const BlitSurface& s, const BlitPlan& plan) {
  const Put put(s.format);
  // Centred near the bottom of the picture, turning with it.
  const int ox = (plan.columns - kOverlayWidth) / 2;
  const int oy = std::max(plan.rows - kOverlayHeight - kOverlayMargin, 0);
  const int r0 = std::max(plan.firstRow, oy), r1 = std::min(plan.endRow, oy + kOverlayHeight);
  const int c0 = std::max(plan.firstColumn, ox), c1 = std::min(plan.endColumn, ox + kOverlayWidth);
  for (int r = r0; r < r1; ++r) {
    const uint16_t* row = job.overlay + (r - oy) * kOverlayWidth;
    uint8_t* d = s.pixels + plan.origin + c0 * plan.columnStep + r * plan.rowStep;
    for (int c = c0; c < c1; ++c) {
      put(d, row[c - ox]);
      d += plan.columnStep;
    }
  }
}

template <class Put>
void Write(const BlitJob& job, const BlitSurface& s, const BlitPlan& plan) {
  if (job.adjust)
    WritePicture<Put, true>(job, s, plan);
  else
    WritePicture<Put, false>(job, s, plan);
  if (job.overlay) WriteOverlay<Put>(job, s, plan);
}

}  // namespace

int ScaleStep(int sourceSize, int targetSize) {
  if (targetSize <= 0) return 0;
  return static_cast<int>(static_cast<int64_t>(sourceSize) * 1024 / targetSize);
}

uint32_t ConvertPixel565(uint16_t pixel, const SurfaceFormat& format) {
  return Pack(pixel, ChannelOf(format.redMask), ChannelOf(format.greenMask), ChannelOf(format.blueMask));
}

bool PlanBlit(const BlitJob& job, const BlitSurface& s, BlitPlan* plan) {
  if (!job.frame || job.frameWidth <= 0 || job.frameHeight <= 0 || !s.pixels || s.width <= 0 ||
      s.height <= 0 || !SupportedFormat(s.format))
    return false;
  // Source: the part of the frame that exists.
  const int sx0 = std::max(job.source.left, 0), sy0 = std::max(job.source.top, 0);
  const int sx1 = std::min(job.source.right, job.frameWidth);
  const int sy1 = std::min(job.source.bottom, job.frameHeight);
  const BlitRect& t = job.target;
  const int tw = t.right - t.left, th = t.bottom - t.top;
  if (sx1 <= sx0 || sy1 <= sy0 || tw <= 0 || th <= 0) return false;

  BlitPlan p;
  p.columns = job.turned ? th : tw;
  p.rows = job.turned ? tw : th;
  p.sourceX = sx0;
  p.sourceY = sy0;
  p.stepX = ScaleStep(sx1 - sx0, p.columns);
  p.stepY = ScaleStep(sy1 - sy0, p.rows);

  // Clip the target to the screen, then express the visible part in output columns and rows.
  const int screenW = ScreenIsSwapped(job) ? s.height : s.width;
  const int screenH = ScreenIsSwapped(job) ? s.width : s.height;
  const int cl = std::max(t.left, 0), ct = std::max(t.top, 0);
  const int cr = std::min(t.right, screenW), cb = std::min(t.bottom, screenH);
  if (cr <= cl || cb <= ct) return false;
  if (!job.turned) {
    p.firstColumn = cl - t.left;
    p.endColumn = cr - t.left;
    p.firstRow = ct - t.top;
    p.endRow = cb - t.top;
  } else {
    // Column c runs down the target (y = top + c), row r leftwards from its right edge
    // (x = right - 1 - r).
    p.firstColumn = ct - t.top;
    p.endColumn = cb - t.top;
    p.firstRow = t.right - cr;
    p.endRow = t.right - cl;
  }

  // Byte offset of output pixel (c, r), affine in c and r.
  const Affine m = ScreenToSurface(job, s);
  const ptrdiff_t bpp = s.format.bitsPerPixel / 8;
  auto offset = [&](int c, int r) {
    const int x = job.turned ? t.right - 1 - r : t.left + c;
    const int y = job.turned ? t.top + c : t.top + r;
    const ptrdiff_t sx = static_cast<ptrdiff_t>(m.ax) * x + static_cast<ptrdiff_t>(m.bx) * y + m.cx;
    const ptrdiff_t sy = static_cast<ptrdiff_t>(m.ay) * x + static_cast<ptrdiff_t>(m.by) * y + m.cy;
    return sx * bpp + sy * s.pitch;
  };
  p.origin = offset(0, 0);
  p.columnStep = offset(1, 0) - p.origin;
  p.rowStep = offset(0, 1) - p.origin;
  *plan = p;
  return true;
}

bool TargetSurfaceBounds(const BlitJob& job, int surfaceWidth, int surfaceHeight, BlitRect* bounds) {
  BlitSurface s;
  s.width = surfaceWidth;
  s.height = surfaceHeight;
  const int screenW = ScreenIsSwapped(job) ? s.height : s.width;
  const int screenH = ScreenIsSwapped(job) ? s.width : s.height;
  const BlitRect& t = job.target;
  const int cl = std::max(t.left, 0), ct = std::max(t.top, 0);
  const int cr = std::min(t.right, screenW), cb = std::min(t.bottom, screenH);
  if (cr <= cl || cb <= ct) return false;
  // The map is affine, so two opposite corner pixels give the bounds.
  const Affine m = ScreenToSurface(job, s);
  const int x0 = m.ax * cl + m.bx * ct + m.cx, y0 = m.ay * cl + m.by * ct + m.cy;
  const int x1 = m.ax * (cr - 1) + m.bx * (cb - 1) + m.cx, y1 = m.ay * (cr - 1) + m.by * (cb - 1) + m.cy;
  *bounds = BlitRect{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1, std::max(y0, y1) + 1};
  return true;
}

bool ClearTarget(const BlitJob& job, const BlitSurface& s) {
  BlitRect part;
  if (!s.pixels || !SupportedFormat(s.format) || !TargetSurfaceBounds(job, s.width, s.height, &part)) return false;
  const size_t bytesPerPixel = static_cast<size_t>(s.format.bitsPerPixel / 8);
  const size_t rowBytes = static_cast<size_t>(part.right - part.left) * bytesPerPixel;
  for (int y = part.top; y < part.bottom; ++y)  // zero is black in every format we write
    std::memset(s.pixels + y * s.pitch + static_cast<ptrdiff_t>(part.left * bytesPerPixel), 0, rowBytes);
  return true;
}

bool BlitFrame(const BlitJob& job, const BlitSurface& s) {
  BlitPlan plan;
  if (!PlanBlit(job, s, &plan)) return false;
  const SurfaceFormat& f = s.format;
  if (f.bitsPerPixel == 16 && f.redMask == 0xF800 && f.greenMask == 0x07E0 && f.blueMask == 0x001F)
    Write<Put565>(job, s, plan);
  else if (f.bitsPerPixel == 32 && f.redMask == 0xFF0000 && f.greenMask == 0xFF00 && f.blueMask == 0xFF)
    Write<PutXrgb>(job, s, plan);
  else
    Write<PutGeneric>(job, s, plan);
  return true;
}

}  // namespace crv
