#include "player/library/library_dlg.h"

#include <commdlg.h>

#include <algorithm>

#include "platform/shell/aygshell.h"
#include "player/base/device_fs.h"
#include "player/base/win16.h"
#include "player/library/library_update_dlg.h"
#include "player/library/media_properties_dlg.h"
#include "player/resources/resource_ids.h"

namespace crv {
namespace {

constexpr WPARAM kScreenTurned = 12290;  // the shell's setting change for a turned screen
constexpr int kIconSize = 16;
constexpr size_t kMirroredRows = 40;     // rows named in the list's window text

const wchar_t kPlaylistFilter[] = L"Halvren Playlist (*.hvpl)\0*.hvpl\0";

// Icon pictures of the rows, in RowIcon order: a folder, a note, a film, a list, and the
// triangle of the entry being played.
void DrawIcon(HDC dc, RowIcon icon) {
  const RECT all{0, 0, kIconSize, kIconSize};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  auto fill = [&](int l, int t, int r, int b, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    const RECT rect{l, t, r, b};
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
  };
  switch (icon) {
    case RowIcon::kFolder:
      fill(1, 3, 7, 5, RGB(214, 170, 40));
      fill(1, 5, 15, 14, RGB(240, 200, 60));
      break;
    case RowIcon::kMusic:
      fill(9, 2, 11, 12, RGB(30, 60, 170));
      fill(4, 10, 10, 14, RGB(30, 60, 170));
      fill(11, 2, 14, 4, RGB(30, 60, 170));
      break;
    case RowIcon::kVideo:
      fill(1, 3, 15, 13, RGB(40, 40, 40));
      fill(3, 5, 13, 11, RGB(90, 170, 230));
      break;
    case RowIcon::kPlaylist:
      for (int y = 3; y <= 11; y += 4) fill(2, y, 14, y + 2, RGB(120, 50, 150));
      break;
    case RowIcon::kPlaying: {
      HBRUSH brush = CreateSolidBrush(RGB(30, 150, 40));
      HGDIOBJ old = SelectObject(dc, brush);
      SelectObject(dc, GetStockObject(NULL_PEN));
      const POINT points[3] = {{4, 2}, {13, 8}, {4, 14}};
      Polygon(dc, points, 3);
      SelectObject(dc, old);
      DeleteObject(brush);
      break;
    }
  }
}

}  // namespace

CMediaLibraryDlg::CMediaLibraryDlg(HWND owner, HINSTANCE instance, UINT mode, CPlaylist& now_playing,
                                   NowPlayingPanel* panel, LibraryDialogPlaces places)
    : ApiDialog(PickTemplate(IDD_LIBRARY_PORTRAIT, IDD_LIBRARY_LANDSCAPE, IDD_LIBRARY_SQUARE), owner, instance),
      mode_(mode),
      nowPlaying_(now_playing),
      panel_(panel),
      places_(std::move(places)) {}

CMediaLibraryDlg::~CMediaLibraryDlg() {
  if (icons_) ImageList_Destroy(icons_);
}

// ---- Opening -------------------------------------------------------------------------------

BOOL CMediaLibraryDlg::OnInitDialog() {
  ApiDialog::OnInitDialog();
  InitDialogFullScreen(window_, 0);
  list_ = GetDlgItem(window_, IDC_LIBRARY_LIST);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT);
  LVCOLUMNW column{LVCF_WIDTH};
  column.cx = 100;
  ListView_InsertColumn(list_, 0, &column);
  CreateIcons();
  LoadLabels();
  if (!places_.last_folder.empty() && device_fs::IsFolder(places_.last_folder)) folder_ = places_.last_folder;
  PlaceControls();
  switch (mode_) {
    case kLibraryModeNowPlaying: ShowNowPlaying(0); break;
    case kLibraryModeFiles: OpenFolder(folder_); break;
    default: Open(kNodeRoot, u16()); break;
  }
  SetFocus(list_);
  return FALSE;  // the focus is set
}

