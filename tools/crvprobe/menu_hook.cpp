// crvprobe_hook.dll: loaded by Wine into the process whose popup menu crvprobe asks about
// (see menu_report.h); it reads the menu there, where the menu handle is valid.
#include <windows.h>

#include "tools/crvprobe/menu_report.h"

namespace {

void Report(HWND popup, DWORD requester) {
  wchar_t name[64];
  crvprobe::MenuReportName(requester, name, 64);
  HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name);
  if (!mapping) return;
  auto* report = static_cast<crvprobe::MenuReport*>(
      MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(crvprobe::MenuReport)));
  if (report) {
    // Same thread as the popup window: answered directly by its window procedure.
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
    int total = menu ? GetMenuItemCount(menu) : -1;
    report->total = total;
    report->count = total < 0 ? 0 : (total < crvprobe::kMaxMenuItems ? total : crvprobe::kMaxMenuItems);
    RECT window;
    GetWindowRect(popup, &window);
    for (int i = 0; i < report->count; ++i) {
      crvprobe::MenuItemReport& item = report->items[i];
      MENUITEMINFOW info{};
      info.cbSize = sizeof info;
      info.fMask = MIIM_STATE | MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU;
      if (GetMenuItemInfoW(menu, i, TRUE, &info)) {
        item.state = info.fState;
        item.type = info.fType;
        item.id = info.wID;
        item.submenu = info.hSubMenu != nullptr;
      }
      if (GetMenuStringW(menu, i, item.text, crvprobe::kMaxMenuText, MF_BYPOSITION) <= 0) item.text[0] = L'\0';
      // No window: the menu's own popup window, whose client area its item rectangles are
      // relative to. An owner would map them from the wrong window; the popup is the fallback.
      RECT rect{}, inside;
      if (!GetMenuItemRect(nullptr, menu, i, &rect) || !IntersectRect(&inside, &rect, &window))
        if (!GetMenuItemRect(popup, menu, i, &rect)) SetRectEmpty(&rect);
      item.rect = rect;
    }
    InterlockedExchange(&report->done, 1);
    UnmapViewOfFile(report);
  }
  CloseHandle(mapping);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK CrvProbeMenuHook(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT message = RegisterWindowMessageW(crvprobe::kMenuReportMessage);
  if (code == HC_ACTION) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (message && sent->message == message) Report(sent->hwnd, static_cast<DWORD>(sent->wParam));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
