#include "player/pictures/album_view.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "player/base/api_helpers.h"
#include "player/base/win16.h"
#include "player/pictures/reorder_thumb_dlg.h"
#include "player/pictures/thumbnail_loader.h"
#include "player/resources/resource_ids.h"

namespace crv {

namespace {

constexpr UINT_PTR kHoldTimer = 1;
constexpr int32_t kNamePoints = 8;
constexpr COLORREF kGridLineColour = RGB(223, 223, 223);
constexpr COLORREF kFailureColour = RGB(200, 0, 0);
constexpr COLORREF kLoadingColour = RGB(128, 128, 128);
// Two pixels of the selection colour frame the current cell.
constexpr int kHighlightWidth = 2;

using HoldLock = std::lock_guard<AlbumLock>;

bool RegisterAlbumViewClass(HINSTANCE instance) { return RegisterFrameworkClass(instance, kAlbumViewClass); }

GridSize ScreenShape() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

int32_t ScrollBarWidth() { return GetSystemMetrics(SM_CXVSCROLL); }

POINT PointOf(LPARAM lParam) {
  return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

RECT ToRect(const RRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// Pictures of these depths need no colour table, which a thumbnail's 44-byte block could not
// hold: anything else (a thumbnail from an album file) is not drawn.
bool DrawableThumbnail(const RBitmapInfoHeader& info) {
  return info.compression == BI_RGB && (info.bitCount == 16 || info.bitCount == 24 || info.bitCount == 32) &&
         info.width > 0 && info.height != 0;
}

}  // namespace

AlbumView::AlbumView(PictureAlbum& album, const AlbumViewOptions& options, ReaderRegistry& registry)
    : album_(album), options_(options), loader_(album, registry), thread_(loader_, registry) {}

AlbumView::~AlbumView() {
  thread_.Stop();
  if (IsWindowAlive()) DestroyWindow(window_);
  if (nameFont_) DeleteObject(nameFont_);
}

BOOL AlbumView::Create(HWND parent, const RECT& rect, HINSTANCE instance, UINT id) {
  if (!RegisterAlbumViewClass(instance)) return FALSE;
  return ApiWnd::Create(kAlbumViewClass, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, &rect, parent, id, instance);
}

LRESULT AlbumView::OnCreate(CREATESTRUCTW*) {
  HDC screen = GetDC(nullptr);
  nameHeight_ = PointsToPixels(kNamePoints, GetDeviceCaps(screen, LOGPIXELSY));
  ReleaseDC(nullptr, screen);
  // The whole line fits the strip under the thumbnail: the height is the font's cell height.
  nameFont_ = CreateFontW(nameHeight_, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
  Layout();
  StartLoader(grid_.FirstVisible(), true);
  return 0;
}

LRESULT AlbumView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return 1;  // the paint covers everything
    case WM_SIZE: OnSize(); return 0;
    case WM_VSCROLL: OnVScroll(LOWORD(wParam)); return 0;
    case WM_LBUTTONDOWN: OnStylusDown(PointOf(lParam)); return 0;
    case WM_MOUSEMOVE: OnStylusMove(PointOf(lParam)); return 0;
    case WM_LBUTTONUP: OnStylusUp(); return 0;
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_KEYDOWN: OnKeyDown(wParam, lParam); return 0;
    case kMsgAlbumThumbnails: StartThumbnails(static_cast<int32_t>(wParam), lParam); return 0;
    case WM_DESTROY: OnDestroy(); break;
  }
  return ApiWnd::WindowProc(message, wParam, lParam);
}

BOOL AlbumView::OnCommand(WPARAM wParam, LPARAM) { return RunCommand(LOWORD(wParam)) ? TRUE : FALSE; }

// ---- What the frame calls --------------------------------------------------------------------

void AlbumView::StartThumbnails(int32_t fromIndex, LPARAM notice) {
  InvalidateItem(fromIndex);
  if (notice == kThumbnailMade) return;
  StartLoader(fromIndex, true);
}

bool AlbumView::Reload() {
  StopLoading();
  {
    HoldLock hold(album_.Lock());
    for (const auto& item : album_.Items()) {
      item->Thumbnail().Reset();
      if (item->LoadState() == kItemFailed) {
        item->SetLoadState(kItemNotLoaded);
        item->SetLastResult(kResultOk);
      }
    }
  }
  Layout();
  return StartLoader(grid_.FirstVisible(), false);
}

void AlbumView::StopLoading() { thread_.Stop(); }

void AlbumView::Refresh() {
  StopLoading();
  Layout();
  if (grid_.ScrollToShow(album_.Current())) UpdateScrollBar();
  StartLoader(grid_.FirstVisible(), true);
}

void AlbumView::SetOptions(const AlbumViewOptions& options) {
  options_ = options;
  if (options_.notLoadInBackground) StopLoading();
  Layout();  // the names change the thumbnail box; the loader follows
  if (!options_.notLoadInBackground && !thread_.Running()) StartLoader(grid_.FirstVisible(), true);
}

void AlbumView::SetCurrent(int32_t index) {
  if (index < 0 || index >= album_.Count()) return;
  const int32_t old = album_.Current();
  if (index != old) {
    HoldLock hold(album_.Lock());
    album_.SetCurrent(index);
  }
  if (!window_) return;
  if (grid_.ScrollToShow(index)) {
    UpdateScrollBar();
    InvalidateRect(window_, nullptr, FALSE);
    return;
  }
  if (index != old) {
    InvalidateItem(old);
    InvalidateItem(index);
  }
}

bool AlbumView::HandleCommand(UINT id) {
  switch (id) {
    case ID_DELETE_IMAGE: DeleteCurrent(); return true;
    case ID_MOVE_LEFT: MoveCurrent(kAlbumMoveLeft); return true;
    case ID_MOVE_RIGHT: MoveCurrent(kAlbumMoveRight); return true;
    case ID_SORT_BY_NAME: SortAlbum(kAlbumSortByName); return true;
    case ID_SORT_BY_TIME: SortAlbum(kAlbumSortByTime); return true;
    case ID_SORT_BY_SIZE: SortAlbum(kAlbumSortBySize); return true;
    case ID_SORT_MANUALLY: SortManually(); return true;
  }
  return false;
}

void AlbumView::MoveSelection(int32_t rows) {
  SetCurrent(IndexRowsAway(album_.Current(), rows, grid_.Columns(), album_.Count()));
}

void AlbumView::PrepareAlbumMenu(HMENU popup, bool itemUnderStylus, int32_t sortOrder) {
  static const UINT kItemCommands[] = {ID_VIEW_IMAGE,   ID_DELETE_IMAGE, ID_MOVE_LEFT,    ID_MOVE_RIGHT,
                                       ID_SORT_BY_NAME, ID_SORT_BY_TIME, ID_SORT_BY_SIZE, ID_SORT_MANUALLY};
  for (UINT id : kItemCommands) EnableMenuItem(popup, id, MF_BYCOMMAND | (itemUnderStylus ? MF_ENABLED : MF_GRAYED));
  static const struct {
    UINT id;
    int32_t kind;
  } kSorts[] = {{ID_SORT_BY_NAME, kAlbumSortByName}, {ID_SORT_BY_TIME, kAlbumSortByTime}, {ID_SORT_BY_SIZE, kAlbumSortBySize}};
  for (const auto& sort : kSorts)
    CheckMenuItem(popup, sort.id, MF_BYCOMMAND | (sortOrder == sort.kind ? MF_CHECKED : MF_UNCHECKED));
}

bool AlbumView::IsFrameCommand(UINT id) {
  switch (id) {
    case ID_VIEW_IMAGE:
    case ID_ADD_IMAGE:
    case ID_ADD_FOLDER:
    case ID_PROPERTIES:
    case ID_OPEN:
    case ID_SAVE:
    case ID_NEW: return true;
  }
  return false;
}

// ---- Messages --------------------------------------------------------------------------------

void AlbumView::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  if (options_.notLoadInBackground) LoadVisibleNow(dc);
  RECT area;
  GetClientRect(window_, &area);
  if (area.right < 1 || area.bottom < 1) {
    EndPaint(window_, &ps);
    return;
  }
  // Drawn off screen first, so that a cell never flickers through the background.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP buffer = memory ? CreateCompatibleBitmap(dc, area.right, area.bottom) : nullptr;
  HDC target = buffer ? memory : dc;
  HGDIOBJ oldBitmap = buffer ? SelectObject(memory, buffer) : nullptr;
  PaintBackground(target, area);
  PaintGridLines(target, area);
  {
    HoldLock hold(album_.Lock());
    for (int32_t i = grid_.FirstVisible(); i < grid_.EndVisible(); ++i) {
      const RECT cell = ToRect(grid_.CellRect(i));
      if (!RectVisible(dc, &cell)) continue;
      if (const AlbumItem* item = album_.Item(i)) PaintCell(target, i, *item);
    }
  }
  if (buffer) {
    BitBlt(dc, 0, 0, area.right, area.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteObject(buffer);
  }
  if (memory) DeleteDC(memory);
  EndPaint(window_, &ps);
}

void AlbumView::OnSize() {
  Layout();
  if (grid_.ScrollToShow(album_.Current())) UpdateScrollBar();
}

void AlbumView::OnVScroll(WORD code) {
  int32_t row = grid_.TopRow();
  switch (code) {
    case SB_LINEUP: --row; break;
    case SB_LINEDOWN: ++row; break;
    case SB_PAGEUP: row -= grid_.VisibleRows(); break;
    case SB_PAGEDOWN: row += grid_.VisibleRows(); break;
    case SB_TOP: row = 0; break;
    case SB_BOTTOM: row = grid_.MaxTopRow(); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO info{sizeof info, SIF_TRACKPOS};
      if (!scrollBar_ || !GetScrollInfo(scrollBar_, SB_CTL, &info)) return;
      row = info.nTrackPos;
      break;
    }
    default: return;
  }
  ScrollToRow(row);
}

void AlbumView::OnStylusDown(POINT point) {
  EndHold();
  SetCapture(window_);
  pressPoint_ = point;
  stylusItem_ = grid_.ItemAt(point.x, point.y);
  if (stylusItem_ >= 0) SetCurrent(stylusItem_);
  holding_ = SetTimer(window_, kHoldTimer, kAlbumHoldMs, nullptr) != 0;
}

void AlbumView::OnStylusMove(POINT point) {
  if (holding_ && (std::abs(point.x - pressPoint_.x) > kAlbumHoldSlop || std::abs(point.y - pressPoint_.y) > kAlbumHoldSlop))
    EndHold();
}

void AlbumView::OnStylusUp() { EndHold(); }

void AlbumView::OnTimer(UINT_PTR id) {
  if (id != kHoldTimer) return;
  const bool held = holding_;
  EndHold();
  if (held) ShowAlbumMenu(pressPoint_, stylusItem_ >= 0);
}

// Keys belong to the frame (Enter views, Up and Down move by a row).
void AlbumView::OnKeyDown(WPARAM key, LPARAM flags) {
  if (HWND parent = GetParent(window_)) SendMessageW(parent, WM_KEYDOWN, key, flags);
}

void AlbumView::OnDestroy() {
  StopLoading();
  EndHold();
}

// ---- Commands --------------------------------------------------------------------------------

bool AlbumView::RunCommand(UINT id) {
  if (!IsFrameCommand(id)) return HandleCommand(id);
  if (HWND parent = GetParent(window_)) PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, 0), 0);
  return true;
}