void CMediaLibraryDlg::LoadLabels() {
  labels_.library = LoadText(IDS_LEVEL_LIBRARY, u"Library");
  labels_.my_music = LoadText(IDS_LEVEL_MY_MUSIC, u"My Music");
  labels_.my_videos = LoadText(IDS_LEVEL_MY_VIDEOS, u"My Videos");
  labels_.all_music = LoadText(IDS_LEVEL_ALL_MUSIC, u"All Music");
  labels_.all_video = LoadText(IDS_LEVEL_ALL_VIDEO, u"All Video");
  labels_.artist = LoadText(IDS_LEVEL_ARTIST, u"Artist");
  labels_.album = LoadText(IDS_LEVEL_ALBUM, u"Album");
  labels_.genre = LoadText(IDS_LEVEL_GENRE, u"Genre");
  labels_.my_playlists = LoadText(IDS_LEVEL_MY_PLAYLISTS, u"My Playlists");
  labels_.now_playing = LoadText(IDS_LEVEL_NOW_PLAYING, u"Now Playing");
  labels_.file_system = LoadText(IDS_LEVEL_FILE_SYSTEM, u"File System");
}

u16 CMediaLibraryDlg::LoadText(UINT id, const char16_t* fallback) const {
  wchar_t text[128] = L"";
  return LoadStringW(instance_, id, text, 128) > 0 ? u16(U(text)) : u16(fallback);
}

// The pictures are drawn at 16 pixels and stretched to the screen's resolution.
void CMediaLibraryDlg::CreateIcons() {
  HDC screen = GetDC(nullptr);
  const int size = MulDiv(kIconSize, GetDeviceCaps(screen, LOGPIXELSY), 96);
  icons_ = ImageList_Create(size, size, ILC_COLOR24, 5, 0);
  HDC drawn = CreateCompatibleDC(screen), scaled = CreateCompatibleDC(screen);
  HBITMAP picture = CreateCompatibleBitmap(screen, kIconSize, kIconSize);
  HGDIOBJ oldPicture = SelectObject(drawn, picture);
  for (RowIcon icon : {RowIcon::kFolder, RowIcon::kMusic, RowIcon::kVideo, RowIcon::kPlaylist, RowIcon::kPlaying}) {
    DrawIcon(drawn, icon);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = SelectObject(scaled, bitmap);
    StretchBlt(scaled, 0, 0, size, size, drawn, 0, 0, kIconSize, kIconSize, SRCCOPY);
    SelectObject(scaled, old);
    ImageList_Add(icons_, bitmap, nullptr);
    DeleteObject(bitmap);
  }
  SelectObject(drawn, oldPicture);
  DeleteObject(picture);
  DeleteDC(drawn);
  DeleteDC(scaled);
  ReleaseDC(nullptr, screen);
  ListView_SetImageList(list_, icons_, LVSIL_SMALL);
}

// ---- Navigation ----------------------------------------------------------------------------

void CMediaLibraryDlg::Open(uint32_t node, u16 value) {
  if (node == kNodeNowPlayingRow || node == kNodeNowPlaying) {
    ShowNowPlaying(0);
    return;
  }
  if (node >= kNodeFolder && node <= kNodeFolderLast) {
    OpenFolder(FolderAtLevel(folder_, static_cast<int>(node - kNodeFolder)));
    return;
  }
  node_ = node;
  value_ = std::move(value);
  if (node != kNodeRoot && node != kNodeMyMusic && node != kNodeMyVideos) LoadLibrary();  // fixed rows
  browser_.List(node, value_, rows_);
  levels_ = browser_.Levels(node, value_);
  SetMenuBar(IDR_LIBRARY_MENU);
  Show(0);
}

void CMediaLibraryDlg::OpenFolder(u16 folder) {
  node_ = kNodeFolder;
  folder_ = folder.empty() ? u16(u"\\") : std::move(folder);
  value_.clear();
  ListFolderRows(folder_, rows_);
  levels_ = FolderLevels(folder_, labels_.file_system);
  SetMenuBar(IDR_LIBRARY_MENU);
  Show(0);
}

void CMediaLibraryDlg::ShowNowPlaying(int select) {
  node_ = kNodeNowPlaying;
  value_.clear();
  {
    NowPlayingLock lock;
    LibraryBrowser::ListNowPlaying(nowPlaying_, rows_);
  }
  levels_ = browser_.Levels(kNodeNowPlaying, u16());
  SetMenuBar(IDR_NOW_PLAYING_MENU);
  Show(select);
}

