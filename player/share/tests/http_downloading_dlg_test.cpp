// Downloads against the byte stream tests' server on loopback: the whole file replacing an old
// one, with the progress reaching 100; broken and refused transfers and stops leaving the
// destination as it was and no file behind; destinations that are no plain file refused; the
// local names of hostile addresses. The "Downloading..." box on real windows: it stores the
// file and ends with OK; "Cancel" asks, and only "Yes" stops the copy.
#include "player/share/http_downloading_dlg.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "player/base/tests/temp_folder.h"
#include "player/base/win16.h"
#include "player/media/tests/fault_http_server.h"
#include "player/resources/resource_ids.h"

using namespace crv;
using crv::testing_support::TempFolder;

namespace {

HINSTANCE Self() { return GetModuleHandleW(nullptr); }

HWND Owner() {
  static HWND owner = [] {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    return CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                           Self(), nullptr);
  }();
  return owner;
}

u16 Wide(const std::string& text) { return u16(text.begin(), text.end()); }

// The names in the folder, sorted: a temporary file left behind shows here.
std::vector<std::string> NamesIn(const TempFolder& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Native()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

DownloadResult Download(const std::string& url, const u16& path, std::vector<int>* percents = nullptr) {
  std::atomic<bool> stop{false};
  return DownloadToFile(Wide(url), path, stop, [percents](int percent) {
    if (percents) percents->push_back(percent);
  });
}

}  // namespace

TEST(Download, TheWholeFileReplacesTheOldOneAndTheProgressReachesAHundred) {
  crv_test::FaultHttpServer server;
  ASSERT_TRUE(server.Start());
  TempFolder dir("crv-download-test");
  const u16 path = dir.WriteText(u"clip.avi", "the old file");
  std::vector<int> percents;
  EXPECT_EQ(Download(server.Url("pieces.avi"), path, &percents), DownloadResult::kDone);
  EXPECT_EQ(dir.Read(u"clip.avi"), server.Data());
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(percents.back(), 100);
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_GT(percents.size(), 1u) << "one report per piece";
  EXPECT_EQ(NamesIn(dir), std::vector<std::string>{"clip.avi"}) << "no temporary file is left";
}

TEST(Download, ABrokenTransferWritesNothingAndKeepsTheOldFile) {
  crv_test::FaultHttpServer server;
  ASSERT_TRUE(server.Start());
  TempFolder dir("crv-download-test");
  const u16 old_file = dir.WriteText(u"old.avi", "keep me");
  // Dropped mid-block, short blocks, no such file.
  for (const char* name : {"drop.avi", "short.avi", "missing.avi"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Download(server.Url(name), dir.Path(u"new.avi")), DownloadResult::kFailed);
    EXPECT_EQ(Download(server.Url(name), old_file), DownloadResult::kFailed);
    EXPECT_EQ(dir.ReadText(u"old.avi"), "keep me");
    EXPECT_EQ(NamesIn(dir), std::vector<std::string>{"old.avi"});
  }
}

TEST(Download, AStopBeforeOrDuringTheCopyWritesNothing) {
  crv_test::FaultHttpServer server;
  ASSERT_TRUE(server.Start());
  TempFolder dir("crv-download-test");
  const u16 old_file = dir.WriteText(u"old.avi", "keep me");

  std::atomic<bool> stop{true};
  EXPECT_EQ(DownloadToFile(Wide(server.Url("honest.avi")), dir.Path(u"new.avi"), stop, nullptr),
            DownloadResult::kStopped);

  // Asked for after the first piece (the file has two).
  stop = false;
  int reports = 0;
  EXPECT_EQ(DownloadToFile(Wide(server.Url("honest.avi")), old_file, stop,
                           [&](int) {
                             ++reports;
                             stop = true;
                           }),
            DownloadResult::kStopped);
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(dir.ReadText(u"old.avi"), "keep me");
  EXPECT_EQ(NamesIn(dir), std::vector<std::string>{"old.avi"});
}

TEST(Download, ADestinationThatIsNoPlainFileIsRefused) {
  crv_test::FaultHttpServer server;
  ASSERT_TRUE(server.Start());
  TempFolder dir("crv-download-test");
  dir.WriteText(u"movie.avi\\inside.txt", "in the folder");
  const u16 locked = dir.WriteText(u"locked.avi", "read-only");
  ASSERT_TRUE(SetFileAttributesW(W(locked.c_str()), FILE_ATTRIBUTE_READONLY));

  EXPECT_EQ(Download(server.Url("honest.avi"), dir.Path(u"movie.avi")), DownloadResult::kFailed);
  EXPECT_EQ(Download(server.Url("honest.avi"), locked), DownloadResult::kFailed);
  EXPECT_TRUE(std::filesystem::is_directory(dir.Native(u"movie.avi")));
  EXPECT_EQ(dir.ReadText(u"movie.avi\\inside.txt"), "in the folder");
  EXPECT_EQ(dir.ReadText(u"locked.avi"), "read-only");
  EXPECT_EQ(NamesIn(dir), (std::vector<std::string>{"locked.avi", "movie.avi"}));
  EXPECT_TRUE(server.Requests().empty()) << "refused before anything is fetched";
  SetFileAttributesW(W(locked.c_str()), FILE_ATTRIBUTE_NORMAL);  // so that the folder can go
}

