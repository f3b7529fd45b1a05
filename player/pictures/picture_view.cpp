#include "player/pictures/picture_view.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <utility>

#include "player/base/api_helpers.h"
#include "player/base/win16.h"
#include "player/media/alloc_hooks.h"
#include "player/pictures/album_item.h"
#include "player/pictures/display_optimisation.h"
#include "player/pictures/image_holder.h"
#include "player/pictures/picture_album.h"
#include "player/resources/picture_view_ids.h"

namespace crv {
namespace {

constexpr UINT_PTR kHoldTimer = 1;
constexpr UINT_PTR kToolbarTimer = 2;
constexpr UINT kHoldMs = 400;
constexpr UINT kToolbarMs = 3000;

// The empty view: the icon in the middle and the status text in a box under it.
constexpr int kIconWidth = 36;
constexpr int kIconHeight = 46;
constexpr COLORREF kIconTransparent = RGB(255, 0, 255);
constexpr int kStatusGap = 10;
constexpr int kStatusHeight = 56;
constexpr int kStatusInset = 5;
constexpr int kStatusPoints = 10;
constexpr COLORREF kStatusColour = RGB(255, 0, 0);

// How far a key moves the zoom rectangle.
constexpr int kZoomRectKeyStep = 8;

constexpr UINT kTickedCommands[] = {kCmdZoomToFit, kCmdZoom50,    kCmdZoom75,   kCmdZoom100,
                                    kCmdZoom200,   kCmdZoom300,   kCmdZoom400,  kCmdRotateToFit,
                                    kCmdRotate90,  kCmdRotate180, kCmdRotateMinus90};

bool RegisterViewClass(HINSTANCE instance) { return RegisterFrameworkClass(instance, kPictureViewClassName, CS_DBLCLKS); }

// The commands the view takes before the frame sees them. The rotate commands are not among
// them: the frame posts them back to itself and calls Rotate.
bool IsClaimedCommand(UINT id) {
  switch (id) {
    case kCmdZoom400: case kCmdZoomIn: case kCmdZoomOut: case kCmdZoom50: case kCmdZoom75:
    case kCmdZoom100: case kCmdZoom200: case kCmdZoom300: case kCmdZoomToFit:
    case kCmdZoomRectSmall: case kCmdZoomRectMedium: case kCmdZoomRectLarge:
    case kCmdFirstPage: case kCmdPreviousPage: case kCmdNextPage: case kCmdLastPage:
      return true;
    default:
      return false;
  }
}

// The rows of a DIB, top-down (negative height) or bottom-up.
int32_t RowCount(const RBitmapInfoHeader& info) {
  const int64_t rows = info.height < 0 ? -int64_t{info.height} : int64_t{info.height};
  return static_cast<int32_t>(std::min<int64_t>(rows, INT32_MAX));
}

u16 RecordInfoText(const tagRDIBIMG& record) {
  const char16_t* text = record.infoText;
  return u16(text, std::find(text, text + kRecordInfoChars, u'\0'));
}

template <typename Handle>
void DeleteGdiObject(Handle& handle) {
  if (handle) DeleteObject(handle);
  handle = nullptr;
}

void FillOutside(HDC dc, const RECT& area, const RECT& inner, HBRUSH brush) {
  const int saved = SaveDC(dc);
  if (inner.right > inner.left && inner.bottom > inner.top)
    ExcludeClipRect(dc, inner.left, inner.top, inner.right, inner.bottom);
  FillRect(dc, &area, brush);
  RestoreDC(dc, saved);
}

void DrawTransparentBitmap(HDC dc, HBITMAP bitmap, int x, int y, int width, int height) {
  HDC source = CreateCompatibleDC(dc);
  if (!source) return;
  HGDIOBJ previous = SelectObject(source, bitmap);
  TransparentBlt(dc, x, y, width, height, source, 0, 0, width, height, kIconTransparent);
  SelectObject(source, previous);
  DeleteDC(source);
}

}  // namespace

RImgCtrl::~RImgCtrl() {
  if (IsWindowAlive()) DestroyWindow(window_);
  renderer_.Destroy();
  DeleteGdiObject(backgroundBrush_);
}

BOOL RImgCtrl::Create(HWND parent, const RECT& rect, HINSTANCE instance) {
  if (!RegisterViewClass(instance)) return FALSE;
  return ApiWnd::Create(kPictureViewClassName, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, &rect,
                        parent, 0, instance);
}

LRESULT RImgCtrl::OnCreate(CREATESTRUCTW* create) {
  if (!backgroundBrush_) backgroundBrush_ = CreateSolidBrush(background_);
  HDC screen = GetDC(nullptr);
  const int fontHeight = -MulDiv(kStatusPoints, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  statusFont_ = CreateFontW(fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
  noneIcon_ = LoadBitmapW(instance_, MAKEINTRESOURCEW(IDB_PICTURE_NONE));
  loadingIcon_ = LoadBitmapW(instance_, MAKEINTRESOURCEW(IDB_PICTURE_LOADING));
  // Without its bitmap the renderer draws nothing and the view stays usable.
  EnsureRenderer();
  toolbar_.Create(window_, GetParent(window_), instance_);
  if (create) state_.SetViewSize(create->cx, create->cy);
  return 0;
}

LRESULT RImgCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return 1;  // the paint covers everything
    case WM_SIZE: OnSize(LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_LBUTTONDOWN: OnStylusDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return 0;
    case WM_MOUSEMOVE: OnStylusMove(wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return 0;
    case WM_LBUTTONUP: OnStylusUp(); return 0;
    case WM_LBUTTONDBLCLK: OnDoubleTap(wParam, lParam); return 0;
    case WM_CAPTURECHANGED: OnCaptureChanged(reinterpret_cast<HWND>(lParam)); return 0;
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_DESTROY: OnDestroy(); break;
  }
  return ApiWnd::WindowProc(message, wParam, lParam);
}

void RImgCtrl::SetBackground(COLORREF colour) {
  background_ = colour;
  DeleteGdiObject(backgroundBrush_);
  backgroundBrush_ = CreateSolidBrush(colour);
  Redraw();
}

// ---- The item and its picture ----------------------------------------------------------------

bool RImgCtrl::SetItem(AlbumItem* item, bool redraw) {
  if (IsWindowAlive()) KillTimer(window_, kHoldTimer);
  ReleaseOwnCapture();
  item_ = item;
  status_ = kResultOk;
  if (item_) InitialiseViewState(item_->Fixed(), options_.opening);
  if (item_ && !item_->HoldsPicture()) {
    // Bound before the load, so that the "Loading..." paint sees nothing of the item before.
    state_.Bind(&item_->Fixed(), 0, 0, 1);
    LoadPicture(redraw);
  }
  BindState();
  if (!HasPicture()) HideToolbar();
  else if (toolbar_.Visible()) ShowToolbar();  // stepping through pictures from the bar
  if (redraw) Redraw();
  else renderDirty_ = true;
  return HasPicture();
}

bool RImgCtrl::HasPicture() const { return item_ && item_->HoldsPicture() && state_.HasPicture(); }

void RImgCtrl::LoadPicture(bool showProgress) {
  status_ = kStatusLoading;
  if (showProgress) ShowStatusNow();
  if (album_ && options_.notCacheImage) album_->ReleaseCachedPictures(0, item_, true, true);
  auto holder = std::make_unique<ImageHolder>();
  bool loaded = LoadInto(*holder);
  // Short of memory: the other items' pictures make room for one more try.
  if (!loaded && holder->Result() == kResultNoMemory && album_ &&
      album_->ReleaseCachedPictures(0, item_, true, options_.notCacheImage) > 0)
    loaded = LoadInto(*holder);
  TakePicture(std::move(holder), loaded);
}

bool RImgCtrl::LoadInto(ImageHolder& holder) {
  u16 path = item_->Path();
  if (album_ && !album_->Folder().empty()) path = JoinAlbumPath(album_->Folder(), path);
  if (!holder.Load(path.c_str(), options_.loadReduced ? kLoadReduceLarge : 0)) return false;
  if (options_.displayOptimisation) ReduceForDisplay(holder.Record());
  return true;
}

// The thumbnail loader reads the items under the album's lock.
void RImgCtrl::TakePicture(std::unique_ptr<ImageHolder> holder, bool loaded) {
  std::unique_lock<AlbumLock> hold;
  if (album_) hold = std::unique_lock<AlbumLock>(album_->Lock());
  const int32_t result = holder->Result();
  if (loaded) {
    const tagRDIBIMG& record = holder->Record();
    AlbumItemFixed& fixed = item_->Fixed();
    fixed.width = static_cast<uint32_t>(std::max(record.info->width, 0));
    fixed.height = static_cast<uint32_t>(RowCount(*record.info));
    fixed.bitsPerPixel = static_cast<uint8_t>(record.info->bitCount);
    item_->SetInfoText(RecordInfoText(record));
  }
  item_->SetPicture(std::move(holder));
  item_->SetLoadState(loaded ? kItemLoaded : kItemFailed);
  item_->SetLastResult(result);
  status_ = loaded ? kResultOk : result;
}

void RImgCtrl::BindState() {
  if (!item_ || !item_->HoldsPicture()) {
    state_.Bind(item_ ? &item_->Fixed() : nullptr, 0, 0, 1);
    return;
  }
  const tagRDIBIMG& record = item_->Picture()->Record();
  state_.Bind(&item_->Fixed(), record.info->width, RowCount(*record.info), record.frameCount);
}

void RImgCtrl::LoadPage(int32_t page, int32_t previousPage) {
  ImageHolder* holder = item_ ? item_->Picture() : nullptr;
  if (!holder) return;
  const int32_t result = holder->LoadPage(page);
  if (result == kResultOk && holder->HasPicture()) {
    if (options_.displayOptimisation) ReduceForDisplay(holder->Record());
    const RBitmapInfoHeader& info = *holder->Record().info;
    state_.PageLoaded(info.width, RowCount(info), info.bitCount);
    Redraw();
    return;
  }
  MessageBeep(MB_ICONHAND);
  if (holder->HasPicture()) {
    // The old page is still there: so is the page number.
    state_.StepPage(previousPage - state_.Page());
    return;
  }
  // The page loader gave the picture up: the view shows why, as for a failed load.
  item_->SetLoadState(kItemFailed);
  item_->SetLastResult(result);
  status_ = result;
  BindState();
  HideToolbar();
  Redraw();
}

// ---- Commands, menus, keys -------------------------------------------------------------------

bool RImgCtrl::ClaimCommand(UINT id) {
  if (!IsClaimedCommand(id)) return false;
  const int32_t previousPage = state_.Page();
  const CommandOutcome outcome = state_.RunCommand(id);
  if (outcome.beep) MessageBeep(MB_ICONASTERISK);
  if (outcome.pageToLoad >= 0) LoadPage(outcome.pageToLoad, previousPage);
  if (outcome.showToolbar) ShowToolbar();
  if (outcome.redraw) Redraw();
  return true;
}

int RImgCtrl::GetCommandState(UINT id) const {
  switch (id) {
    case kCmdFirstPage: case kCmdPreviousPage: case kCmdNextPage: case kCmdLastPage:
    case kCmdDrawNotes: case kCmdContrastBrightness: case kCmdSaveAs:
      return state_.CommandEnabled(id) ? 1 : 0;
    default:
      return -1;
  }
}

void RImgCtrl::CheckMenu(HMENU menu) const {
  if (!menu) return;
  for (UINT id : kTickedCommands)
    CheckMenuItem(menu, id, MF_BYCOMMAND | (state_.CommandChecked(id) ? MF_CHECKED : MF_UNCHECKED));
}

bool RImgCtrl::OnKey(WPARAM key) {
  if (state_.ZoomRectShown()) {
    switch (key) {
      case VK_LEFT: return MoveZoomRect(-kZoomRectKeyStep, 0);
      case VK_RIGHT: return MoveZoomRect(kZoomRectKeyStep, 0);
      case VK_UP: return MoveZoomRect(0, -kZoomRectKeyStep);
      case VK_DOWN: return MoveZoomRect(0, kZoomRectKeyStep);
      case VK_RETURN: return ZoomIntoZoomRect();
      default: return false;
    }
  }
  const int step = std::max(state_.ViewHeight() / 4, 1);
  switch (key) {
    case VK_UP: return ScrollVertically(step);
    case VK_DOWN: return ScrollVertically(-step);
    default: return false;
  }
}

// The keys work the zoom rectangle as the stylus does: pressed in its middle, then moved or
// lifted where it was.
bool RImgCtrl::MoveZoomRect(int dx, int dy) {
  const RRect& rect = state_.ZoomRect();
  const int x = rect.left + (rect.right - rect.left) / 2, y = rect.top + (rect.bottom - rect.top) / 2;
  state_.StylusDown(x, y);
  state_.StylusMove(x + dx, y + dy);
  state_.StylusUp();
  Redraw();
  return true;
}

bool RImgCtrl::ZoomIntoZoomRect() {
  const RRect& rect = state_.ZoomRect();
  state_.StylusDown(rect.left + (rect.right - rect.left) / 2, rect.top + (rect.bottom - rect.top) / 2);
  state_.StylusUp();
  ShowToolbar();
  Redraw();
  return true;
}

// Moves the picture's top edge; the layout keeps it within the view's edges.
bool RImgCtrl::ScrollVertically(int dy) {
  if (!HasPicture() || state_.DrawDestination().height <= state_.ViewHeight()) return false;
  AlbumItemFixed& fixed = item_->Fixed();
  fixed.SetOffsets(fixed.OffsetX(), fixed.OffsetY() + dy);
  state_.Layout();
  Redraw();
  return true;
}

// ---- Zoom, rotation, layout ------------------------------------------------------------------

void RImgCtrl::SetZoom(float zoom) {
  if (!HasPicture() || !state_.SetZoom(zoom)) {
    MessageBeep(MB_ICONASTERISK);
    return;
  }
  ShowToolbar();
  Redraw();
}

void RImgCtrl::Rotate(int delta) {
  if (!state_.Rotate(delta)) {
    MessageBeep(MB_ICONASTERISK);
    return;
  }
  ShowToolbar();
  Redraw();
}

void RImgCtrl::Relayout() {
  EnsureRenderer();
  state_.Layout();
  if (toolbar_.Visible()) toolbar_.ShowAt(state_.ViewWidth());
  Redraw();
}

// ---- Drawing ---------------------------------------------------------------------------------

void RImgCtrl::Redraw() {
  renderDirty_ = true;
  if (IsWindowAlive()) InvalidateRect(window_, nullptr, FALSE);
}

// "Loading..." shows before the load holds the thread.
void RImgCtrl::ShowStatusNow() {
  if (!IsWindowAlive()) return;
  InvalidateRect(window_, nullptr, FALSE);
  UpdateWindow(window_);
}

// The renderer's bitmap has the screen's size; a turned screen needs a new one.
void RImgCtrl::EnsureRenderer() {
  const ScreenSize screen = CurrentScreenSize();
  if (renderer_.IsCreated() && renderer_.Width() == screen.width && renderer_.Height() == screen.height) return;
  renderer_.Destroy();
  renderer_.Create();
  renderDirty_ = true;
}

void RImgCtrl::Render() {
  renderDirty_ = false;
  const RRect& shown = state_.PictureRect();
  renderer_.Fill({shown.left, shown.top, shown.right - shown.left, shown.bottom - shown.top}, background_);
  const bool drawn = HasPicture() && renderer_.Draw(item_->Picture()->Record(), state_.DrawSource(),
                                                     state_.DrawDestination(), state_.Rotation());
  // A picture the renderer cannot draw (32 bits, say) leaves only the background.
  if (!drawn) renderer_.Fill({0, 0, 0, 0}, background_);
}

void RImgCtrl::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  RECT client;
  GetClientRect(window_, &client);
  if (HasPicture()) PaintPicture(dc, client);
  else PaintEmpty(dc, client);
  EndPaint(window_, &ps);
}

void RImgCtrl::PaintPicture(HDC dc, const RECT& client) {
  if (renderDirty_) Render();
  RECT copied{0, 0, 0, 0};
  if (HDC memory = static_cast<HDC>(renderer_.MemoryDC())) {
    copied.right = std::min<LONG>(client.right, renderer_.Width());
    copied.bottom = std::min<LONG>(client.bottom, renderer_.Height());
    BitBlt(dc, 0, 0, copied.right, copied.bottom, memory, 0, 0, SRCCOPY);
  }
  // What the renderer does not cover: all of it without a bitmap, or a view beyond the screen.
  FillOutside(dc, client, copied, backgroundBrush_);
  if (state_.ZoomRectShown()) {
    const RRect& zoomRect = state_.ZoomRect();
    const RECT focus{zoomRect.left, zoomRect.top, zoomRect.right, zoomRect.bottom};
    DrawFocusRect(dc, &focus);
  }
}

void RImgCtrl::PaintEmpty(HDC dc, const RECT& client) {
  FillRect(dc, &client, backgroundBrush_);
  const int iconX = (client.right - kIconWidth) / 2, iconY = (client.bottom - kIconHeight) / 2;
  if (HBITMAP icon = status_ == kStatusLoading ? loadingIcon_ : noneIcon_)
    DrawTransparentBitmap(dc, icon, iconX, iconY, kIconWidth, kIconHeight);
  const char16_t* text = status_ == kStatusLoading ? kLoadingText : ResultText(status_);
  if (!text) return;
  const int top = iconY + kIconHeight + kStatusGap;
  RECT box{kStatusInset, top, client.right - kStatusInset, top + kStatusHeight};
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColour = SetTextColor(dc, kStatusColour);
  HGDIOBJ oldFont = statusFont_ ? SelectObject(dc, statusFont_) : nullptr;
  DrawTextW(dc, W(text), -1, &box, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
  if (oldFont) SelectObject(dc, oldFont);
  SetTextColor(dc, oldColour);
  SetBkMode(dc, oldMode);
}

// ---- Size, stylus, timers --------------------------------------------------------------------

void RImgCtrl::OnSize(int width, int height) {
  EnsureRenderer();
  state_.SetViewSize(width, height);
  if (toolbar_.Visible()) toolbar_.ShowAt(width);
  Redraw();
}

void RImgCtrl::OnStylusDown(int x, int y) {
  Apply(state_.StylusDown(x, y));
  KeepCaptureForZoomRect();
}

// A pointer that merely passes over the view (a mouse, not a stylus) moves nothing.
void RImgCtrl::OnStylusMove(WPARAM keys, int x, int y) {
  if (keys & MK_LBUTTON) Apply(state_.StylusMove(x, y));
}

void RImgCtrl::OnStylusUp() {
  Apply(state_.StylusUp());
  ReleaseOwnCapture();  // nothing is pressed any more
}

// A double tap belongs to the frame, but over a zoom rectangle it is only another press.
void RImgCtrl::OnDoubleTap(WPARAM wParam, LPARAM lParam) {
  if (state_.ZoomRectShown()) {
    OnStylusDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    return;
  }
  SendMessageW(GetParent(window_), WM_LBUTTONDBLCLK, wParam, lParam);
}

// Another window took the stylus: a press on the picture ends there. (A zoom rectangle is
// left as it is; lifting there must not zoom.)
void RImgCtrl::OnCaptureChanged(HWND newOwner) {
  if (releasingCapture_ || newOwner == window_ || state_.ZoomRectShown() || !state_.Pressed()) return;
  Apply(state_.StylusUp());
}

void RImgCtrl::OnTimer(UINT_PTR timer) {
  switch (timer) {
    case kHoldTimer:
      KillTimer(window_, kHoldTimer);
      Apply(state_.HoldTimerFired());
      break;
    case kToolbarTimer:
      HideToolbar();
      break;
  }
}

void RImgCtrl::OnDestroy() {
  KillTimer(window_, kHoldTimer);
  KillTimer(window_, kToolbarTimer);
  ReleaseOwnCapture();
  renderer_.Destroy();
  DeleteGdiObject(statusFont_);
  DeleteGdiObject(noneIcon_);
  DeleteGdiObject(loadingIcon_);
}

void RImgCtrl::Apply(const StylusActions& actions) {
  if (actions.startHoldTimer) SetTimer(window_, kHoldTimer, kHoldMs, nullptr);
  if (actions.cancelHoldTimer) KillTimer(window_, kHoldTimer);
  if (actions.showToolbar) ShowToolbar();
  if (actions.hideToolbar) HideToolbar();
  if (actions.capture) SetCapture(window_);
  if (actions.releaseCapture) ReleaseOwnCapture();
  if (actions.redraw) Redraw();
}

// A zoom rectangle under the stylus follows it beyond the view's edge until it is lifted.
void RImgCtrl::KeepCaptureForZoomRect() {
  if (state_.ZoomRectMode() == ZoomRectState::kArmed && GetCapture() != window_) SetCapture(window_);
}

void RImgCtrl::ReleaseOwnCapture() {
  if (!window_ || GetCapture() != window_) return;
  releasingCapture_ = true;
  ReleaseCapture();
  releasingCapture_ = false;
}

void RImgCtrl::ShowToolbar() {
  if (!HasPicture() || !IsWindowAlive()) return;
  toolbar_.ShowAt(state_.ViewWidth());
  SetTimer(window_, kToolbarTimer, kToolbarMs, nullptr);
}

void RImgCtrl::HideToolbar() {
  if (IsWindowAlive()) KillTimer(window_, kToolbarTimer);
  toolbar_.Hide();
}

}  // namespace crv
