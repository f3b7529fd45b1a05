#include "player/app/select_folder_dlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include "platform/shell/aygshell.h"
#include "player/base/win16.h"
#include "player/resources/resource_ids.h"

namespace crv {
namespace {

// The shell's setting change for a turned screen (message 26 with this wParam).
constexpr WPARAM kScreenTurned = 12290;

u16 DeviceName() {
  HKEY key = nullptr;
  u16 name = u"My Device";
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Ident", 0, KEY_READ, &key) != ERROR_SUCCESS) return name;
  wchar_t buffer[32] = L"";  // 64 bytes
  DWORD size = sizeof buffer - sizeof(wchar_t), type = 0;
  if (RegQueryValueExW(key, L"Name", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS &&
      type == REG_SZ && buffer[0])
    name = U(buffer);
  RegCloseKey(key);
  return name;
}

}  // namespace

u16 FolderPathFromNames(const std::vector<u16>& namesBelowRoot) {
  if (namesBelowRoot.empty()) return u"\\";
  u16 path;
  for (const u16& name : namesBelowRoot) path += u"\\" + name;
  return path;
}

CSelectFolderDlg::CSelectFolderDlg(HWND parent, HINSTANCE instance)
    : ApiDialog(PickTemplate(IDD_SELECT_FOLDER_PORTRAIT, IDD_SELECT_FOLDER_LANDSCAPE, IDD_SELECT_FOLDER_SQUARE), parent,
                instance) {}

BOOL CSelectFolderDlg::OnInitDialog() {
  ApiDialog::OnInitDialog();
  InitDialogFullScreen(window_, SHIDIF_DONEBUTTON);
  SHMENUBARINFO bar{sizeof bar};
  bar.hwndParent = window_;
  bar.nToolBarId = IDR_SELECT_FOLDER_MENU;
  bar.hInstRes = instance_;
  menuBar_ = SHCreateMenuBar(&bar) ? bar.hwndMB : nullptr;
  if (!CreateTree()) {
    EndDialog(IDCANCEL);
    return TRUE;
  }
  HTREEITEM root = InsertFolder(TVI_ROOT, W(DeviceName().c_str()));
  TreeView_Expand(tree_, root, TVE_EXPAND);
  TreeView_SelectItem(tree_, root);
  HDC dc = GetDC(window_);
  background_ = static_cast<HBRUSH>(GetCurrentObject(dc, OBJ_BRUSH));
  ReleaseDC(window_, dc);
  SetBoldFont(IDC_FOLDER_HEADER);
  SetFocus(tree_);
  return FALSE;
}

bool CSelectFolderDlg::CreateTree() {
  tree_ = CreateWindowExW(0, WC_TREEVIEWW, L"Tree View Control",
                          WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES |
                              TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                          0, 0, 10, 10, window_, reinterpret_cast<HMENU>(IDC_FOLDER_TREE), instance_, nullptr);
  if (!tree_) return false;
  // The system's small icons: "\Windows" closed and open stands for every folder.
  SHFILEINFOW info{};
  const auto images = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"\\Windows", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  closedIcon_ = info.iIcon;
  SHGetFileInfoW(L"\\Windows", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON);
  openIcon_ = info.iIcon;
  if (images) TreeView_SetImageList(tree_, images, TVSIL_NORMAL);
  PlaceTree();
  return true;
}

// The tree fills the client area below the header label (or all of it without one).
void CSelectFolderDlg::PlaceTree() {
  RECT client;
  GetClientRect(window_, &client);
  int top = 0;
  if (HWND header = GetDlgItem(window_, IDC_FOLDER_HEADER)) {
    RECT r;
    GetWindowRect(header, &r);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
    top = r.bottom + 2;
  }
  MoveWindow(tree_, 0, top, client.right, client.bottom - top, TRUE);
}

HTREEITEM CSelectFolderDlg::InsertFolder(HTREEITEM parent, const wchar_t* text) {
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_SORT;
  insert.item.mask = TVIF_TEXT | TVIF_CHILDREN | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  insert.item.pszText = const_cast<wchar_t*>(text);
  insert.item.cChildren = 1;  // may be opened before its subfolders are known
  insert.item.iImage = closedIcon_;
  insert.item.iSelectedImage = openIcon_;
  return TreeView_InsertItem(tree_, &insert);
}

u16 CSelectFolderDlg::PathOf(HTREEITEM item) const {
  std::vector<u16> names;
  for (HTREEITEM at = item; at; at = TreeView_GetParent(tree_, at)) {
    if (!TreeView_GetParent(tree_, at)) break;  // the root adds only the leading "\"
    wchar_t text[MAX_PATH] = L"";
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = at;
    tv.pszText = text;
    tv.cchTextMax = MAX_PATH;
    TreeView_GetItem(tree_, &tv);
    names.insert(names.begin(), u16(U(text)));
  }
  return FolderPathFromNames(names);
}

void CSelectFolderDlg::FillBranch(HTREEITEM item) {
  u16 pattern = PathOf(item);
  if (pattern.back() != u'\\') pattern += u'\\';
  pattern += u"*.*";
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(W(pattern.c_str()), &found);
  if (search == INVALID_HANDLE_VALUE) return;  // a folder that cannot be listed stays empty
  do {
    const u16 name = U(found.cFileName);
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) ||
        name == u"." || name == u"..")
      continue;
    InsertFolder(item, found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

void CSelectFolderDlg::EmptyBranch(HTREEITEM item) {
  while (HTREEITEM child = TreeView_GetChild(tree_, item)) TreeView_DeleteItem(tree_, child);
}

BOOL CSelectFolderDlg::OnNotify(int id, NMHDR* header, LRESULT* result) {
  if (id != IDC_FOLDER_TREE || !header) return FALSE;
  auto* change = reinterpret_cast<NMTREEVIEWW*>(header);
  if (header->code == TVN_ITEMEXPANDINGW && change->action == TVE_EXPAND) {
    EmptyBranch(change->itemNew.hItem);
    FillBranch(change->itemNew.hItem);
  } else if (header->code == TVN_ITEMEXPANDEDW && change->action == TVE_COLLAPSE) {
    // Opening it again lists the folder afresh.
    EmptyBranch(change->itemNew.hItem);
    TVITEMW tv{};
    tv.mask = TVIF_CHILDREN;
    tv.hItem = change->itemNew.hItem;
    tv.cChildren = 1;
    TreeView_SetItem(tree_, &tv);
  }
  *result = 0;
  return FALSE;
}

void CSelectFolderDlg::TakeSelection() {
  HTREEITEM selected = TreeView_GetSelection(tree_);
  if (!selected) return;
  lstrcpynW(resultPath_, W(PathOf(selected).c_str()), MAX_PATH);
  EndDialog(IDOK);
}

BOOL CSelectFolderDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case IDOK: TakeSelection(); return TRUE;
    case IDCANCEL: EndDialog(IDCANCEL); return TRUE;
  }
  return ApiDialog::OnCommand(wParam, lParam);
}

void CSelectFolderDlg::OnScreenTurned() {
  // The shape's own template: the header is where that template puts it.
  templateId_ = static_cast<WORD>(PickTemplate(IDD_SELECT_FOLDER_PORTRAIT, IDD_SELECT_FOLDER_LANDSCAPE,
                                               IDD_SELECT_FOLDER_SQUARE));
  InitDialogFullScreen(window_, 0);
  if (tree_) PlaceTree();
}

LRESULT CSelectFolderDlg::OnControlColour(HDC dc) {
  SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHT));
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<LRESULT>(background_ ? background_ : GetSysColorBrush(COLOR_WINDOW));
}

void CSelectFolderDlg::OnDestroy() {
  background_ = nullptr;  // the display context's own brush: not ours to delete
  if (menuBar_) DestroyWindow(menuBar_);
  menuBar_ = nullptr;
  if (tree_) DestroyWindow(tree_);
  tree_ = nullptr;
}

LRESULT CSelectFolderDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTINGCHANGE:
      if (wParam == kScreenTurned) OnScreenTurned();
      break;
    case WM_SIZE:
      if (tree_) PlaceTree();
      break;
    case WM_CTLCOLORSTATIC: return OnControlColour(reinterpret_cast<HDC>(wParam));
    case WM_DESTROY: OnDestroy(); break;
  }
  return ApiDialog::WindowProc(message, wParam, lParam);
}

}  // namespace crv
