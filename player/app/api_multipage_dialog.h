// A property sheet whose pages are framework dialogs.
#pragma once
#include <vector>

#include "player/app/api_wnd.h"

namespace crv {

class ApiMultipageDialog {
 public:
  ApiMultipageDialog(HWND parent, HINSTANCE instance, const wchar_t* caption = L"");
  virtual ~ApiMultipageDialog() = default;

  void AddPage(ApiDialog* page) { m_pages.push_back(page); }
  // Runs the sheet maximised; true when it ended with OK. Every page is created at once.
  virtual BOOL DoModal();

 protected:
  HWND m_parent;
  HINSTANCE m_instance;
  const wchar_t* m_caption;
  std::vector<ApiDialog*> m_pages;  // owned by the caller
};

}  // namespace crv
