#include "player/base/api_wnd.h"

#include <commctrl.h>

#include "platform/shell/aygshell.h"

namespace crv {
namespace {

ApiWnd* ObjectOf(HWND window) { return reinterpret_cast<ApiWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

bool IsClass(HWND control, const wchar_t* name) {
  wchar_t cls[32];
  return GetClassNameW(control, cls, 32) && lstrcmpiW(cls, name) == 0;
}

// An editable text field gets the input panel while it has the focus.
void FollowFocusWithSip(HWND owner, WPARAM wParam, LPARAM lParam) {
  HWND control = reinterpret_cast<HWND>(lParam);
  WORD code = HIWORD(wParam);
  bool gained, lost;
  if (IsClass(control, L"combobox")) {
    gained = code == CBN_SETFOCUS;
    lost = code == CBN_KILLFOCUS;
  } else if (IsClass(control, L"Edit")) {
    gained = code == EN_SETFOCUS;
    lost = code == EN_KILLFOCUS;
  } else {
    return;
  }
  if (!(gained || lost) || !IsWindow(control) || !IsWindowEnabled(control)) return;
  LONG style = GetWindowLongW(control, GWL_STYLE);
  bool editable = IsClass(control, L"combobox") ? (style & 3) != CBS_DROPDOWNLIST : !(style & ES_READONLY);
  if (!editable) return;
  SHSipPreference(owner, gained ? SIP_UP : SIP_DOWN);
}

}  // namespace

LRESULT CALLBACK SharedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    ApiWnd* object = static_cast<ApiWnd*>(create->lpCreateParams);
    if (!object) return DefWindowProcW(window, message, wParam, lParam);
    object->Attach(window);
    return object->OnCreate(create);
  }
  if (ApiWnd* object = ObjectOf(window)) return object->WindowProc(message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

INT_PTR CALLBACK SharedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ApiWnd* object = reinterpret_cast<ApiWnd*>(lParam);
    if (!object) return FALSE;
    object->Attach(dialog);
    return object->OnInitDialog();
  }
  ApiWnd* object = ObjectOf(dialog);
  if (!object) return FALSE;
  LRESULT result = object->WindowProc(message, wParam, lParam);
  // Dialog procedures return their results through DWLP_MSGRESULT, except for the
  // messages that return values directly.
  switch (message) {
    case WM_CTLCOLORSTATIC: case WM_CTLCOLOREDIT: case WM_CTLCOLORBTN: case WM_CTLCOLORDLG:
    case WM_CTLCOLORLISTBOX: case WM_CTLCOLORSCROLLBAR: case WM_COMPAREITEM: case WM_VKEYTOITEM:
    case WM_CHARTOITEM: case WM_QUERYDRAGICON:
      return result;
  }
  if (result) SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
  return result != 0;
}

void ApiWnd::Attach(HWND window) {
  window_ = window;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

LRESULT ApiWnd::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (prevProc_) return CallWindowProcW(prevProc_, window_, message, wParam, lParam);
  if (isDialog_) return 0;
  return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT ApiWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (lParam) FollowFocusWithSip(window_, wParam, lParam);
      if (OnCommand(wParam, lParam)) return 0;
      break;
    case WM_NOTIFY: {
      LRESULT result = 0;
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (OnNotify(static_cast<int>(wParam), header, &result)) return result;
      break;
    }
    case WM_INITMENUPOPUP:
      OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
      return 0;
    case WM_CLOSE:
      SHSipPreference(window_, SIP_DOWN);
      break;
    case WM_DESTROY: {
      if (boldFont_) {
        DeleteObject(boldFont_);
        boldFont_ = nullptr;
      }
      LRESULT result = DefaultProc(message, wParam, lParam);
      SendMessageW(window_, kMsgFinal, 0, 0);
      return result;
    }
    case kMsgFinal: {
      HWND window = window_;
      if (prevProc_) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prevProc_));
        prevProc_ = nullptr;
      }
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      OnFinalMessage();  // may delete this object
      return 0;
    }
  }
  return DefaultProc(message, wParam, lParam);
}

BOOL ApiWnd::SubclassDlgItem(int id, HWND dialog) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) return FALSE;
  window_ = control;
  prevProc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control, GWLP_WNDPROC));
  SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SharedWindowProc));
  return TRUE;
}

ApiWnd::~ApiWnd() {
  if (boldFont_) DeleteObject(boldFont_);
}

BOOL ApiWnd::Create(const wchar_t* className, DWORD style, const RECT* rect, HWND parent, UINT id,
                    HINSTANCE instance) {
  instance_ = instance;
  int x = CW_USEDEFAULT, y = CW_USEDEFAULT, w = CW_USEDEFAULT, h = CW_USEDEFAULT;
  if (rect) {
    x = rect->left;
    y = rect->top;
    w = rect->right - rect->left;
    h = rect->bottom - rect->top;
  }
  HWND window = CreateWindowExW(0, className, nullptr, style, x, y, w, h, parent,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, this);
  if (!window) return FALSE;
  if (window_ != window) {
    // A class of its own procedure: attach by subclassing.
    prevProc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    Attach(window);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SharedWindowProc));
    OnCreate(nullptr);
  }
  return TRUE;
}

