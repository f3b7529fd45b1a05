#include "player/playback/video_layout.h"

#include <gtest/gtest.h>

#include "player/playback/stream_overlay.h"

namespace crv {
namespace {

VideoGeometry Video(int width, int height) {
  VideoGeometry g;
  g.width = width;
  g.height = height;
  return g;
}

TEST(VideoLayout, SmallVideoIsCentredAtItsOwnSize) {
  VideoGeometry g = Video(160, 120);
  const VideoRects r = LayOutVideo(g, 240, 268);
  EXPECT_FLOAT_EQ(g.zoom, 1.0f) << "a small video is never enlarged";
  EXPECT_EQ(r.target.left, 40);
  EXPECT_EQ(r.target.top, 74);
  EXPECT_EQ(r.target.right, 200);
  EXPECT_EQ(r.target.bottom, 194);
  EXPECT_EQ(r.source.right, 160);
  EXPECT_EQ(r.source.bottom, 120);
}

TEST(VideoLayout, LargeVideoFitsTheNarrowerAxis) {
  VideoGeometry g = Video(320, 240);
  const VideoRects r = LayOutVideo(g, 240, 268);
  EXPECT_FLOAT_EQ(g.zoom, 0.75f);
  EXPECT_EQ(r.target.left, 0);
  EXPECT_EQ(r.target.right, 240);
  EXPECT_EQ(r.target.top, 44) << "240 x 180, centred vertically";
  EXPECT_EQ(r.target.bottom, 224);
  EXPECT_EQ(r.source.left, 0);
  EXPECT_EQ(r.source.right, 320) << "the whole video is shown when it fits";
}

TEST(VideoLayout, ZoomBeyondTheWindowShowsThePannedPartOnly) {
  VideoGeometry g = Video(320, 240);
  VideoRects r = LayOutVideo(g, 240, 268);
  ZoomVideo(g, 2.0f, r, 240, 268);
  r = LayOutVideo(g, 240, 268);
  EXPECT_FLOAT_EQ(g.zoom, 2.0f) << "a manual zoom survives the layout";
  EXPECT_EQ(r.target.left, 0);
  EXPECT_EQ(r.target.right, 240);
  EXPECT_EQ(r.target.bottom, 268);
  // The centre of what was visible (160, 120) stays in the middle: 120 x 134 video pixels.
  EXPECT_EQ(r.source.right - r.source.left, 120);
  EXPECT_EQ(r.source.left, 100);
  EXPECT_EQ(r.source.bottom - r.source.top, 134);
  EXPECT_EQ(r.source.top, 53);
  // A pan past the edge is clamped back.
  g.panX = 500;
  g.panY = -5000;
  r = LayOutVideo(g, 240, 268);
  EXPECT_EQ(r.source.left, 0);
  EXPECT_EQ(r.source.bottom, 240);
  ZoomVideo(g, -1.0f, r, 240, 268);
  LayOutVideo(g, 240, 268);
  EXPECT_FLOAT_EQ(g.zoom, 0.75f) << "-1 returns to fit-to-window";
}

TEST(VideoLayout, TurnedVideoMapsTheVisiblePartBackToVideoPixels) {
  VideoGeometry g = Video(320, 240);
  g.angle = 90;
  VideoRects r = LayOutVideo(g, 180, 268);
  EXPECT_FLOAT_EQ(g.zoom, 0.75f) << "240 x 320 turned: the width limits";
  EXPECT_EQ(r.target.right - r.target.left, 180);
  EXPECT_EQ(r.target.bottom - r.target.top, 240);
  EXPECT_EQ(r.source.right, 320);
  EXPECT_EQ(r.source.bottom, 240);
  // Zoomed in: the visible columns of the turned picture are rows of the video counted from
  // its bottom (the picture lies clockwise), its visible rows the video's first columns.
  g.flags = 0;
  g.zoom = 2.0f;
  g.panX = 0;
  g.panY = 0;
  r = LayOutVideo(g, 180, 268);
  EXPECT_EQ(r.visible.right, 90);
  EXPECT_EQ(r.visible.bottom, 134);
  EXPECT_EQ(r.source.top, 150) << "the turned picture's left edge is the video's bottom rows";
  EXPECT_EQ(r.source.bottom, 240);
  EXPECT_EQ(r.source.left, 0);
  EXPECT_EQ(r.source.right, 134);
}

TEST(VideoLayout, AutomaticTurnFollowsTheWindowShape) {
  // Landscape mode on a portrait screen turns a wide video, not a tall one.
  VideoGeometry wide = Video(320, 240);
  ApplyLandscapeRequest(wide, true, true, 240, 268);
  EXPECT_EQ(wide.angle, 90);
  EXPECT_TRUE(wide.flags & kVideoTurnedForLandscape);
  VideoGeometry tall = Video(240, 320);
  ApplyLandscapeRequest(tall, true, true, 240, 268);
  EXPECT_EQ(tall.angle, 0);
  // The request only counts on a portrait screen.
  VideoGeometry onLandscapeScreen = Video(320, 240);
  ApplyLandscapeRequest(onLandscapeScreen, true, false, 320, 188);
  EXPECT_EQ(onLandscapeScreen.angle, 0);
  EXPECT_FALSE(onLandscapeScreen.flags & kVideoTurnedForLandscape);
  // Turned, then the window becomes wide: turned back.
  EXPECT_EQ(AutoTurnAngle(90, 320, 240, 320, 188), 0);
  EXPECT_EQ(AutoTurnAngle(-270, 320, 240, 320, 188), 0);
  EXPECT_EQ(AutoTurnAngle(270, 320, 240, 320, 188), 0);
  EXPECT_EQ(AutoTurnAngle(-90, 320, 240, 320, 188), 0);
  // Nothing for a square video or window.
  EXPECT_EQ(AutoTurnAngle(0, 200, 200, 240, 268), 0);
  EXPECT_EQ(AutoTurnAngle(0, 320, 240, 240, 240), 0);
}

TEST(VideoLayout, AnglesStayWithinAFullTurnBothWays) {
  EXPECT_EQ(TurnAngle(270, 90), 0);
  EXPECT_EQ(TurnAngle(0, -90), -90);
  EXPECT_EQ(TurnAngle(-270, -90), 0);
  EXPECT_EQ(TurnAngle(180, 270), 90);
  EXPECT_TRUE(TurnedOnSide(-90));
  EXPECT_FALSE(TurnedOnSide(-180));
}

TEST(StreamOverlay, OutlineAndBarFollowThePercentage) {
  uint16_t pixels[kOverlayPixels];
  BuildOverlay(pixels);
  auto at = [&](int x, int y) { return pixels[y * kOverlayWidth + x]; };
  EXPECT_EQ(at(0, 0), kOverlayWhite);
  EXPECT_EQ(at(1, 1), kOverlayOutline);
  EXPECT_EQ(at(102, 18), kOverlayOutline);
  EXPECT_EQ(at(50, 18), kOverlayOutline);
  EXPECT_EQ(at(103, 10), kOverlayWhite);
  int percent = 40;
  EXPECT_TRUE(RecolourOverlay(pixels, percent));
  EXPECT_EQ(at(2, 2), kOverlayProgress);
  EXPECT_EQ(at(42, 17), kOverlayProgress);
  EXPECT_EQ(at(43, 10), kOverlayWhite);
  EXPECT_EQ(at(1, 10), kOverlayOutline) << "the outline is never recoloured";
  percent = 100;
  EXPECT_TRUE(RecolourOverlay(pixels, percent));
  EXPECT_EQ(at(101, 17), kOverlayComplete);
  EXPECT_EQ(percent, 100);
  percent = 101;
  EXPECT_TRUE(RecolourOverlay(pixels, percent)) << "drawn once more, complete";
  EXPECT_EQ(percent, -1);
  EXPECT_FALSE(RecolourOverlay(pixels, percent)) << "then no overlay any more";
}

}  // namespace
}  // namespace crv
