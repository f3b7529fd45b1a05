#include "player/pictures/picture_view_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>
#include "player/media/alloc_hooks.h"
#include "player/pictures/screen_renderer.h"

using namespace crv;

namespace {

// An item whose view state is set: the given flags, zoom 1.0, rotation 0.
AlbumItemFixed ItemWith(uint32_t flags, uint32_t width = 0, uint32_t height = 0) {
  AlbumItemFixed item;
  item.viewFlags = flags;
  item.width = width;
  item.height = height;
  return item;
}

// A view of the given size showing `item` with a loaded picture of width x height.
struct View {
  View(int32_t viewWidth, int32_t viewHeight, AlbumItemFixed& item, int32_t width, int32_t height, int32_t pages = 1) {
    state.SetViewSize(viewWidth, viewHeight);
    state.Bind(&item, width, height, pages);
  }
  PictureViewState state;
};

void ExpectRect(const RRect& r, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  EXPECT_EQ(left, r.left);
  EXPECT_EQ(top, r.top);
  EXPECT_EQ(right, r.right);
  EXPECT_EQ(bottom, r.bottom);
}

void ExpectRect(const RenderRect& r, int32_t x, int32_t y, int32_t width, int32_t height) {
  EXPECT_EQ(x, r.x);
  EXPECT_EQ(y, r.y);
  EXPECT_EQ(width, r.width);
  EXPECT_EQ(height, r.height);
}

}  // namespace

// ---- Layout ------------------------------------------------------------------------------------

// Automatic landscape turns a wide picture on a tall view by +90, and fitting shrinks it to
// 320 / 4000; a small picture is never enlarged by fitting and lies centred. Turning the
// view wide turns the picture back and fits it again.
TEST(PictureViewLayout, FitAndAutomaticLandscape) {
  AlbumItemFixed large = ItemWith(kViewZoomToFit | kViewAutoLandscape);
  View view(240, 320, large, 4000, 3000);
  EXPECT_EQ(90, large.rotation);
  EXPECT_FLOAT_EQ(0.08f, view.state.Zoom());
  EXPECT_FLOAT_EQ(0.08f, large.Zoom());
  ExpectRect(view.state.DrawDestination(), 0, 0, 240, 320);
  ExpectRect(view.state.PictureRect(), 0, 0, 240, 320);
  ExpectRect(view.state.VisibleSource(), 0, 0, 4000, 3000);

  view.state.SetViewSize(320, 240);
  EXPECT_EQ(0, large.rotation);
  EXPECT_FLOAT_EQ(0.08f, view.state.Zoom());
  ExpectRect(view.state.DrawDestination(), 0, 0, 320, 240);

  AlbumItemFixed small = ItemWith(kViewZoomToFit | kViewAutoLandscape);
  View smallView(240, 320, small, 100, 100);
  EXPECT_FLOAT_EQ(1.0f, smallView.state.Zoom());
  EXPECT_EQ(0, small.rotation);  // square: never turned
  ExpectRect(smallView.state.DrawDestination(), 70, 110, 100, 100);
  EXPECT_EQ(70, small.OffsetX());
  EXPECT_EQ(110, small.OffsetY());
}

// The quarter turn that automatic landscape chooses: -90 from 90, -270 and 180, else +90;
// a picture that already lies like the view stays.
TEST(PictureViewLayout, AutomaticTurnDirection) {
  struct Case {
    int32_t width, height, rotation, expected;
  } cases[] = {
      {400, 300, 0, 90},   {400, 300, 180, 90},  {400, 300, -180, -90}, {400, 300, 90, 90},
      {300, 400, 90, 0},   {300, 400, -270, 0},  {300, 400, 270, 0},    {300, 400, -90, 0},
      {300, 400, 0, 0},    {300, 400, 180, 180},
  };
  for (const Case& c : cases) {
    AlbumItemFixed item = ItemWith(kViewAutoLandscape);
    item.rotation = c.rotation;
    View view(240, 320, item, c.width, c.height);
    EXPECT_EQ(c.expected, item.rotation) << c.width << "x" << c.height << " at " << c.rotation;
  }
  AlbumItemFixed square = ItemWith(kViewAutoLandscape);
  View squareView(240, 240, square, 400, 300);
  EXPECT_EQ(0, square.rotation);
}

