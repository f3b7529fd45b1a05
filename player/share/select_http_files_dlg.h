// CSelectHTTPFilesDlg: the choice among a web page's files, when "Open URL..." reached a page
// instead of a file. The list shows the page's media and picture links by name, in page order
// and with repeats. OK (or Return, or a double tap on a row) takes the selected row and does
// nothing while no row is selected; Cancel ends with IDCANCEL.
#pragma once
#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "player/base/api_wnd.h"
#include "player/base/text16.h"
#include "player/share/web_address.h"

namespace crv {

constexpr size_t kMaxChosenNameChars = 260;  // a name longer than a path can hold is cut

class CSelectHTTPFilesDlg : public ApiDialog {
 public:
  // `base`: the address the page's links are relative to (ends in "/"); `page`: the bytes read
  // from the page, its link tags already normalised.
  CSelectHTTPFilesDlg(HWND parent, HINSTANCE instance, const u16& base, const std::string& page);

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL OnNotify(int id, NMHDR* header, LRESULT* result) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // The rows, in page order.
  const std::vector<PageLink>& Links() const { return links_; }
  // After OK: the chosen row's name (at most kMaxChosenNameChars) and its link with the
  // canonical address; null before OK and after Cancel.
  const u16& Name() const { return name_; }
  const PageLink* Chosen() const { return chosen_ ? &*chosen_ : nullptr; }

 private:
  void FillList();
  void OnOk();
  void PlaceControls();

  std::vector<PageLink> links_;
  std::optional<PageLink> chosen_;
  u16 name_;
  HWND menuBar_ = nullptr;
  HWND list_ = nullptr;
};

}  // namespace crv