TEST(DownloadTarget, HostileAddressesStayInTheFolderOrGetNoPath) {
  const u16 folder = u"C:\\My Documents";
  for (const char16_t* address : {u"http://h/..%5c..%5cWindows%5cx.jpg", u"http://h/%2e%2e/x.bmp",
                                  u"http://h/x%00.jpg", u"http://h/CON.jpg", u"http://h/", u"http://h/a/b/c.avi"}) {
    const u16 path = DownloadTargetPath(folder, address);
    SCOPED_TRACE(ToUtf8(address));
    if (path.empty()) continue;
    ASSERT_EQ(path.compare(0, folder.size() + 1, folder + u"\\"), 0);
    const u16 name = path.substr(folder.size() + 1);
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(name.find_first_of(u"\\/"), u16::npos);
    EXPECT_NE(name, u"..");
  }
  EXPECT_EQ(DownloadTargetPath(folder, u"http://h/..%5c..%5cWindows%5cx.jpg"), u"C:\\My Documents\\x.jpg");
  EXPECT_EQ(DownloadTargetPath(u"C:\\My Documents\\", u"http://h/a/b/c.avi"), u"C:\\My Documents\\c.avi");
  EXPECT_EQ(DownloadTargetPath(folder, u"http://h/CON.jpg"), u"");
  EXPECT_EQ(DownloadTargetPath(folder, u"http://h/"), u"");
  // A picture is stored only under a picture's name: what follows the name in the address
  // cannot make it replace another kind of file.
  for (const char16_t* address : {u"http://h/notes.txt?.jpg", u"http://h/a.doc#.jpg", u"http://h/x%00.jpg",
                                  u"http://h/a.jpg/"}) {
    SCOPED_TRACE(ToUtf8(address));
    EXPECT_EQ(PictureTargetPath(folder, address), u"");
  }
  EXPECT_EQ(PictureTargetPath(folder, u"http://h/pics/photo%20one.JPG?size=2"), u"C:\\My Documents\\photo one.JPG");
}

namespace {

// Runs the box; `step` is called every 20 ms with its window until it returns false.
class ScriptedDownloading : public CHTTPDownloadingDlg {
 public:
  ScriptedDownloading(const u16& address, const u16& path, Downloader download, std::function<bool(HWND)> step)
      : CHTTPDownloadingDlg(Owner(), Self(), address, path, std::move(download)), step_(std::move(step)) {}
  BOOL OnInitDialog() override {
    ShowWindow(window_, SW_SHOW);  // (showing later can take seconds without a window manager)
    const BOOL result = CHTTPDownloadingDlg::OnInitDialog();
    if (step_) SetTimer(window_, 77, 20, nullptr);
    return result;
  }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_TIMER && wParam == 77 && !step_(window_)) KillTimer(window_, 77);
    return CHTTPDownloadingDlg::WindowProc(message, wParam, lParam);
  }

 private:
  std::function<bool(HWND)> step_;
};

}  // namespace

TEST(DownloadingDialog, StoresTheFileAndEndsWithOk) {
  crv_test::FaultHttpServer server;
  ASSERT_TRUE(server.Start());
  TempFolder dir("crv-download-test");
  ScriptedDownloading dialog(Wide(server.Url("honest.avi")), dir.Path(u"clip.avi"), DownloadToFile, nullptr);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.Result(), DownloadResult::kDone);
  EXPECT_EQ(dir.Read(u"clip.avi"), server.Data());
}

TEST(DownloadingDialog, CancelAsksAndOnlyYesStopsTheCopy) {
  // A copy that shows half its progress and then runs until it is stopped (at most 10 s).
  std::atomic<bool> stop_seen{false};
  u16 given_address, given_path;
  auto copy = [&](const u16& address, const u16& path, std::atomic<bool>& stop, DownloadProgress progress) {
    given_address = address;
    given_path = path;
    progress(50);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!stop.load() && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stop_seen = stop.load();
    return stop_seen ? DownloadResult::kStopped : DownloadResult::kDone;
  };
  int step = 0, questions = 0, bar_position = -1;
  bool stopped_after_no = true;
  ScriptedDownloading dialog(u"http://h/x.avi", u"C:\\x.avi", copy, [&](HWND window) {
    HWND box = FindWindowW(L"#32770", L"Warning");
    switch (step) {
      case 0:  // the bar shows the copy's progress; Return does not end the box
        bar_position = static_cast<int>(SendDlgItemMessageW(window, IDC_DOWNLOAD_PROGRESS, PBM_GETPOS, 0, 0));
        if (bar_position != 50) return true;
        PostMessageW(window, WM_COMMAND, IDOK, 0);
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        step = 1;
        return true;
      case 1:  // the question, answered "No"
      case 3:  // the question again, answered "Yes"
        if (!box) return true;
        ++questions;
        PostMessageW(box, WM_COMMAND, step == 1 ? IDNO : IDYES, 0);
        ++step;
        return step == 2;
      case 2:  // "No": the copy goes on
        if (box) return true;
        stopped_after_no = stop_seen.load();
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        step = 3;
        return true;
    }
    return false;
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.Result(), DownloadResult::kStopped);
  EXPECT_EQ(bar_position, 50);
  EXPECT_EQ(questions, 2);
  EXPECT_FALSE(stopped_after_no);
  EXPECT_TRUE(stop_seen.load());
  EXPECT_EQ(given_address, u"http://h/x.avi");
  EXPECT_EQ(given_path, u"C:\\x.avi");
}
