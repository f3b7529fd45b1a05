// PictureViewState: everything the picture view decides, without a window. It holds the
// view's size, the item shown (its view state lives in the item's fixed part, so it travels
// with the album), the page, the zoom rectangle and the stylus drag, and works out where the
// picture lies on screen and which part of it is visible. The window owns the timers, the
// toolbar, the renderer and the painting; it forwards its messages here and acts on the
// answers.
//
// Geometry: the picture (w x h, exchanged for a quarter turn) is shown at the item's zoom
// with its top-left corner at the item's offsets (view pixels). Turning follows the screen
// renderer: a positive quarter turn is clockwise, and DrawSource / DrawDestination are what
// its Draw takes, so one picture pixel maps to the same screen pixel however it is scrolled.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>
#include "player/media/frame_record.h"
#include "player/pictures/album_item.h"
#include "player/pictures/screen_renderer.h"

namespace crv {

// The Image menu's commands that the view decides.
enum PictureCommand : uint32_t {
  kCmdZoom400 = 32779,
  kCmdZoomIn = 32781,
  kCmdZoomOut = 32783,
  kCmdZoom50 = 32785,
  kCmdZoom75 = 32786,
  kCmdZoom100 = 32787,
  kCmdZoom200 = 32788,
  kCmdZoom300 = 32789,
  kCmdZoomRectSmall = 32793,
  kCmdZoomRectMedium = 32794,
  kCmdZoomRectLarge = 32795,
  kCmdZoomToFit = 32797,
  kCmdDrawNotes = 32800,
  kCmdRotateToFit = 32813,
  kCmdRotate90 = 32814,
  kCmdRotate180 = 32815,
  kCmdRotateMinus90 = 32816,
  kCmdAllToPortrait = 32817,
  kCmdAllToLandscape = 32819,
  kCmdAllToAutoLandscape = 32820,
  kCmdContrastBrightness = 32853,
  kCmdFirstPage = 32866,
  kCmdPreviousPage = 32867,
  kCmdNextPage = 32868,
  kCmdLastPage = 32869,
  kCmdSaveAs = 32907,
};

// The zoom for SetZoom that fits the picture into the view.
constexpr float kZoomFit = -1.0f;
// The rotation for Rotate that turns automatic landscape on.
constexpr int32_t kRotateAuto = -1;
// Zooms are kept within these bounds, so the displayed size stays a sane number.
constexpr float kMinZoom = 1.0f / 1024;
constexpr float kMaxZoom = 256.0f;
// How far the stylus moves (in x or in y) before a press becomes a drag.
constexpr int32_t kDragThreshold = 5;

// The "Open image as" setting (LandscapeMode) and "Auto-zoom to fit window".
enum LandscapeMode : int32_t {
  kOpenPortrait = 0,
  kOpenLandscape = 1,
  kOpenAutoLandscape = 2,
};
struct ViewOpening {
  bool zoomToFit = true;
  int32_t landscapeMode = kOpenPortrait;
};

// Sets up the view state of an item that has none yet (view flags 255), as the thumbnail
// loader and the view do before showing it: zoom 1.0, the fit flag from the setting, the
// automatic-landscape flag for that opening mode; the landscape mode adds a quarter turn to
// the rotation the item came with (its EXIF turn, else 0). False when it was set already.
bool InitialiseViewState(AlbumItemFixed& item, const ViewOpening& opening);

// A rotation brought into -360 < r < 360; not a multiple of 90 gives 0.
int32_t NormaliseRotation(int64_t rotation);

// All To Portrait / Landscape / Auto Landscape (kCmdAllTo...) over the album's items: the
// automatic landscape flag and the rotation of every item. Items without a view state get
// theirs from `opening` first. False for another command.
bool ApplyToAllItems(const std::vector<std::unique_ptr<AlbumItem>>& items, uint32_t command,
                     const ViewOpening& opening);

// What a stylus message asks of the window.
struct StylusActions {
  bool startHoldTimer = false;   // the 400 ms hold timer
  bool cancelHoldTimer = false;
  bool showToolbar = false;      // the overlay toolbar, for 3000 ms
  bool hideToolbar = false;
  bool capture = false;          // capture the stylus: a drag began
  bool releaseCapture = false;
  bool redraw = false;           // the geometry or the zoom rectangle changed
};

// What a command asks of the window.
struct CommandOutcome {
  bool handled = false;      // the command is one of the view's
  bool beep = false;         // the information beep: nothing was done
  bool redraw = false;
  bool showToolbar = false;  // after zoom, rotate and page commands
  int32_t pageToLoad = -1;   // load this page (ImageHolder::LoadPage), then PageLoaded
};

enum class ZoomRectState {
  kNone,
  kShown,
  kArmed,     // pressed inside, not moved: a lift zooms
  kDragging,  // pressed and moved: a lift leaves it where it is
};

class PictureViewState {
 public:
  // ---- Binding ----

