#include "player/share/select_http_files_dlg.h"

#include <commctrl.h>

#include "platform/shell/aygshell.h"
#include "player/base/win16.h"
#include "player/resources/resource_ids.h"

namespace crv {
namespace {

constexpr WPARAM kScreenTurned = 12290;  // the shell's setting change for a turned screen

}  // namespace

CSelectHTTPFilesDlg::CSelectHTTPFilesDlg(HWND parent, HINSTANCE instance, const u16& base, const std::string& page)
    : ApiDialog(PickTemplate(IDD_SELECT_FILES_PORTRAIT, IDD_SELECT_FILES_LANDSCAPE, IDD_SELECT_FILES_SQUARE), parent,
                instance),
      links_(ScanPageLinks(base, page)) {}

BOOL CSelectHTTPFilesDlg::OnInitDialog() {
  ApiDialog::OnInitDialog();
  InitDialogFullScreen(window_, 0);
  menuBar_ = CreateDialogMenuBar(window_, instance_, IDR_SELECT_FILES_MENU);
  list_ = GetDlgItem(window_, IDC_SELECT_FILES_LIST);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT);
  LVCOLUMNW column{LVCF_WIDTH};
  column.cx = 100;
  ListView_InsertColumn(list_, 0, &column);
  PlaceControls();
  FillList();
  return TRUE;
}

// One row per link, in the order of the links: a row's index is its link's.
void CSelectHTTPFilesDlg::FillList() {
  ListView_DeleteAllItems(list_);
  u16 mirror;  // the list's own text names its rows, for the scripts that look at the screen
  for (size_t i = 0; i < links_.size(); ++i) {
    LVITEMW item{LVIF_TEXT};
    item.iItem = static_cast<int>(i);
    item.pszText = const_cast<wchar_t*>(W(links_[i].name.c_str()));
    ListView_InsertItem(list_, &item);
    mirror += (i ? u"\n" : u"") + links_[i].name;
  }
  SetWindowTextW(list_, W(mirror.c_str()));
}

// Without a selected row there is nothing to take: the dialog stays.
void CSelectHTTPFilesDlg::OnOk() {
  const int row = list_ ? ListView_GetNextItem(list_, -1, LVNI_SELECTED) : -1;
  if (row < 0 || row >= static_cast<int>(links_.size())) return;
  chosen_ = links_[row];
  name_ = chosen_->name.substr(0, kMaxChosenNameChars);
  EndDialog(IDOK);
}

BOOL CSelectHTTPFilesDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case IDOK: OnOk(); return TRUE;
    case IDCANCEL:
    case kCmdClose: EndDialog(IDCANCEL); return TRUE;
  }
  return ApiDialog::OnCommand(wParam, lParam);
}

// Return in the list and a double tap on a row are OK.
BOOL CSelectHTTPFilesDlg::OnNotify(int id, NMHDR* header, LRESULT* result) {
  if (id != IDC_SELECT_FILES_LIST) return FALSE;
  switch (header->code) {
    case NM_RETURN: OnOk(); return TRUE;
    case NM_DBLCLK:
      if (reinterpret_cast<NMITEMACTIVATE*>(header)->iItem >= 0) OnOk();
      return TRUE;
  }
  *result = 0;
  return FALSE;
}

// The label and the list take the screen's width; the list fills the height below its label.
void CSelectHTTPFilesDlg::PlaceControls() {
  StretchDialogControls(window_, {IDC_SELECT_FILES_LABEL, IDC_SELECT_FILES_LIST}, IDC_SELECT_FILES_LIST);
}

LRESULT CSelectHTTPFilesDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTINGCHANGE:
      if (wParam == kScreenTurned) {
        templateId_ = static_cast<WORD>(
            PickTemplate(IDD_SELECT_FILES_PORTRAIT, IDD_SELECT_FILES_LANDSCAPE, IDD_SELECT_FILES_SQUARE));
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