void ApiWnd::SetBoldFont(int controlId) {
  if (!boldFont_) {
    LOGFONTW font{};
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof font, &font);
    font.lfWeight = FW_BOLD;
    boldFont_ = CreateFontIndirectW(&font);
  }
  SendDlgItemMessageW(window_, controlId, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_), TRUE);
}

ApiDialog::ApiDialog(UINT templateId, HWND parent, HINSTANCE instance)
    : parent_(parent), templateId_(static_cast<WORD>(templateId)) {
  isDialog_ = TRUE;
  instance_ = instance;
}

INT_PTR ApiDialog::DoModal() {
  modeless_ = FALSE;
  HRSRC found = FindResourceW(instance_, MAKEINTRESOURCEW(templateId_), RT_DIALOG);
  if (!found) return -1;
  auto* dlgTemplate = static_cast<DLGTEMPLATE*>(LockResource(LoadResource(instance_, found)));
  if (!dlgTemplate) return -1;
  return DialogBoxIndirectParamW(instance_, dlgTemplate, parent_, SharedDialogProc,
                                 reinterpret_cast<LPARAM>(this));
}

HWND ApiDialog::CreateModeless() {
  modeless_ = TRUE;
  return CreateDialogParamW(instance_, MAKEINTRESOURCEW(templateId_), parent_, SharedDialogProc,
                            reinterpret_cast<LPARAM>(this));
}

void ApiDialog::EndDialog(INT_PTR result) {
  if (modeless_) DestroyWindow(window_);
  else ::EndDialog(window_, result);
}

LRESULT ApiDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    EndDialog(IDCANCEL);
    return 0;
  }
  if (message == WM_CTLCOLORSTATIC && titleLabel_ && reinterpret_cast<HWND>(lParam) == titleLabel_) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, RGB(0, 0, 255));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  }
  return ApiWnd::WindowProc(message, wParam, lParam);
}

BOOL ApiDialog::OnCommand(WPARAM wParam, LPARAM) {
  WORD id = LOWORD(wParam);
  if (id == IDOK || id == IDCANCEL || id == kCmdClose) {
    EndDialog(id);
    return TRUE;
  }
  return FALSE;
}

BOOL ApiDialog::OnInitDialog() {
  titleLabel_ = GetDlgItem(window_, kTitleLabelId);
  return TRUE;
}

void ApiDialog::OnFinalMessage() {
  if (modeless_) delete this;
}

UINT PickTemplate(UINT portrait, UINT landscape, UINT square) {
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  return h > w ? portrait : w > h ? landscape : square;
}

BOOL InitDialogFullScreen(HWND dialog, DWORD flags) {
  SHINITDLGINFO info{SHIDIM_FLAGS, dialog, flags | SHIDIF_SIZEDLGFULLSCREEN};
  return SHInitDialog(&info);
}

void FitDialogAboveMenuBar(HWND dialog, HWND menuBar) {
  if (!menuBar) return;
  RECT bar, area;
  GetWindowRect(menuBar, &bar);
  GetWindowRect(dialog, &area);
  if (bar.top > area.top && area.bottom > bar.top)
    SetWindowPos(dialog, nullptr, 0, 0, area.right - area.left, bar.top - area.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(menuBar, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void StretchDialogControls(HWND dialog, std::initializer_list<int> ids, int filler) {
  RECT client;
  GetClientRect(dialog, &client);
  for (int id : ids) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) continue;
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    const int margin = r.left > 0 ? r.left : 0;
    const int bottom = id == filler ? client.bottom - margin : r.bottom;
    MoveWindow(control, margin, r.top, client.right - 2 * margin, bottom - r.top, TRUE);
    wchar_t kind[32] = L"";
    RECT inside{};
    if (GetClassNameW(control, kind, 32) && lstrcmpiW(kind, WC_LISTVIEWW) == 0 && GetClientRect(control, &inside)) {
      const int width = inside.right - GetSystemMetrics(SM_CXVSCROLL);
      ListView_SetColumnWidth(control, 0, width > 16 ? width : 16);
    }
  }
}

HWND CreateDialogMenuBar(HWND dialog, HINSTANCE instance, UINT id) {
  SHMENUBARINFO bar{sizeof bar};
  bar.hwndParent = dialog;
  bar.nToolBarId = id;
  bar.hInstRes = instance;
  HWND menuBar = SHCreateMenuBar(&bar) ? bar.hwndMB : nullptr;
  FitDialogAboveMenuBar(dialog, menuBar);
  return menuBar;
}

}  // namespace crv
