#include "player/pictures/screen_renderer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include "player/media/alloc_hooks.h"

namespace crv {

namespace {

int64_t Clamp64(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Rotation in degrees to 0, 90, 180 or 270; -1 for an angle that is not a quarter turn.
int32_t QuarterTurn(int32_t rotation) {
  if (rotation % 90 != 0) return -1;
  int32_t r = rotation % 360;
  return r < 0 ? r + 360 : r;
}

inline void PutColour(uint8_t* out, const RRgbQuad& c) {
  out[0] = c.blue;
  out[1] = c.green;
  out[2] = c.red;
}

// The inner loops: the source byte of destination (u, v) is base + columns[u] + rows[v].
// One of the two tables holds row starts, the other x positions; below 8 bits the x positions
// are bit positions, and kXInColumns says which table has them.
struct Blit {
  const uint8_t* base;
  const ptrdiff_t* columns;
  const ptrdiff_t* rows;
  int32_t width;   // destination columns
  int32_t height;  // destination rows
  uint8_t* firstRow;
  ptrdiff_t rowStep;  // from one destination row to the next (downwards on screen)
  const RRgbQuad* colours;
};

void Blit24(const Blit& b) {
  uint8_t* outRow = b.firstRow;
  for (int32_t v = 0; v < b.height; ++v, outRow += b.rowStep) {
    const uint8_t* src = b.base + b.rows[v];
    uint8_t* out = outRow;
    const ptrdiff_t* col = b.columns;
    int32_t u = b.width;
    for (; u >= 4; u -= 4, col += 4, out += 12) {
      const uint8_t* p0 = src + col[0];
      const uint8_t* p1 = src + col[1];
      const uint8_t* p2 = src + col[2];
      const uint8_t* p3 = src + col[3];
      out[0] = p0[0], out[1] = p0[1], out[2] = p0[2];
      out[3] = p1[0], out[4] = p1[1], out[5] = p1[2];
      out[6] = p2[0], out[7] = p2[1], out[8] = p2[2];
      out[9] = p3[0], out[10] = p3[1], out[11] = p3[2];
    }
    for (; u > 0; --u, ++col, out += 3) {
      const uint8_t* p = src + *col;
      out[0] = p[0], out[1] = p[1], out[2] = p[2];
    }
  }
}

void Blit8(const Blit& b) {
  uint8_t* outRow = b.firstRow;
  for (int32_t v = 0; v < b.height; ++v, outRow += b.rowStep) {
    const uint8_t* src = b.base + b.rows[v];
    uint8_t* out = outRow;
    for (int32_t u = 0; u < b.width; ++u, out += 3) PutColour(out, b.colours[src[b.columns[u]]]);
  }
}

template <uint32_t kBits, bool kXInColumns>
void BlitPacked(const Blit& b) {
  constexpr uint32_t kMask = (1u << kBits) - 1;
  uint8_t* outRow = b.firstRow;
  for (int32_t v = 0; v < b.height; ++v, outRow += b.rowStep) {
    uint8_t* out = outRow;
    for (int32_t u = 0; u < b.width; ++u, out += 3) {
      const ptrdiff_t bit = kXInColumns ? b.columns[u] : b.rows[v];
      const ptrdiff_t start = kXInColumns ? b.rows[v] : b.columns[u];
      const uint8_t byte = b.base[start + (bit >> 3)];
      // Most significant bits first: the leftmost pixel of a byte is in its top bits.
      PutColour(out, b.colours[(byte >> (8 - kBits - (bit & 7))) & kMask]);
    }
  }
}

}  // namespace

bool ScreenRenderer::Create() {
  Destroy();
  const ScreenSize screen = CurrentScreenSize();
  if (screen.width < 1 || screen.height < 1) return false;
  RBitmapInfoHeader info{};
  info.size = sizeof(info);
  info.width = screen.width;
  info.height = screen.height;
  info.planes = 1;
  info.bitCount = 24;
  info.sizeImage = static_cast<uint32_t>(DibImageBytes(info));
  tableEntries_ = static_cast<size_t>(std::max(screen.width, screen.height)) + 32;
  columnTable_ = new (std::nothrow) ptrdiff_t[tableEntries_];
  rowTable_ = new (std::nothrow) ptrdiff_t[tableEntries_];
  void* bits = nullptr;
  void* bitmap = columnTable_ && rowTable_ ? HookCreateDib(nullptr, &info, &bits) : nullptr;
  if (!bitmap) {
    Destroy();
    return false;
  }
  bitmap_ = bitmap;
  pixels_ = static_cast<uint8_t*>(bits);
  screenWidth_ = screen.width;
  screenHeight_ = screen.height;
  bytesPerPixel_ = 3;
  bitsPerPixel_ = 24;
  rowBytes_ = static_cast<size_t>(DibRowBytes(24, static_cast<uint64_t>(screen.width)));
  return true;
}

void ScreenRenderer::Destroy() {
  ReleaseMemoryDC();
  HookDeleteObject(bitmap_);
  bitmap_ = nullptr;
  pixels_ = nullptr;
  delete[] columnTable_;
  delete[] rowTable_;
  columnTable_ = rowTable_ = nullptr;
  tableEntries_ = 0;
  screenWidth_ = screenHeight_ = 0;
  rowBytes_ = 0;
}

const uint8_t* ScreenRenderer::PixelAt(int32_t x, int32_t y) const {
  if (!pixels_ || x < 0 || y < 0 || x >= screenWidth_ || y >= screenHeight_) return nullptr;
  return ScreenRow(y) + 3 * static_cast<size_t>(x);
}

void ScreenRenderer::Fill(const RenderRect& picture, uint32_t colour) {
  if (!pixels_) return;
  FlushDrawing();
  const RRgbQuad c{static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8), static_cast<uint8_t>(colour), 0};
  const int64_t left = Clamp64(picture.x, 0, screenWidth_);
  const int64_t top = Clamp64(picture.y, 0, screenHeight_);
  const int64_t right = std::max(left, Clamp64(int64_t{picture.x} + std::max(picture.width, 0), 0, screenWidth_));
  const int64_t bottom = std::max(top, Clamp64(int64_t{picture.y} + std::max(picture.height, 0), 0, screenHeight_));
  auto span = [&](int32_t y, int64_t from, int64_t to) {
    uint8_t* out = ScreenRow(y) + 3 * from;
    for (int64_t x = from; x < to; ++x, out += 3) PutColour(out, c);
  };
  for (int32_t y = 0; y < screenHeight_; ++y) {
    if (y < top || y >= bottom) {
      span(y, 0, screenWidth_);
    } else {
      span(y, 0, left);
      span(y, right, screenWidth_);
    }
  }
}

bool ScreenRenderer::Draw(const tagRDIBIMG& picture, const RenderRect& source, const RenderRect& destination,
                          int32_t rotation) {
  if (!pixels_ || !picture.info || !picture.pixels) return false;
  const RBitmapInfoHeader& info = *picture.info;
  const uint32_t bits = info.bitCount;
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 24) return false;
  if (info.compression != 0 || info.width < 1 || info.height == 0) return false;
  const int32_t turn = QuarterTurn(rotation);
  if (turn < 0) return false;
  if (source.width < 1 || source.height < 1 || destination.width < 1 || destination.height < 1) return false;