// A picture larger than the view keeps its offset, but never leaves an empty margin; one
// that fits is centred whatever its offset was. Without a loaded picture the size the item
// remembers is laid out.
TEST(PictureViewLayout, EdgeClampingAndRememberedSize) {
  AlbumItemFixed item = ItemWith(0, 50, 40);
  View view(240, 320, item, 480, 200);
  item.SetOffsets(25, -500);
  view.state.Layout();
  EXPECT_EQ(0, item.OffsetX());  // an offset of 1 or more becomes 0
  EXPECT_EQ(60, item.OffsetY()); // fits: centred
  item.SetOffsets(-1000, 0);
  view.state.Layout();
  EXPECT_EQ(240 - 480, item.OffsetX());
  item.SetOffsets(-100, 0);
  view.state.Layout();
  EXPECT_EQ(-100, item.OffsetX());
  ExpectRect(view.state.PictureRect(), 0, 60, 240, 260);
  ExpectRect(view.state.VisibleSource(), 100, 0, 240, 200);

  view.state.Bind(&item, 0, 0, 1);
  EXPECT_FALSE(view.state.HasPicture());
  ExpectRect(view.state.DrawDestination(), 95, 140, 50, 40);
}

// Stored view state from an album file is taken as it is only when it makes sense: a zoom
// that is not a positive number becomes 1.0, one out of bounds is clamped, a rotation that
// is not a quarter turn becomes 0, and sizes beyond 32 bits show nothing.
TEST(PictureViewLayout, StoredStateIsBounded) {
  for (float stored : {std::nanf(""), 0.0f, -5.0f, std::numeric_limits<float>::infinity()}) {
    AlbumItemFixed item = ItemWith(0);
    item.SetZoom(stored);
    View view(240, 320, item, 100, 100);
    EXPECT_EQ(1.0f, item.Zoom()) << stored;
  }
  AlbumItemFixed huge = ItemWith(0);
  huge.SetZoom(1e30f);
  huge.rotation = 45;
  huge.SetOffsets(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
  View view(240, 320, huge, 60000, 50000);
  EXPECT_EQ(kMaxZoom, huge.Zoom());
  EXPECT_EQ(0, huge.rotation);
  EXPECT_LE(int64_t{view.state.DrawDestination().width}, int64_t{1} << 30);
  ExpectRect(view.state.PictureRect(), 0, 0, 240, 320);

  AlbumItemFixed unknown = ItemWith(0, 0xFFFFFFFFu, 10);
  View empty(240, 320, unknown, 0, 0);
  ExpectRect(empty.state.PictureRect(), 0, 0, 0, 0);
}

// The visible source rectangle holds every picture pixel that the renderer samples for the
// visible part and at most the one partly covered pixel more at its far end, at every turn,
// for a picture scrolled in one direction and centred in the other, at a zoom that is not
// a whole number.
TEST(PictureViewLayout, VisibleSourceIsWhatTheRendererSamples) {
  const int32_t kViewW = 30, kViewH = 22, kPicW = 37, kPicH = 13;
  OverrideScreenSize(kViewW, kViewH);
  ScreenRenderer renderer;
  ASSERT_TRUE(renderer.Create());
  // Picture pixel (x, y) is blue x, green y, red 0x80.
  std::vector<uint8_t> info(BitmapInfoBytes(24), 0);
  auto* header = reinterpret_cast<RBitmapInfoHeader*>(info.data());
  header->size = 40;
  header->width = kPicW;
  header->height = kPicH;
  header->planes = 1;
  header->bitCount = 24;
  const size_t rowBytes = static_cast<size_t>(DibRowBytes(24, kPicW));
  std::vector<uint8_t> pixels(rowBytes * kPicH);
  for (int32_t y = 0; y < kPicH; ++y)
    for (int32_t x = 0; x < kPicW; ++x) {
      uint8_t* p = pixels.data() + rowBytes * (kPicH - 1 - y) + 3 * x;
      p[0] = static_cast<uint8_t>(x), p[1] = static_cast<uint8_t>(y), p[2] = 0x80;
    }
  tagRDIBIMG record{};
  ResetRecord(record);
  record.info = header;
  record.pixels = pixels.data();

  for (int32_t rotation : {0, 90, 180, 270, -90}) {
    AlbumItemFixed item = ItemWith(0);
    item.rotation = rotation;
    item.SetZoom(1.7f);
    View view(kViewW, kViewH, item, kPicW, kPicH);
    item.SetOffsets(-9, -4);
    view.state.Layout();
    renderer.Fill({0, 0, 0, 0}, 0x000000);  // the whole screen
    ASSERT_TRUE(renderer.Draw(record, view.state.DrawSource(), view.state.DrawDestination(), view.state.Rotation()));
    const RRect& shown = view.state.PictureRect();
    int32_t minX = kPicW, maxX = -1, minY = kPicH, maxY = -1;
    for (int32_t sy = 0; sy < kViewH; ++sy)
      for (int32_t sx = 0; sx < kViewW; ++sx) {
        const uint8_t* p = renderer.PixelAt(sx, sy);
        const bool inside = sx >= shown.left && sx < shown.right && sy >= shown.top && sy < shown.bottom;
        ASSERT_EQ(inside, p[2] == 0x80) << "rotation " << rotation << " at " << sx << "," << sy;
        if (!inside) continue;
        minX = std::min<int32_t>(minX, p[0]), maxX = std::max<int32_t>(maxX, p[0]);
        minY = std::min<int32_t>(minY, p[1]), maxY = std::max<int32_t>(maxY, p[1]);
      }
    const RenderRect& visible = view.state.VisibleSource();
    EXPECT_EQ(minX, visible.x) << rotation;
    EXPECT_EQ(minY, visible.y) << rotation;
    EXPECT_GE(visible.x + visible.width, maxX + 1) << rotation;
    EXPECT_LE(visible.x + visible.width, maxX + 2) << rotation;
    EXPECT_GE(visible.y + visible.height, maxY + 1) << rotation;
    EXPECT_LE(visible.y + visible.height, maxY + 2) << rotation;
  }
  OverrideScreenSize(0, 0);
}

// ---- Zoom and rotation -------------------------------------------------------------------------

// Zoom In multiplies by 1.15 (twice from 1.0: 1.3225), Zoom Out by 0.85; a percentage is
// ticked only when the zoom equals it exactly, Zoom To Fit by the fit flag. Without a
// loaded picture the zoom commands beep and change nothing.
TEST(PictureViewZoom, CommandsAndTicks) {
  AlbumItemFixed item = ItemWith(kViewZoomToFit);
  View view(240, 320, item, 100, 100);
  EXPECT_TRUE(view.state.CommandChecked(kCmdZoomToFit));
  EXPECT_TRUE(view.state.CommandChecked(kCmdZoom100));  // fitted at exactly 1.0

  CommandOutcome out = view.state.RunCommand(kCmdZoomIn);
  EXPECT_TRUE(out.handled && out.redraw && out.showToolbar && !out.beep);
  view.state.RunCommand(kCmdZoomIn);
  EXPECT_FLOAT_EQ(1.3225f, item.Zoom());
  EXPECT_FALSE(item.ZoomToFit());
  EXPECT_TRUE(view.state.ManualZoom());
  EXPECT_FALSE(view.state.CommandChecked(kCmdZoomToFit));
  EXPECT_FALSE(view.state.CommandChecked(kCmdZoom100));

  view.state.RunCommand(kCmdZoom100);
  view.state.RunCommand(kCmdZoomOut);
  EXPECT_FLOAT_EQ(0.85f, item.Zoom());
  const std::pair<uint32_t, float> percentages[] = {{kCmdZoom50, 0.5f},  {kCmdZoom75, 0.75f}, {kCmdZoom100, 1.0f},
                                                     {kCmdZoom200, 2.0f}, {kCmdZoom300, 3.0f}, {kCmdZoom400, 4.0f}};
  for (const auto& [command, zoom] : percentages) {
    view.state.RunCommand(command);
    EXPECT_EQ(zoom, item.Zoom());
    for (const auto& [other, unused] : percentages) EXPECT_EQ(other == command, view.state.CommandChecked(other));
  }
  view.state.RunCommand(kCmdZoomToFit);
  EXPECT_TRUE(item.ZoomToFit());
  EXPECT_FALSE(view.state.ManualZoom());

  AlbumItemFixed unloaded = ItemWith(0, 100, 100);
  View empty(240, 320, unloaded, 0, 0);
  for (uint32_t command : {kCmdZoomIn, kCmdZoom200, kCmdZoomToFit, kCmdZoomRectSmall}) {
    out = empty.state.RunCommand(command);
    EXPECT_TRUE(out.handled && out.beep) << command;
  }
  EXPECT_EQ(1.0f, unloaded.Zoom());
  EXPECT_FALSE(empty.state.ZoomRectShown());
}

// A new zoom keeps the picture point at the centre of the visible part at the view's centre.
TEST(PictureViewZoom, SetZoomKeepsTheVisibleCentre) {
  AlbumItemFixed item = ItemWith(0);
  View view(240, 320, item, 400, 400);
  item.SetOffsets(-80, -40);
  view.state.Layout();
  ExpectRect(view.state.VisibleSource(), 80, 40, 240, 320);  // centre (200, 200)
  ASSERT_TRUE(view.state.SetZoom(2.0f));
  EXPECT_EQ(120 - 400, item.OffsetX());
  EXPECT_EQ(160 - 400, item.OffsetY());
  EXPECT_FALSE(view.state.SetZoom(0.0f));
  EXPECT_FALSE(view.state.SetZoom(std::nanf("")));
  ASSERT_TRUE(view.state.SetZoom(1e9f));
  EXPECT_EQ(kMaxZoom, item.Zoom());
}

// Rotate -90 adds 270 and ticks only Rotate -90; turns add up and stay within -360..360;
// either sign of a turn ticks its item; Rotate To Fit turns automatic landscape on, an
// explicit turn off again.
TEST(PictureViewRotation, TurnsAndTicks) {
  AlbumItemFixed item = ItemWith(0);
  View view(240, 320, item, 300, 400);
  const uint32_t turns[] = {kCmdRotate90, kCmdRotate180, kCmdRotateMinus90};
  auto ticked = [&] {
    std::vector<bool> t;
    for (uint32_t command : turns) t.push_back(view.state.CommandChecked(command));
    return t;
  };
  EXPECT_EQ((std::vector<bool>{false, false, false}), ticked());
  view.state.RunCommand(kCmdRotateMinus90);
  EXPECT_EQ(270, item.rotation);
  EXPECT_TRUE(view.state.ManualRotation());
  EXPECT_EQ((std::vector<bool>{false, false, true}), ticked());
  view.state.RunCommand(kCmdRotate90);
  EXPECT_EQ(0, item.rotation);
  view.state.RunCommand(kCmdRotate180);
  view.state.RunCommand(kCmdRotate180);
  view.state.RunCommand(kCmdRotate180);
  EXPECT_EQ(180, item.rotation);
  EXPECT_EQ((std::vector<bool>{false, true, false}), ticked());
  for (int32_t stored : {-270, -180, -90}) {
    item.rotation = stored;
    EXPECT_EQ((std::vector<bool>{stored == -270, stored == -180, stored == -90}), ticked()) << stored;
  }
  EXPECT_FALSE(view.state.Rotate(45));

  view.state.RunCommand(kCmdRotateToFit);
  EXPECT_TRUE(item.AutoLandscape());
  EXPECT_TRUE(view.state.CommandChecked(kCmdRotateToFit));
  view.state.RunCommand(kCmdRotate90);
  EXPECT_FALSE(item.AutoLandscape());

  PictureViewState unbound;
  EXPECT_TRUE(unbound.RunCommand(kCmdRotate90).beep);
}

// All To Portrait / Landscape / Auto Landscape set every item; an item without view state
// gets the opening settings first. The opening's landscape turn adds to the turn an item
// came with (its EXIF turn).
TEST(PictureViewRotation, AllItemsAndOpening) {
  std::vector<std::unique_ptr<AlbumItem>> items;
  for (int i = 0; i < 3; ++i) items.push_back(std::make_unique<AlbumItem>(u"p.jpg"));
  items[0]->Fixed().viewFlags = kViewAutoLandscape;
  items[0]->Fixed().rotation = 180;
  items[1]->Fixed().rotation = 90;  // unset view state
  const ViewOpening opening{true, kOpenPortrait};

  ASSERT_TRUE(ApplyToAllItems(items, kCmdAllToLandscape, opening));
  for (const auto& item : items) {
    EXPECT_EQ(90, item->Fixed().rotation);
    EXPECT_FALSE(item->Fixed().AutoLandscape());
  }
  EXPECT_TRUE(items[1]->Fixed().ZoomToFit());
  ASSERT_TRUE(ApplyToAllItems(items, kCmdAllToAutoLandscape, opening));
  for (const auto& item : items) EXPECT_TRUE(item->Fixed().AutoLandscape() && item->Fixed().rotation == 0);
  ASSERT_TRUE(ApplyToAllItems(items, kCmdAllToPortrait, opening));
  for (const auto& item : items) EXPECT_TRUE(!item->Fixed().AutoLandscape() && item->Fixed().rotation == 0);
  EXPECT_FALSE(ApplyToAllItems(items, kCmdRotate90, opening));

  AlbumItemFixed turned;
  turned.rotation = 270;
  turned.SetZoom(3.0f);
  ASSERT_TRUE(InitialiseViewState(turned, {false, kOpenLandscape}));
  EXPECT_EQ(0, turned.rotation);
  EXPECT_EQ(1.0f, turned.Zoom());
  EXPECT_EQ(0u, turned.viewFlags);
  EXPECT_FALSE(InitialiseViewState(turned, {true, kOpenAutoLandscape}));
  AlbumItemFixed autoItem;
  autoItem.rotation = 90;
  InitialiseViewState(autoItem, {true, kOpenAutoLandscape});
  EXPECT_EQ(kViewZoomToFit | kViewAutoLandscape, autoItem.viewFlags);
  EXPECT_EQ(90, autoItem.rotation);
}

// ---- Zoom rectangle ----------------------------------------------------------------------------

// On a 240 x 268 view the three rectangles zoom by 5, 2 and 1; the picture point under the
// rectangle's centre comes to the view's centre, and fitting ends.
TEST(PictureViewZoomRect, FactorsAndCentre) {
  struct Case {
    uint32_t command;
    float zoom;
  } cases[] = {{kCmdZoomRectSmall, 2.5f}, {kCmdZoomRectMedium, 1.0f}, {kCmdZoomRectLarge, 0.5f}};
  for (const Case& c : cases) {
    AlbumItemFixed item = ItemWith(kViewZoomToFit);
    View view(240, 268, item, 480, 536);
    ASSERT_FLOAT_EQ(0.5f, view.state.Zoom());
    ASSERT_TRUE(view.state.RunCommand(c.command).redraw);
    ASSERT_TRUE(view.state.ZoomRectShown());
    const RRect r = view.state.ZoomRect();
    EXPECT_EQ(240 - 2 * r.left, r.right - r.left);  // centred
    view.state.StylusDown(r.left + 1, r.top + 1);
    EXPECT_EQ(ZoomRectState::kArmed, view.state.ZoomRectMode());
    EXPECT_TRUE(view.state.StylusUp().redraw);
    EXPECT_FALSE(view.state.ZoomRectShown());
    EXPECT_FLOAT_EQ(c.zoom, item.Zoom()) << c.command;
    EXPECT_FALSE(item.ZoomToFit());
    EXPECT_TRUE(view.state.ManualZoom());
    // The rectangle's centre, in picture pixels, now lies at the view's centre.
    const int32_t pointX = static_cast<int32_t>(((r.left + r.right) / 2) / 0.5f);
    const int32_t pointY = static_cast<int32_t>((r.top + (r.bottom - r.top) / 2) / 0.5f);
    const int32_t expectedX = std::clamp(static_cast<int32_t>(120 - pointX * c.zoom), 240 - int32_t(480 * c.zoom), 0);
    const int32_t expectedY = std::clamp(static_cast<int32_t>(134 - pointY * c.zoom), 268 - int32_t(536 * c.zoom), 0);
    EXPECT_EQ(expectedX, item.OffsetX()) << c.command;
    EXPECT_EQ(expectedY, item.OffsetY()) << c.command;
  }
}

// Moving the stylus drags the rectangle and disarms it (a lift then leaves it shown, within
// the view); a press outside removes it.
TEST(PictureViewZoomRect, DragAndRemove) {
  AlbumItemFixed item = ItemWith(kViewZoomToFit);
  View view(240, 268, item, 480, 536);
  ASSERT_TRUE(view.state.ShowZoomRect(20));
  ExpectRect(view.state.ZoomRect(), 96, 107, 144, 160);
  view.state.StylusDown(100, 110);
  EXPECT_TRUE(view.state.StylusMove(110, 105).redraw);
  ExpectRect(view.state.ZoomRect(), 106, 102, 154, 155);
  EXPECT_EQ(ZoomRectState::kDragging, view.state.ZoomRectMode());
  view.state.StylusMove(1000, -1000);
  ExpectRect(view.state.ZoomRect(), 240 - 48, 0, 240, 53);
  view.state.StylusUp();
  EXPECT_EQ(ZoomRectState::kShown, view.state.ZoomRectMode());
  EXPECT_FLOAT_EQ(0.5f, item.Zoom());

  EXPECT_TRUE(view.state.StylusDown(5, 200).redraw);
  EXPECT_FALSE(view.state.ZoomRectShown());
  EXPECT_FALSE(view.state.Dragging());  // the press only removed it
}

// ---- Stylus drag -------------------------------------------------------------------------------

// A press on a picture larger than the view starts the hold timer and a drag; moves within
// 5 pixels do nothing, a larger one cancels the hold and from then on every move scrolls,
// clamped to the edges; the lift ends it. After the hold timer fired the press no longer
// drags, and a picture that fits never drags.
TEST(PictureViewStylus, DragWithHoldThreshold) {
  AlbumItemFixed item = ItemWith(0);
  View view(240, 320, item, 480, 640);
  StylusActions a = view.state.StylusDown(100, 100);
  EXPECT_TRUE(a.startHoldTimer && a.capture && a.showToolbar);
  a = view.state.StylusMove(95, 105);
  EXPECT_FALSE(a.cancelHoldTimer || a.redraw);
  EXPECT_EQ(0, item.OffsetX());
  a = view.state.StylusMove(90, 101);  // 10 pixels left of the press, 1 down
  EXPECT_TRUE(a.cancelHoldTimer && a.redraw && a.hideToolbar);
  EXPECT_EQ(-10, item.OffsetX());
  EXPECT_EQ(0, item.OffsetY());  // pulled down at the top edge: stays
  view.state.StylusMove(92, 50);
  EXPECT_EQ(-8, item.OffsetX());
  EXPECT_EQ(-51, item.OffsetY());
  view.state.StylusMove(-500, 50);
  EXPECT_EQ(240 - 480, item.OffsetX());
  view.state.StylusMove(-600, -1000);
  EXPECT_EQ(240 - 480, item.OffsetX());  // at the edge: the picture stays put
  EXPECT_EQ(320 - 640, item.OffsetY());
  a = view.state.StylusUp();
  EXPECT_TRUE(a.releaseCapture && !a.cancelHoldTimer);
  EXPECT_FALSE(view.state.Pressed());

  view.state.StylusDown(100, 100);
  a = view.state.HoldTimerFired();
  EXPECT_TRUE(a.releaseCapture);
  view.state.StylusMove(10, 10);
  EXPECT_EQ(240 - 480, item.OffsetX());
  a = view.state.StylusUp();
  EXPECT_FALSE(a.releaseCapture || a.cancelHoldTimer);

  AlbumItemFixed small = ItemWith(0);
  View smallView(240, 320, small, 100, 100);
  a = smallView.state.StylusDown(100, 100);
  EXPECT_TRUE(a.startHoldTimer && !a.capture);
  a = smallView.state.StylusMove(150, 100);
  EXPECT_TRUE(a.cancelHoldTimer && !a.redraw);
  EXPECT_EQ(70, small.OffsetX());
}

// ---- Pages -------------------------------------------------------------------------------------

// Paging is clamped to the pages: Next on the last page and Previous on the first load
// nothing; First and Last go to the ends; the items are enabled by the rules, and all four
// are disabled for a picture of one page. A loaded page refreshes the size and keeps the page.
TEST(PictureViewPages, ClampingAndEnabling) {
  AlbumItemFixed item = ItemWith(0);
  View view(240, 320, item, 100, 80, 3);
  auto enabled = [&] {
    std::vector<bool> e;
    for (uint32_t c : {kCmdFirstPage, kCmdPreviousPage, kCmdNextPage, kCmdLastPage})
      e.push_back(view.state.CommandEnabled(c));
    return e;
  };
  EXPECT_EQ((std::vector<bool>{false, false, true, true}), enabled());
  EXPECT_EQ(-1, view.state.RunCommand(kCmdPreviousPage).pageToLoad);
  CommandOutcome out = view.state.RunCommand(kCmdNextPage);
  EXPECT_EQ(1, out.pageToLoad);
  EXPECT_TRUE(out.showToolbar);
  EXPECT_EQ((std::vector<bool>{true, true, true, true}), enabled());
  EXPECT_EQ(2, view.state.RunCommand(kCmdLastPage).pageToLoad);
  EXPECT_EQ(-1, view.state.RunCommand(kCmdNextPage).pageToLoad);
  EXPECT_EQ(2, view.state.Page());
  EXPECT_EQ((std::vector<bool>{true, true, false, false}), enabled());
  EXPECT_EQ(-1, view.state.StepPage(std::numeric_limits<int32_t>::max()));

  item.SetOffsets(-5, -5);
  view.state.PageLoaded(500, 600, 8);
  EXPECT_EQ(2, view.state.Page());
  EXPECT_EQ(500u, item.width);
  EXPECT_EQ(600u, item.height);
  EXPECT_EQ(8, item.bitsPerPixel);
  EXPECT_EQ(0, item.OffsetX());
  EXPECT_EQ(0, view.state.RunCommand(kCmdFirstPage).pageToLoad);

  AlbumItemFixed single = ItemWith(0);
  View one(240, 320, single, 100, 80, 1);
  for (uint32_t c : {kCmdFirstPage, kCmdPreviousPage, kCmdNextPage, kCmdLastPage}) {
    EXPECT_FALSE(one.state.CommandEnabled(c));
    EXPECT_EQ(-1, one.state.RunCommand(c).pageToLoad);
  }
  EXPECT_TRUE(one.state.CommandEnabled(kCmdSaveAs));
  View unloaded(240, 320, single, 0, 0, 1);
  EXPECT_FALSE(unloaded.state.CommandEnabled(kCmdSaveAs));
  EXPECT_FALSE(unloaded.state.CommandEnabled(kCmdDrawNotes));
}
