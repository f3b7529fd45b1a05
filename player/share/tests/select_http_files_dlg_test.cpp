// The file list of a web page on real windows: the page's media and picture links by name in
// page order with repeats; OK without a selection keeps the dialog, with one it gives the row's
// name and canonical address; Return in the list is OK; a long name is cut; Cancel.
#include "player/share/select_http_files_dlg.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <functional>
#include <string>

#include "player/resources/resource_ids.h"

using namespace crv;

namespace {

HINSTANCE Self() { return GetModuleHandleW(nullptr); }

HWND Owner() {
  static HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 240, 320,
                                      nullptr, nullptr, Self(), nullptr);
  return owner;
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = L"";
  GetWindowTextW(window, text, 1024);
  return text;
}

std::wstring RowText(HWND list, int row) {
  wchar_t text[512] = L"";
  ListView_GetItemText(list, row, 0, text, 512);
  return text;
}

void SelectRow(HWND list, int row) {
  ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// Runs the dialog; `step` is called every 20 ms with the dialog's window until it returns false.
class ScriptedSelect : public CSelectHTTPFilesDlg {
 public:
  ScriptedSelect(const u16& base, const std::string& page, std::function<bool(HWND)> step)
      : CSelectHTTPFilesDlg(Owner(), Self(), base, page), step_(std::move(step)) {}
  BOOL OnInitDialog() override {
    ShowWindow(window_, SW_SHOW);  // (showing later can take seconds without a window manager)
    const BOOL result = CSelectHTTPFilesDlg::OnInitDialog();
    SetTimer(window_, 77, 20, nullptr);
    return result;
  }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_TIMER && wParam == 77 && !step_(window_)) KillTimer(window_, 77);
    return CSelectHTTPFilesDlg::WindowProc(message, wParam, lParam);
  }

 private:
  std::function<bool(HWND)> step_;
};

// Capital tags, a repeat, links to other kinds, a ".." and an escape, and a last link
// without its end.
std::string MixedPage() {
  std::string page =
      "<html><body><A HREF=\"clip.avi\">Clip</A>\n"
      "<a href=\"notes.txt\">notes</a>\n"
      "<a HREF=\"pics/Sea%20View.JPG\">picture</a>\n"
      "<a href=\"clip.avi\">the clip again</a>\n"
      "<a href=\"index.html\">home</a>\n"
      "<A href=\"../music/song.mp3\">song</a>\n"
      "<a href=\"tail.wmv";
  NormaliseLinkTags(page);
  return page;
}

}  // namespace

TEST(SelectFilesDialog, ListsThePageLinksAndTakesTheSelectedRowOnlyOnOk) {
  std::wstring mirror, second_row;
  int rows = -1, step = 0;
  bool stayed_without_selection = false;
  ScriptedSelect dialog(u"http://host/media/", MixedPage(), [&](HWND window) {
    HWND list = GetDlgItem(window, IDC_SELECT_FILES_LIST);
    switch (step++) {
      case 0:
        mirror = TextOf(list);
        rows = ListView_GetItemCount(list);
        second_row = RowText(list, 1);
        PostMessageW(window, WM_COMMAND, IDOK, 0);
        return true;
      case 1:
        stayed_without_selection = true;  // the timer still runs: OK left the dialog open
        SelectRow(list, 1);
        PostMessageW(window, WM_COMMAND, IDOK, 0);
        return false;
    }
    return false;
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(mirror, L"clip.avi\nSea View.JPG\nclip.avi\nsong.mp3");
  EXPECT_EQ(rows, 4);
  EXPECT_EQ(second_row, L"Sea View.JPG");
  EXPECT_TRUE(stayed_without_selection);
  EXPECT_EQ(dialog.Name(), u"Sea View.JPG");
  ASSERT_NE(dialog.Chosen(), nullptr);
  EXPECT_EQ(dialog.Chosen()->address, u"http://host/media/pics/Sea View.JPG");
}

TEST(SelectFilesDialog, ReturnInTheListIsOkAndALongNameIsCut) {
  const std::string stem(300, 'n');
  std::string page = "<a href=\"a.avi\">a</a><a href=\"dir/" + stem + ".avi\">long</a>";
  int step = 0;
  ScriptedSelect dialog(u"http://h/", page, [&](HWND window) {
    HWND list = GetDlgItem(window, IDC_SELECT_FILES_LIST);
    if (step++ == 0) {
      SelectRow(list, 1);
      SendMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
      return true;
    }
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);  // Return did not end it: the test ends
    return false;
  });
  ASSERT_EQ(dialog.DoModal(), IDOK);
  ASSERT_NE(dialog.Chosen(), nullptr);
  EXPECT_EQ(dialog.Chosen()->name.size(), 304u) << "the link keeps its whole name";
  EXPECT_EQ(dialog.Name(), u16(stem.begin(), stem.begin() + kMaxChosenNameChars));
  EXPECT_EQ(dialog.Chosen()->address, u"http://h/dir/" + u16(stem.begin(), stem.end()) + u".avi");
}

TEST(SelectFilesDialog, CancelChoosesNothingEvenWithARowSelected) {
  ScriptedSelect dialog(u"http://host/media/", MixedPage(), [&](HWND window) {
    SelectRow(GetDlgItem(window, IDC_SELECT_FILES_LIST), 0);
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return false;
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.Chosen(), nullptr);
  EXPECT_TRUE(dialog.Name().empty());
}
