// The soft-key menu bar: a strip along the bottom of the screen with two keys. A key
// either sends its command to the owner or opens its popup menu above itself; the owner
// receives WM_INITMENUPOPUP and WM_COMMAND as from any menu.
//
// The bar is described by a menu-bar definition (RCDATA of 16-bit words): menu id,
// key count, then per key: image, command, state, style, string id, 0, popup index
// (into the menu's top-level items, or NOMENU).
#include <string>
#include <vector>

#include "platform/shell/aygshell.h"

#include <commctrl.h>

namespace {

const wchar_t kMenuBarClass[] = L"menu_worker";

struct SoftKey {
  UINT command = 0;
  wchar_t text[64] = L"";
  HMENU popup = nullptr;  // owned by the bar's menu
  bool enabled = true;
};

struct MenuBar {
  HWND owner = nullptr;
  HMENU menu = nullptr;
  std::vector<SoftKey> keys;
  int pressed = -1;
};

MenuBar* BarOf(HWND window) { return reinterpret_cast<MenuBar*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

SoftKey* KeyOf(MenuBar& bar, UINT command) {
  for (SoftKey& key : bar.keys)
    if (key.command == command) return &key;
  return nullptr;
}

// The keys' texts, tab-separated, as the bar's window text: what another program (a test,
// an accessibility tool) can read of the bar.
void ShowKeysInCaption(HWND window, const MenuBar& bar) {
  std::wstring caption;
  for (size_t i = 0; i < bar.keys.size(); ++i) caption += (i ? L"\t" : L"") + std::wstring(bar.keys[i].text);
  SetWindowTextW(window, caption.c_str());
}

// A key changed by its owner as on the device, through the toolbar messages: text, command
// and enabled state.
LRESULT SetKeyInfo(HWND window, MenuBar& bar, UINT command, const TBBUTTONINFOW* info) {
  SoftKey* key = KeyOf(bar, command);
  if (!key || !info) return FALSE;
  if ((info->dwMask & TBIF_TEXT) && info->pszText) lstrcpynW(key->text, info->pszText, 64);
  if (info->dwMask & TBIF_STATE) key->enabled = (info->fsState & TBSTATE_ENABLED) != 0;
  if (info->dwMask & TBIF_COMMAND) key->command = static_cast<UINT>(info->idCommand);
  ShowKeysInCaption(window, bar);
  InvalidateRect(window, nullptr, FALSE);
  return TRUE;
}

RECT KeyRect(HWND window, size_t index, size_t count) {
  RECT r;
  GetClientRect(window, &r);
  if (count < 2) return r;
  int half = (r.right - r.left) / 2;
  if (index == 0) r.right = half;
  else r.left = half;
  return r;
}

void Paint(HWND window, MenuBar& bar) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT all;
  GetClientRect(window, &all);
  TRIVERTEX v[2] = {{all.left, all.top, 0x6000, 0x6000, 0x6800, 0}, {all.right, all.bottom, 0x1800, 0x1800, 0x2000, 0}};
  GRADIENT_RECT g{0, 1};
  GradientFill(dc, v, 2, &g, 1, GRADIENT_FILL_RECT_V);
  SetBkMode(dc, TRANSPARENT);
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  HFONT font = CreateFontW(-MulDiv(12, dpi, 96), 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  HGDIOBJ old = SelectObject(dc, font);
  for (size_t i = 0; i < bar.keys.size(); ++i) {
    RECT r = KeyRect(window, i, bar.keys.size());
    if (static_cast<int>(i) == bar.pressed) {
      HBRUSH b = CreateSolidBrush(RGB(40, 80, 170));
      FillRect(dc, &r, b);
      DeleteObject(b);
    }
    SetTextColor(dc, bar.keys[i].enabled ? RGB(255, 255, 255) : RGB(140, 140, 140));
    DrawTextW(dc, bar.keys[i].text, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  }
  if (bar.keys.size() > 1) {
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(120, 120, 130));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    int x = (all.right - all.left) / 2;
    MoveToEx(dc, x, all.top + 4, nullptr);
    LineTo(dc, x, all.bottom - 4);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
  }
  SelectObject(dc, old);
  DeleteObject(font);
  EndPaint(window, &ps);
}

void Press(HWND window, MenuBar& bar, int index) {
  if (index < 0 || index >= static_cast<int>(bar.keys.size()) || !bar.keys[index].enabled) return;
  SoftKey& key = bar.keys[index];
  if (!key.popup) {
    PostMessageW(bar.owner, WM_COMMAND, MAKEWPARAM(key.command, 0), 0);
    return;
  }
  bar.pressed = index;
  InvalidateRect(window, nullptr, FALSE);
  RECT r = KeyRect(window, index, bar.keys.size());
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  SetForegroundWindow(bar.owner);
  UINT align = index == 0 ? TPM_LEFTALIGN : TPM_RIGHTALIGN;
  TrackPopupMenuEx(key.popup, align | TPM_BOTTOMALIGN, index == 0 ? r.left : r.right, r.top, bar.owner, nullptr);
  bar.pressed = -1;
  InvalidateRect(window, nullptr, FALSE);
}

LRESULT CALLBACK MenuBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MenuBar* bar = BarOf(window);
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
      break;
    case WM_PAINT:
      if (bar) {
        Paint(window, *bar);
        return 0;
      }
      break;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_LBUTTONUP:
      if (bar) {
        POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        for (size_t i = 0; i < bar->keys.size(); ++i) {
          RECT r = KeyRect(window, i, bar->keys.size());
          if (PtInRect(&r, p)) Press(window, *bar, static_cast<int>(i));
        }
      }
      return 0;
    case SHCMBM_GETMENU: return bar ? reinterpret_cast<LRESULT>(bar->menu) : 0;
    case SHCMBM_GETSUBMENU:
      if (bar)
        for (const SoftKey& key : bar->keys)
          if (key.command == static_cast<UINT>(lParam)) return reinterpret_cast<LRESULT>(key.popup);
      return 0;
    case TB_SETBUTTONINFOW:
      return bar ? SetKeyInfo(window, *bar, static_cast<UINT>(wParam), reinterpret_cast<const TBBUTTONINFOW*>(lParam))
                 : FALSE;
    case TB_ENABLEBUTTON:
      if (SoftKey* key = bar ? KeyOf(*bar, static_cast<UINT>(wParam)) : nullptr) {
        key->enabled = LOWORD(lParam) != 0;
        InvalidateRect(window, nullptr, FALSE);
        return TRUE;
      }
      return FALSE;
    case TB_ISBUTTONENABLED: {
      const SoftKey* key = bar ? KeyOf(*bar, static_cast<UINT>(wParam)) : nullptr;
      return key && key->enabled;
    }
    case WM_USER + 500:  // press key wParam: the hardware soft keys and tests
      if (bar) Press(window, *bar, static_cast<int>(wParam));
      return 0;
    case WM_NCDESTROY:
      if (bar) {
        if (bar->menu) DestroyMenu(bar->menu);
        delete bar;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      }
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Keys from a menu-bar definition; false when the resource is not one.
bool ReadDefinition(HINSTANCE instance, UINT id, MenuBar& bar) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (!found) return false;
  DWORD bytes = SizeofResource(instance, found);
  const WORD* words = static_cast<const WORD*>(LockResource(LoadResource(instance, found)));
  if (!words || bytes < 4) return false;
  size_t count = words[1];
  if (4 + count * 14 > bytes) return false;
  bar.menu = LoadMenuW(instance, MAKEINTRESOURCEW(words[0]));
  for (size_t i = 0; i < count; ++i) {
    const WORD* k = words + 2 + i * 7;
    SoftKey key;
    key.command = k[1];
    key.enabled = (k[2] & 0x04) != 0;  // TBSTATE_ENABLED
    LoadStringW(instance, k[4], key.text, 64);
    if (k[6] != NOMENU && bar.menu) key.popup = GetSubMenu(bar.menu, k[6]);
    bar.keys.push_back(key);
  }
  return true;
}

// Keys from the top-level items of a plain menu.
void ReadMenu(HINSTANCE instance, UINT id, MenuBar& bar) {
  bar.menu = LoadMenuW(instance, MAKEINTRESOURCEW(id));
  int items = bar.menu ? GetMenuItemCount(bar.menu) : 0;
  for (int i = 0; i < items && i < 2; ++i) {
    SoftKey key;
    MENUITEMINFOW info{sizeof info};
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_SUBMENU | MIIM_STATE;
    info.dwTypeData = key.text;
    info.cch = 64;
    GetMenuItemInfoW(bar.menu, i, TRUE, &info);
    key.command = info.wID;
    key.popup = info.hSubMenu;
    key.enabled = !(info.fState & MFS_DISABLED);
    bar.keys.push_back(key);
  }
}

}  // namespace

extern "C" BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* info) {
  if (!info || !info->hwndParent) return FALSE;
  HINSTANCE instance = info->hInstRes ? info->hInstRes : GetModuleHandleW(nullptr);
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = MenuBarProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kMenuBarClass;
    registered = RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }
  MenuBar* bar = new MenuBar;
  bar->owner = info->hwndParent;
  if (!(info->dwFlags & SHCMBF_EMPTYBAR)) {
    if ((info->dwFlags & SHCMBF_HMENU) || !ReadDefinition(instance, info->nToolBarId, *bar))
      ReadMenu(instance, info->nToolBarId, *bar);
  }
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN), bh = SHMenuBarHeight();
  DWORD style = WS_POPUP | ((info->dwFlags & SHCMBF_HIDDEN) ? 0 : WS_VISIBLE);
  HWND window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kMenuBarClass, L"", style, 0, h - bh, w, bh,
                                info->hwndParent, nullptr, GetModuleHandleW(nullptr), bar);
  if (!window) {
    if (bar->menu) DestroyMenu(bar->menu);
    delete bar;
    info->hwndMB = nullptr;
    return FALSE;
  }
  info->hwndMB = window;
  ShowKeysInCaption(window, *bar);
  return TRUE;
}
