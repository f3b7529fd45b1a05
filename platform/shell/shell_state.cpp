// The shell's screen furniture on the emulated device: the navigation bar along the top
// (title of the active program, clock, the Done button), the input panel's state and the
// full-screen rules. One copy per process, which is all a single-window player needs.
#include "platform/shell/aygshell.h"

namespace {

const wchar_t kNavBarClass[] = L"HHTaskBar";

struct ShellState {
  HWND navBar = nullptr;
  HWND doneOwner = nullptr;  // window whose Done button shows in the navigation bar
  bool sipOn = false;
  bool navHidden = false;
};

ShellState& State() {
  static ShellState state;
  return state;
}

int Scaled(int pixelsAt96) {
  HDC dc = GetDC(nullptr);
  int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  return MulDiv(pixelsAt96, dpi > 0 ? dpi : 96, 96);
}

int SipHeight() { return Scaled(80); }

RECT DoneButtonRect(const RECT& bar) {
  int w = Scaled(28);
  return RECT{bar.right - w - Scaled(2), bar.top + Scaled(3), bar.right - Scaled(2), bar.bottom - Scaled(3)};
}

void PaintNavBar(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT bar;
  GetClientRect(window, &bar);
  HBRUSH back = CreateSolidBrush(RGB(16, 40, 104));
  FillRect(dc, &bar, back);
  DeleteObject(back);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  HFONT font = CreateFontW(-Scaled(12), 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  HGDIOBJ old = SelectObject(dc, font);

  // The start flag: four coloured squares.
  int s = Scaled(5), x0 = Scaled(5), y0 = (bar.bottom - 2 * s - 1) / 2;
  const COLORREF flag[4] = {RGB(240, 80, 40), RGB(120, 200, 40), RGB(40, 140, 240), RGB(250, 200, 20)};
  for (int i = 0; i < 4; ++i) {
    RECT r{x0 + (i % 2) * (s + 1), y0 + (i / 2) * (s + 1), 0, 0};
    r.right = r.left + s;
    r.bottom = r.top + s;
    HBRUSH b = CreateSolidBrush(flag[i]);
    FillRect(dc, &r, b);
    DeleteObject(b);
  }

  wchar_t title[128] = L"Start";
  HWND active = GetForegroundWindow();
  // A tool window (a soft-key bar) speaks for the program that owns it.
  while (active && (GetWindowLongW(active, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) && GetWindow(active, GW_OWNER))
    active = GetWindow(active, GW_OWNER);
  if (active && active != window) GetWindowTextW(active, title, 128);
  RECT text{x0 + 2 * s + Scaled(8), 0, bar.right - Scaled(70), bar.bottom};
  DrawTextW(dc, title, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);

  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t clock[16];
  wsprintfW(clock, L"%d:%02d", now.wHour, now.wMinute);
  RECT done = DoneButtonRect(bar);
  RECT clockRect{bar.right - Scaled(70), 0, State().doneOwner ? done.left - Scaled(4) : bar.right - Scaled(6), bar.bottom};
  DrawTextW(dc, clock, -1, &clockRect, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);

  if (State().doneOwner) {
    HBRUSH b = CreateSolidBrush(RGB(60, 90, 170));
    FillRect(dc, &done, b);
    DeleteObject(b);
    FrameRect(dc, &done, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawTextW(dc, L"ok", -1, &done, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  }
  SelectObject(dc, old);
  DeleteObject(font);
  EndPaint(window, &ps);
}

LRESULT CALLBACK NavBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: SetTimer(window, 1, 1000, nullptr); return 0;
    case WM_TIMER: InvalidateRect(window, nullptr, FALSE); return 0;
    case WM_PAINT: PaintNavBar(window); return 0;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_LBUTTONUP: {
      RECT bar;
      GetClientRect(window, &bar);
      RECT done = DoneButtonRect(bar);
      POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (State().doneOwner && PtInRect(&done, p)) PostMessageW(State().doneOwner, WM_COMMAND, IDOK, 0);
      return 0;
    }
    case WM_DESTROY:
      if (State().navBar == window) State().navBar = nullptr;
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void RefreshNavBar() {
  if (State().navBar) InvalidateRect(State().navBar, nullptr, FALSE);
}

BOOL CALLBACK TellWindow(HWND window, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == GetCurrentProcessId()) SendMessageW(window, WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
  return TRUE;
}

void SetSip(bool on) {
  if (State().sipOn == on) return;
  State().sipOn = on;
  EnumWindows(TellWindow, 0);
}

}  // namespace

extern "C" {

int WINAPI SHNavBarHeight(void) { return State().navHidden ? 0 : Scaled(26); }

int WINAPI SHMenuBarHeight(void) { return Scaled(26); }

void WINAPI SHGetVisibleDesktop(RECT* rect) {
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  int bottom = h - SHMenuBarHeight() - (State().sipOn ? SipHeight() : 0);
  *rect = RECT{0, Scaled(26), w, bottom};
}

BOOL WINAPI SHInitExtraControls(void) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = NavBarProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kNavBarClass;
  RegisterClassW(&wc);  // fails harmlessly when already registered
  if (!State().navBar && !FindWindowW(kNavBarClass, nullptr)) {
    int w = GetSystemMetrics(SM_CXSCREEN);
    State().navBar = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kNavBarClass, L"",
                                     WS_POPUP | WS_VISIBLE, 0, 0, w, Scaled(26), nullptr, nullptr, wc.hInstance, nullptr);
  }
  return TRUE;
}

BOOL WINAPI SHSipPreference(HWND, SIPSTATE state) {
  if (state == SIP_UP || state == SIP_INPUTDIALOG) SetSip(true);
  else if (state == SIP_DOWN || state == SIP_FORCEDOWN) SetSip(false);
  return TRUE;
}

BOOL WINAPI SHSipInfo(UINT action, UINT, PVOID pv, UINT) {
  SIPINFO* info = static_cast<SIPINFO*>(pv);
  if (!info || info->cbSize < sizeof(SIPINFO)) return FALSE;
  if (action == SPI_GETSIPINFO) {
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    info->fdwFlags = (State().sipOn ? SIPF_ON : SIPF_OFF) | SIPF_DOCKED;
    SHGetVisibleDesktop(&info->rcVisibleDesktop);
    int top = h - SHMenuBarHeight() - SipHeight();
    info->rcSipRect = RECT{0, top, w, top + SipHeight()};
    info->dwImDataSize = 0;
    info->pvImData = nullptr;
    return TRUE;
  }
  if (action == SPI_SETSIPINFO) {
    SetSip((info->fdwFlags & SIPF_ON) != 0);
    return TRUE;
  }
  return FALSE;
}

BOOL WINAPI SHDoneButton(HWND window, DWORD state) {
  if (state == SHDB_SHOW) State().doneOwner = window;
  else if (state == SHDB_HIDE && State().doneOwner == window) State().doneOwner = nullptr;
  RefreshNavBar();
  return TRUE;
}

BOOL WINAPI SHInitDialog(SHINITDLGINFO* info) {
  if (!info || !(info->dwMask & SHIDIM_FLAGS) || !IsWindow(info->hDlg)) return FALSE;
  HWND dialog = info->hDlg;
  if (info->dwFlags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIZEDLG)) {
    // Pocket PC dialogs have no caption or frame: the navigation bar shows their title.
    LONG style = GetWindowLongW(dialog, GWL_STYLE);
    style &= ~(WS_CAPTION | WS_THICKFRAME | WS_BORDER | WS_DLGFRAME | WS_SYSMENU);
    if (!(style & WS_CHILD)) style |= WS_POPUP;
    SetWindowLongW(dialog, GWL_STYLE, style);
    SetWindowLongW(dialog, GWL_EXSTYLE, GetWindowLongW(dialog, GWL_EXSTYLE) & ~(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE));
    RECT area;
    SHGetVisibleDesktop(&area);
    if (info->dwFlags & SHIDIF_SIZEDLGFULLSCREEN) area.bottom = GetSystemMetrics(SM_CYSCREEN);
    SetWindowPos(dialog, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_FRAMECHANGED);
  }
  if (info->dwFlags & SHIDIF_DONEBUTTON) SHDoneButton(dialog, SHDB_SHOW);
  if (info->dwFlags & SHIDIF_SIPDOWN) SHSipPreference(dialog, SIP_DOWN);
  return TRUE;
}

BOOL WINAPI SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM, SHACTIVATEINFO* info, DWORD) {
  if (!info) return FALSE;
  if (LOWORD(wParam) == WA_INACTIVE) {
    info->fSipOnDeactivation = State().sipOn;
    info->fActive = 0;
  } else {
    info->fActive = 1;
    SetSip(info->fSipOnDeactivation != 0);
  }
  RefreshNavBar();
  return TRUE;
}

BOOL WINAPI SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM, SHACTIVATEINFO* info) {
  if (wParam != SPI_SETSIPINFO || !IsWindow(window)) return FALSE;
  RECT area;
  SHGetVisibleDesktop(&area);
  // Resized in place: a window that is not the active one stays where it is behind the others.
  SetWindowPos(window, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  return TRUE;
}

BOOL WINAPI SHFullScreen(HWND window, DWORD state) {
  if (state & SHFS_HIDETASKBAR) {
    State().navHidden = true;
    if (State().navBar) ShowWindow(State().navBar, SW_HIDE);
  }
  if (state & SHFS_SHOWTASKBAR) {
    State().navHidden = false;
    if (State().navBar) ShowWindow(State().navBar, SW_SHOWNOACTIVATE);
  }
  return TRUE;
}

}  // extern "C"
