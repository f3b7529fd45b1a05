// CSelectFolderDlg: the full-screen dialog in which the user picks a folder of the device for
// "Open Folder..." and "Add Folder...". The folder tree is filled as branches open.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "player/base/api_wnd.h"
#include "player/base/text16.h"

namespace crv {

// "\" for the root; otherwise "\" and the names from the root's child down, joined with "\".
u16 FolderPathFromNames(const std::vector<u16>& namesBelowRoot);

class CSelectFolderDlg : public ApiDialog {
 public:
  CSelectFolderDlg(HWND parent, HINSTANCE instance);

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL OnNotify(int id, NMHDR* header, LRESULT* result) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // After DoModal returned 1: the chosen folder.
  const wchar_t* ResultPath() const { return resultPath_; }

 private:
  bool CreateTree();
  void PlaceTree();
  HTREEITEM InsertFolder(HTREEITEM parent, const wchar_t* text);
  void FillBranch(HTREEITEM item);
  void EmptyBranch(HTREEITEM item);
  u16 PathOf(HTREEITEM item) const;
  void TakeSelection();
  void OnScreenTurned();
  void OnDestroy();
  LRESULT OnControlColour(HDC dc);

  HWND menuBar_ = nullptr;
  HWND tree_ = nullptr;
  int closedIcon_ = 0;
  int openIcon_ = 0;
  HBRUSH background_ = nullptr;
  wchar_t resultPath_[MAX_PATH] = L"";
};

}  // namespace crv
