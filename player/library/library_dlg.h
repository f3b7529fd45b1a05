// CMediaLibraryDlg: the full-screen, modeless library dialog of the media panel. One list at a
// time (library levels, a playlist's entries, Now Playing, or a folder of the device) under a
// header bar with the current level (a tap drops the chain of levels down) and "Back". It
// owns its own CMediaLibrary, saved after each change it makes, and edits the panel's Now
// Playing under NowPlayingLock. The panel destroys it when something starts playing; the
// object deletes itself when its window is gone.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "player/base/api_wnd.h"
#include "player/base/text16.h"
#include "player/library/library_browser.h"
#include "player/library/media_library.h"
#include "player/library/now_playing.h"

namespace crv {

// The modes the panel opens the dialog in.
constexpr UINT kLibraryModeDefault = 0;
constexpr UINT kLibraryModeNowPlaying = 0x84FA;
constexpr UINT kLibraryModeFiles = 0x85DC;

struct LibraryDialogPlaces {
  u16 program_folder;  // where "hvml.hvl" is
  u16 last_folder;     // the folder the file view opened last ("\" when it is gone)
  // Called with the file view's folder when a file of it is played.
  std::function<void(const u16&)> save_last_folder;
  // Where "Update Library..." searches, and the system folder it leaves out (empty: the
  // device's own).
  u16 search_root = u"\\";
  u16 windows_folder;
};

class CMediaLibraryDlg : public ApiDialog {
 public:
  // `owner`: the frame; `now_playing` and `panel`: the panel's list and the panel that plays it.
  CMediaLibraryDlg(HWND owner, HINSTANCE instance, UINT mode, CPlaylist& now_playing, NowPlayingPanel* panel,
                   LibraryDialogPlaces places);
  ~CMediaLibraryDlg() override;

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL OnNotify(int id, NMHDR* header, LRESULT* result) override;
  BOOL OnInitMenuPopup(HMENU menu) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // What is shown (for tests).
  uint32_t Node() const { return node_; }
  const LibraryRows& Rows() const { return rows_; }
  const std::vector<LibraryLevel>& Levels() const { return levels_; }
  int Selection() const;

 private:
  // Navigation.
  void Open(uint32_t node, u16 value);  // by value: callers pass texts of the rows it replaces
  void OpenFolder(u16 folder);
  void ShowNowPlaying(int select);
  void OpenLevel(uint32_t id);
  void OnBack();
  void OnLevelsMenu();
  void OnRowTapped(int row);
  void Reopen();
  void LoadLibrary();

  // Commands of the library and file views.
  void OnPlay();
  void PlayFile(const LibraryRow& row);
  void OnQueueUp();
  void OnDelete();
  void OnUpdate();
  void OnProperties();
  // Commands of the Now Playing view.
  void OnPlayEntry();
  void OnMove(bool up);
  void OnRemoveEntry();
  void OnClear();
  void OnSaveAsPlaylist();
  void Close();

  // The list and the bars.
  void Show(int select);
  void Select(int row);
  void SetMenuBar(UINT id);
  void UpdateHeader();
  void PlaceControls();
  void CreateIcons();
  void LoadLabels();
  u16 LoadText(UINT id, const char16_t* fallback) const;
  bool CommandEnabled(UINT id) const;
  const LibraryRow* SelectedRow() const;

  UINT mode_;
  CPlaylist& nowPlaying_;
  NowPlayingPanel* panel_;
  LibraryDialogPlaces places_;
  LibraryLabels labels_;
  CMediaLibrary library_;
  bool libraryLoaded_ = false;
  LibraryBrowser browser_{library_, labels_};

  uint32_t node_ = kNodeRoot;  // the list shown
  u16 value_;                  // its artist, album or genre, or its playlist file
  u16 folder_ = u"\\";         // the file view's folder
  LibraryRows rows_;
  std::vector<LibraryLevel> levels_;
  UINT menuBarId_ = 0;
  HWND menuBar_ = nullptr;
  HWND list_ = nullptr;
  HIMAGELIST icons_ = nullptr;
};

}  // namespace crv