void AlbumView::DeleteCurrent() {
  const int32_t index = album_.Current();
  if (!album_.Item(index)) return;
  StopLoading();
  album_.Remove(index);
  Refresh();
}

void AlbumView::MoveCurrent(int32_t kind) {
  StopLoading();
  if (!album_.Sort(kind, album_.Current())) MessageBeep(MB_ICONHAND);
  Refresh();
}

void AlbumView::SortAlbum(int32_t kind) {
  StopLoading();
  album_.Sort(kind, 0);
  Refresh();
}

void AlbumView::SortManually() {
  StopLoading();
  HWND owner = GetAncestor(window_, GA_ROOT);
  CReorderThumbDlg dialog(album_, owner ? owner : window_, instance_);
  dialog.DoModal();
  Refresh();
}

void AlbumView::ShowAlbumMenu(POINT clientPoint, bool itemUnderStylus) {
  HMENU menu = LoadMenuW(instance_, MAKEINTRESOURCEW(IDM_ALBUM_POPUP));
  if (!menu) return;
  UINT command = 0;
  if (HMENU popup = GetSubMenu(menu, 0)) {
    PrepareAlbumMenu(popup, itemUnderStylus, album_.SortOrder());
    POINT screen = clientPoint;
    ClientToScreen(window_, &screen);
    command = TrackAlbumMenu(popup, screen);
  }
  DestroyMenu(menu);
  if (command) RunCommand(command);
}

