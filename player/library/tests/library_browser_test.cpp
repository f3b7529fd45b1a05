// The lists of the library dialog: the levels, the artist lists, the folders of the device,
// and what "Play" puts into Now Playing.
#include <gtest/gtest.h>

#include <filesystem>

#include "player/library/library_browser.h"
#include "player/library/now_playing.h"
#include "player/library/tests/test_folder.h"

using namespace crv;
using crv::testing_support::TestFolder;

namespace {

std::vector<u16> Texts(const LibraryRows& rows) {
  std::vector<u16> out;
  for (const auto& row : rows) out.push_back(row.text);
  return out;
}

struct RecordingPanel : NowPlayingPanel {
  void StopPlayback() override {}
  void StopAndReset() override {}
  void RequestPlayback() override { ++requests; }
  void LoadWithoutPlaying() override {}
  int requests = 0;
};

class Browser : public ::testing::Test {
 protected:
  void Add(const char16_t* file, const char16_t* title, const char16_t* artist, const char16_t* album = u"",
           const char16_t* genre = u"") {
    CMediaItem item = dir.Item(file, title);
    item.SetArtist(artist);
    item.SetAlbum(album);
    item.SetGenre(genre);
    ASSERT_TRUE(library.Add(item));
  }
  LibraryRows List(uint32_t node, const u16& value = u16()) {
    LibraryRows rows;
    browser.List(node, value, rows);
    return rows;
  }

  TestFolder dir;
  CMediaLibrary library;
  LibraryLabels labels;
  LibraryBrowser browser{library, labels};
};

}  // namespace

TEST_F(Browser, FixedLevelsAndTheirChains) {
  EXPECT_EQ(Texts(List(kNodeRoot)), (std::vector<u16>{u"My Music", u"My Videos", u"My Playlists", u"Now Playing"}));
  EXPECT_EQ(Texts(List(kNodeMyVideos)), (std::vector<u16>{u"All Video", u"Artist", u"Album", u"Genre"}));
  const auto rows = List(kNodeMyMusic);
  EXPECT_EQ(rows[1].node, kNodeMusicArtists);
  EXPECT_TRUE(IsContainerNode(rows[1].node));
  EXPECT_FALSE(IsContainerNode(kNodeItem));
  EXPECT_FALSE(IsContainerNode(kNodeFile));

  auto levels = browser.Levels(kNodeVideoAlbum, u"Arrival");
  ASSERT_EQ(levels.size(), 4u);
  EXPECT_EQ(levels[1].node, kNodeMyVideos);
  EXPECT_EQ(levels[2].node, kNodeVideoAlbums);
  EXPECT_EQ(levels[2].text, u"Album");
  EXPECT_EQ(levels[3].text, u"Arrival");
  EXPECT_EQ(browser.Levels(kNodeRoot, u"").size(), 1u);
}

TEST_F(Browser, ValueListsStartWithTheAllRowAndFoldCase) {
  // Empty library: the first row is there all the same.
  EXPECT_EQ(Texts(List(kNodeMusicArtists)), (std::vector<u16>{u"All Songs"}));
  EXPECT_EQ(Texts(List(kNodeVideoGenres)), (std::vector<u16>{u"All Videos"}));

  Add(u"1.mp3", u"Waterloo", u"abba", u"Waterloo", u"Pop");
  Add(u"2.mp3", u"Bohemian", u"Queen", u"Opera", u"Rock");
  Add(u"3.mp3", u"Arrival", u"ABBA", u"Arrival", u"pop");
  Add(u"4.avi", u"Clip", u"Beatles");
  const auto artists = List(kNodeMusicArtists);
  EXPECT_EQ(Texts(artists), (std::vector<u16>{u"All Songs", u"abba", u"Queen"}));
  EXPECT_EQ(artists[0].node, kNodeAllMusic);
  EXPECT_EQ(artists[1].node, kNodeMusicArtist);
  EXPECT_EQ(Texts(List(kNodeMusicArtist, u"ABBA")), (std::vector<u16>{u"Arrival", u"Waterloo"}));
  EXPECT_EQ(Texts(List(kNodeVideoArtists)), (std::vector<u16>{u"All Videos", u"Beatles"}));

  // "Play" on the "Genre" row: groups in library order ("Pop" first met), each by title.
  MediaItemList items;
  browser.ItemsOfRow(List(kNodeMyMusic)[3], items);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0]->StoredTitle(), u"Arrival");
  EXPECT_EQ(items[1]->StoredTitle(), u"Waterloo");
  EXPECT_EQ(items[2]->StoredTitle(), u"Bohemian");
}

TEST_F(Browser, PlaylistsListTheirEntriesAndABrokenOneNothing) {
  Add(u"a.mp3", u"A", u"");
  Add(u"b.mp3", u"B", u"");
  CPlaylist list;
  ASSERT_TRUE(list.Append(*library.At(1)));
  ASSERT_TRUE(list.Append(*library.At(0)));
  ASSERT_TRUE(list.Save(dir.Path(u"mix.hvpl")));
  CMediaItem playlist;
  playlist.SetLocation(dir.Path(u"mix.hvpl"));
  ASSERT_TRUE(library.Add(playlist));
  dir.Write(u"broken.hvpl", "<HVPlaylist><media");

  const auto playlists = List(kNodePlaylists);
  ASSERT_EQ(playlists.size(), 1u);
  EXPECT_EQ(playlists[0].node, kNodePlaylist);
  EXPECT_EQ(playlists[0].icon, RowIcon::kPlaylist);
  EXPECT_EQ(Texts(List(kNodePlaylist, playlists[0].record->GetLocation())), (std::vector<u16>{u"B", u"A"}));
  EXPECT_TRUE(List(kNodePlaylist, dir.Path(u"broken.hvpl")).empty());
  EXPECT_EQ(browser.Levels(kNodePlaylist, playlists[0].record->GetLocation()).back().text, u"mix");
}

