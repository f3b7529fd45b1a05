// The player's one top-level window. It owns the options record, the soft-key bar of
// the current view and the recent-files list, and takes files handed over by a second
// start of the program.
#pragma once
#include "player/app/api_frame_wnd.h"
#include "player/app/settings.h"

namespace crv {

class FrameWnd : public ApiFrameWnd {
 public:
  // Loads all options; a non-empty command line becomes the current path.
  FrameWnd(SettingsStore& store, const wchar_t* commandLine);
  ~FrameWnd() override;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnCreate(CREATESTRUCTW* create) override;
  BOOL OnInitMenuPopup(HMENU menu) override;
  // 1 enable, 0 gray, -1 leave as it is.
  virtual int GetCommandState(UINT id);

  Options& CurrentOptions() { return options_; }
  const wchar_t* CurrentPath() const { return reinterpret_cast<const wchar_t*>(options_.FileName); }

 private:
  void TakeHandOver(UINT message);
  void OpenRecent(size_t index);
  void Paint();

  SettingsStore& store_;
  Options options_;
  UINT lastHandOver_ = 0;  // message of the last hand-over taken
};

// Start-up and shutdown of the player process; returns the exit code.
int RunPlayer(HINSTANCE instance, const wchar_t* commandLine);

}  // namespace crv