UINT AlbumView::TrackAlbumMenu(HMENU popup, POINT screenPoint) {
  // A menu closes on a tap elsewhere only when its owner's window is in front.
  SetForegroundWindow(GetAncestor(window_, GA_ROOT));
  return static_cast<UINT>(TrackPopupMenuEx(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY,
                                            screenPoint.x, screenPoint.y, window_, nullptr));
}

// ---- The grid and the loader -----------------------------------------------------------------

void AlbumView::Layout() {
  if (!window_) return;
  RECT client;
  GetClientRect(window_, &client);
  grid_.Layout({client.right, client.bottom}, ScreenShape(), album_.Count(), ScrollBarWidth());
  UpdateScrollBar();
  ApplyLoaderSettings();
  InvalidateRect(window_, nullptr, FALSE);
}

void AlbumView::UpdateScrollBar() {
  if (!grid_.NeedsScrollBar()) {
    if (scrollBar_) DestroyWindow(scrollBar_);
    scrollBar_ = nullptr;
    return;
  }
  RECT client;
  GetClientRect(window_, &client);
  const int32_t width = ScrollBarWidth();
  if (!scrollBar_) {
    scrollBar_ = CreateWindowExW(0, L"SCROLLBAR", nullptr, WS_CHILD | WS_VISIBLE | SBS_VERT, client.right - width, 0,
                                 width, client.bottom, window_,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kAlbumScrollBarId)), instance_, nullptr);
    if (!scrollBar_) return;
  } else {
    MoveWindow(scrollBar_, client.right - width, 0, width, client.bottom, TRUE);
  }
  SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS};
  info.nMin = 0;
  info.nMax = std::max(grid_.Rows() - 1, 0);
  info.nPage = static_cast<UINT>(grid_.VisibleRows());
  info.nPos = grid_.TopRow();
  SetScrollInfo(scrollBar_, SB_CTL, &info, TRUE);
}