  rotation_ = rotation;
  sourceBits_ = bits;
  std::memset(colours_, 0, sizeof(colours_));
  if (bits <= 8) {
    const uint32_t entries = 1u << bits;
    const uint32_t used = info.clrUsed && info.clrUsed < entries ? info.clrUsed : entries;
    std::memcpy(colours_, ColourTable(&info), used * sizeof(RRgbQuad));
  }

  const int64_t pw = info.width;
  const bool topDown = info.height < 0;
  const int64_t ph = topDown ? -int64_t{info.height} : info.height;
  const int64_t srcRowBytes = static_cast<int64_t>(DibRowBytes(bits, static_cast<uint64_t>(pw)));
  const int64_t sx = source.x, sy = source.y, sw = source.width, sh = source.height;
  const bool quarter = turn == 90 || turn == 270;  // the source's height runs along the columns

  // The visible part of the destination.
  const int64_t c0 = Clamp64(destination.x, 0, screenWidth_);
  const int64_t c1 = Clamp64(int64_t{destination.x} + destination.width, 0, screenWidth_);
  const int64_t r0 = Clamp64(destination.y, 0, screenHeight_);
  const int64_t r1 = Clamp64(int64_t{destination.y} + destination.height, 0, screenHeight_);
  if (c0 >= c1 || r0 >= r1) return true;
  FlushDrawing();

