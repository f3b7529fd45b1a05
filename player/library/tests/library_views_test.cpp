#include <gtest/gtest.h>
#include "player/library/media_library.h"
#include "player/library/tests/test_folder.h"

using namespace crv;
using crv::testing_support::TestFolder;

namespace {

class LibraryViews : public ::testing::Test {
 protected:
  void SetUp() override {
    // file, title, artist, album, genre
    const char16_t* rows[][5] = {
        {u"1.mp3", u"Waterloo", u"Abba", u"Waterloo", u"Pop"},
        {u"2.mp3", u"dancing Queen", u"ABBA", u"Arrival", u"pop"},
        {u"3.mp3", u"", u"Queen", u"Opera", u"Rock"},  // title derived: "3"
        {u"4.avi", u"Clip", u"abba", u"Arrival", u"Pop"},
        {u"5.mp3", u"Bohemian", u"abba", u"", u""},
        {u"6.mp3", u"No artist", u"", u"gold", u""},
        {u"7.mp3", u"\u00C9t\u00E9", u"\u00C9dith", u"Gold", u"ROCK"},
    };
    for (auto& r : rows) {
      CMediaItem item = dir.Item(r[0], r[1]);
      item.SetArtist(r[2]);
      item.SetAlbum(r[3]);
      item.SetGenre(r[4]);
      ASSERT_TRUE(library.Add(item));
    }
  }
  static std::vector<u16> Titles(const MediaItemList& items) {
    std::vector<u16> out;
    for (const auto& i : items) out.push_back(i->StoredTitle());
    return out;
  }

  TestFolder dir;
  CMediaLibrary library;
};

}  // namespace

TEST_F(LibraryViews, ItemsOfTypeAreCopiesSortedByTitleWithoutCase) {
  MediaItemList out;
  out.push_back(std::make_unique<CMediaItem>());  // cleared first
  library.ItemsOfType(kMediaMusic, out);
  EXPECT_EQ(Titles(out), (std::vector<u16>{u"3", u"Bohemian", u"dancing Queen", u"No artist",
                                           u"Waterloo", u"\u00C9t\u00E9"}));
  out[0]->SetArtist(u"changed");
  EXPECT_EQ(library.At(2)->GetArtist(), u"Queen") << "deep copies";
  library.ItemsOfType(kMediaVideo, out);
  EXPECT_EQ(Titles(out), (std::vector<u16>{u"Clip"}));
  library.ItemsOfType(kMediaPlaylist, out);
  EXPECT_TRUE(out.empty());
}

TEST_F(LibraryViews, DistinctValuesKeepTheFirstFormInLibraryOrder) {
  std::vector<u16> artists;
  library.DistinctArtists(kMediaMusic, artists);
  EXPECT_EQ(artists, (std::vector<u16>{u"Abba", u"Queen", u"\u00C9dith"})) << "Abba, ABBA, abba: Abba";
  std::vector<u16> more{u"QUEEN"};
  library.DistinctArtists(kMediaMusic, more);
  EXPECT_EQ(more, (std::vector<u16>{u"QUEEN", u"Abba", u"\u00C9dith"})) << "appended, not cleared";
  library.DistinctArtists(kMediaVideo, more);
  EXPECT_EQ(more.size(), 3u) << "abba of the video is listed already";
  std::vector<u16> albums, genres;
  library.DistinctAlbums(kMediaMusic, albums);
  library.DistinctGenres(kMediaMusic, genres);
  EXPECT_EQ(albums, (std::vector<u16>{u"Waterloo", u"Arrival", u"Opera", u"gold"}));
  EXPECT_EQ(genres, (std::vector<u16>{u"Pop", u"Rock"}));
}

TEST_F(LibraryViews, ItemsByFieldMatchWholeValuesWithoutCase) {
  MediaItemList out;
  library.ItemsByArtist(kMediaMusic, u"aBBA", out);
  EXPECT_EQ(Titles(out), (std::vector<u16>{u"Bohemian", u"dancing Queen", u"Waterloo"}));
  library.ItemsByArtist(kMediaVideo, u"Abba", out);
  EXPECT_EQ(Titles(out), (std::vector<u16>{u"Clip"})) << "cleared first, one type";
  library.ItemsByAlbum(kMediaMusic, u"GOLD", out);
  EXPECT_EQ(Titles(out), (std::vector<u16>{u"No artist", u"\u00C9t\u00E9"}));
  library.ItemsByGenre(kMediaMusic, u"rock", out);
  EXPECT_EQ(Titles(out), (std::vector<u16>{u"3", u"\u00C9t\u00E9"}));
  library.ItemsByArtist(kMediaMusic, u"", out);
  EXPECT_TRUE(out.empty()) << "items without the field never match";
  library.ItemsByArtist(kMediaMusic, u"Abb", out);
  EXPECT_TRUE(out.empty());
}
