// The address dialog of "Open URL..." on real windows: the last address and the history on
// opening, a tap on a history row, "Clear History", OK remembering the address at the top, an
// unreachable address keeping the dialog open with its message; and the connection test
// against a server on loopback.
#include "player/share/http_open_dlg.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <functional>

#include "player/media/tests/fault_http_server.h"
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
  wchar_t text[512] = L"";
  GetWindowTextW(window, text, 512);
  return text;
}

// Runs the dialog; `step` is called every 20 ms with the dialog's window until it returns false.
class ScriptedOpen : public CHTTPOpenDlg {
 public:
  ScriptedOpen(UrlHistoryStore& store, std::function<bool(const u16&)> can_open, std::function<bool(HWND)> step)
      : CHTTPOpenDlg(Owner(), Self(), store, std::move(can_open)), step_(std::move(step)) {}
  BOOL OnInitDialog() override {
    ShowWindow(window_, SW_SHOW);  // (showing later can take seconds without a window manager)
    const BOOL result = CHTTPOpenDlg::OnInitDialog();
    SetTimer(window_, 77, 20, nullptr);
    return result;
  }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_TIMER && wParam == 77 && !step_(window_)) KillTimer(window_, 77);
    return CHTTPOpenDlg::WindowProc(message, wParam, lParam);
  }

 private:
  std::function<bool(HWND)> step_;
};

void TapRow(HWND list, int row) {
  RECT rect;
  ListView_GetItemRect(list, row, &rect, LVIR_LABEL);
  const LPARAM at = MAKELPARAM(rect.left + 4, (rect.top + rect.bottom) / 2);
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(list, WM_LBUTTONUP, 0, at);
}

}  // namespace

TEST(OpenUrlDialog, HistoryRowsFillTheAddressAndClearHistoryEmptiesIt) {
  UrlHistoryStore store;
  store.last = u"http://last/a.avi";
  store.history = {u"http://one/", u"http://two/b.jpg"};
  int clears = 0, saves = 0;
  store.clear = [&] { ++clears; };
  store.save = [&](const u16&, const std::vector<u16>&) { ++saves; };
  std::wstring first_address, rows, tapped, rows_after_clear;
  ScriptedOpen dialog(store, nullptr, [&](HWND window) {
    HWND list = GetDlgItem(window, IDC_OPEN_URL_HISTORY);
    first_address = TextOf(GetDlgItem(window, IDC_OPEN_URL_ADDRESS));
    rows = TextOf(list);
    TapRow(list, 1);
    tapped = TextOf(GetDlgItem(window, IDC_OPEN_URL_ADDRESS));
    SendMessageW(window, WM_COMMAND, ID_CLEAR_HISTORY, 0);
    rows_after_clear = TextOf(list) + L"|" + std::to_wstring(ListView_GetItemCount(list));
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return false;
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(first_address, L"http://last/a.avi");
  EXPECT_EQ(rows, L"http://one/\nhttp://two/b.jpg");
  EXPECT_EQ(tapped, L"http://two/b.jpg");
  EXPECT_EQ(rows_after_clear, L"|0");
  EXPECT_EQ(clears, 1);
  EXPECT_EQ(saves, 0) << "Cancel stores nothing";
  EXPECT_TRUE(store.history.empty());
}

TEST(OpenUrlDialog, OkRemembersAReachableAddressAndStaysOnAnUnreachableOne) {
  UrlHistoryStore store;
  for (int i = 0; i < 20; ++i) store.history.push_back(u"http://h/" + Decimal(i));
  u16 saved_last;
  std::vector<u16> saved_history;
  store.save = [&](const u16& last, const std::vector<u16>& history) {
    saved_last = last;
    saved_history = history;
  };
  std::vector<u16> tested;
  int step = 0;
  bool message_seen = false;
  ScriptedOpen dialog(
      store,
      [&](const u16& address) {
        tested.push_back(address);
        return address.find(u"down") == u16::npos;
      },
      [&](HWND window) {
        switch (step++) {
          case 0:
            SetDlgItemTextW(window, IDC_OPEN_URL_ADDRESS, L"http://down/x.avi");
            PostMessageW(window, WM_COMMAND, IDOK, 0);
            return true;
          case 1:
          case 2:
          case 3: {
            // The connection message, answered; the dialog stays.
            HWND box = FindWindowW(L"#32770", L"Connection Error");
            if (!box) return true;
            message_seen = true;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            step = 4;
            return true;
          }
          default:
            SetDlgItemTextW(window, IDC_OPEN_URL_ADDRESS, L"http://up/movies/clip.AVI");
            PostMessageW(window, WM_COMMAND, IDOK, 0);
            return false;
        }
      });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_TRUE(message_seen);
  EXPECT_EQ(tested, (std::vector<u16>{u"http://down/x.avi", u"http://up/movies/clip.AVI"}));
  EXPECT_EQ(dialog.Address(), u"http://up/movies/clip.AVI");
  EXPECT_TRUE(dialog.NamesFile());
  EXPECT_EQ(saved_last, u"http://up/movies/clip.AVI");
  ASSERT_EQ(saved_history.size(), 20u);
  EXPECT_EQ(saved_history.front(), u"http://up/movies/clip.AVI");
  EXPECT_EQ(saved_history.back(), u"http://h/18") << "the oldest went";
}

TEST(OpenUrlDialog, RtspIsNotTestedAndAFolderNamesNoFile) {
  UrlHistoryStore store;
  int tests = 0;
  ScriptedOpen dialog(
      store, [&](const u16&) { return ++tests, true; },
      [&](HWND window) {
        SetDlgItemTextW(window, IDC_OPEN_URL_ADDRESS, L"RTSP://stream/live");
        PostMessageW(window, WM_COMMAND, IDOK, 0);
        return false;
      });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(tests, 0);
  EXPECT_FALSE(dialog.NamesFile());
}

TEST(OpenUrlConnection, ALoopbackServerAnswersAndAClosedPortDoesNot) {
  crv_test::FaultHttpServer server;
  ASSERT_TRUE(server.Start());
  const std::string url = server.Url("honest.avi");
  EXPECT_TRUE(CanOpenAddress(u16(url.begin(), url.end())));
  const uint16_t port = server.Port();
  server.Stop();
  const std::string closed = "http://127.0.0.1:" + std::to_string(port) + "/honest.avi";
  EXPECT_FALSE(CanOpenAddress(u16(closed.begin(), closed.end())));
}