  // The view's client size; lays out again (a fitted picture is fitted again, one with
  // automatic landscape turned again).
  void SetViewSize(int32_t width, int32_t height);
  // Shows `item` (null: the empty view) whose loaded picture is width x height with
  // `pages` pages; 0 x 0 when no picture is loaded (the geometry then comes from the size
  // the item remembers, and the commands that need a picture beep). Offsets, page, zoom
  // rectangle, drag and the manual flags start afresh; a rotation that is not a quarter
  // turn becomes 0. Lays out.
  void Bind(AlbumItemFixed* item, int32_t width, int32_t height, int32_t pages);
  // Another page of the picture was loaded: its size and depth go into the item, the
  // offsets start afresh, the page stays; lays out.
  void PageLoaded(int32_t width, int32_t height, int32_t bitsPerPixel);

  // ---- Zoom, rotation, layout ----

  // kZoomFit sets the fit flag. A positive zoom (kept within kMinZoom..kMaxZoom) clears it,
  // marks a manual zoom and moves the offsets so that the point at the centre of the
  // visible part stays at the centre of the view. False (nothing done) without an item or
  // for a zoom that is neither.
  bool SetZoom(float zoom);
  // kRotateAuto turns automatic landscape on; another value turns it off, marks a manual
  // rotation and adds the value. False without an item.
  bool Rotate(int32_t delta);
  // Works out the zoom (fit), the turn (automatic landscape), the offsets (centred, or
  // clamped so that a larger picture leaves no empty margin) and the rectangles. Every
  // operation here lays out by itself; the window calls it after changing an item's view
  // state behind the view's back (All To ...).
  void Layout();

  // ---- Commands and menu state ----

  CommandOutcome RunCommand(uint32_t command);
  // Ticks: Zoom To Fit by the fit flag, a percentage when the zoom equals it exactly,
  // Rotate To Fit by automatic landscape, the turns by the rotation (either sign).
  bool CommandChecked(uint32_t command) const;
  // The page commands need 2 or more pages and a page to go to; Draw notes,
  // Contrast/Brightness and Save as need a loaded picture. Others are enabled.
  bool CommandEnabled(uint32_t command) const;

  // ---- Pages ----

  // The page to load for page + delta clamped to the pages, or -1 when there is nothing to
  // load (fewer than 2 pages, or the page would not change). The page is taken at once.
  int32_t StepPage(int32_t delta);
  int32_t FirstPage();
  int32_t LastPage();

  // ---- Zoom rectangle ----

  // Shows a rectangle of percent % of the view's width and height, centred. False (beep)
  // without a loaded picture.
  bool ShowZoomRect(int32_t percent);
  void HideZoomRect() { zoomRectState_ = ZoomRectState::kNone; }
  bool ZoomRectShown() const { return zoomRectState_ != ZoomRectState::kNone; }
  ZoomRectState ZoomRectMode() const { return zoomRectState_; }
  // left, top, right, bottom in view pixels; meaningful while shown.
  const RRect& ZoomRect() const { return zoomRect_; }

