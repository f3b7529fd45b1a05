// The update dialog on real windows: it runs the update on its own, turns "Cancel" into
// "Done" at the end and saves only then; "Cancel" stops a long search at once and leaves the
// library file as it was.
#include "player/library/library_update_dlg.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "player/library/tests/test_folder.h"
#include "player/resources/resource_ids.h"

using namespace crv;
using crv::testing_support::TestFolder;

namespace {

HINSTANCE Self() { return GetModuleHandleW(nullptr); }

// The soft-key bar the dialog made (a popup of the platform's bar class it owns).
struct BarSearch {
  HWND owner, found;
};

BOOL CALLBACK MatchBar(HWND window, LPARAM p) {
  auto* s = reinterpret_cast<BarSearch*>(p);
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  if (GetWindow(window, GW_OWNER) == s->owner && lstrcmpW(name, L"menu_worker") == 0) s->found = window;
  return s->found == nullptr;
}

HWND MenuBarOf(HWND dialog) {
  BarSearch search{dialog, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchBar, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring TextOf(HWND window) {
  wchar_t text[256] = L"";
  GetWindowTextW(window, text, 256);
  return text;
}

// The window the dialog belongs to, as the library dialog is in the player.
HWND Owner() {
  static HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 240, 320,
                                      nullptr, nullptr, Self(), nullptr);
  return owner;
}

// Runs the dialog over the test's device; `step` is called every 20 ms with the dialog's
// window until it returns false.
class ScriptedUpdate : public CMediaLibraryUpdateDlg {
 public:
  ScriptedUpdate(const TestFolder& dir, std::function<bool(HWND)> step)
      : CMediaLibraryUpdateDlg(Owner(), Self(), dir.Path(u"program")), step_(std::move(step)) {
    SetSearch(dir.Path(u"device"), dir.Path(u"device\\windows"));
  }
  // The dialog is put on the screen before the work starts: showing a window under the tests'
  // X server without a window manager can take seconds, which would let the work end unseen.
  BOOL OnInitDialog() override {
    ShowWindow(window_, SW_SHOW);
    const BOOL result = CMediaLibraryUpdateDlg::OnInitDialog();
    SetTimer(window_, 77, 20, nullptr);
    return result;
  }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_TIMER && wParam == 77 && !step_(window_)) KillTimer(window_, 77);
    return CMediaLibraryUpdateDlg::WindowProc(message, wParam, lParam);
  }
  // How long "Cancel" takes to stop the work (the dialog's own teardown after it is the
  // platform's: hiding a window under the tests' X server without a window manager waits).
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    if (LOWORD(wParam) == IDCANCEL) {
      if (gate_) SetEvent(gate_);
      const auto start = std::chrono::steady_clock::now();
      StopWork();
      stop_time = std::chrono::steady_clock::now() - start;
    }
    return CMediaLibraryUpdateDlg::OnCommand(wParam, lParam);
  }
  std::chrono::steady_clock::duration stop_time{};

  // The search waits at its first "Found" count until Cancel comes, however fast the machine.
  void HoldTheSearchUntilCancel() { gate_ = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
  ~ScriptedUpdate() override {
    if (gate_) SetEvent(gate_);
    StopWork();
    if (gate_) CloseHandle(gate_);
  }

 protected:
  void OnCounterShown(const u16& text) override {
    if (gate_ && text.rfind(u"Found", 0) == 0) WaitForSingleObject(gate_, 10000);
  }

 private:
  std::function<bool(HWND)> step_;
  HANDLE gate_ = nullptr;
};

TEST(LibraryUpdateDialog, DoneAfterTheWorkSavesTheLibrary) {
  TestFolder dir;
  dir.Write(u"program\\hvml.hvl", "<HVMediaLibrary></HVMediaLibrary>");
  dir.Write(u"device\\my documents\\song.mp3");
  dir.Write(u"device\\my documents\\clip.avi");
  dir.Write(u"device\\windows\\chime.wav");
  std::wstring keys_at_end, phase;
  bool bar_shown = false;
  ScriptedUpdate dialog(dir, [&](HWND window) {
    HWND bar = MenuBarOf(window);
    keys_at_end = TextOf(bar);
    if (keys_at_end != L"Search\tDone") return true;
    phase = TextOf(GetDlgItem(window, IDC_LIBRARY_UPDATE_PHASE));
    bar_shown = IsWindowVisible(GetDlgItem(window, IDC_LIBRARY_UPDATE_PROGRESS)) != FALSE;
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    return false;
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(keys_at_end, L"Search\tDone");
  EXPECT_EQ(phase, L"The library has been updated. To continue, click Done.");
  EXPECT_TRUE(bar_shown);
  CMediaLibrary saved;
  ASSERT_TRUE(saved.Load(dir.Path(u"program")));
  ASSERT_EQ(saved.Count(), 2);
}

TEST(LibraryUpdateDialog, CancelStopsALongSearchAndKeepsTheFile) {
  TestFolder dir;
  const std::string before = "<HVMediaLibrary></HVMediaLibrary>\n<!-- as it was -->";
  dir.Write(u"program\\hvml.hvl", before);
  for (int a = 0; a < 100; ++a)
    for (int b = 0; b < 40; ++b) dir.Write(u"device\\d" + Decimal(a) + u"\\song" + Decimal(b) + u".mp3");
  std::wstring counter, keys;
  // Cancel once the search shows its count (the worker may not have started at the first tick).
  ScriptedUpdate dialog(dir, [&](HWND window) {
    counter = TextOf(GetDlgItem(window, IDC_LIBRARY_UPDATE_COUNTER));
    keys = TextOf(MenuBarOf(window));
    if (counter.rfind(L"Found", 0) != 0 && keys == L"Search\tCancel") return true;
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return false;
  });
  dialog.HoldTheSearchUntilCancel();
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(keys, L"Search\tCancel") << "the work was still going when Cancel came";
  EXPECT_EQ(counter.rfind(L"Found", 0), 0u) << "cancelled while it searched";
  EXPECT_LT(dialog.stop_time, std::chrono::seconds(1));
  EXPECT_EQ(dir.Read(u"program\\hvml.hvl"), before);
}

}  // namespace
