// The player panel on a real window under Wine, owned by a fake frame: volume steps and the
// buttons they disable, a handed-over playlist filling Now Playing and playing its first entry,
// the engine chosen by the extension, "Loading error" for a broken movie, the title line and
// the stored settings.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>

#include "player/media/avi_source.h"
#include "player/media/source_state.h"
#include "player/media/tests/avi_builder.h"
#include "player/pictures/reader_registry.h"
#include "player/playback/skin_ctrl.h"
#include "player/resources/resource_ids.h"

namespace crv {
namespace {

class FakeFrame : public PanelOwner {
 public:
  HWND FrameWindow() const override { return window; }
  void SetFrameFullScreen(bool on) override { fullScreen = on; }
  void SavePanelSettings(const PanelSettings& settings) override {
    saved = settings;
    saves++;
  }
  void CommandUnavailable(UINT id) override { unavailable = id; }
  LibraryDialogPlaces LibraryPlaces() override { return places; }

  HWND window = nullptr;
  LibraryDialogPlaces places;
  bool fullScreen = false;
  PanelSettings saved;
  int saves = 0;
  UINT unavailable = 0;
};

std::string Movie(const std::string& name, int frames) {
  test::AviRecipe recipe;
  recipe.width = 32;
  recipe.height = 24;
  for (int i = 0; i < frames; ++i) recipe.frames.push_back(test::PatternDib24(32, 24, i));
  return test::WriteTestFile(name, test::BuildAvi(recipe));
}

std::u16string Wide(const std::string& path) { return test::WidePath(path); }

void Pump(DWORD milliseconds = 50) {
  const DWORD start = GetTickCount();
  MSG msg;
  do {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(5);
  } while (GetTickCount() - start < milliseconds);
}

// The panel's window text: "STATUS\tTIME\tVOLUME\tTITLE".
std::wstring Text(HWND window) {
  wchar_t text[512] = L"";
  GetWindowTextW(window, text, 512);
  return text;
}

// What a timer saw of the panel from inside a playback loop.
CSkinCtrl* looked = nullptr;
int currentThen = -1;
std::u16string titleThen, statusThen;
// Looks every time its timer fires, until the second entry is seen playing.
void CALLBACK LookAtPanel(HWND, UINT, UINT_PTR id, DWORD) {
  currentThen = looked->NowPlaying().GetCurrent();
  titleThen = looked->TitleText();
  statusThen = looked->StatusText();
  if (currentThen == 1 && statusThen == u"Playing") KillTimer(nullptr, id);
}

class SkinCtrlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterAviSource();
    ChangeMediaMode(true);
  }
  void Make(const PanelSettings& settings) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CRV_PANEL_TEST_FRAME";
    RegisterClassW(&wc);
    frame_.window = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 268, nullptr, nullptr,
                                    wc.hInstance, nullptr);
    ASSERT_TRUE(frame_.window);
    panel_ = std::make_unique<CSkinCtrl>(frame_, settings);
    const RECT area{0, 0, 240, 268};
    ASSERT_TRUE(panel_->Create(frame_.window, area, wc.hInstance));
  }
  void TearDown() override {
    if (panel_ && panel_->IsWindowAlive()) DestroyWindow(panel_->Handle());
    panel_.reset();
    if (frame_.window) DestroyWindow(frame_.window);
  }
  void Hand(const std::string& path) {
    const std::u16string wide = Wide(path);
    SendMessageW(panel_->Handle(), kMsgPanelPlayFile, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  }

  FakeFrame frame_;
  std::unique_ptr<CSkinCtrl> panel_;
};

