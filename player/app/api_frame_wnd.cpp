#include "player/app/api_frame_wnd.h"

#include "player/base/api_helpers.h"
#include "player/base/win16.h"

namespace crv {

ApiFrameWnd::~ApiFrameWnd() {
  if (className_[0]) UnregisterClassW(className_, instance_);
}

BOOL ApiFrameWnd::Create(HINSTANCE instance, const wchar_t* className, UINT resourceId) {
  instance_ = instance;
  resourceId_ = resourceId;
  lstrcpynW(className_, className, 64);
  HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(resourceId));
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = SharedWindowProc;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = className_;
  if (!RegisterClassW(&wc)) {
    className_[0] = 0;
    return FALSE;
  }
  wchar_t title[128] = L"";
  LoadStringW(instance, resourceId, title, 128);
  HWND window = CreateWindowExW(0, className_, title, WS_VISIBLE | WS_POPUP | WS_CLIPCHILDREN, 0, 26, CW_USEDEFAULT,
                                CW_USEDEFAULT, nullptr, nullptr, instance, this);
  if (!window) return FALSE;
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  RECT area;
  SHGetVisibleDesktop(&area);
  MoveWindow(window, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  return TRUE;
}

LRESULT ApiFrameWnd::OnCreate(CREATESTRUCTW*) { return CreateMenuBar(resourceId_) ? 0 : -1; }

BOOL ApiFrameWnd::CreateMenuBar(UINT resourceId) {
  if (menuBar_) DestroyWindow(menuBar_);
  SHMENUBARINFO info{sizeof info};
  info.hwndParent = window_;
  info.nToolBarId = resourceId;
  info.hInstRes = instance_;
  menuBar_ = SHCreateMenuBar(&info) ? info.hwndMB : nullptr;
  return menuBar_ != nullptr;
}

LRESULT ApiFrameWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATE:
      sipInfo_.cbSize = sizeof sipInfo_;
      if (LOWORD(wParam) == WA_INACTIVE) SHSipInfo(SPI_GETSIPINFO, 0, &sipInfo_, 0);
      else if (sipInfo_.cbSize && sipInfo_.rcVisibleDesktop.right) SHSipInfo(SPI_SETSIPINFO, 0, &sipInfo_, 0);
      break;
    case WM_SETTINGCHANGE:
      if (wParam == SPI_SETSIPINFO) {
        RECT area;
        SHGetVisibleDesktop(&area);
        MoveWindow(window_, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
      }
      break;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (OnFrameNotify(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), &result)) return result;
      break;
    }
    case WM_CLOSE:
      if (menuBar_) DestroyWindow(menuBar_);
      menuBar_ = nullptr;
      DestroyWindow(window_);
      return 0;
    case kMsgFinal: {
      LRESULT result = ApiWnd::WindowProc(message, wParam, lParam);
      PostQuitMessage(0);
      return result;
    }
  }
  return ApiWnd::WindowProc(message, wParam, lParam);
}

BOOL ApiFrameWnd::OnCommand(WPARAM wParam, LPARAM) {
  WORD id = LOWORD(wParam);
  if (id == kCmdAppExit || id == kCmdClose) {
    DestroyWindow(window_);
    return TRUE;
  }
  return FALSE;
}

void ApiFrameWnd::RebuildRecentMenu() {
  if (recentMenu_) FillRecentMenu(recentMenu_, recent_, instance_);
}

void FillRecentMenu(HMENU submenu, const RecentFiles& recent, HINSTANCE instance) {
  for (int i = GetMenuItemCount(submenu) - 1; i >= 0; --i) {
    UINT id = GetMenuItemID(submenu, i);
    if ((id >= RecentFiles::kFirstCommand && id <= RecentFiles::kLastCommand) || id == RecentFiles::kPlaceholderCommand)
      DeleteMenu(submenu, i, MF_BYPOSITION);
  }
  const auto& entries = recent.Entries();
  if (entries.empty()) {
    AppendMenuW(submenu, MF_STRING | MF_GRAYED, RecentFiles::kPlaceholderCommand,
                LoadResString(RecentFiles::kEmptyTextId, nullptr, 0, instance));
    return;
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    u16 text = RecentFiles::MenuText(i, entries[i]);
    InsertMenuW(submenu, static_cast<UINT>(i), MF_BYPOSITION | MF_STRING,
                RecentFiles::kFirstCommand + static_cast<UINT>(i), W(text.c_str()));
  }
}

}  // namespace crv
