#include "player/app/main_app.h"

namespace crv {
namespace {

// The last mouse move seen, so that a repeated position does not count as activity.
struct {
  UINT message = 0;
  POINT position{-1, -1};
} lastMouseMove;

ApiMainApp* runningApp = nullptr;

}  // namespace

ApiMainApp* TheMainApp() { return runningApp; }

ApiMainApp::ApiMainApp(HINSTANCE instance, const wchar_t* name) : instance_(instance) {
  lstrcpynW(name_, name ? name : L"", 64);
  runningApp = this;
}

ApiMainApp::~ApiMainApp() {
  if (runningApp == this) runningApp = nullptr;
}

BOOL ApiMainApp::IsIdleMessage(const MSG& msg) {
  if (msg.message == WM_PAINT || msg.message == 0x118) return FALSE;  // 0x118: the caret blink
  if (msg.message == WM_MOUSEMOVE) {
    if (lastMouseMove.message == WM_MOUSEMOVE && lastMouseMove.position.x == msg.pt.x &&
        lastMouseMove.position.y == msg.pt.y)
      return FALSE;
    lastMouseMove.message = WM_MOUSEMOVE;
    lastMouseMove.position = msg.pt;
  }
  return TRUE;
}

int ApiMainApp::Run(HWND mainWindow) {
  mainWindow_ = mainWindow;
  bool idle = true;
  unsigned idleCount = 0;
  MSG msg;
  for (;;) {
    while (idle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (idleCount == 0 && mainWindow_) OnIdle();
      // One idle call per burst of activity; without a main window there is nothing to
      // do, so wait for the next message instead of spinning.
      idle = false;
      ++idleCount;
    }
    do {
      if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
        mainWindow_ = nullptr;
        return 0;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      if (IsIdleMessage(msg)) {
        idle = true;
        idleCount = 0;
      }
    } while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  }
}

void MainApp::OnIdle() {
  // The frame needs no idle work; reading its object keeps the window's binding honest.
  if (mainWindow_) GetWindowLongPtrW(mainWindow_, GWLP_USERDATA);
}

}  // namespace crv