TEST_F(SkinCtrlTest, VolumeStopsAtItsEndsAndIsSavedWithThePanel) {
  PanelSettings settings;
  settings.volume = 95;
  Make(settings);
  SendMessageW(panel_->Handle(), WM_KEYDOWN, VK_UP, 0);
  SendMessageW(panel_->Handle(), WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(panel_->Settings().volume, 100u);
  EXPECT_NE(Text(panel_->Handle()).find(L"\t100%\t"), std::wstring::npos) << "the volume field shows it";
  for (int i = 0; i < 25; ++i) SendMessageW(panel_->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(panel_->Settings().volume, 0u);
  DestroyWindow(panel_->Handle());
  EXPECT_GE(frame_.saves, 1);
  EXPECT_EQ(frame_.saved.volume, 0u) << "the volume is saved when the panel goes";
}

TEST_F(SkinCtrlTest, AHandedOverPlaylistFillsNowPlayingAndPlaysItsFirstEntry) {
  Make(PanelSettings{});
  const std::string first = Movie("first.avi", 5), second = Movie("second.avi", 100);
  const std::string list = test::TestDir() + "/two.hvpl";
  {
    std::ofstream out(list, std::ios::binary);
    out << "<HVPlaylist>";
    for (const std::string& path : {first, second}) {
      std::string windows = path;
      for (char& c : windows)
        if (c == '/') c = '\\';
      out << "<media type=\"Video\"><location>" << windows << "</location></media>";
    }
    out << "</HVPlaylist>";
  }
  Hand(list);
  EXPECT_EQ(panel_->NowPlaying().Count(), 2);
  EXPECT_EQ(panel_->NowPlaying().GetCurrent(), 0);
  EXPECT_EQ(panel_->Engine(), kEngineBuiltIn);
  EXPECT_EQ(panel_->TitleText(), u"first");
  // The posted play runs the first entry (0.2 s) to its end; then Now Playing moves on to the
  // second (4 s): looks from inside its playback loop find it playing.
  looked = panel_.get();
  currentThen = -1;
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, LookAtPanel);
  ASSERT_NE(timer, 0u);
  const DWORD start = GetTickCount();
  while (!(currentThen == 1 && statusThen == u"Playing") && GetTickCount() - start < 20000) Pump(50);
  KillTimer(nullptr, timer);
  EXPECT_EQ(currentThen, 1);
  EXPECT_EQ(titleThen, u"second");
  EXPECT_EQ(statusThen, u"Playing");
}

// "Open File..." opens the library dialog on the file view; "Play" on a movie there plays it
// in the panel and the dialog goes away.
TEST_F(SkinCtrlTest, AMoviePlayedFromTheFileViewPlaysAndClosesTheLibrary) {
  Make(PanelSettings{});
  Movie("picked.avi", 5);
  frame_.places.program_folder = Wide(test::TestDir());
  frame_.places.last_folder = Wide(test::TestDir());
  ASSERT_TRUE(panel_->ClaimCommand(kCmdOpenFile));
  HWND dialog = panel_->LibraryDialog();
  ASSERT_NE(dialog, nullptr);
  HWND list = GetDlgItem(dialog, IDC_LIBRARY_LIST);
  LVFINDINFOW find{LVFI_STRING};
  find.psz = L"picked.avi";
  const int row = ListView_FindItem(list, -1, &find);
  ASSERT_GE(row, 0);
  ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  SendMessageW(dialog, WM_COMMAND, ID_LIBRARY_PLAY, 0);
  Pump(300);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(panel_->LibraryDialog(), nullptr);
  EXPECT_EQ(panel_->TitleText(), u"picked");
  EXPECT_EQ(panel_->NowPlaying().Count(), 1);
  // "Now Playing" opens it again on the list, with the movie marked as playing.
  ASSERT_TRUE(panel_->ClaimCommand(kCmdNowPlaying));
  dialog = panel_->LibraryDialog();
  ASSERT_NE(dialog, nullptr);
  wchar_t text[64] = L"";
  GetWindowTextW(GetDlgItem(dialog, IDC_LIBRARY_LIST), text, 64);
  EXPECT_EQ(std::wstring(text), L"picked");
}

TEST_F(SkinCtrlTest, TheExtensionChoosesTheEngineAndABrokenMovieShowsLoadingError) {
  Make(PanelSettings{});
  const std::string broken = test::WriteTestFile("broken.avi", std::vector<uint8_t>(3000, 0x5A));
  Hand(broken);
  EXPECT_EQ(panel_->StatusText(), u"Loading error");
  EXPECT_FALSE(panel_->VideoView().HasMedia());
  EXPECT_FALSE(IsWindowVisible(panel_->VideoView().Handle()));
  const std::string music = test::WriteTestFile("tune.m4a", std::vector<uint8_t>(100, 1));
  Hand(music);
  EXPECT_EQ(panel_->Engine(), kEngineNone) << "an .m4a opens nothing";
  Hand(Movie("good.avi", 3));
  EXPECT_EQ(panel_->Engine(), kEngineBuiltIn);
  EXPECT_TRUE(panel_->VideoView().HasMedia());
}

TEST_F(SkinCtrlTest, HidingTheTitleGivesTheVideoTheTopOfThePanel) {
  Make(PanelSettings{});
  Hand(Movie("title.avi", 3));
  RECT with;
  GetWindowRect(panel_->VideoView().Handle(), &with);
  ASSERT_TRUE(panel_->ClaimCommand(kCmdHideTitle));
  RECT without;
  GetWindowRect(panel_->VideoView().Handle(), &without);
  EXPECT_EQ(without.top, 0);
  EXPECT_LT(without.top, with.top);
  EXPECT_EQ(frame_.saved.hideTitle, 0u) << "the switch is saved at once";
  EXPECT_EQ(panel_->GetCommandState(kCmdContrast), 1) << "a loaded video can be adjusted";
  EXPECT_EQ(panel_->GetCommandState(kCmdStop), 0) << "nothing plays";
}

}  // namespace
}  // namespace crv
