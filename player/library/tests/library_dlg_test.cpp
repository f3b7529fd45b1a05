// The library dialog on real windows: taps open levels, "Back" climbs and closes at the top,
// "Play" on a song of a list plays the whole list from it, the file view lists media files
// only and offers no "Delete from Library" for them, and the Now Playing edits.
#include "player/library/library_dlg.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "player/base/device_fs.h"

#include "player/library/tests/test_folder.h"
#include "player/resources/resource_ids.h"

using namespace crv;
using crv::testing_support::TestFolder;

namespace {

HINSTANCE Self() { return GetModuleHandleW(nullptr); }

HWND Owner() {
  static HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 240, 320,
                                      nullptr, nullptr, Self(), nullptr);
  return owner;
}

struct RecordingPanel : NowPlayingPanel {
  void StopPlayback() override {}
  void StopAndReset() override { ++resets; }
  void RequestPlayback() override { ++requests; }
  void LoadWithoutPlaying() override {}
  int requests = 0, resets = 0;
};

// The dialog tells the test when its window is gone (it deletes itself then).
class WatchedDialog : public CMediaLibraryDlg {
 public:
  WatchedDialog(UINT mode, CPlaylist& list, NowPlayingPanel* panel, LibraryDialogPlaces places, bool* gone)
      : CMediaLibraryDlg(Owner(), Self(), mode, list, panel, std::move(places)), gone_(gone) {}
  void OnFinalMessage() override {
    *gone_ = true;
    CMediaLibraryDlg::OnFinalMessage();
  }

 private:
  bool* gone_;
};

std::vector<u16> Texts(const LibraryRows& rows) {
  std::vector<u16> out;
  for (const auto& row : rows) out.push_back(row.text);
  return out;
}

class LibraryDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    const char16_t* songs[][3] = {{u"d\\one.mp3", u"One", u"Abba"},
                                  {u"d\\two.mp3", u"Two", u"ABBA"},
                                  {u"d\\three.mp3", u"Three", u"Queen"},
                                  {u"d\\four.mp3", u"Four", u"Queen"}};
    for (auto& s : songs) {
      CMediaItem item = dir.Item(s[0], s[1]);
      item.SetArtist(s[2]);
      library.Add(item);
    }
    dir.Write(u"program\\hvml.hvl");
    ASSERT_TRUE(library.Save(dir.Path(u"program")));
  }
  void Start(UINT mode) {
    LibraryDialogPlaces places;
    places.program_folder = dir.Path(u"program");
    places.last_folder = dir.Path(u"d");
    dialog = new WatchedDialog(mode, now_playing, &panel, places, &gone);
    window = dialog->CreateModeless();
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    if (!gone) DestroyWindow(window);
  }
  void Command(UINT id) { SendMessageW(window, WM_COMMAND, id, 0); }
  void Select(int row) {
    ListView_SetItemState(GetDlgItem(window, IDC_LIBRARY_LIST), row, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
  }
  // A real tap on a row of the list.
  void Tap(int row) {
    HWND list = GetDlgItem(window, IDC_LIBRARY_LIST);
    RECT rect;
    ListView_GetItemRect(list, row, &rect, LVIR_LABEL);
    const LPARAM at = MAKELPARAM(rect.left + 4, (rect.top + rect.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
  }
  // Whether the menu of `menu_id` shows `command` enabled, as the soft key's menu would.
  bool MenuEnabled(UINT menu_id, UINT command) {
    HMENU menu = LoadMenuW(Self(), MAKEINTRESOURCEW(menu_id));
    HMENU popup = GetSubMenu(menu, 0);
    SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    const bool enabled = !(GetMenuState(popup, command, MF_BYCOMMAND) & MF_GRAYED);
    DestroyMenu(menu);
    return enabled;
  }

  TestFolder dir;
  CMediaLibrary library;
  CPlaylist now_playing;
  RecordingPanel panel;
  WatchedDialog* dialog = nullptr;
  HWND window = nullptr;
  bool gone = false;
};

}  // namespace

TEST_F(LibraryDialog, TapsOpenLevelsAndBackClimbsThenCloses) {
  Start(kLibraryModeDefault);
  EXPECT_EQ(Texts(dialog->Rows()), (std::vector<u16>{u"My Music", u"My Videos", u"My Playlists", u"Now Playing"}));
  Tap(0);
  ASSERT_EQ(dialog->Node(), kNodeMyMusic);
  Tap(1);
  ASSERT_EQ(dialog->Node(), kNodeMusicArtists);
  EXPECT_EQ(Texts(dialog->Rows()), (std::vector<u16>{u"All Songs", u"Abba", u"Queen"}));
  Tap(1);
  EXPECT_EQ(Texts(dialog->Rows()), (std::vector<u16>{u"One", u"Two"}));
  EXPECT_EQ(dialog->Levels().back().text, u"Abba");
  Tap(0);  // a song is played with "Play", not by a tap
  EXPECT_EQ(dialog->Node(), kNodeMusicArtist);
  // The header names the level; the list's text names its rows.
  wchar_t text[64] = L"";
  GetDlgItemTextW(window, IDC_LIBRARY_LEVELS, text, 64);
  EXPECT_EQ(std::wstring(text).rfind(L"Abba", 0), 0u);
  GetWindowTextW(GetDlgItem(window, IDC_LIBRARY_LIST), text, 64);
  EXPECT_EQ(std::wstring(text), L"One\nTwo");

  Command(IDC_LIBRARY_BACK);
  EXPECT_EQ(dialog->Node(), kNodeMusicArtists);
  EXPECT_EQ(dialog->Selection(), 0);
  Command(IDC_LIBRARY_BACK);
  Command(IDC_LIBRARY_BACK);
  EXPECT_EQ(dialog->Node(), kNodeRoot);
  EXPECT_FALSE(gone);
  Command(IDC_LIBRARY_BACK);
  EXPECT_TRUE(gone) << "Back at the top closes the dialog";
}

TEST_F(LibraryDialog, PlayingTheThirdSongPlaysTheWholeListFromIt) {
  Start(kLibraryModeDefault);
  Tap(0);
  Tap(0);  // All Music
  ASSERT_EQ(Texts(dialog->Rows()), (std::vector<u16>{u"Four", u"One", u"Three", u"Two"}));
  Select(2);
  Command(ID_LIBRARY_PLAY);
  EXPECT_EQ(panel.requests, 1);
  ASSERT_EQ(now_playing.Count(), 4);
  EXPECT_EQ(now_playing.GetCurrent(), 2);
  EXPECT_EQ(now_playing.At(2)->StoredTitle(), u"Three");

  // "Play" on an artist row plays that artist's songs.
  Command(IDC_LIBRARY_BACK);
  Tap(1);
  Select(2);  // Queen
  Command(ID_LIBRARY_PLAY);
  EXPECT_EQ(panel.requests, 2);
  ASSERT_EQ(now_playing.Count(), 2);
  EXPECT_EQ(now_playing.At(0)->StoredTitle(), u"Four");
}

TEST_F(LibraryDialog, FileViewListsMediaFilesAndCannotDeleteThem) {
  dir.Write(u"d\\photo.jpg");
  dir.Write(u"d\\sub\\clip.avi");
  Start(kLibraryModeFiles);
  EXPECT_EQ(Texts(dialog->Rows()), (std::vector<u16>{u"sub", u"four.mp3", u"one.mp3", u"three.mp3", u"two.mp3"}));
  Select(1);
  EXPECT_TRUE(MenuEnabled(IDR_LIBRARY_MENU, ID_LIBRARY_QUEUE_UP));
  EXPECT_FALSE(MenuEnabled(IDR_LIBRARY_MENU, ID_LIBRARY_DELETE));
  Command(ID_LIBRARY_QUEUE_UP);
  EXPECT_EQ(now_playing.Count(), 1);
  Tap(0);
  EXPECT_EQ(Texts(dialog->Rows()), (std::vector<u16>{u"clip.avi"}));
  Command(IDC_LIBRARY_BACK);
  EXPECT_EQ(dialog->Rows().size(), 5u);
  // Playing a file: Now Playing is that file alone.
  Select(4);
  Command(ID_LIBRARY_PLAY);
  ASSERT_EQ(now_playing.Count(), 1);
  EXPECT_EQ(now_playing.At(0)->DisplayTitle(), u"two");
  EXPECT_EQ(panel.requests, 1);
  // A file gone since the folder was listed, and a playlist with nothing left to play, leave
  // Now Playing as it was.
  std::filesystem::remove(dir.Native(u"d\\one.mp3"));
  Select(2);
  Command(ID_LIBRARY_PLAY);
  dir.Write(u"d\\empty.hvpl", "<HVPlaylist><media type=\"Music\"><location>\\gone.mp3</location></media></HVPlaylist>");
  Command(ID_LIBRARY_OPEN_FILE);
  ASSERT_EQ(dialog->Rows()[1].text, u"empty.hvpl");
  Select(1);
  Command(ID_LIBRARY_PLAY);
  EXPECT_EQ(panel.requests, 1);
  ASSERT_EQ(now_playing.Count(), 1);
  EXPECT_EQ(now_playing.At(0)->DisplayTitle(), u"two");
}

TEST_F(LibraryDialog, DeleteFromLibrarySavesTheLibraryWithoutTheSong) {
  Start(kLibraryModeDefault);
  Tap(0);
  Tap(0);
  Select(1);  // One
  EXPECT_TRUE(MenuEnabled(IDR_LIBRARY_MENU, ID_LIBRARY_DELETE));
  Command(ID_LIBRARY_DELETE);
  EXPECT_EQ(Texts(dialog->Rows()), (std::vector<u16>{u"Four", u"Three", u"Two"}));
  EXPECT_EQ(dialog->Selection(), 1);
  CMediaLibrary saved;
  ASSERT_TRUE(saved.Load(dir.Path(u"program")));
  EXPECT_EQ(saved.Count(), 3);
}

// The message box of a failed save, answered.
void CALLBACK AnswerSaveMessage(HWND, UINT, UINT_PTR id, DWORD) {
  if (HWND box = FindWindowW(L"#32770", L"Library")) {
    KillTimer(nullptr, id);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
}

TEST_F(LibraryDialog, ADeleteThatCannotBeSavedKeepsTheSongListed) {
  Start(kLibraryModeDefault);
  Tap(0);
  Tap(0);
  Select(1);  // One
  const std::string before = dir.Read(u"program\\hvml.hvl");
  device_fs::SetWriteFailureAfterForTesting(10);
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerSaveMessage);
  Command(ID_LIBRARY_DELETE);
  KillTimer(nullptr, timer);
  device_fs::SetWriteFailureAfterForTesting(-1);
  EXPECT_EQ(Texts(dialog->Rows()), (std::vector<u16>{u"Four", u"One", u"Three", u"Two"}));
  EXPECT_EQ(dir.Read(u"program\\hvml.hvl"), before);
}

TEST_F(LibraryDialog, NowPlayingEditsFollowTheSelection) {
  for (int i = 0; i < 3; ++i) now_playing.Append(*library.At(i));
  Start(kLibraryModeNowPlaying);
  EXPECT_EQ(Texts(dialog->Rows()), (std::vector<u16>{u"One", u"Two", u"Three"}));
  EXPECT_FALSE(MenuEnabled(IDR_NOW_PLAYING_MENU, ID_NOW_PLAYING_MOVE_UP));
  EXPECT_TRUE(MenuEnabled(IDR_NOW_PLAYING_MENU, ID_NOW_PLAYING_MOVE_DOWN));
  Command(ID_NOW_PLAYING_MOVE_DOWN);
  EXPECT_EQ(Texts(dialog->Rows()), (std::vector<u16>{u"Two", u"One", u"Three"}));
  EXPECT_EQ(dialog->Selection(), 1);
  Select(2);
  EXPECT_FALSE(MenuEnabled(IDR_NOW_PLAYING_MENU, ID_NOW_PLAYING_MOVE_DOWN));
  Command(ID_NOW_PLAYING_REMOVE);
  EXPECT_EQ(Texts(dialog->Rows()), (std::vector<u16>{u"Two", u"One"}));
  Select(1);
  Command(ID_NOW_PLAYING_PLAY);
  EXPECT_EQ(now_playing.GetCurrent(), 1);
  EXPECT_EQ(panel.requests, 1);
  Command(ID_LIBRARY_ROOT);
  EXPECT_EQ(dialog->Node(), kNodeRoot);
}
