#include "player/pictures/picture_view_state.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace crv {

namespace {

// The displayed size of a picture side is bounded, so that offsets and rectangles stay well
// inside 32 bits.
constexpr int64_t kMaxShown = int64_t{1} << 30;

constexpr float kZoomInFactor = 1.15f;
constexpr float kZoomOutFactor = 0.85f;

int32_t ClampToInt32(double v) {
  if (!(v > std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (v >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);  // truncated
}

int32_t ClampToInt32(int64_t v) {
  constexpr int64_t kLowest = std::numeric_limits<int32_t>::min(), kHighest = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(std::clamp(v, kLowest, kHighest));
}

// A stored zoom as the layout uses it: one that is not a positive number is 1.0.
float SaneZoom(float zoom) {
  if (!(zoom > 0.0f) || !std::isfinite(zoom)) return 1.0f;
  return std::clamp(zoom, kMinZoom, kMaxZoom);
}

// A picture side at a zoom, truncated: the product in single precision as the device works
// it out (240 for 3000 x 0.08).
int32_t ShownSize(int32_t size, float zoom) {
  const float product = static_cast<float>(size) * zoom;
  return static_cast<int32_t>(std::min<double>(std::floor(product), static_cast<double>(kMaxShown)));
}

// Along one axis: a picture that fits is centred; a larger one keeps its offset within
// [view - shown, 0], so no empty margin shows inside it.
int32_t Place(int32_t offset, int32_t shown, int32_t view) {
  if (shown <= view) return (view - shown) / 2;
  if (offset >= 1) return 0;
  if (offset < view - shown) return view - shown;
  return offset;
}

int32_t QuarterTurn(int32_t rotation) { return ((rotation % 360) + 360) % 360; }

struct Span {
  int64_t first = 0;
  int64_t end = 0;  // one past the last
};

// The source pixels (of m) that destination pixels [a, b) (of n) cover: destination i
// covers source [i x m / n, (i + 1) x m / n), or the mirror of that when the axis runs
// backwards. It holds every pixel the screen renderer samples there (it takes the first
// pixel of each), and a picture shown whole covers all of it.
Span CoveredSpan(int64_t a, int64_t b, int64_t n, int64_t m, bool backwards) {
  if (b <= a || n < 1) return {};
  if (backwards) {
    const int64_t mirroredA = n - b;
    b = n - a;
    a = mirroredA;
  }
  return {a * m / n, (b * m + n - 1) / n};
}

}  // namespace

int32_t NormaliseRotation(int64_t rotation) {
  if (rotation % 90 != 0) return 0;
  return static_cast<int32_t>(rotation % 360);
}

bool InitialiseViewState(AlbumItemFixed& item, const ViewOpening& opening) {
  if (item.ViewStateSet()) return false;
  item.SetZoom(1.0f);
  item.viewFlags = (opening.zoomToFit ? kViewZoomToFit : 0u) |
                   (opening.landscapeMode == kOpenAutoLandscape ? kViewAutoLandscape : 0u);
  const int32_t landscapeTurn = opening.landscapeMode == kOpenLandscape ? 90 : 0;
  item.rotation = NormaliseRotation(int64_t{item.rotation} + landscapeTurn);
  return true;
}

bool ApplyToAllItems(const std::vector<std::unique_ptr<AlbumItem>>& items, uint32_t command,
                     const ViewOpening& opening) {
  bool autoLandscape = false;
  int32_t rotation = 0;
  switch (command) {
    case kCmdAllToPortrait: break;
    case kCmdAllToLandscape: rotation = 90; break;
    case kCmdAllToAutoLandscape: autoLandscape = true; break;
    default: return false;
  }
  for (const auto& item : items) {
    if (!item) continue;
    AlbumItemFixed& fixed = item->Fixed();
    InitialiseViewState(fixed, opening);
    fixed.SetViewFlag(kViewAutoLandscape, autoLandscape);
    fixed.rotation = rotation;
  }
  return true;
}

// ---- Binding -------------------------------------------------------------------------------

void PictureViewState::SetViewSize(int32_t width, int32_t height) {
  viewWidth_ = std::max(width, 0);
  viewHeight_ = std::max(height, 0);
  zoomRectState_ = ZoomRectState::kNone;  // its size was the old view's
  Layout();
}

void PictureViewState::Bind(AlbumItemFixed* item, int32_t width, int32_t height, int32_t pages) {
  item_ = item;
  pictureWidth_ = width > 0 && height > 0 ? width : 0;
  pictureHeight_ = width > 0 && height > 0 ? height : 0;
  pageCount_ = std::max(pages, 1);
  page_ = 0;
  manualZoom_ = manualRotation_ = false;
  zoomRectState_ = ZoomRectState::kNone;
  pressed_ = holdPending_ = dragging_ = scrolling_ = false;
  if (item_) {
    item_->SetOffsets(0, 0);
    item_->rotation = NormaliseRotation(item_->rotation);
  }
  Layout();
}

void PictureViewState::PageLoaded(int32_t width, int32_t height, int32_t bitsPerPixel) {
  if (!item_ || width < 1 || height < 1) return;
  pictureWidth_ = width;
  pictureHeight_ = height;
  item_->width = static_cast<uint32_t>(width);
  item_->height = static_cast<uint32_t>(height);
  item_->bitsPerPixel = static_cast<uint8_t>(bitsPerPixel);
  item_->SetOffsets(0, 0);
  Layout();
}

// ---- Zoom, rotation, layout ------------------------------------------------------------------

bool PictureViewState::SetZoom(float zoom) {
  if (!item_) return false;
  if (zoom == kZoomFit) {
    item_->SetViewFlag(kViewZoomToFit, true);
    manualZoom_ = false;
    Layout();
    return true;
  }
  if (!(zoom > 0.0f) || !std::isfinite(zoom)) return false;
  zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
  if (pictureRect_.right > pictureRect_.left && pictureRect_.bottom > pictureRect_.top) {
    // The centre of the visible part, in picture pixels (as turned), goes to the view's centre.
    const double centreX = ((pictureRect_.left + pictureRect_.right) / 2.0 - displayed_.x) / zoom_;
    const double centreY = ((pictureRect_.top + pictureRect_.bottom) / 2.0 - displayed_.y) / zoom_;
    item_->SetOffsets(ClampToInt32(viewWidth_ / 2 - centreX * zoom), ClampToInt32(viewHeight_ / 2 - centreY * zoom));
  }
  item_->SetViewFlag(kViewZoomToFit, false);
  manualZoom_ = true;
  item_->SetZoom(zoom);
  Layout();
  return true;
}

bool PictureViewState::Rotate(int32_t delta) {
  if (!item_) return false;
  if (delta == kRotateAuto) {
    item_->SetViewFlag(kViewAutoLandscape, true);
    manualRotation_ = false;
  } else {
    if (delta % 90 != 0) return false;
    item_->SetViewFlag(kViewAutoLandscape, false);
    manualRotation_ = true;
    item_->rotation = NormaliseRotation(int64_t{item_->rotation} + delta);
  }
  Layout();
  return true;
}

void PictureViewState::ResetGeometry() {
  shownWidth_ = shownHeight_ = 0;
  displayed_ = {0, 0, 0, 0};
  pictureRect_ = {0, 0, 0, 0};
  visibleSource_ = {0, 0, 0, 0};
}

// When view and picture are both oblong and lie differently while the picture is upright
// (or lie alike while it is turned), a quarter turn: +90, or -90 from 90, -270 and 180.
void PictureViewState::ChooseAutomaticTurn(int32_t width, int32_t height) {
  if (viewWidth_ == viewHeight_ || width == height) return;
  const bool differ = (viewWidth_ > viewHeight_) != (width > height);
  const bool upright = item_->rotation % 180 == 0;
  if (differ != upright) return;
  const int32_t r = item_->rotation;
  const int32_t turn = r == 90 || r == -270 || r == 180 ? -90 : 90;
  item_->rotation = NormaliseRotation(int64_t{r} + turn);
}

void PictureViewState::Layout() {
  ResetGeometry();
  if (!item_ || viewWidth_ < 1 || viewHeight_ < 1) return;
  // 1. The loaded picture's size, else the one the item remembers.
  int32_t width = pictureWidth_, height = pictureHeight_;
  if (width < 1 || height < 1) {
    width = item_->width <= INT32_MAX ? static_cast<int32_t>(item_->width) : 0;
    height = item_->height <= INT32_MAX ? static_cast<int32_t>(item_->height) : 0;
  }
  if (width < 1 || height < 1) return;
  item_->rotation = NormaliseRotation(item_->rotation);
  if (item_->AutoLandscape()) ChooseAutomaticTurn(width, height);
  shownWidth_ = width;
  shownHeight_ = height;
  // 2.
  if (item_->rotation % 180 != 0) std::swap(width, height);
  // 3. Fitting only ever shrinks.
  float zoom;
  if (item_->ZoomToFit()) {
    zoom = std::min(static_cast<float>(viewWidth_) / static_cast<float>(width),
                    static_cast<float>(viewHeight_) / static_cast<float>(height));
    zoom = std::min(zoom, 1.0f);
  } else {
    zoom = SaneZoom(item_->Zoom());
  }
  if (item_->Zoom() != zoom) item_->SetZoom(zoom);
  zoom_ = zoom;
  // 4. and 5.
  const int32_t shownW = ShownSize(width, zoom), shownH = ShownSize(height, zoom);
  const int32_t x = Place(item_->OffsetX(), shownW, viewWidth_);
  const int32_t y = Place(item_->OffsetY(), shownH, viewHeight_);
  item_->SetOffsets(x, y);
  // 6.
  displayed_ = {x, y, shownW, shownH};
  if (shownW < 1 || shownH < 1) return;
  pictureRect_ = {std::max(x, 0), std::max(y, 0), ClampToInt32(std::min<int64_t>(int64_t{x} + shownW, viewWidth_)),
                  ClampToInt32(std::min<int64_t>(int64_t{y} + shownH, viewHeight_))};
  ComputeVisibleSource();
}

void PictureViewState::ComputeVisibleSource() {
  const int64_t c0 = pictureRect_.left - int64_t{displayed_.x}, c1 = pictureRect_.right - int64_t{displayed_.x};
  const int64_t r0 = pictureRect_.top - int64_t{displayed_.y}, r1 = pictureRect_.bottom - int64_t{displayed_.y};
  const int64_t columns = displayed_.width, rows = displayed_.height;
  Span xs, ys;
  switch (QuarterTurn(item_->rotation)) {
    case 0:
      xs = CoveredSpan(c0, c1, columns, shownWidth_, false);
      ys = CoveredSpan(r0, r1, rows, shownHeight_, false);
      break;
    case 180:
      xs = CoveredSpan(c0, c1, columns, shownWidth_, true);
      ys = CoveredSpan(r0, r1, rows, shownHeight_, true);
      break;
    case 90:  // the columns walk up the picture's rows, the rows along its columns
      ys = CoveredSpan(c0, c1, columns, shownHeight_, true);
      xs = CoveredSpan(r0, r1, rows, shownWidth_, false);
      break;
    default:  // 270
      ys = CoveredSpan(c0, c1, columns, shownHeight_, false);
      xs = CoveredSpan(r0, r1, rows, shownWidth_, true);
      break;
  }
  visibleSource_ = {ClampToInt32(xs.first), ClampToInt32(ys.first), ClampToInt32(xs.end - xs.first),
                    ClampToInt32(ys.end - ys.first)};
}

// ---- Commands and menu state -----------------------------------------------------------------

CommandOutcome PictureViewState::RunCommand(uint32_t command) {
  CommandOutcome out;
  out.handled = true;
  const float current = item_ ? SaneZoom(item_->Zoom()) : 1.0f;
  auto zoomTo = [&](float zoom) {
    if (!HasPicture() || !SetZoom(zoom)) {
      out.beep = true;
      return;
    }
    out.redraw = out.showToolbar = true;
  };
  auto rotate = [&](int32_t delta) {
    if (!Rotate(delta)) {
      out.beep = true;
      return;
    }
    out.redraw = out.showToolbar = true;
  };
  auto zoomRect = [&](int32_t percent) {
    if (ShowZoomRect(percent))
      out.redraw = true;
    else
      out.beep = true;
  };
  auto page = [&](int32_t target) {
    out.pageToLoad = target;
    out.showToolbar = target >= 0;
  };
  switch (command) {
    case kCmdZoomToFit: zoomTo(kZoomFit); break;
    case kCmdZoomIn: zoomTo(current * kZoomInFactor); break;
    case kCmdZoomOut: zoomTo(current * kZoomOutFactor); break;
    case kCmdZoom50: zoomTo(0.5f); break;
    case kCmdZoom75: zoomTo(0.75f); break;
    case kCmdZoom100: zoomTo(1.0f); break;
    case kCmdZoom200: zoomTo(2.0f); break;
    case kCmdZoom300: zoomTo(3.0f); break;
    case kCmdZoom400: zoomTo(4.0f); break;
    case kCmdZoomRectSmall: zoomRect(20); break;
    case kCmdZoomRectMedium: zoomRect(40); break;
    case kCmdZoomRectLarge: zoomRect(70); break;
    case kCmdRotateToFit: rotate(kRotateAuto); break;
    case kCmdRotate90: rotate(90); break;
    case kCmdRotate180: rotate(180); break;
    case kCmdRotateMinus90: rotate(270); break;
    case kCmdFirstPage: page(FirstPage()); break;
    case kCmdPreviousPage: page(StepPage(-1)); break;
    case kCmdNextPage: page(StepPage(1)); break;
    case kCmdLastPage: page(LastPage()); break;
    default: out.handled = false; break;
  }
  return out;
}

bool PictureViewState::CommandChecked(uint32_t command) const {
  if (!item_) return false;
  const float zoom = item_->Zoom();
  const int32_t r = item_->rotation;
  switch (command) {
    case kCmdZoomToFit: return item_->ZoomToFit();
    case kCmdZoom50: return zoom == 0.5f;
    case kCmdZoom75: return zoom == 0.75f;
    case kCmdZoom100: return zoom == 1.0f;
    case kCmdZoom200: return zoom == 2.0f;
    case kCmdZoom300: return zoom == 3.0f;
    case kCmdZoom400: return zoom == 4.0f;
    case kCmdRotateToFit: return item_->AutoLandscape();
    case kCmdRotate90: return r == 90 || r == -270;
    case kCmdRotate180: return r == 180 || r == -180;
    case kCmdRotateMinus90: return r == 270 || r == -90;
    default: return false;
  }
}

bool PictureViewState::CommandEnabled(uint32_t command) const {
  switch (command) {
    case kCmdFirstPage:
    case kCmdPreviousPage: return pageCount_ >= 2 && page_ > 0;
    case kCmdNextPage:
    case kCmdLastPage: return pageCount_ >= 2 && page_ < pageCount_ - 1;
    case kCmdDrawNotes:
    case kCmdContrastBrightness:
    case kCmdSaveAs: return HasPicture();
    default: return true;
  }
}

// ---- Pages -----------------------------------------------------------------------------------

int32_t PictureViewState::GoToPage(int32_t page) {
  if (pageCount_ < 2) return -1;
  page = std::clamp(page, 0, pageCount_ - 1);
  if (page == page_) return -1;
  page_ = page;
  return page_;
}

int32_t PictureViewState::StepPage(int32_t delta) { return GoToPage(ClampToInt32(int64_t{page_} + delta)); }
int32_t PictureViewState::FirstPage() { return GoToPage(0); }
int32_t PictureViewState::LastPage() { return GoToPage(pageCount_); }

// ---- Zoom rectangle --------------------------------------------------------------------------

bool PictureViewState::ShowZoomRect(int32_t percent) {
  if (!HasPicture() || percent < 1 || percent > 100) return false;
  const int32_t width = static_cast<int32_t>(int64_t{viewWidth_} * percent / 100);
  const int32_t height = static_cast<int32_t>(int64_t{viewHeight_} * percent / 100);
  if (width < 1 || height < 1) return false;
  const int32_t left = (viewWidth_ - width) / 2, top = (viewHeight_ - height) / 2;
  zoomRect_ = {left, top, left + width, top + height};
  zoomRectState_ = ZoomRectState::kShown;
  return true;
}

StylusActions PictureViewState::ZoomRectDown(int32_t x, int32_t y) {
  StylusActions actions;
  const bool inside = x >= zoomRect_.left && x < zoomRect_.right && y >= zoomRect_.top && y < zoomRect_.bottom;
  if (inside) {
    zoomRectState_ = ZoomRectState::kArmed;
    lastX_ = x;
    lastY_ = y;
  } else {
    zoomRectState_ = ZoomRectState::kNone;
    actions.redraw = true;
  }
  return actions;
}

StylusActions PictureViewState::ZoomRectMove(int32_t x, int32_t y) {
  StylusActions actions;
  const int32_t dx = ClampToInt32(int64_t{x} - lastX_), dy = ClampToInt32(int64_t{y} - lastY_);
  if (dx == 0 && dy == 0) return actions;
  // It stays within the view, where it can be seen and pressed again.
  const int32_t width = zoomRect_.right - zoomRect_.left, height = zoomRect_.bottom - zoomRect_.top;
  zoomRect_.left = std::clamp(ClampToInt32(int64_t{zoomRect_.left} + dx), 0, std::max(viewWidth_ - width, 0));
  zoomRect_.top = std::clamp(ClampToInt32(int64_t{zoomRect_.top} + dy), 0, std::max(viewHeight_ - height, 0));
  zoomRect_.right = zoomRect_.left + width;
  zoomRect_.bottom = zoomRect_.top + height;
  lastX_ = x;
  lastY_ = y;
  zoomRectState_ = ZoomRectState::kDragging;
  actions.redraw = true;
  return actions;
}

StylusActions PictureViewState::ZoomRectUp() {
  StylusActions actions;
  if (zoomRectState_ == ZoomRectState::kArmed) {
    ZoomIntoRect();
    actions.redraw = true;
  } else if (zoomRectState_ == ZoomRectState::kDragging) {
    zoomRectState_ = ZoomRectState::kShown;
  }
  return actions;
}

// The zoom grows by how many times the rectangle fits into the view (integer quotients, the
// smaller of the two), and the picture point under the rectangle's centre moves to the
// view's centre.
void PictureViewState::ZoomIntoRect() {
  zoomRectState_ = ZoomRectState::kNone;
  const int32_t width = zoomRect_.right - zoomRect_.left, height = zoomRect_.bottom - zoomRect_.top;
  if (!item_ || width < 1 || height < 1) return;
  const int32_t factor = std::max(1, std::min(viewWidth_ / width, viewHeight_ / height));
  const float oldZoom = zoom_;
  const float newZoom = std::clamp(oldZoom * static_cast<float>(factor), kMinZoom, kMaxZoom);
  const int32_t centreX = zoomRect_.left + width / 2, centreY = zoomRect_.top + height / 2;
  const double pointX = std::trunc((int64_t{centreX} - displayed_.x) / static_cast<double>(oldZoom));
  const double pointY = std::trunc((int64_t{centreY} - displayed_.y) / static_cast<double>(oldZoom));
  item_->SetOffsets(ClampToInt32(viewWidth_ / 2 - pointX * newZoom), ClampToInt32(viewHeight_ / 2 - pointY * newZoom));
  item_->SetViewFlag(kViewZoomToFit, false);
  manualZoom_ = true;
  item_->SetZoom(newZoom);
  Layout();
}

// ---- Stylus ----------------------------------------------------------------------------------

StylusActions PictureViewState::StylusDown(int32_t x, int32_t y) {
  if (ZoomRectShown()) return ZoomRectDown(x, y);
  StylusActions actions;
  pressed_ = true;
  holdPending_ = true;
  scrolling_ = false;
  pressX_ = lastX_ = x;
  pressY_ = lastY_ = y;
  dragging_ = displayed_.width > viewWidth_ || displayed_.height > viewHeight_;
  actions.startHoldTimer = true;
  actions.showToolbar = HasPicture();
  actions.capture = dragging_;
  return actions;
}

StylusActions PictureViewState::StylusMove(int32_t x, int32_t y) {
  if (zoomRectState_ == ZoomRectState::kArmed || zoomRectState_ == ZoomRectState::kDragging)
    return ZoomRectMove(x, y);
  StylusActions actions;
  if (!pressed_) return actions;
  if (holdPending_) {
    if (std::llabs(int64_t{x} - pressX_) <= kDragThreshold && std::llabs(int64_t{y} - pressY_) <= kDragThreshold)
      return actions;
    holdPending_ = false;
    scrolling_ = true;
    actions.cancelHoldTimer = true;
  }
  if (scrolling_ && dragging_) {
    ScrollBy(ClampToInt32(int64_t{x} - lastX_), ClampToInt32(int64_t{y} - lastY_));
    actions.hideToolbar = true;
    actions.redraw = true;
  }
  lastX_ = x;
  lastY_ = y;
  return actions;
}

StylusActions PictureViewState::StylusUp() {
  if (zoomRectState_ == ZoomRectState::kArmed || zoomRectState_ == ZoomRectState::kDragging) return ZoomRectUp();
  StylusActions actions;
  if (!pressed_) return actions;
  actions.cancelHoldTimer = holdPending_;
  actions.releaseCapture = dragging_;
  pressed_ = holdPending_ = dragging_ = scrolling_ = false;
  return actions;
}

StylusActions PictureViewState::HoldTimerFired() {
  StylusActions actions;
  if (!pressed_ || !holdPending_) return actions;
  holdPending_ = false;
  actions.releaseCapture = dragging_;
  dragging_ = false;
  return actions;
}

void PictureViewState::ScrollBy(int32_t dx, int32_t dy) {
  if (!item_) return;
  item_->SetOffsets(ClampToInt32(int64_t{item_->OffsetX()} + dx), ClampToInt32(int64_t{item_->OffsetY()} + dy));
  Layout();
}

}  // namespace crv