  auto rowStart = [&](int64_t py) {
    py = Clamp64(py, 0, ph - 1);
    return (topDown ? py : ph - 1 - py) * srcRowBytes;
  };
  auto xPosition = [&](int64_t px) {
    px = Clamp64(px, 0, pw - 1);
    return bits == 24 ? px * 3 : (bits == 8 ? px : px * bits);
  };
  // Nearest neighbour with the step m / n: destination i of n shows source i x m / n, worked
  // out exactly for each i (no step added up along the row, so no error creeps in; i < n and
  // m below 2^31 keep the product in 64 bits).
  auto sample = [](int64_t i, int64_t n, int64_t m) { return i * m / n; };
  // A turned picture is the unturned drawing turned: every turn samples the source exactly
  // where the unturned drawing does, and only the destination is walked mirrored. So the
  // source's top-left pixel lands in the corner the turn takes it to at every scale.
  const int64_t dw = destination.width, dh = destination.height;
  for (int64_t c = c0; c < c1; ++c) {
    const int64_t u = c - destination.x;
    ptrdiff_t v = 0;
    switch (turn) {
      case 0: v = xPosition(sx + sample(u, dw, sw)); break;
      case 180: v = xPosition(sx + sample(dw - 1 - u, dw, sw)); break;
      case 90: v = rowStart(sy + sample(dw - 1 - u, dw, sh)); break;  // columns walk up the source
      default: v = rowStart(sy + sample(u, dw, sh)); break;           // 270: columns walk down it
    }
    columnTable_[c - c0] = v;
  }
  for (int64_t r = r0; r < r1; ++r) {
    const int64_t w = r - destination.y;
    ptrdiff_t v = 0;
    switch (turn) {
      case 0: v = rowStart(sy + sample(w, dh, sh)); break;
      case 180: v = rowStart(sy + sample(dh - 1 - w, dh, sh)); break;
      case 90: v = xPosition(sx + sample(w, dh, sw)); break;           // rows walk the source rightwards
      default: v = xPosition(sx + sample(dh - 1 - w, dh, sw)); break;  // 270: leftwards
    }
    rowTable_[r - r0] = v;
  }

  Blit blit{picture.pixels, columnTable_, rowTable_, static_cast<int32_t>(c1 - c0), static_cast<int32_t>(r1 - r0),
            ScreenRow(static_cast<int32_t>(r0)) + 3 * c0, -static_cast<ptrdiff_t>(rowBytes_), colours_};
  const bool xInColumns = !quarter;
  switch (bits) {
    case 24: Blit24(blit); break;
    case 8: Blit8(blit); break;
    case 4: xInColumns ? BlitPacked<4, true>(blit) : BlitPacked<4, false>(blit); break;
    case 2: xInColumns ? BlitPacked<2, true>(blit) : BlitPacked<2, false>(blit); break;
    default: xInColumns ? BlitPacked<1, true>(blit) : BlitPacked<1, false>(blit); break;
  }
  return true;
}

}  // namespace crv
