// PictureToolBar: the small bar of buttons that the picture view shows at its top right for a
// while after zoom, rotate and page commands. A tap on a button posts its command to the
// frame, which routes it as if it came from the menu.
#pragma once
#include <windows.h>

#include "player/base/api_wnd.h"

namespace crv {

// Frame commands: the previous and the next picture of the album.
constexpr UINT kCmdPreviousImage = 32863;
constexpr UINT kCmdNextImage = 32864;

class PictureToolBar : public ApiWnd {
 public:
  // The bar's buttons, left to right: zoom in, zoom out, rotate +90, previous, next picture.
  static int ButtonCount();
  static UINT ButtonCommand(int index);

  // Creates the bar hidden, as a child of `view`; its commands go to `target`.
  BOOL Create(HWND view, HWND target, HINSTANCE instance);
  // Shows it at the top right of a view `viewWidth` pixels wide, without taking the focus.
  void ShowAt(int viewWidth);
  void Hide();
  bool Visible() const { return IsWindowAlive() && IsWindowVisible(window_); }

  // The button under a point of the bar, or -1.
  int ButtonAt(int x, int y) const;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  RECT ButtonRect(int index) const;
  void OnPaint();
  void OnPress(int x, int y);
  void OnRelease(int x, int y);
  void DrawGlyph(HDC dc, int index, const RECT& box) const;

  HWND target_ = nullptr;
  int buttonSize_ = 22;  // grows with the screen's dpi
  int pressed_ = -1;     // the button under the stylus
};

}  // namespace crv
