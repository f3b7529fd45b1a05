#include "player/app/api_frame_wnd.h"

#include "player/app/api_helpers.h"
#include "player/base/win16.h"

namespace crv {

ApiFrameWnd::~ApiFrameWnd() {
  if (m_className[0]) UnregisterClassW(m_className, m_hInstance);
}

BOOL ApiFrameWnd::Create(HINSTANCE instance, const wchar_t* className, UINT resourceId) {
  m_hInstance = instance;
  m_resourceId = resourceId;
  lstrcpynW(m_className, className, 64);
  HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(resourceId));
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = SharedWindowProc;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = m_className;
  if (!RegisterClassW(&wc)) {
    m_className[0] = 0;
    return FALSE;
  }
  wchar_t title[128] = L"";
  LoadStringW(instance, resourceId, title, 128);
  HWND window = CreateWindowExW(0, m_className, title, WS_VISIBLE | WS_POPUP | WS_CLIPCHILDREN, 0, 26, CW_USEDEFAULT,
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

LRESULT ApiFrameWnd::OnCreate(CREATESTRUCTW*) { return CreateMenuBar(m_resourceId) ? 0 : -1; }

BOOL ApiFrameWnd::CreateMenuBar(UINT resourceId) {
  if (m_menuBar) DestroyWindow(m_menuBar);
  SHMENUBARINFO info{sizeof info};
  info.hwndParent = m_hWnd;
  info.nToolBarId = resourceId;
  info.hInstRes = m_hInstance;
  m_menuBar = SHCreateMenuBar(&info) ? info.hwndMB : nullptr;
  return m_menuBar != nullptr;
}

LRESULT ApiFrameWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATE:
      m_sipInfo.cbSize = sizeof m_sipInfo;
      if (LOWORD(wParam) == WA_INACTIVE) SHSipInfo(SPI_GETSIPINFO, 0, &m_sipInfo, 0);
      else if (m_sipInfo.cbSize && m_sipInfo.rcVisibleDesktop.right) SHSipInfo(SPI_SETSIPINFO, 0, &m_sipInfo, 0);
      break;
    case WM_SETTINGCHANGE:
      if (wParam == SPI_SETSIPINFO) {
        RECT area;
        SHGetVisibleDesktop(&area);
        MoveWindow(m_hWnd, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
      }
      break;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (OnFrameNotify(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), &result)) return result;
      break;
    }
    case WM_CLOSE:
      if (m_menuBar) DestroyWindow(m_menuBar);
      m_menuBar = nullptr;
      DestroyWindow(m_hWnd);
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
  if (id == 0xE141 || id == 8) {
    DestroyWindow(m_hWnd);
    return TRUE;
  }
  return FALSE;
}

void ApiFrameWnd::RebuildRecentMenu() {
  if (m_recentMenu) FillRecentMenu(m_recentMenu, m_recent, m_hInstance);
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
