// How long the library dialog takes on a library of 10,000 songs, on real windows (run under
// Wine): from its creation until the first view is listed, and from a tap on a level until that
// level is listed ("All Music" with every song - the first list that needs the library, so it
// includes reading the library file and checking every song's file -, then "Artist" with 250
// artists and one artist's songs).
// Prints one line per step: "NAME ms", the best of three runs.
//
//   tools/wine-session.sh wine build/win/bin/crv_library_dlg_bench.exe
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "player/base/win16.h"
#include "player/library/library_dlg.h"
#include "player/resources/resource_ids.h"

using namespace crv;

namespace {

constexpr int kItems = 10000;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

// A program folder with 10,000 one-byte songs and their library file.
std::wstring MakeLibrary() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"crv-library-dlg-bench\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  CreateDirectoryW((folder + L"music").c_str(), nullptr);
  CMediaLibrary library;
  for (int i = 0; i < kItems; ++i) {
    const std::wstring path = folder + L"music\\track" + std::to_wstring(i) + L".mp3";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "x", 1, &written, nullptr);
    CloseHandle(file);
    CMediaItem item;
    item.SetLocation(U(path.c_str()));
    item.SetTitle(FromUtf8("Title " + std::to_string((i * 7919) % kItems)));
    item.SetArtist(FromUtf8("Artist " + std::to_string(i % 250)));
    library.AddAbsent(item);
  }
  library.Save(U(folder.c_str()));
  return folder;
}

void Tap(HWND dialog, int row) {
  HWND list = GetDlgItem(dialog, IDC_LIBRARY_LIST);
  RECT rect;
  ListView_GetItemRect(list, row, &rect, LVIR_LABEL);
  const LPARAM at = MAKELPARAM(rect.left + 4, (rect.top + rect.bottom) / 2);
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(list, WM_LBUTTONUP, 0, at);
}

int Rows(HWND dialog) { return ListView_GetItemCount(GetDlgItem(dialog, IDC_LIBRARY_LIST)); }

}  // namespace

int main() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  const std::wstring folder = MakeLibrary();
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  CPlaylist now_playing;
  double open = 1e9, all_music = 1e9, artists = 1e9, artist = 1e9;
  int songs = 0, artist_rows = 0;
  for (int run = 0; run < 3; ++run) {
    LibraryDialogPlaces places;
    places.program_folder = U(folder.c_str());
    LARGE_INTEGER start = Now();
    auto* dialog = new CMediaLibraryDlg(owner, GetModuleHandleW(nullptr), kLibraryModeDefault, now_playing, nullptr,
                                        places);
    HWND window = dialog->CreateModeless();
    if (!window || Rows(window) != 4) {
      std::printf("the dialog did not open on its first view\n");
      return 1;
    }
    open = std::min(open, Milliseconds(start, Now()));
    Tap(window, 0);  // My Music
    start = Now();
    Tap(window, 0);  // All Music
    all_music = std::min(all_music, Milliseconds(start, Now()));
    songs = Rows(window);
    SendMessageW(window, WM_COMMAND, IDC_LIBRARY_BACK, 0);
    start = Now();
    Tap(window, 1);  // Artist
    artists = std::min(artists, Milliseconds(start, Now()));
    artist_rows = Rows(window);
    start = Now();
    Tap(window, 1);  // the first artist
    artist = std::min(artist, Milliseconds(start, Now()));
    DestroyWindow(window);
  }
  std::printf("open_to_first_view %.1f ms (library of %d songs)\n", open, kItems);
  std::printf("all_music %.1f ms (%d rows; reads the library)\n", all_music, songs);
  std::printf("artists %.1f ms (%d rows)\n", artists, artist_rows);
  std::printf("one_artist %.1f ms\n", artist);
  return songs == kItems ? 0 : 1;
}