// The library is read when a list needs it, not before the first list shows: on a large
// library that takes most of the opening time, and Now Playing and the folders do without it.
void CMediaLibraryDlg::LoadLibrary() {
  if (libraryLoaded_) return;
  library_.Load(places_.program_folder);  // a missing or broken file: empty lists
  libraryLoaded_ = true;
}

void CMediaLibraryDlg::Reopen() {
  if (node_ == kNodeNowPlaying) ShowNowPlaying(Selection());
  else if (node_ == kNodeFolder) OpenFolder(folder_);
  else Open(node_, value_);
}

// A level of the chain: the ones above the list keep the values they were opened with.
void CMediaLibraryDlg::OpenLevel(uint32_t id) {
  for (const auto& level : levels_) {
    if (level.node != id) continue;
    if (node_ == kNodeFolder) Open(id, u16());
    else if (id == kNodePlaylist) Open(id, value_);
    else Open(id, level.text);
    return;
  }
}

void CMediaLibraryDlg::OnBack() {
  if (levels_.size() <= 1) {
    Close();
    return;
  }
  OpenLevel(levels_[levels_.size() - 2].node);
}

// The header's drop-down: every level of the chain, the current one checked.
void CMediaLibraryDlg::OnLevelsMenu() {
  HMENU menu = CreatePopupMenu();
  for (size_t i = 0; i < levels_.size(); ++i)
    AppendMenuW(menu, MF_STRING | (i + 1 == levels_.size() ? MF_CHECKED : 0), levels_[i].node,
                W(levels_[i].text.c_str()));
  RECT button;
  GetWindowRect(GetDlgItem(window_, IDC_LIBRARY_LEVELS), &button);
  const UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, button.left, button.bottom,
                                     0, window_, nullptr);
  DestroyMenu(menu);
  if (chosen) OpenLevel(chosen);
}

void CMediaLibraryDlg::OnRowTapped(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  const LibraryRow& tapped = rows_[row];
  if (!IsContainerNode(tapped.node)) return;  // items and files are played with "Play"
  if (tapped.node == kNodeFolder) OpenFolder(ChildFolder(folder_, tapped.text));
  else if (tapped.node == kNodePlaylist) Open(kNodePlaylist, tapped.record ? tapped.record->GetLocation() : u16());
  else Open(tapped.node, tapped.text);
}

void CMediaLibraryDlg::Close() { EndDialog(IDOK); }

// ---- Commands of the library and file views ------------------------------------------------

// Levels that stand for items play them; the others open.
void CMediaLibraryDlg::OnPlay() {
  const int row = Selection();
  const LibraryRow* chosen = SelectedRow();
  if (!chosen) return;
  if (chosen->node == kNodeItem) {
    PlayListFromRow(nowPlaying_, rows_, row, panel_);  // the panel closes this dialog
    return;
  }
  if (chosen->node == kNodeFile) {
    PlayFile(*chosen);
    return;
  }
  MediaItemList items;
  LoadLibrary();
  browser_.ItemsOfRow(*chosen, items);
  if (items.empty()) {
    OnRowTapped(row);
    return;
  }
  // Files gone since the library was updated are left out; when none is left, Now Playing
  // stays as it was.
  items.erase(std::remove_if(items.begin(), items.end(),
                             [](const auto& item) { return !device_fs::FileExists(item->GetLocation()); }),
              items.end());
  if (items.empty()) {
    MessageBeep(MB_ICONASTERISK);
    return;
  }
  NowPlayingLock lock;
  PlayItems(nowPlaying_, items, panel_);
}

// A file of the file view: Now Playing becomes the playlist it is, or the file alone. A
// playlist with nothing left to play, or a file gone meanwhile, leaves Now Playing as it was.
void CMediaLibraryDlg::PlayFile(const LibraryRow& row) {
  if (!row.record) return;
  if (places_.save_last_folder) places_.save_last_folder(folder_);
  MediaItemList entries;
  if (EndsWithNoCase(row.record->GetLocation(), CPlaylist::kExtension)) {
    LoadPlaylistFile(row.record->GetLocation(), entries);
  } else if (device_fs::FileExists(row.record->GetLocation())) {
    // A Windows Media playlist goes over whole: the hosted player plays its entries.
    entries.push_back(std::make_unique<CMediaItem>(*row.record));
  }
  if (entries.empty()) {
    MessageBeep(MB_ICONASTERISK);
    return;
  }
  {
    NowPlayingLock lock;
    nowPlaying_.Clear();
    for (const auto& entry : entries) nowPlaying_.Append(*entry);
    if (nowPlaying_.Count() > 0) nowPlaying_.At(0)->SetCurrentMarker(1);
    nowPlaying_.SetCurrent(0);
  }
  if (panel_) panel_->RequestPlayback();  // the panel closes this dialog
}

