// A property sheet whose pages are framework dialogs.
#pragma once
#include <vector>

#include "player/base/api_wnd.h"

namespace crv {

class ApiMultipageDialog {
 public:
  ApiMultipageDialog(HWND parent, HINSTANCE instance, const wchar_t* caption = L"");
  virtual ~ApiMultipageDialog() = default;

  void AddPage(ApiDialog* page) { pages_.push_back(page); }
  // Runs the sheet maximised; true when it ended with OK. Every page is created at once.
  virtual BOOL DoModal();

 protected:
  HWND parent_;
  HINSTANCE instance_;
  const wchar_t* caption_;
  std::vector<ApiDialog*> pages_;  // owned by the caller
};

}  // namespace crv
