#include "converter/frame_geometry.h"

#include <cmath>

namespace conv {
namespace {

struct Size {
  int width, height;
};
constexpr Size kH263Sizes[] = {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};
constexpr int kLargestSorenson = 4092;

// The source's display width for square pixels.
double DisplayWidth(int width, int num, int den) {
  if (num <= 0 || den <= 0) return width;
  return static_cast<double>(width) * num / den;
}

int RoundTo(double value, int multiple) {
  int n = static_cast<int>(std::lround(value / multiple)) * multiple;
  return n < multiple ? multiple : n;
}

int FloorTo(double value, int multiple) {
  int n = static_cast<int>(value + 1e-6) / multiple * multiple;
  return n < multiple ? multiple : n;
}

}  // namespace

FrameGeometry H263Geometry(int sourceWidth, int sourceHeight, int aspectNum, int aspectDen) {
  FrameGeometry g;
  double dw = DisplayWidth(sourceWidth, aspectNum, aspectDen), dh = sourceHeight;
  if (dw <= 0 || dh <= 0) dw = dh = 1;
  Size frame = kH263Sizes[0];
  for (const Size& s : kH263Sizes)
    if (s.width <= dw + 0.5 && s.height <= dh + 0.5) frame = s;
  g.width = frame.width;
  g.height = frame.height;
  double scale = std::fmin(frame.width / dw, frame.height / dh);
  // Offsets and sizes in steps of 4, so the bars fall on whole chroma samples.
  g.pictureWidth = RoundTo(dw * scale, 4);
  g.pictureHeight = RoundTo(dh * scale, 4);
  if (g.pictureWidth > g.width) g.pictureWidth = g.width;
  if (g.pictureHeight > g.height) g.pictureHeight = g.height;
  g.pictureX = (g.width - g.pictureWidth) / 2 / 4 * 4;
  g.pictureY = (g.height - g.pictureHeight) / 2 / 4 * 4;
  return g;
}

FrameGeometry SorensonGeometry(int sourceWidth, int sourceHeight, int aspectNum, int aspectDen) {
  FrameGeometry g;
  double dw = DisplayWidth(sourceWidth, aspectNum, aspectDen), dh = sourceHeight;
  if (dw <= 0 || dh <= 0) dw = dh = 16;
  double scale = std::fmin(1.0, std::fmin(kLargestSorenson / dw, kLargestSorenson / dh));
  // Down to a multiple of 4: a few columns less rather than a stretched picture.
  g.width = g.pictureWidth = FloorTo(dw * scale, 4);
  g.height = g.pictureHeight = FloorTo(dh * scale, 4);
  return g;
}

}  // namespace conv