  // ---- Stylus (no drawing tool, no slide show: the window keeps those) ----

  // With a zoom rectangle shown the stylus works it: a press inside arms it, a move drags
  // it within the view and disarms it, a lift while armed zooms, a press outside removes
  // it. Otherwise a press starts the hold timer, shows the toolbar when a picture is
  // loaded, and starts a drag when the picture is larger than the view; a move of more
  // than kDragThreshold pixels cancels the hold, and from then on every move scrolls; a
  // lift ends it all.
  StylusActions StylusDown(int32_t x, int32_t y);
  StylusActions StylusMove(int32_t x, int32_t y);
  StylusActions StylusUp();
  // The hold timer fired before the stylus moved: this press no longer drags.
  StylusActions HoldTimerFired();
  bool Pressed() const { return pressed_; }
  bool HoldPending() const { return holdPending_; }
  bool Dragging() const { return dragging_; }

  // ---- Results ----

  AlbumItemFixed* Item() const { return item_; }
  bool HasPicture() const { return item_ && pictureWidth_ > 0 && pictureHeight_ > 0; }
  int32_t Page() const { return page_; }
  int32_t PageCount() const { return pageCount_; }
  bool ManualZoom() const { return manualZoom_; }
  bool ManualRotation() const { return manualRotation_; }
  int32_t ViewWidth() const { return viewWidth_; }
  int32_t ViewHeight() const { return viewHeight_; }
  // The zoom and rotation the last layout used.
  float Zoom() const { return zoom_; }
  int32_t Rotation() const { return item_ ? item_->rotation : 0; }
  // The screen picture rectangle: the shown picture within the view (empty: none).
  const RRect& PictureRect() const { return pictureRect_; }
  // The visible source rectangle: the picture pixels (before turning) that the visible part
  // covers, partly covered ones included (the whole picture when it is shown whole); empty
  // without a picture on screen.
  const RenderRect& VisibleSource() const { return visibleSource_; }
  // For ScreenRenderer::Draw at Rotation(): the whole picture into the whole displayed
  // picture (which may reach beyond the view; the renderer clips it).
  RenderRect DrawSource() const { return {0, 0, shownWidth_, shownHeight_}; }
  const RenderRect& DrawDestination() const { return displayed_; }

 private:
  void ResetGeometry();
  void ChooseAutomaticTurn(int32_t width, int32_t height);
  void ComputeVisibleSource();
  void ZoomIntoRect();
  void ScrollBy(int32_t dx, int32_t dy);
  int32_t GoToPage(int32_t page);
  StylusActions ZoomRectDown(int32_t x, int32_t y);
  StylusActions ZoomRectMove(int32_t x, int32_t y);
  StylusActions ZoomRectUp();

  AlbumItemFixed* item_ = nullptr;
  int32_t viewWidth_ = 0;
  int32_t viewHeight_ = 0;
  int32_t pictureWidth_ = 0;  // the loaded picture; 0 when none
  int32_t pictureHeight_ = 0;
  int32_t pageCount_ = 1;
  int32_t page_ = 0;
  bool manualZoom_ = false;
  bool manualRotation_ = false;

  // The last layout.
  float zoom_ = 1.0f;
  int32_t shownWidth_ = 0;  // the picture size the layout used (before turning)
  int32_t shownHeight_ = 0;
  RenderRect displayed_{0, 0, 0, 0};  // the whole picture as displayed, in view pixels
  RRect pictureRect_{0, 0, 0, 0};
  RenderRect visibleSource_{0, 0, 0, 0};

  ZoomRectState zoomRectState_ = ZoomRectState::kNone;
  RRect zoomRect_{0, 0, 0, 0};

  bool pressed_ = false;
  bool holdPending_ = false;
  bool dragging_ = false;  // the press may scroll the picture
  bool scrolling_ = false; // it moved far enough to scroll
  int32_t pressX_ = 0;
  int32_t pressY_ = 0;
  int32_t lastX_ = 0;
  int32_t lastY_ = 0;
};

}  // namespace crv