void CMediaLibraryDlg::OnQueueUp() {
  const LibraryRow* row = SelectedRow();
  if (!row || !row->record || (row->node != kNodeItem && row->node != kNodeFile)) return;
  QueueUp(nowPlaying_, *row->record);
}

void CMediaLibraryDlg::OnDelete() {
  const int selected = Selection();
  const LibraryRow* row = SelectedRow();
  if (!row || !row->record || row->node == kNodeFile) return;
  LoadLibrary();
  const int index = library_.IndexOf(*row->record);
  if (index < 0) return;
  {
    NowPlayingLock lock;
    library_.RemoveAt(index);
  }
  if (!library_.Save(places_.program_folder)) {
    // The file keeps the record (a full or locked card): so do the lists.
    MessageBoxW(window_, L"The library could not be saved.", L"Library", MB_OK | MB_ICONEXCLAMATION);
    libraryLoaded_ = false;
    Reopen();
    return;
  }
  rows_.erase(rows_.begin() + selected);
  Show(selected < static_cast<int>(rows_.size()) ? selected : selected - 1);
}

void CMediaLibraryDlg::OnUpdate() {
  CMediaLibraryUpdateDlg update(window_, instance_, places_.program_folder);
  if (!places_.windows_folder.empty()) update.SetSearch(places_.search_root, places_.windows_folder);
  if (update.DoModal() != IDOK) return;
  libraryLoaded_ = false;
  LoadLibrary();
  Reopen();
}

void CMediaLibraryDlg::OnProperties() {
  const LibraryRow* row = SelectedRow();
  if (!row || !row->record || row->node != kNodeItem || row->record->GetType() == kMediaPlaylist) return;
  if (node_ == kNodeNowPlaying) return;
  const int selected = Selection();
  LoadLibrary();
  CMediaPropertiesDlg properties(window_, instance_, library_, places_.program_folder, *row->record);
  if (properties.DoModal() != IDOK) return;
  browser_.List(node_, value_, rows_);
  Show(selected);
}

// ---- Commands of the Now Playing view ------------------------------------------------------

void CMediaLibraryDlg::OnPlayEntry() {
  const int row = Selection();
  if (row < 0) return;
  PlayRow(nowPlaying_, row, panel_);  // the panel closes this dialog
}

void CMediaLibraryDlg::OnMove(bool up) {
  const int row = Selection();
  if (row < 0) return;
  const int moved = up ? MoveUp(nowPlaying_, row) : MoveDown(nowPlaying_, row);
  if (moved >= 0) ShowNowPlaying(moved);
}

void CMediaLibraryDlg::OnRemoveEntry() {
  const int row = Selection();
  if (row < 0) return;
  const int select = RemoveFromNowPlaying(nowPlaying_, row, panel_);
  ShowNowPlaying(select < 0 ? 0 : select);
}

