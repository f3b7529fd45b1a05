// CHTTPDownloadingDlg: the small "Downloading..." box that copies a web file to the device.
// The copy runs on a worker thread as soon as the box opens and moves the bar; "Cancel" asks
// first and then stops the copy between two pieces. Ends with IDOK when the file was stored,
// IDCANCEL when the copy was stopped or failed.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

#include "player/base/api_wnd.h"
#include "player/base/text16.h"

namespace crv {

enum class DownloadResult { kDone, kStopped, kFailed };

using DownloadProgress = std::function<void(int percent)>;

// Copies the web file at `address` to the full local path `path`. The file is read whole
// through the HTTP byte stream (so within its size limit) in pieces; `progress` is told the
// percentage read after each piece and `stop` is looked at between pieces. Only a complete
// file is written: into a temporary file in the destination's folder that then takes the
// destination's place.
// A destination that is not a plain writable file (a folder, a device, a link, a system or
// read-only file) is refused; on any failure or stop the destination stays as it was.
DownloadResult DownloadToFile(const u16& address, const u16& path, std::atomic<bool>& stop,
                              DownloadProgress progress);

// Where a download of `address` goes: `documentsFolder`, "\" and the address's download name;
// empty when the address leaves no safe name (the download is then refused).
u16 DownloadTargetPath(const u16& documentsFolder, const u16& address);
// The same for a picture: empty unless the name it is stored under is a picture's too (a
// query, a fragment or an escaped NUL after the name must not make "notes.txt?.jpg" replace
// "notes.txt").
u16 PictureTargetPath(const u16& documentsFolder, const u16& address);

class CHTTPDownloadingDlg : public ApiDialog {
 public:
  using Downloader =
      std::function<DownloadResult(const u16& address, const u16& path, std::atomic<bool>& stop, DownloadProgress)>;

  // `path`: the full local path of the file; `download` does the copy on the worker
  // (DownloadToFile unless a test gives its own).
  CHTTPDownloadingDlg(HWND parent, HINSTANCE instance, const u16& address, const u16& path,
                      Downloader download = DownloadToFile);
  ~CHTTPDownloadingDlg() override;

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // How the copy ended (kFailed until it has).
  DownloadResult Result() const { return result_; }

 private:
  void StartWorker();
  void StopWorker();
  void OnFinished(DownloadResult result);
  void OnCancel();
  void EndWithResult();

  u16 address_;
  u16 path_;
  Downloader download_;
  std::atomic<bool> stop_{false};
  std::thread worker_;
  DownloadResult result_ = DownloadResult::kFailed;
  bool asking_ = false;    // the stop question is on the screen
  bool finished_ = false;  // the worker's end has arrived
};

}  // namespace crv