void AlbumView::ScrollToRow(int32_t row) {
  if (!grid_.ScrollTo(row)) return;
  if (scrollBar_) SetScrollPos(scrollBar_, SB_CTL, grid_.TopRow(), TRUE);
  InvalidateRect(window_, nullptr, FALSE);
  // The rows in sight are loaded first.
  if (thread_.Running()) loader_.StartFrom(grid_.FirstVisible());
}

void AlbumView::InvalidateItem(int32_t index) {
  if (!window_ || index < 0 || index >= album_.Count()) return;
  const RECT cell = ToRect(grid_.CellRect(index));
  InvalidateRect(window_, &cell, FALSE);
}

bool AlbumView::StartLoader(int32_t fromIndex, bool reportFailure) {
  // Without the thread, the cells load their thumbnails as they are drawn.
  if (!window_ || options_.notLoadInBackground || album_.Count() == 0) return true;
  HWND parent = GetParent(window_);
  if (thread_.Start(fromIndex, parent ? parent : window_)) return true;
  if (reportFailure) ShowResMessage(window_, instance_, MB_OK | MB_ICONERROR, 0, IDS_ALBUM_NO_THREAD);
  return false;
}

ThumbnailSettings AlbumView::LoaderSettings() const {
  ThumbnailSettings settings;
  settings.loadReduced = options_.loadReduced;
  settings.notCacheImage = options_.notCacheImage;
  settings.displayOptimisation = options_.displayOptimisation;
  settings.opening = {options_.autoZoomFit, options_.openingMode};
  settings.box = grid_.ThumbnailBox(ScrollBarWidth(), options_.ShowsNames() ? nameHeight_ : 0);
  return settings;
}

