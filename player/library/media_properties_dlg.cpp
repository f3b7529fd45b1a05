#include "player/library/media_properties_dlg.h"

#include <algorithm>

#include "platform/shell/aygshell.h"
#include "player/base/win16.h"
#include "player/library/library_browser.h"
#include "player/resources/resource_ids.h"

namespace crv {
namespace {

constexpr int kTitleLimit = 150;   // characters the user may type as a title
constexpr int kFieldLimit = 260;   // the same for an album, artist or genre
constexpr int kMargin = 8;         // pixels between the boxes and the screen's right edge
constexpr WPARAM kScreenTurned = 12290;  // the shell's setting change for a turned screen

UINT Template() { return PickTemplate(IDD_PROPERTIES_PORTRAIT, IDD_PROPERTIES_LANDSCAPE, IDD_PROPERTIES_SQUARE); }

}  // namespace

CMediaPropertiesDlg::CMediaPropertiesDlg(HWND parent, HINSTANCE instance, CMediaLibrary& library,
                                         const u16& program_folder, const CMediaItem& item)
    : ApiDialog(Template(), parent, instance), library_(library), program_folder_(program_folder), item_(item) {}

BOOL CMediaPropertiesDlg::OnInitDialog() {
  ApiDialog::OnInitDialog();
  InitDialogFullScreen(window_, 0);
  menuBar_ = CreateDialogMenuBar(window_, instance_, IDR_PROPERTIES_MENU);
  FitControlsToWidth();
  FillTitle();
  FillAlbumsAndArtists();
  FillGenres();
  return TRUE;
}

// The boxes reach to the screen's right margin (the templates are laid out for the narrowest).
void CMediaPropertiesDlg::FitControlsToWidth() {
  RECT client;
  GetClientRect(window_, &client);
  for (HWND control = GetWindow(window_, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
    const int margin = kMargin;
    if (r.left + margin >= client.right) continue;
    SetWindowPos(control, nullptr, 0, 0, client.right - margin - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void CMediaPropertiesDlg::FillTitle() {
  SendDlgItemMessageW(window_, IDC_PROPERTIES_TITLE, EM_LIMITTEXT, kTitleLimit, 0);
  SetDlgItemTextW(window_, IDC_PROPERTIES_TITLE, W(item_.DisplayTitle().c_str()));
}

// The values already used by items of the same type, so that one spelling spreads.
void CMediaPropertiesDlg::FillAlbumsAndArtists() {
  std::vector<u16> albums, artists;
  library_.DistinctAlbums(item_.GetType(), albums);
  library_.DistinctArtists(item_.GetType(), artists);
  SortValuesNoCase(albums);
  SortValuesNoCase(artists);
  FillCombo(IDC_PROPERTIES_ALBUM, albums, item_.GetAlbum());
  FillCombo(IDC_PROPERTIES_ARTIST, artists, item_.GetArtist());
}

// The fixed genre names of the resources, already in order; a missing string is left out.
void CMediaPropertiesDlg::FillGenres() {
  std::vector<u16> genres;
  for (int i = 0; i < IDS_GENRE_COUNT; ++i) {
    wchar_t name[kFieldLimit + 1] = L"";
    if (LoadStringW(instance_, IDS_GENRE_FIRST + i, name, kFieldLimit + 1) > 0) genres.push_back(U(name));
  }
  FillCombo(IDC_PROPERTIES_GENRE, genres, item_.GetGenre());
}

void CMediaPropertiesDlg::FillCombo(int id, const std::vector<u16>& values, const u16& text) {
  HWND combo = GetDlgItem(window_, id);
  SendMessageW(combo, CB_LIMITTEXT, kFieldLimit, 0);
  for (const u16& value : values) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(value.c_str())));
  SetWindowTextW(combo, W(text.c_str()));
}

// The whole text: the limits bound what the user types, but a longer stored value shown as it
// is must not come back cut when the user did not touch it.
u16 CMediaPropertiesDlg::ReadText(int id) const {
  HWND control = GetDlgItem(window_, id);
  const int length = control ? GetWindowTextLengthW(control) : 0;
  if (length <= 0) return u16();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(std::max(0, GetWindowTextW(control, &text[0], length + 1))));
  return U(text.c_str());
}

// An emptied box keeps the field as it was; the record is found again by type and location,
// and when it has left the library meanwhile nothing is written.
void CMediaPropertiesDlg::OnDone() {
  const u16 title = ReadText(IDC_PROPERTIES_TITLE), album = ReadText(IDC_PROPERTIES_ALBUM),
            artist = ReadText(IDC_PROPERTIES_ARTIST), genre = ReadText(IDC_PROPERTIES_GENRE);
  if (!title.empty()) item_.SetTitle(title);
  if (!album.empty()) item_.SetAlbum(album);
  if (!artist.empty()) item_.SetArtist(artist);
  if (!genre.empty()) item_.SetGenre(genre);
  const int index = library_.IndexOf(item_);
  if (index >= 0 && library_.ReplaceAt(index, item_)) saved_ = library_.Save(program_folder_);
  EndDialog(IDOK);
}

void CMediaPropertiesDlg::OnCancel() { EndDialog(IDCANCEL); }

BOOL CMediaPropertiesDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case IDOK: OnDone(); return TRUE;
    case IDCANCEL:
    case kCmdClose: OnCancel(); return TRUE;
  }
  return ApiDialog::OnCommand(wParam, lParam);
}

void CMediaPropertiesDlg::OnScreenTurned() {
  templateId_ = static_cast<WORD>(Template());
  InitDialogFullScreen(window_, 0);
  FitDialogAboveMenuBar(window_, menuBar_);
  FitControlsToWidth();
}

LRESULT CMediaPropertiesDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTINGCHANGE:
      if (wParam == kScreenTurned) OnScreenTurned();
      break;
    case WM_DESTROY:
      if (menuBar_) DestroyWindow(menuBar_);
      menuBar_ = nullptr;
      break;
  }
  return ApiDialog::WindowProc(message, wParam, lParam);
}

}  // namespace crv
