// CHTTPOpenDlg: the address dialog of "Open URL...". The address edit starts with the last
// address; below it the history, one address per row (a tap copies it into the edit, Return in
// the list is OK). OK tests that the address can be opened (not for "rtsp://"), remembers it
// as the last address and at the top of the history, and ends with IDOK; "Clear History"
// empties the history at once. What is stored where is the caller's (the settings).
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "player/base/api_wnd.h"
#include "player/base/text16.h"

namespace crv {

// The dialog's view of the stored addresses.
struct UrlHistoryStore {
  u16 last;                  // the last address opened
  std::vector<u16> history;  // newest first
  // Writes the last address and the whole history after an OK.
  std::function<void(const u16& last, const std::vector<u16>& history)> save;
  // Deletes the stored history ("Clear History").
  std::function<void()> clear;
};

// Whether an address can be opened: a session named after the program opens it (without the
// cache) and closes it again.
bool CanOpenAddress(const u16& address);
// The start of a web page: up to kPageBytes bytes of what the address answers. False when it
// cannot be opened or nothing arrives.
bool FetchPageStart(const u16& address, std::string& page);

class CHTTPOpenDlg : public ApiDialog {
 public:
  // `can_open` tests an address on OK (CanOpenAddress unless a test gives its own).
  CHTTPOpenDlg(HWND parent, HINSTANCE instance, UrlHistoryStore& store,
               std::function<bool(const u16&)> can_open = CanOpenAddress);

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL OnNotify(int id, NMHDR* header, LRESULT* result) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // After OK: the address, and whether it names a media or picture file.
  const u16& Address() const { return address_; }
  bool NamesFile() const { return namesFile_; }

 private:
  void FillHistory();
  void OnHistoryRow(int row);
  void OnOk();
  void OnClearHistory();
  void PlaceControls();

  UrlHistoryStore& store_;
  std::function<bool(const u16&)> canOpen_;
  u16 address_;
  bool namesFile_ = false;
  HWND menuBar_ = nullptr;
  HWND list_ = nullptr;
};

}  // namespace crv