// The loader reads its settings while it runs: a change waits for it to stop.
void AlbumView::ApplyLoaderSettings() {
  const ThumbnailSettings wanted = LoaderSettings();
  if (wanted == loader_.Settings()) return;
  const bool wasLoading = thread_.Running();
  StopLoading();
  loader_.SetSettings(wanted);
  if (wasLoading) StartLoader(grid_.FirstVisible(), true);
}

void AlbumView::LoadVisibleNow(HDC dc) {
  for (int32_t i = grid_.FirstVisible(); i < grid_.EndVisible(); ++i) {
    const RECT cell = ToRect(grid_.CellRect(i));
    const AlbumItem* item = album_.Item(i);
    if (item && RectVisible(dc, &cell) && ThumbnailLoader::NeedsThumbnail(*item)) loader_.LoadItem(i);
  }
}

void AlbumView::EndHold() {
  if (holding_) KillTimer(window_, kHoldTimer);
  holding_ = false;
  if (GetCapture() == window_) ReleaseCapture();
}

// ---- Painting --------------------------------------------------------------------------------

void AlbumView::PaintBackground(HDC dc, const RECT& area) const {
  // White at the top to light blue (174, 224, 255) at the bottom.
  TRIVERTEX vertices[2] = {{area.left, area.top, 0xFF00, 0xFF00, 0xFF00, 0},
                           {area.right, area.bottom, 174 << 8, 224 << 8, 255 << 8, 0}};
  GRADIENT_RECT rect{0, 1};
  GradientFill(dc, vertices, 2, &rect, 1, GRADIENT_FILL_RECT_V);
}

void AlbumView::PaintGridLines(HDC dc, const RECT& area) const {
  if (grid_.Columns() < 1) return;
  HBRUSH brush = CreateSolidBrush(kGridLineColour);
  const GridSize cell = grid_.Cell();
  const LONG right = std::min<LONG>(area.right, grid_.CellsWidth());
  for (int32_t c = 1; c <= grid_.Columns(); ++c) {
    const LONG x = c * (cell.width + kGridGap) - kGridGap;
    const RECT line{x, area.top, x + kGridGap, area.bottom};
    FillRect(dc, &line, brush);
  }
  for (int32_t r = 1; r <= grid_.VisibleRows() + 1; ++r) {
    const LONG y = r * (cell.height + kGridGap) - kGridGap;
    const RECT line{area.left, y, right, y + kGridGap};
    FillRect(dc, &line, brush);
  }
  DeleteObject(brush);
}