void CMediaLibraryDlg::OnClear() {
  if (MessageBoxW(window_, L"Are you sure that you want to remove all items from Now Playing playlist?",
                  L"Confitmation", MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  {
    NowPlayingLock lock;
    ClearNowPlaying(nowPlaying_, panel_);
  }
  ShowNowPlaying(0);
}

void CMediaLibraryDlg::OnSaveAsPlaylist() {
  wchar_t file[MAX_PATH] = L"";
  OPENFILENAMEW request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = window_;
  request.lpstrFilter = kPlaylistFilter;
  request.lpstrFile = file;
  request.nMaxFile = MAX_PATH;
  request.lpstrTitle = L"Save Playlist";
  request.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_EXPLORER;
  if (!GetSaveFileNameW(&request)) return;
  bool saved = false;
  {
    NowPlayingLock lock;
    saved = nowPlaying_.Save(U(file));
  }
  if (!saved)
    MessageBoxW(window_, L"The playlist could not be saved.", L"Save Playlist", MB_OK | MB_ICONEXCLAMATION);
}

BOOL CMediaLibraryDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  if (id >= kNodeRoot && id <= kNodeNowPlaying) {
    OpenLevel(id);
    return TRUE;
  }
  if (id >= kNodeFolder && id <= kNodeFolderLast) {
    OpenLevel(id);
    return TRUE;
  }
  if (!CommandEnabled(id)) return TRUE;
  switch (id) {
    case ID_LIBRARY_PLAY: OnPlay(); return TRUE;
    case ID_LIBRARY_QUEUE_UP: OnQueueUp(); return TRUE;
    case ID_LIBRARY_DELETE: OnDelete(); return TRUE;
    case ID_LIBRARY_NOW_PLAYING: ShowNowPlaying(0); return TRUE;
    case ID_LIBRARY_UPDATE: OnUpdate(); return TRUE;
    case ID_LIBRARY_OPEN_FILE: OpenFolder(folder_); return TRUE;
    case ID_LIBRARY_PROPERTIES: OnProperties(); return TRUE;
    case ID_NOW_PLAYING_PLAY: OnPlayEntry(); return TRUE;
    case ID_LIBRARY_ROOT: Open(kNodeRoot, u16()); return TRUE;
    case ID_NOW_PLAYING_SAVE: OnSaveAsPlaylist(); return TRUE;
    case ID_NOW_PLAYING_MOVE_UP: OnMove(true); return TRUE;
    case ID_NOW_PLAYING_MOVE_DOWN: OnMove(false); return TRUE;
    case ID_NOW_PLAYING_REMOVE: OnRemoveEntry(); return TRUE;
    case ID_NOW_PLAYING_CLEAR: OnClear(); return TRUE;
    case IDC_LIBRARY_BACK: OnBack(); return TRUE;
    case IDC_LIBRARY_LEVELS: OnLevelsMenu(); return TRUE;
    case IDOK:
    case IDCANCEL: Close(); return TRUE;
  }
  return ApiDialog::OnCommand(wParam, lParam);
}

// A tap opens a container row; Return plays (or opens) the selected row.
BOOL CMediaLibraryDlg::OnNotify(int id, NMHDR* header, LRESULT* result) {
  if (id != IDC_LIBRARY_LIST) return FALSE;
  switch (header->code) {
    case NM_CLICK: {
      const int row = reinterpret_cast<NMITEMACTIVATE*>(header)->iItem;
      if (node_ != kNodeNowPlaying) OnRowTapped(row);
      return TRUE;
    }
    case NM_RETURN:
      OnCommand(node_ == kNodeNowPlaying ? ID_NOW_PLAYING_PLAY : ID_LIBRARY_PLAY, 0);
      return TRUE;
  }
  *result = 0;
  return FALSE;
}

// ---- Menu states ----------------------------------------------------------------------------

bool CMediaLibraryDlg::CommandEnabled(UINT id) const {
  const LibraryRow* row = SelectedRow();
  const int selected = Selection();
  switch (id) {
    case ID_LIBRARY_QUEUE_UP: return row && row->record && (row->node == kNodeItem || row->node == kNodeFile);
    case ID_LIBRARY_DELETE: return row && row->record && row->node != kNodeFile && node_ != kNodeNowPlaying;
    case ID_NOW_PLAYING_MOVE_UP: return selected >= 1;
    case ID_NOW_PLAYING_MOVE_DOWN: return selected >= 0 && selected + 1 < static_cast<int>(rows_.size());
    case ID_NOW_PLAYING_REMOVE: return selected >= 0;
    case ID_NOW_PLAYING_CLEAR:
    case ID_NOW_PLAYING_SAVE: return nowPlaying_.Count() > 0;
  }
  return true;
}

BOOL CMediaLibraryDlg::OnInitMenuPopup(HMENU menu) {
  for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
    const UINT id = GetMenuItemID(menu, i);
    if (id == 0 || id == static_cast<UINT>(-1)) continue;
    EnableMenuItem(menu, id, MF_BYCOMMAND | (CommandEnabled(id) ? MF_ENABLED : MF_GRAYED));
  }
  return TRUE;
}

