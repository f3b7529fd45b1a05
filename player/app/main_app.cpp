#include "player/app/main_app.h"

namespace crv {
namespace {

// The last mouse move seen, so that a repeated position does not count as activity.
struct {
  UINT message = 0;
  POINT position{-1, -1};
} g_lastMouseMove;

}  // namespace

ApiMainApp* ApiMainApp::s_app = nullptr;

ApiMainApp::ApiMainApp(HINSTANCE instance, const wchar_t* name) : m_hInstance(instance) {
  lstrcpynW(m_name, name ? name : L"", 64);
  s_app = this;
}

ApiMainApp::~ApiMainApp() {
  if (s_app == this) s_app = nullptr;
}

BOOL ApiMainApp::IsIdleMessage(const MSG& msg) {
  if (msg.message == WM_PAINT || msg.message == 0x118) return FALSE;  // 0x118: the caret blink
  if (msg.message == WM_MOUSEMOVE) {
    if (g_lastMouseMove.message == WM_MOUSEMOVE && g_lastMouseMove.position.x == msg.pt.x &&
        g_lastMouseMove.position.y == msg.pt.y)
      return FALSE;
    g_lastMouseMove.message = WM_MOUSEMOVE;
    g_lastMouseMove.position = msg.pt;
  }
  return TRUE;
}

int ApiMainApp::Run(HWND mainWindow) {
  m_mainWindow = mainWindow;
  bool idle = true;
  unsigned idleCount = 0;
  MSG msg;
  for (;;) {
    while (idle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (idleCount == 0 && m_mainWindow) OnIdle();
      // One idle call per burst of activity; without a main window there is nothing to
      // do, so wait for the next message instead of spinning.
      idle = false;
      ++idleCount;
    }
    do {
      if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
        m_mainWindow = nullptr;
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
  if (m_mainWindow) GetWindowLongPtrW(m_mainWindow, GWLP_USERDATA);
}

}  // namespace crv
