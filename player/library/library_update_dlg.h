// CMediaLibraryUpdateDlg: the modal dialog of "Update Library...". It loads the library, runs
// the update (library_update.h) on a worker thread as soon as it opens and shows its
// progress; "Cancel" stops the work and leaves the library file as it was, "Done" (the same
// soft key once the work has ended) saves the library. Ends with 1 after "Done", 2 after
// "Cancel".
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>

#include "player/base/api_wnd.h"
#include "player/base/text16.h"
#include "player/base/worker_thread.h"
#include "player/library/library_update.h"
#include "player/library/media_library.h"

namespace crv {

class CMediaLibraryUpdateDlg : public ApiDialog {
 public:
  // `program_folder`: the folder of the library file.
  CMediaLibraryUpdateDlg(HWND parent, HINSTANCE instance, const u16& program_folder);
  ~CMediaLibraryUpdateDlg() override;

  // Where the search starts ("\" on the device) and the system folder it leaves out (the
  // shell's Windows folder); for tests that look at a folder as the device.
  void SetSearch(const u16& root, const u16& windows_folder);

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 protected:
  // Stops the work and waits for its thread (at once: the work looks at its state between
  // two files or folders). "Cancel" does this before it ends the dialog.
  void StopWork();
  // Called on the work's thread after each counter text it shows (tests hold the work here).
  virtual void OnCounterShown(const u16& /*text*/) {}

 private:
  class Progress;
  static DWORD Work(WorkerThread* thread, void* self);

  void OnTexts();
  void OnBar();
  void OnWorkEnded();
  void OnCancel();
  void OnDone();
  void PlaceControls();
  void SetCancelKeyToDone();

  u16 program_folder_;
  u16 root_ = u"\\";
  u16 windows_folder_;
  CMediaLibrary library_;
  std::unique_ptr<Progress> progress_;
  std::unique_ptr<LibraryUpdate> update_;
  WorkerThread worker_;
  CRITICAL_SECTION lock_;  // the texts below, written by the worker
  u16 counter_, phase_;
  u16 shownCounter_, shownPhase_;  // on the screen (the dialog's thread only)
  std::atomic<int> bar_range_{0}, bar_position_{0};
  std::atomic<bool> texts_pending_{false}, bar_pending_{false};
  HWND menuBar_ = nullptr;
  bool ended_ = false;
};

}  // namespace crv