// ---- The list and the bars -----------------------------------------------------------------

int CMediaLibraryDlg::Selection() const {
  return list_ ? ListView_GetNextItem(list_, -1, LVNI_SELECTED) : -1;
}

const LibraryRow* CMediaLibraryDlg::SelectedRow() const {
  const int row = Selection();
  return row >= 0 && row < static_cast<int>(rows_.size()) ? &rows_[row] : nullptr;
}

// Fills the list from the rows and selects `select` (clamped; the first row by default).
void CMediaLibraryDlg::Show(int select) {
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list_);
  ListView_SetItemCount(list_, static_cast<int>(rows_.size()));
  u16 mirror;
  for (size_t i = 0; i < rows_.size(); ++i) {
    LVITEMW item{LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM};
    item.iItem = static_cast<int>(i);
    item.pszText = const_cast<wchar_t*>(W(rows_[i].text.c_str()));
    item.iImage = static_cast<int>(rows_[i].icon);
    item.lParam = static_cast<LPARAM>(i);
    ListView_InsertItem(list_, &item);
    if (i < kMirroredRows) mirror += (i ? u"\n" : u"") + rows_[i].text;
  }
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  // The list's own text names its first rows: what a script looking at the screen can read.
  SetWindowTextW(list_, W(mirror.c_str()));
  if (select >= static_cast<int>(rows_.size())) select = static_cast<int>(rows_.size()) - 1;
  Select(select < 0 ? 0 : select);
  UpdateHeader();
  InvalidateRect(list_, nullptr, TRUE);
}

void CMediaLibraryDlg::Select(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  ListView_SetItemState(list_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list_, row, FALSE);
}

void CMediaLibraryDlg::UpdateHeader() {
  const u16 title = levels_.empty() ? labels_.library : levels_.back().text;
  SetDlgItemTextW(window_, IDC_LIBRARY_LEVELS, W((title + u" \u25BE").c_str()));
  SetWindowTextW(window_, W(title.c_str()));
}

// The soft keys follow the view: "Play" and the library menu, or those of Now Playing.
void CMediaLibraryDlg::SetMenuBar(UINT id) {
  if (menuBarId_ == id && menuBar_) return;
  if (menuBar_) DestroyWindow(menuBar_);
  menuBar_ = CreateDialogMenuBar(window_, instance_, id);
  menuBarId_ = id;
}

// The header bar along the top (the level button, "Back" at its right), the list below.
void CMediaLibraryDlg::PlaceControls() {
  RECT client;
  GetClientRect(window_, &client);
  RECT unit{0, 0, 4, 14};
  MapDialogRect(window_, &unit);
  const int header = unit.bottom, gap = 2;
  const int back = unit.right * 10;  // 40 dialog units
  MoveWindow(GetDlgItem(window_, IDC_LIBRARY_LEVELS), gap, 1, client.right - back - 2 * gap, header, TRUE);
  MoveWindow(GetDlgItem(window_, IDC_LIBRARY_BACK), client.right - back, 1, back - gap, header, TRUE);
  MoveWindow(list_, 0, header + 3, client.right, client.bottom - header - 3, TRUE);
  ListView_SetColumnWidth(list_, 0, client.right - GetSystemMetrics(SM_CXVSCROLL) - 4);
}

LRESULT CMediaLibraryDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTINGCHANGE:
      if (wParam == kScreenTurned) {
        templateId_ = static_cast<WORD>(PickTemplate(IDD_LIBRARY_PORTRAIT, IDD_LIBRARY_LANDSCAPE, IDD_LIBRARY_SQUARE));
        InitDialogFullScreen(window_, 0);
        FitDialogAboveMenuBar(window_, menuBar_);
      }
      break;
    case WM_SIZE:
      if (list_) PlaceControls();
      break;
    case WM_SHOWWINDOW:
      if (wParam) PostMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list_), TRUE);
      break;
    case WM_DESTROY:
      if (menuBar_) DestroyWindow(menuBar_);
      menuBar_ = nullptr;
      break;
  }
  return ApiDialog::WindowProc(message, wParam, lParam);
}

}  // namespace crv