TEST_F(Browser, PlayingTheThirdSongQueuesTheWholeListAndStartsThere) {
  Add(u"1.mp3", u"One", u"x");
  Add(u"2.mp3", u"Two", u"x");
  Add(u"3.mp3", u"Three", u"x");
  Add(u"4.mp3", u"Four", u"x");
  const auto rows = List(kNodeAllMusic);
  ASSERT_EQ(Texts(rows), (std::vector<u16>{u"Four", u"One", u"Three", u"Two"}));
  CPlaylist now_playing;
  RecordingPanel panel;
  EXPECT_EQ(PlayListFromRow(now_playing, rows, 2, &panel), 2);
  ASSERT_EQ(now_playing.Count(), 4);
  EXPECT_EQ(now_playing.GetCurrent(), 2);
  EXPECT_EQ(now_playing.At(2)->StoredTitle(), u"Three");
  EXPECT_EQ(now_playing.At(2)->GetCurrentMarker(), 1);
  EXPECT_EQ(now_playing.At(0)->GetCurrentMarker(), 0);
  EXPECT_EQ(panel.requests, 1);

  LibraryRows shown;
  LibraryBrowser::ListNowPlaying(now_playing, shown);
  EXPECT_EQ(shown[2].icon, RowIcon::kPlaying);
  EXPECT_EQ(shown[1].icon, RowIcon::kMusic);

  // A song whose file went away since the list was made: Now Playing stays as it was.
  std::filesystem::remove(dir.Native(u"1.mp3"));
  EXPECT_EQ(PlayListFromRow(now_playing, rows, 1, &panel), -1);
  EXPECT_EQ(now_playing.Count(), 4);
  EXPECT_EQ(panel.requests, 1);
  // Another one gone: the chosen song keeps its place among those that are left.
  EXPECT_EQ(PlayListFromRow(now_playing, rows, 3, &panel), 2);
  EXPECT_EQ(now_playing.At(2)->StoredTitle(), u"Two");
}

TEST_F(Browser, FolderViewListsFoldersThenMediaFilesOnly) {
  dir.Write(u"dev\\zeta\\x.mp3");
  dir.Write(u"dev\\Alpha\\y.mp3");
  dir.Write(u"dev\\.hidden\\z.mp3");
  dir.Write(u"dev\\b.MP3");
  dir.Write(u"dev\\a.avi");
  dir.Write(u"dev\\list.hvpl");
  dir.Write(u"dev\\photo.jpg");
  dir.Write(u"dev\\notes.txt");
  LibraryRows rows;
  ListFolderRows(dir.Path(u"dev"), rows);
  EXPECT_EQ(Texts(rows), (std::vector<u16>{u"Alpha", u"zeta", u"a.avi", u"b.MP3", u"list.hvpl"}));
  EXPECT_EQ(rows[0].node, kNodeFolder);
  EXPECT_EQ(rows[2].node, kNodeFile);
  EXPECT_EQ(rows[2].icon, RowIcon::kVideo);
  EXPECT_EQ(rows[3].record->GetLocation(), ToLower(dir.Path(u"dev\\b.MP3")));
  EXPECT_EQ(rows[3].record->DisplayTitle(), u"b");
  EXPECT_EQ(rows[4].icon, RowIcon::kPlaylist);
  ListFolderRows(dir.Path(u"no such folder"), rows);
  EXPECT_TRUE(rows.empty());
}

TEST(FolderPaths, LevelsAndChildrenOfAPath) {
  EXPECT_EQ(ChildFolder(u"\\", u"My Documents"), u"\\My Documents");
  EXPECT_EQ(ChildFolder(u"\\My Documents", u"Music"), u"\\My Documents\\Music");
  const auto levels = FolderLevels(u"\\Storage Card\\Music\\", u"File System");
  ASSERT_EQ(levels.size(), 3u);
  EXPECT_EQ(levels[0].text, u"File System");
  EXPECT_EQ(levels[2].node, kNodeFolder + 2);
  EXPECT_EQ(levels[2].text, u"Music");
  EXPECT_EQ(FolderAtLevel(u"\\Storage Card\\Music", 0), u"\\");
  EXPECT_EQ(FolderAtLevel(u"\\Storage Card\\Music", 1), u"\\Storage Card");
  EXPECT_EQ(FolderAtLevel(u"\\Storage Card\\Music", 9), u"\\Storage Card\\Music");
  // A path deeper than the level ids reach stops at the last id.
  u16 deep;
  for (int i = 0; i < 150; ++i) deep += u"\\d";
  EXPECT_EQ(FolderLevels(deep, u"File System").back().node, static_cast<uint32_t>(kNodeFolderLast));
}