void AlbumView::PaintCell(HDC dc, int32_t index, const AlbumItem& item) const {
  const RECT cell = ToRect(grid_.CellRect(index));
  const bool names = options_.ShowsNames();
  RECT picture = cell;
  RECT name = cell;
  if (names) {
    picture.bottom = std::max(picture.top, picture.bottom - nameHeight_);
    name.top = picture.bottom;
  }
  if (!item.Thumbnail().Empty()) {
    PaintThumbnail(dc, item.Thumbnail(), item.Fixed().rotation, picture);
  } else if (item.LoadState() == kItemFailed) {
    RECT text = picture;
    InflateRect(&text, -2, -2);
    PaintText(dc, ResultText(item.LastResult()), text, kFailureColour, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  } else {
    PaintText(dc, kLoadingText, picture, kLoadingColour, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  const bool current = index == album_.Current();
  if (current) {
    HBRUSH highlight = GetSysColorBrush(COLOR_HIGHLIGHT);
    RECT frame = cell;
    for (int k = 0; k < kHighlightWidth; ++k) {
      FrameRect(dc, &frame, highlight);
      InflateRect(&frame, -1, -1);
    }
    if (names) FillRect(dc, &name, highlight);
  }
  if (names) {
    const COLORREF colour = current ? GetSysColor(COLOR_HIGHLIGHTTEXT) : RGB(0, 0, 0);
    PaintText(dc, item.FileName().c_str(), name, colour, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  }
}

void AlbumView::PaintThumbnail(HDC dc, const AlbumThumbnail& thumbnail, int32_t rotation, const RECT& box) const {
  const RBitmapInfoHeader& info = *thumbnail.Info();
  if (!DrawableThumbnail(info)) return;
  // The cell shows the picture turned as the picture view shows it.
  int32_t turnedWidth = info.width, turnedHeight = info.height;
  std::vector<uint8_t> turned;
  if (info.bitCount == 24 && info.height > 0)
    turned = TurnedThumbnailPixels(thumbnail.Pixels(), turnedWidth, turnedHeight, rotation);
  const LONG width = turned.empty() ? info.width : turnedWidth;
  const LONG height = turned.empty() ? (info.height < 0 ? -info.height : info.height) : turnedHeight;
  const LONG boxWidth = box.right - box.left, boxHeight = box.bottom - box.top;
  if (boxWidth < 1 || boxHeight < 1) return;
  // Centred; one made for larger cells (an album from another screen) is shrunk to fit.
  LONG w = width, h = height;
  if (w > boxWidth || h > boxHeight) {
    if (int64_t{boxWidth} * height <= int64_t{boxHeight} * width) {
      w = boxWidth;
      h = static_cast<LONG>(std::max<int64_t>(int64_t{height} * boxWidth / width, 1));
    } else {
      h = boxHeight;
      w = static_cast<LONG>(std::max<int64_t>(int64_t{width} * boxHeight / height, 1));
    }
  }
  // The header alone: no colour table is read past the 44-byte block.
  BITMAPINFO header{};
  std::memcpy(&header.bmiHeader, &info, sizeof(BITMAPINFOHEADER));
  header.bmiHeader.biClrUsed = 0;
  header.bmiHeader.biClrImportant = 0;
  if (!turned.empty()) {
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = height;
    header.bmiHeader.biSizeImage = static_cast<DWORD>(turned.size());
  }
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, box.left + (boxWidth - w) / 2, box.top + (boxHeight - h) / 2, w, h, 0, 0, width, height,
                turned.empty() ? thumbnail.Pixels() : turned.data(), &header, DIB_RGB_COLORS, SRCCOPY);
}

void AlbumView::PaintText(HDC dc, const char16_t* text, const RECT& box, COLORREF colour, UINT format) const {
  if (!text || !*text) return;
  HGDIOBJ oldFont = nameFont_ ? SelectObject(dc, nameFont_) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  RECT r = box;
  if (format & DT_WORDBREAK) {  // wrapped text is centred by hand
    RECT measure = r;
    DrawTextW(dc, W(text), -1, &measure, format | DT_CALCRECT);
    const LONG spare = (r.bottom - r.top) - (measure.bottom - measure.top);
    if (spare > 0) r.top += spare / 2;
  }
  DrawTextW(dc, W(text), -1, &r, format);
  if (oldFont) SelectObject(dc, oldFont);
}

}  // namespace crv
