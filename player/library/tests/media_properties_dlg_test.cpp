// The properties dialog on real windows: its boxes offer the values of the item's type and the
// genre names, "Done" writes the changed fields into the library file, and the close button
// (or an item gone from the library meanwhile) leaves the file as it was.
#include "player/library/media_properties_dlg.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "player/library/tests/test_folder.h"
#include "player/resources/resource_ids.h"

using namespace crv;
using crv::testing_support::TestFolder;

namespace {

using Texts = std::vector<std::wstring>;

HINSTANCE Self() { return GetModuleHandleW(nullptr); }

// The window the dialog belongs to, as the library dialog is in the player.
HWND Owner() {
  static HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 240, 320,
                                      nullptr, nullptr, Self(), nullptr);
  return owner;
}

std::wstring TextOf(HWND dialog, int id) {
  wchar_t text[300] = L"";
  GetDlgItemTextW(dialog, id, text, 300);
  return text;
}

Texts ListOf(HWND dialog, int id) {
  Texts list;
  const LRESULT count = SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[300] = L"";
    if (SendDlgItemMessageW(dialog, id, CB_GETLBTEXTLEN, i, 0) < 300)
      SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    list.push_back(text);
  }
  return list;
}

// A saved library of four songs and a video; the dialog edits the first song.
struct Store {
  TestFolder dir;
  CMediaLibrary library;
  CMediaItem song = Add(u"song.mp3", u"Abba", u"Zappa", u"Rock");
  Store() {
    Add(u"two.mp3", u"ABBA", u"abba");
    Add(u"three.mp3", u"mango", u"Beatles");
    Add(u"four.mp3", u"Zebra", u"");
    Add(u"clip.avi", u"Video album", u"Director");
    library.Save(dir.Path());
  }
  CMediaItem Add(const u16& file, const u16& album, const u16& artist, const u16& genre = u16()) {
    CMediaItem item = dir.Item(file, u"Title of " + file);
    item.SetAlbum(album);
    item.SetArtist(artist);
    item.SetGenre(genre);
    library.Add(item);
    return item;
  }
};

// Runs the dialog on the store's song; `script` is called once, 20 ms after it opens.
class ScriptedProperties : public CMediaPropertiesDlg {
  std::function<void(HWND)> script_;

 public:
  ScriptedProperties(Store& store, std::function<void(HWND)> script)
      : CMediaPropertiesDlg(Owner(), Self(), store.library, store.dir.Path(), store.song), script_(std::move(script)) {}
  // Shown at once: showing it later under the tests' X server without a window manager can
  // take seconds.
  BOOL OnInitDialog() override {
    ShowWindow(window_, SW_SHOW);
    const BOOL result = CMediaPropertiesDlg::OnInitDialog();
    SetTimer(window_, 77, 20, nullptr);
    return result;
  }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_TIMER && wParam == 77 && KillTimer(window_, 77)) script_(window_);
    return CMediaPropertiesDlg::WindowProc(message, wParam, lParam);
  }
};

TEST(MediaPropertiesDialog, OffersTheValuesOfTheItemsTypeAndCancelChangesNothing) {
  Store store;
  const std::string before = store.dir.Read(u"hvml.hvl");
  Texts albums, artists, genres, texts;
  ScriptedProperties dialog(store, [&](HWND window) {
    albums = ListOf(window, IDC_PROPERTIES_ALBUM);
    artists = ListOf(window, IDC_PROPERTIES_ARTIST);
    genres = ListOf(window, IDC_PROPERTIES_GENRE);
    for (int id : {IDC_PROPERTIES_TITLE, IDC_PROPERTIES_ALBUM, IDC_PROPERTIES_ARTIST, IDC_PROPERTIES_GENRE})
      texts.push_back(TextOf(window, id));
    SetDlgItemTextW(window, IDC_PROPERTIES_TITLE, L"New title");
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(albums, (Texts{L"Abba", L"mango", L"Zebra"}));
  EXPECT_EQ(artists, (Texts{L"abba", L"Beatles", L"Zappa"}));
  EXPECT_EQ(texts, (Texts{L"Title of song.mp3", L"Abba", L"Zappa", L"Rock"}));
  ASSERT_EQ(genres.size(), 126u);
  EXPECT_EQ(genres.front(), L"A capella");
  EXPECT_EQ(genres.back(), L"Vocal");
  EXPECT_EQ(store.dir.Read(u"hvml.hvl"), before);
}

TEST(MediaPropertiesDialog, DoneSavesTheFilledFieldsAndKeepsAnEmptiedOne) {
  Store store;
  ScriptedProperties dialog(store, [](HWND window) {
    SetDlgItemTextW(window, IDC_PROPERTIES_TITLE, L"New title");
    SetDlgItemTextW(window, IDC_PROPERTIES_ALBUM, L"");
    SetDlgItemTextW(window, IDC_PROPERTIES_GENRE, L"Jazz");
    PostMessageW(window, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_TRUE(dialog.Saved());
  CMediaLibrary saved;
  ASSERT_TRUE(saved.Load(store.dir.Path()));
  ASSERT_EQ(saved.Count(), 5);
  const CMediaItem* song = saved.At(saved.IndexOf(store.song));
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->StoredTitle(), u"New title");
  EXPECT_EQ(song->GetGenre(), u"Jazz");
  EXPECT_EQ(song->GetAlbum(), u"Abba");
  EXPECT_EQ(song->GetArtist(), u"Zappa");
}

// The record was removed while the dialog was open: "Done" must neither add it back nor save.
TEST(MediaPropertiesDialog, DoneOnAnItemGoneFromTheLibraryWritesNothing) {
  Store store;
  const std::string before = store.dir.Read(u"hvml.hvl");
  store.library.RemoveAt(store.library.IndexOf(store.song));
  ScriptedProperties dialog(store, [](HWND window) {
    SetDlgItemTextW(window, IDC_PROPERTIES_TITLE, L"New title");
    PostMessageW(window, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_FALSE(dialog.Saved());
  EXPECT_EQ(store.library.Count(), 4);
  EXPECT_EQ(store.dir.Read(u"hvml.hvl"), before);
}

}  // namespace
