// Where a video lands in the video view: the fit-to-window zoom, the pan, the turn (by hand,
// or automatically so that a video lying across the window is turned to fill it) and the two
// rectangles the display output writes with - the target in the view's client coordinates and
// the source in the video's own pixels. Platform-free, so the rules are tested natively.
#pragma once
#include "player/media/frame_record.h"

namespace crv {

// The document's display flags.
constexpr unsigned kVideoFitToWindow = 1;   // bit 0
constexpr unsigned kVideoTurnedForLandscape = 2;  // bit 1

struct VideoGeometry {
  int width = 0;  // the video's own size
  int height = 0;
  float zoom = 1.0f;
  int angle = 0;  // degrees, within (-360, 360)
  float panX = 0;  // the picture's offset in the client, in client pixels (0 or negative when larger)
  float panY = 0;
  unsigned flags = kVideoFitToWindow;
};

struct VideoRects {
  RRect target{};  // client coordinates
  RRect source{};  // video pixels
  RRect visible{};  // the same part in the turned picture's pixels (what the zoom centres on)
};

// The angle after a turn by `delta` degrees, reduced into (-360, 360) by the truncating
// remainder, so that -90 and 270 both occur.
int TurnAngle(int angle, int delta);
// True when the angle turns the video on its side (not a multiple of 180).
bool TurnedOnSide(int angle);

// The automatic turn: the new angle for a video of `videoWidth` x `videoHeight` in a client of
// `clientWidth` x `clientHeight`. Nothing for a square video or client. A video lying across
// the window (client narrower than tall and video wider than tall, or client at least as wide
// as tall and video narrower than wide) and upright is turned; one not lying across but turned
// is turned back. A turn adds -90 at 90, -270 or 180, +90 otherwise.
int AutoTurnAngle(int angle, int videoWidth, int videoHeight, int clientWidth, int clientHeight);

// The landscape request of a layout: it only counts on a portrait screen, where it sets the
// landscape flag (else clears it). The angle starts again at 0, then the landscape flag applies
// the automatic turn.
void ApplyLandscapeRequest(VideoGeometry& geometry, bool landscape, bool portraitScreen, int clientWidth,
                           int clientHeight);

// Steps 2 to 5 of every layout: the effective (turned) size, the fit zoom (never above 1), the
// pan (clamped when larger than the client, centred otherwise) and the rectangles.
VideoRects LayOutVideo(VideoGeometry& geometry, int clientWidth, int clientHeight);

// A chosen zoom: -1 returns to fit-to-window; any other factor is manual, and a positive one
// keeps the centre of the visible source area at the centre of the window.
void ZoomVideo(VideoGeometry& geometry, float factor, const VideoRects& current, int clientWidth, int clientHeight);

}  // namespace crv
