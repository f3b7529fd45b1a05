#include "player/pictures/picture_tool_bar.h"

#include <windowsx.h>

#include <iterator>

#include "player/base/api_helpers.h"
#include "player/pictures/picture_view_state.h"

namespace crv {
namespace {

constexpr wchar_t kClassName[] = L"HALVREN_PICTURE_TOOLS";
constexpr int kBaseButtonSize = 22;  // at 96 dpi
constexpr int kMargin = 2;           // from the view's edges
constexpr COLORREF kFace = RGB(240, 240, 240);
constexpr COLORREF kInk = RGB(32, 32, 32);

constexpr UINT kCommands[] = {kCmdZoomIn, kCmdZoomOut, kCmdRotate90, kCmdPreviousImage, kCmdNextImage};

bool RegisterBarClass(HINSTANCE instance) { return RegisterFrameworkClass(instance, kClassName); }

void FillTriangle(HDC dc, POINT a, POINT b, POINT c) {
  const POINT points[] = {a, b, c};
  Polygon(dc, points, 3);
}

}  // namespace

int PictureToolBar::ButtonCount() { return static_cast<int>(std::size(kCommands)); }

UINT PictureToolBar::ButtonCommand(int index) {
  return index >= 0 && index < ButtonCount() ? kCommands[index] : 0;
}

BOOL PictureToolBar::Create(HWND view, HWND target, HINSTANCE instance) {
  if (!RegisterBarClass(instance)) return FALSE;
  target_ = target;
  HDC screen = GetDC(nullptr);
  buttonSize_ = MulDiv(kBaseButtonSize, GetDeviceCaps(screen, LOGPIXELSX), 96);
  ReleaseDC(nullptr, screen);
  const RECT rect{0, 0, buttonSize_ * ButtonCount() + 2, buttonSize_ + 2};
  return ApiWnd::Create(kClassName, WS_CHILD | WS_CLIPSIBLINGS, &rect, view, 0, instance);
}

void PictureToolBar::ShowAt(int viewWidth) {
  if (!IsWindowAlive()) return;
  RECT bar;
  GetWindowRect(window_, &bar);
  const int width = bar.right - bar.left;
  SetWindowPos(window_, HWND_TOP, viewWidth - width - kMargin, kMargin, 0, 0,
               SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void PictureToolBar::Hide() {
  if (IsWindowAlive()) ShowWindow(window_, SW_HIDE);
  pressed_ = -1;
}

RECT PictureToolBar::ButtonRect(int index) const {
  const int left = 1 + index * buttonSize_;
  return {left, 1, left + buttonSize_, 1 + buttonSize_};
}

int PictureToolBar::ButtonAt(int x, int y) const {
  const POINT point{x, y};
  for (int i = 0; i < ButtonCount(); ++i) {
    const RECT box = ButtonRect(i);
    if (PtInRect(&box, point)) return i;
  }
  return -1;
}

LRESULT PictureToolBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_LBUTTONDOWN: OnPress(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return 0;
    case WM_LBUTTONUP: OnRelease(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return 0;
  }
  return ApiWnd::WindowProc(message, wParam, lParam);
}

void PictureToolBar::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  RECT client;
  GetClientRect(window_, &client);
  HBRUSH face = CreateSolidBrush(kFace);
  FillRect(dc, &client, face);
  DeleteObject(face);
  FrameRect(dc, &client, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
  for (int i = 0; i < ButtonCount(); ++i) {
    const RECT box = ButtonRect(i);
    DrawGlyph(dc, i, box);
    if (i == pressed_) InvertRect(dc, &box);
  }
  EndPaint(window_, &ps);
}

// Plain strokes that read at any size: a lens with + or -, a turning arrow, two triangles.
void PictureToolBar::DrawGlyph(HDC dc, int index, const RECT& box) const {
  const int size = box.right - box.left, unit = size / 11 > 0 ? size / 11 : 1;
  const int left = box.left + 2 * unit, top = box.top + 2 * unit;
  const int right = box.right - 2 * unit, bottom = box.bottom - 2 * unit;
  const int cx = (left + right) / 2, cy = (top + bottom) / 2;
  HPEN pen = CreatePen(PS_SOLID, unit, kInk);
  HBRUSH ink = CreateSolidBrush(kInk);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  const UINT command = kCommands[index];
  if (command == kCmdZoomIn || command == kCmdZoomOut) {
    const int lensRight = right - 2 * unit, lensBottom = bottom - 2 * unit;
    const int lx = (left + lensRight) / 2, ly = (top + lensBottom) / 2, arm = (lensRight - left) / 4;
    Ellipse(dc, left, top, lensRight, lensBottom);
    MoveToEx(dc, lensRight - unit, lensBottom - unit, nullptr);
    LineTo(dc, right, bottom);
    MoveToEx(dc, lx - arm, ly, nullptr);
    LineTo(dc, lx + arm + 1, ly);
    if (command == kCmdZoomIn) {
      MoveToEx(dc, lx, ly - arm, nullptr);
      LineTo(dc, lx, ly + arm + 1);
    }
  } else if (command == kCmdRotate90) {
    // Three quarters of a circle running clockwise from the top round to the left, where
    // the head points up.
    Arc(dc, left, top, right, bottom, left, cy, cx, top);
    SelectObject(dc, ink);
    FillTriangle(dc, {left - 2 * unit, cy + unit}, {left + 2 * unit, cy + unit}, {left, cy - 2 * unit});
  } else {
    SelectObject(dc, ink);
    const bool next = command == kCmdNextImage;
    const int tip = next ? right : left, back = next ? left + 2 * unit : right - 2 * unit;
    FillTriangle(dc, {back, top}, {back, bottom}, {tip, cy});
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(ink);
  DeleteObject(pen);
}

void PictureToolBar::OnPress(int x, int y) {
  pressed_ = ButtonAt(x, y);
  if (pressed_ < 0) return;
  SetCapture(window_);
  InvalidateRect(window_, nullptr, FALSE);
}

// The command goes when the stylus is lifted on the button it pressed; posted, since the
// frame may replace the view (and this bar with it) while handling it.
void PictureToolBar::OnRelease(int x, int y) {
  const int pressed = pressed_;
  pressed_ = -1;
  if (GetCapture() == window_) ReleaseCapture();
  if (pressed < 0) return;
  InvalidateRect(window_, nullptr, FALSE);
  if (ButtonAt(x, y) == pressed && target_)
    PostMessageW(target_, WM_COMMAND, MAKEWPARAM(ButtonCommand(pressed), 0), 0);
}

}  // namespace crv
