#include "player/base/api_multipage_dialog.h"

#include <commctrl.h>
#include <prsht.h>

namespace crv {
namespace {

constexpr int kTabControlId = 0x3020;
#ifndef PSCB_GETVERSION
#define PSCB_GETVERSION 3  // the device sheet asks which page-control version we are
#endif

// Pages: WM_INITDIALOG binds the page object; the sheet's notifications become commands
// the page handles like any other.
INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* sheetPage = reinterpret_cast<PROPSHEETPAGEW*>(lParam);
    auto* object = reinterpret_cast<ApiDialog*>(sheetPage->lParam);
    object->Attach(page);
    return object->OnInitDialog();
  }
  if (message == WM_NOTIFY) {
    auto* object = reinterpret_cast<ApiDialog*>(GetWindowLongPtrW(page, GWLP_USERDATA));
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (object) {
      switch (header->code) {
        case PSN_SETACTIVE: SendMessageW(page, WM_COMMAND, kCmdPageActive, 0); break;
        case PSN_APPLY:
          SendMessageW(page, WM_COMMAND, IDOK, 0);
          SetWindowLongPtrW(page, DWLP_MSGRESULT, PSNRET_NOERROR);
          return TRUE;
        case PSN_QUERYCANCEL: SendMessageW(page, WM_COMMAND, IDCANCEL, 0); break;
        case PSN_HELP: SendMessageW(page, WM_COMMAND, kCmdHelp, 0); break;
      }
    }
  }
  return SharedDialogProc(page, message, wParam, lParam);
}

constexpr UINT kMsgCreatePages = WM_APP + 0x3F;

// Creates every page that is not created yet, so that each one takes part in OK, and
// returns to the page that was showing.
LRESULT CALLBACK CreatePagesSubclass(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
  if (message == kMsgCreatePages) {
    RemoveWindowSubclass(sheet, CreatePagesSubclass, id);
    HWND tabs = PropSheet_GetTabControl(sheet);
    int count = tabs ? TabCtrl_GetItemCount(tabs) : 0;
    int current = PropSheet_HwndToIndex(sheet, PropSheet_GetCurrentPageHwnd(sheet));
    for (int i = 0; i < count; ++i)
      if (!PropSheet_IndexToHwnd(sheet, i)) PropSheet_SetCurSel(sheet, nullptr, i);
    if (current >= 0) PropSheet_SetCurSel(sheet, nullptr, current);
    return 0;
  }
  return DefSubclassProc(sheet, message, wParam, lParam);
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM) {
  if (message == PSCB_INITIALIZED) {
    // Pages are marked to be created at once; where the sheet leaves that out, do it here.
    SetWindowSubclass(sheet, CreatePagesSubclass, 1, 0);
    PostMessageW(sheet, kMsgCreatePages, 0, 0);
    // The tabs go along the bottom, as on the device.
    HWND tabs = GetDlgItem(sheet, kTabControlId);
    if (tabs) {
      RECT client, tab;
      GetClientRect(sheet, &client);
      GetWindowRect(tabs, &tab);
      int h = tab.bottom - tab.top;
      SetWindowLongW(tabs, GWL_STYLE, GetWindowLongW(tabs, GWL_STYLE) | TCS_BOTTOM);
      SetWindowPos(tabs, nullptr, 0, client.bottom - h, client.right, h, SWP_NOZORDER);
    }
  }
  if (message == PSCB_GETVERSION) return 0x20C;
  return 0;
}

}  // namespace

ApiMultipageDialog::ApiMultipageDialog(HWND parent, HINSTANCE instance, const wchar_t* caption)
    : parent_(parent), instance_(instance), caption_(caption) {}

BOOL ApiMultipageDialog::DoModal() {
  std::vector<PROPSHEETPAGEW> pages(pages_.size());
  for (size_t i = 0; i < pages_.size(); ++i) {
    PROPSHEETPAGEW& p = pages[i];
    p = PROPSHEETPAGEW{};
    p.dwSize = sizeof p;
    p.dwFlags = PSP_PREMATURE;
    p.hInstance = instance_;
    p.pszTemplate = MAKEINTRESOURCEW(pages_[i]->TemplateId());
    p.pfnDlgProc = PageProc;
    p.lParam = reinterpret_cast<LPARAM>(pages_[i]);
  }
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK | PSH_NOAPPLYNOW;
  header.hwndParent = parent_;
  header.hInstance = instance_;
  header.pszCaption = caption_;
  header.nPages = static_cast<UINT>(pages.size());
  header.ppsp = pages.data();
  header.pfnCallback = SheetCallback;
  INT_PTR result = PropertySheetW(&header);
  if (parent_) SetForegroundWindow(parent_);
  return result > 0;
}

}  // namespace crv
