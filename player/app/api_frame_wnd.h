// Top-level window with a soft-key menu bar, the input panel's saved state and the
// recent-files menu.
#pragma once
#include "platform/shell/aygshell.h"
#include "player/base/api_wnd.h"
#include "player/app/recent_files.h"

namespace crv {

class ApiFrameWnd : public ApiWnd {
 public:
  ApiFrameWnd() = default;
  ~ApiFrameWnd() override;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnCreate(CREATESTRUCTW* create) override;
  virtual BOOL OnFrameNotify(int id, NMHDR* header, LRESULT* result) { return FALSE; }

  // Registers the class and creates the visible frame over the visible desktop.
  BOOL Create(HINSTANCE instance, const wchar_t* className, UINT resourceId);

  HWND MenuBar() const { return menuBar_; }
  // Replaces the soft-key bar with the one of `resourceId`.
  BOOL CreateMenuBar(UINT resourceId);

  // The recent-files list shown in `submenu` ("Recent files").
  RecentFiles& Recent() { return recent_; }
  void AttachRecentMenu(HMENU submenu) { recentMenu_ = submenu; }
  void RebuildRecentMenu();

 protected:
  HWND menuBar_ = nullptr;
  UINT resourceId_ = 0;
  SIPINFO sipInfo_{};
  wchar_t className_[64] = L"";
  RecentFiles recent_;
  HMENU recentMenu_ = nullptr;
};

// The "Recent files" item rebuild, for any menu (the frame's and the tests').
void FillRecentMenu(HMENU submenu, const RecentFiles& recent, HINSTANCE instance);

}  // namespace crv
