#include "player/share/http_open_dlg.h"

#include <commctrl.h>
#include <wininet.h>

#include "platform/shell/aygshell.h"
#include "player/base/win16.h"
#include "player/resources/resource_ids.h"
#include "player/share/web_address.h"

namespace crv {
namespace {

constexpr WPARAM kScreenTurned = 12290;  // the shell's setting change for a turned screen

}  // namespace

bool CanOpenAddress(const u16& address) {
  HINTERNET internet = InternetOpenW(L"Corvane Cinema", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!internet) return false;
  const DWORD flags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_UI |
                      INTERNET_FLAG_NO_CACHE_WRITE;
  HINTERNET opened = InternetOpenUrlW(internet, W(address.c_str()), nullptr, 0, flags, 0);
  const bool ok = opened != nullptr;
  if (opened) InternetCloseHandle(opened);
  InternetCloseHandle(internet);
  return ok;
}

bool FetchPageStart(const u16& address, std::string& page) {
  page.clear();
  HINTERNET internet = InternetOpenW(L"Corvane Cinema", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!internet) return false;
  const DWORD flags = INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_CACHE_WRITE |
                      INTERNET_FLAG_RELOAD;
  HINTERNET opened = InternetOpenUrlW(internet, W(address.c_str()), nullptr, 0, flags, 0);
  if (opened) {
    // Whatever the reply arrives in, only the first kPageBytes are kept and scanned.
    page.resize(kPageBytes);
    size_t have = 0;
    DWORD got = 0;
    while (have < kPageBytes &&
           InternetReadFile(opened, &page[have], static_cast<DWORD>(kPageBytes - have), &got) && got > 0)
      have += got;
    page.resize(have);
    InternetCloseHandle(opened);
  }
  InternetCloseHandle(internet);
  return !page.empty();
}

CHTTPOpenDlg::CHTTPOpenDlg(HWND parent, HINSTANCE instance, UrlHistoryStore& store,
                           std::function<bool(const u16&)> can_open)
    : ApiDialog(PickTemplate(IDD_OPEN_URL_PORTRAIT, IDD_OPEN_URL_LANDSCAPE, IDD_OPEN_URL_SQUARE), parent, instance),
      store_(store),
      canOpen_(std::move(can_open)) {}

BOOL CHTTPOpenDlg::OnInitDialog() {
  ApiDialog::OnInitDialog();
  InitDialogFullScreen(window_, 0);
  menuBar_ = CreateDialogMenuBar(window_, instance_, IDR_OPEN_URL_MENU);
  list_ = GetDlgItem(window_, IDC_OPEN_URL_HISTORY);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT);
  LVCOLUMNW column{LVCF_WIDTH};
  column.cx = 100;
  ListView_InsertColumn(list_, 0, &column);
  SendDlgItemMessageW(window_, IDC_OPEN_URL_ADDRESS, EM_LIMITTEXT, kMaxUrlChars, 0);
  SetDlgItemTextW(window_, IDC_OPEN_URL_ADDRESS, W(store_.last.c_str()));
  PlaceControls();
  FillHistory();
  return TRUE;
}

void CHTTPOpenDlg::FillHistory() {
  ListView_DeleteAllItems(list_);
  u16 mirror;  // the list's own text names its rows, for the scripts that look at the screen
  for (size_t i = 0; i < store_.history.size(); ++i) {
    LVITEMW item{LVIF_TEXT};
    item.iItem = static_cast<int>(i);
    item.pszText = const_cast<wchar_t*>(W(store_.history[i].c_str()));
    ListView_InsertItem(list_, &item);
    mirror += (i ? u"\n" : u"") + store_.history[i];
  }
  SetWindowTextW(list_, W(mirror.c_str()));
}

void CHTTPOpenDlg::OnHistoryRow(int row) {
  if (row < 0 || row >= static_cast<int>(store_.history.size())) return;
  SetDlgItemTextW(window_, IDC_OPEN_URL_ADDRESS, W(store_.history[row].c_str()));
}

// The address is tested (an "rtsp://" one is not), then remembered; an unreachable one keeps
// the dialog open.
void CHTTPOpenDlg::OnOk() {
  const int length = GetWindowTextLengthW(GetDlgItem(window_, IDC_OPEN_URL_ADDRESS));
  std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
  GetDlgItemTextW(window_, IDC_OPEN_URL_ADDRESS, text.data(), length + 1);
  const u16 address = U(text.data());
  if (!IsRtspAddress(address) && !(canOpen_ && canOpen_(address))) {
    MessageBoxW(window_, L"Can't connect to the specified URL", L"Connection Error", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  address_ = address;
  namesFile_ = PointsAtFile(address);
  store_.last = address;
  RememberUrl(store_.history, address);
  if (store_.save) store_.save(store_.last, store_.history);
  EndDialog(IDOK);
}

void CHTTPOpenDlg::OnClearHistory() {
  store_.history.clear();
  if (store_.clear) store_.clear();
  FillHistory();
}

BOOL CHTTPOpenDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case IDOK: OnOk(); return TRUE;
    case ID_CLEAR_HISTORY: OnClearHistory(); return TRUE;
    case IDCANCEL:
    case kCmdClose: EndDialog(IDCANCEL); return TRUE;
  }
  return ApiDialog::OnCommand(wParam, lParam);
}

// A tap or a new selection in the history copies the row; Return there is OK.
BOOL CHTTPOpenDlg::OnNotify(int id, NMHDR* header, LRESULT* result) {
  if (id != IDC_OPEN_URL_HISTORY) return FALSE;
  switch (header->code) {
    case NM_CLICK: OnHistoryRow(reinterpret_cast<NMITEMACTIVATE*>(header)->iItem); return TRUE;
    case LVN_ITEMCHANGED: {
      const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
      if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED)) OnHistoryRow(change->iItem);
      return TRUE;
    }
    case NM_RETURN: OnOk(); return TRUE;
  }
  *result = 0;
  return FALSE;
}

// The edit and the history take the screen's width; the history fills the height below its label.
void CHTTPOpenDlg::PlaceControls() {
  StretchDialogControls(
      window_, {IDC_OPEN_URL_LABEL, IDC_OPEN_URL_ADDRESS, IDC_OPEN_URL_HISTORY_LABEL, IDC_OPEN_URL_HISTORY},
      IDC_OPEN_URL_HISTORY);
}

LRESULT CHTTPOpenDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTINGCHANGE:
      if (wParam == kScreenTurned) {
        templateId_ = static_cast<WORD>(PickTemplate(IDD_OPEN_URL_PORTRAIT, IDD_OPEN_URL_LANDSCAPE, IDD_OPEN_URL_SQUARE));
        InitDialogFullScreen(window_, 0);
        FitDialogAboveMenuBar(window_, menuBar_);
      }
      break;
    case WM_SIZE:
      if (list_) PlaceControls();
      break;
    case WM_DESTROY:
      if (menuBar_) DestroyWindow(menuBar_);
      menuBar_ = nullptr;
      break;
  }
  return ApiDialog::WindowProc(message, wParam, lParam);
}

}  // namespace crv
