#include "player/pictures/reorder_thumb_dlg.h"

#include <algorithm>

#include "platform/shell/aygshell.h"
#include "player/base/win16.h"
#include "player/resources/resource_ids.h"

namespace crv {

namespace {

// Dialog-unit-free spacing of the full-screen layout, in pixels.
constexpr int kMargin = 4;

int HeightOf(HWND control) {
  RECT r;
  return control && GetWindowRect(control, &r) ? r.bottom - r.top : 0;
}

}  // namespace

CReorderThumbDlg::CReorderThumbDlg(PictureAlbum& album, HWND parent, HINSTANCE instance)
    : ApiDialog(PickTemplate(IDD_REORDER_PORTRAIT, IDD_REORDER_LANDSCAPE, IDD_REORDER_SQUARE), parent, instance),
      album_(album),
      order_(album) {}

BOOL CReorderThumbDlg::OnInitDialog() {
  ApiDialog::OnInitDialog();
  list_ = GetDlgItem(window_, IDC_REORDER_LIST);
  InitDialogFullScreen(window_, SHIDIF_DONEBUTTON | SHIDIF_SIPDOWN);
  SHMENUBARINFO bar{sizeof bar};
  bar.hwndParent = window_;
  bar.nToolBarId = IDR_REORDER_MENU;
  bar.hInstRes = instance_;
  menuBar_ = SHCreateMenuBar(&bar) ? bar.hwndMB : nullptr;
  FillList(-1);
  UpdateButtons();
  PlaceControls();
  return TRUE;
}

LRESULT CReorderThumbDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE: PlaceControls(); break;
  }
  return ApiDialog::WindowProc(message, wParam, lParam);
}

BOOL CReorderThumbDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case IDOK: Finish(); EndDialog(IDOK); return TRUE;
    case IDC_REORDER_UP: MoveSelected(true); return TRUE;
    case IDC_REORDER_DOWN: MoveSelected(false); return TRUE;
    case ID_SORT_BY_NAME: SortBy(kAlbumSortByName); return TRUE;
    case ID_SORT_BY_TIME: SortBy(kAlbumSortByTime); return TRUE;
    case ID_SORT_BY_SIZE: SortBy(kAlbumSortBySize); return TRUE;
    case IDC_REORDER_LIST:
      if (HIWORD(wParam) == LBN_SELCHANGE) UpdateButtons();
      return TRUE;
  }
  return ApiDialog::OnCommand(wParam, lParam);  // Cancel and close leave the album as it was
}

BOOL CReorderThumbDlg::OnInitMenuPopup(HMENU menu) {
  const UINT state = MF_BYCOMMAND | (Selected() >= 0 ? MF_ENABLED : MF_GRAYED);
  EnableMenuItem(menu, IDC_REORDER_UP, state);
  EnableMenuItem(menu, IDC_REORDER_DOWN, state);
  return TRUE;
}

void CReorderThumbDlg::FillList(int32_t select) {
  if (!list_) return;
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  for (int32_t i = 0; i < order_.Count(); ++i)
    SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(order_.Name(i).c_str())));
  SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(select), 0);
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

// The selected entry trades places with its neighbour, in the copy and in the list, and stays
// selected; at the ends the information beep.
void CReorderThumbDlg::MoveSelected(bool up) {
  const int32_t selected = Selected();
  if (selected < 0) return;
  const int32_t moved = up ? order_.MoveUp(selected) : order_.MoveDown(selected);
  if (moved < 0) {
    MessageBeep(MB_ICONASTERISK);
    return;
  }
  SendMessageW(list_, LB_DELETESTRING, static_cast<WPARAM>(selected), 0);
  SendMessageW(list_, LB_INSERTSTRING, static_cast<WPARAM>(moved), reinterpret_cast<LPARAM>(W(order_.Name(moved).c_str())));
  SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(moved), 0);
}

void CReorderThumbDlg::SortBy(int32_t kind) {
  const AlbumItem* selected = order_.Entry(Selected());
  order_.Sort(kind);
  FillList(order_.IndexOf(selected));
  UpdateButtons();
}

void CReorderThumbDlg::UpdateButtons() {
  const BOOL enable = Selected() >= 0;
  EnableWindow(GetDlgItem(window_, IDC_REORDER_UP), enable);
  EnableWindow(GetDlgItem(window_, IDC_REORDER_DOWN), enable);
}

// The title keeps its place; the list fills the screen down to the buttons, which sit side
// by side above the soft keys.
void CReorderThumbDlg::PlaceControls() {
  if (!list_) return;
  RECT client;
  GetClientRect(window_, &client);
  HWND title = GetDlgItem(window_, kTitleLabelId);
  HWND up = GetDlgItem(window_, IDC_REORDER_UP);
  HWND down = GetDlgItem(window_, IDC_REORDER_DOWN);
  const int bottom = client.bottom - (menuBar_ ? SHMenuBarHeight() : 0) - kMargin;
  const int buttonHeight = std::max(HeightOf(up), 1);
  const int buttonTop = bottom - buttonHeight;
  const int width = client.right - 2 * kMargin;
  const int half = (width - kMargin) / 2;
  int top = kMargin;
  if (title) {
    RECT r;
    GetWindowRect(title, &r);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
    top = r.bottom + kMargin;
  }
  MoveWindow(list_, kMargin, top, width, std::max(buttonTop - kMargin - top, 0), TRUE);
  if (up) MoveWindow(up, kMargin, buttonTop, half, buttonHeight, TRUE);
  if (down) MoveWindow(down, 2 * kMargin + half, buttonTop, width - half - kMargin, buttonHeight, TRUE);
}

void CReorderThumbDlg::Finish() {
  if (!order_.ApplyTo(album_)) MessageBeep(MB_ICONHAND);  // the album changed meanwhile
}

int32_t CReorderThumbDlg::Selected() const {
  if (!list_) return -1;
  const LRESULT selected = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  return selected == LB_ERR ? -1 : static_cast<int32_t>(selected);
}

}  // namespace crv
