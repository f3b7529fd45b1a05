#include "player/playback/video_layout.h"

#include <algorithm>
#include <cmath>

namespace crv {

int TurnAngle(int angle, int delta) { return (angle + delta) % 360; }

bool TurnedOnSide(int angle) { return angle % 180 != 0; }

int AutoTurnAngle(int angle, int videoWidth, int videoHeight, int clientWidth, int clientHeight) {
  if (videoWidth == videoHeight || clientWidth == clientHeight) return angle;
  const bool across = (clientWidth < clientHeight && videoWidth > videoHeight) ||
                      (clientWidth >= clientHeight && videoWidth < videoHeight);
  const bool upright = !TurnedOnSide(angle);
  if (across != upright) return angle;
  const int delta = (angle == 90 || angle == -270 || angle == 180) ? -90 : 90;
  return TurnAngle(angle, delta);
}

void ApplyLandscapeRequest(VideoGeometry& geometry, bool landscape, bool portraitScreen, int clientWidth,
                           int clientHeight) {
  if (landscape && portraitScreen) geometry.flags |= kVideoTurnedForLandscape;
  else geometry.flags &= ~kVideoTurnedForLandscape;
  geometry.angle = 0;
  if (geometry.flags & kVideoTurnedForLandscape)
    geometry.angle = AutoTurnAngle(0, geometry.width, geometry.height, clientWidth, clientHeight);
}

namespace {

struct AxisPlacement {
  int targetStart, targetLength;
  int sourceStart, sourceLength;  // in the turned picture's pixels
};

// One axis of steps 4 and 5: the pan is clamped (larger than the client) or centres.
AxisPlacement PlaceAxis(float& pan, int client, int size, float zoom) {
  const float scaled = size * zoom;
  AxisPlacement a{};
  if (scaled > client) {
    pan = std::min(0.0f, std::max(pan, client - scaled));
    a.targetStart = 0;
    a.targetLength = client;
    a.sourceStart = std::clamp(static_cast<int>(-pan / zoom), 0, size);
    a.sourceLength = std::clamp(static_cast<int>(client / zoom), 1, size - a.sourceStart);
  } else {
    pan = (client - scaled) / 2;
    a.targetStart = static_cast<int>((client - scaled) / 2);
    a.targetLength = static_cast<int>(scaled);
    a.sourceStart = 0;
    a.sourceLength = size;
  }
  return a;
}

}  // namespace

VideoRects LayOutVideo(VideoGeometry& g, int clientWidth, int clientHeight) {
  VideoRects r;
  if (g.width <= 0 || g.height <= 0 || clientWidth <= 0 || clientHeight <= 0) return r;
  const bool onSide = TurnedOnSide(g.angle);
  const int w = onSide ? g.height : g.width;
  const int h = onSide ? g.width : g.height;
  if (g.flags & kVideoFitToWindow)
    g.zoom = std::min(1.0f, std::min(static_cast<float>(clientWidth) / w, static_cast<float>(clientHeight) / h));
  if (g.zoom <= 0) return r;
  const AxisPlacement x = PlaceAxis(g.panX, clientWidth, w, g.zoom);
  const AxisPlacement y = PlaceAxis(g.panY, clientHeight, h, g.zoom);
  r.target = {x.targetStart, y.targetStart, x.targetStart + x.targetLength, y.targetStart + y.targetLength};
  r.visible = {x.sourceStart, y.sourceStart, x.sourceStart + x.sourceLength, y.sourceStart + y.sourceLength};
  if (!onSide) {
    r.source = r.visible;
  } else {
    // Turned clockwise: the picture's x runs down the video's rows from the bottom, its y
    // along the video's columns.
    r.source = {y.sourceStart, g.height - (x.sourceStart + x.sourceLength), y.sourceStart + y.sourceLength,
                g.height - x.sourceStart};
  }
  return r;
}

void ZoomVideo(VideoGeometry& g, float factor, const VideoRects& current, int clientWidth, int clientHeight) {
  if (factor == -1.0f) {
    g.flags |= kVideoFitToWindow;
    return;
  }
  g.flags &= ~kVideoFitToWindow;
  if (factor <= 0) return;
  const RRect& v = current.visible;
  g.zoom = factor;
  g.panX = clientWidth / 2.0f - (v.left + (v.right - v.left) / 2.0f) * factor;
  g.panY = clientHeight / 2.0f - (v.top + (v.bottom - v.top) / 2.0f) * factor;
}

}  // namespace crv
