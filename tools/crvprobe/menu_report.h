// The menu report shared by crvprobe and its hook library (crvprobe_hook.dll).
//
// Under Wine a menu handle means nothing outside the process that made it, so crvprobe cannot
// read an open popup menu itself. It sets a WH_CALLWNDPROC hook in the menu's thread (Wine
// loads the hook library into that process), creates the shared block named by
// MenuReportName(its own process id) and sends the popup window the registered message
// kMenuReportMessage with its process id as wParam; the hook fills the block from inside the
// menu's process before the popup window sees the message.
#pragma once

#include <windows.h>

#include <cwchar>

namespace crvprobe {

constexpr wchar_t kMenuReportMessage[] = L"crvprobe.menu-report";
constexpr char kMenuHookProc[] = "CrvProbeMenuHook";
constexpr wchar_t kMenuHookLibrary[] = L"crvprobe_hook.dll";
constexpr int kMaxMenuItems = 64;
constexpr int kMaxMenuText = 128;

struct MenuItemReport {
  RECT rect;  // screen coordinates; empty when the menu could not say
  UINT state;  // MFS_* of MENUITEMINFO
  UINT type;   // MFT_*
  UINT id;
  BOOL submenu;
  wchar_t text[kMaxMenuText];  // with its "&" marks; cut to fit
};

struct MenuReport {
  LONG done;  // set last by the hook: the rest is filled in
  int count;  // items reported (at most kMaxMenuItems)
  int total;  // items the menu has
  MenuItemReport items[kMaxMenuItems];
};

inline void MenuReportName(DWORD requester, wchar_t* name, size_t size) {
  std::swprintf(name, size, L"crvprobe-menu-%lu", static_cast<unsigned long>(requester));
}

}  // namespace crvprobe
