#include "player/library/media_item.h"

#include <gtest/gtest.h>

using namespace crv;

TEST(MediaItem, SetLocationLowerCasesAndTakesTheTypeFromTheExtension) {
  CMediaItem item;
  EXPECT_EQ(item.GetType(), kMediaMusic) << "the defined default";
  item.SetType(kMediaVideo);
  item.SetLocation(u"\\Storage Card\\Music\\Song.MP3");
  EXPECT_EQ(item.GetLocation(), u"\\storage card\\music\\song.mp3");
  EXPECT_EQ(item.GetType(), kMediaMusic);
  item.SetType(kMediaVideo);
  item.SetLocation(u"\\clips\\film.ogg");
  EXPECT_EQ(item.GetType(), kMediaVideo) << "an unknown extension keeps the type";
  for (const char16_t* v : {u"a.MPE", u"a.mpeg", u"a.qt", u"a.3gp", u"a.ASF", u"a.wmv", u"a.mp4"})
    EXPECT_EQ(CMediaItem::TypeFromExtension(ToLower(v)), kMediaVideo) << ToUtf8(v);
  for (const char16_t* p : {u"a.asx", u"a.wax", u"a.wvx", u"a.hvpl"})
    EXPECT_EQ(CMediaItem::TypeFromExtension(p), kMediaPlaylist) << ToUtf8(p);
  EXPECT_EQ(CMediaItem::TypeFromExtension(u"a.wav"), kMediaMusic);
  EXPECT_EQ(CMediaItem::TypeFromExtension(u"a.wma"), kMediaMusic);
}

TEST(MediaItem, OnlyTheFirstOccurrenceOfAnExtensionCounts) {
  EXPECT_EQ(CMediaItem::TypeFromExtension(u"\\a.mpg.d\\x.mpg"), -1);
  EXPECT_EQ(CMediaItem::TypeFromExtension(u"\\x.mp3.mp3"), -1);
  EXPECT_EQ(CMediaItem::TypeFromExtension(u"\\x.mpeg"), kMediaVideo) << ".mpe occurs but does not end it";
  EXPECT_EQ(CMediaItem::TypeFromExtension(u"\\x.avi.d\\y.mp3"), kMediaMusic);
  CMediaItem item;
  item.SetType(kMediaPlaylist);
  item.SetLocation(u"\\a.mpg.d\\x.mpg");
  EXPECT_EQ(item.GetType(), kMediaPlaylist);
}

TEST(MediaItem, TitleDerivation) {
  EXPECT_EQ(CMediaItem::DeriveTitle(u"\\storage card\\clips\\holiday.2006.avi"), u"holiday.2006");
  EXPECT_EQ(CMediaItem::DeriveTitle(u"track01.mp3"), u"track01");
  EXPECT_EQ(CMediaItem::DeriveTitle(u"\\music.d\\readme"), u"") << "a dot in a folder is no extension";
  EXPECT_EQ(CMediaItem::DeriveTitle(u""), u"");
  CMediaItem item;
  item.SetLocation(u"\\Music\\Track01.MP3");
  EXPECT_EQ(item.DisplayTitle(), u"track01");
  EXPECT_TRUE(item.StoredTitle().empty()) << "DisplayTitle does not store";
  EXPECT_EQ(item.GetTitle(), u"track01");
  EXPECT_EQ(item.StoredTitle(), u"track01") << "GetTitle stores the derived title";
  item.SetTitle(u"");
  EXPECT_TRUE(item.StoredTitle().empty()) << "an empty value leaves the field empty";
}

TEST(MediaItem, CopiesAreDeepAndDeriveTheTitle) {
  CMediaItem a;
  a.SetLocation(u"\\v\\Clip.AVI");
  a.SetArtist(u"Artist");
  a.SetAlbum(u"Album");
  a.SetGenre(u"Genre");
  a.SetContrast(-3);
  a.SetBrightness(4);
  a.SetCurrentMarker(1);
  CMediaItem b(a);
  a.SetArtist(u"Changed");
  EXPECT_TRUE(a.StoredTitle().empty());
  EXPECT_EQ(b.StoredTitle(), u"clip");
  EXPECT_EQ(b.GetLocation(), u"\\v\\clip.avi");
  EXPECT_EQ(b.GetArtist(), u"Artist");
  EXPECT_EQ(b.GetAlbum() + b.GetGenre(), u"AlbumGenre");
  EXPECT_EQ(b.GetType(), kMediaVideo);
  EXPECT_EQ(b.GetContrast() * 10 + b.GetBrightness(), -26);
  EXPECT_EQ(b.GetCurrentMarker(), 1);

  CMediaItem c;
  c.SetGenre(u"Old genre");
  c = CMediaItem();
  EXPECT_TRUE(c.GetGenre().empty()) << "assignment clears the target first";
  c = b;
  EXPECT_EQ(c.GetGenre(), u"Genre");
  CMediaItem& self = c;
  c = self;
  EXPECT_EQ(c.GetLocation(), u"\\v\\clip.avi") << "self-assignment keeps the record";
}

TEST(MediaItem, IdentityIsTypeAndExactLocation) {
  CMediaItem a, b, c;
  a.SetLocation(u"\\M\\Song.mp3");
  b.SetLocation(u"\\m\\SONG.MP3");
  b.SetTitle(u"another title");
  c.SetLocation(u"\\m\\song2.mp3");
  EXPECT_TRUE(a.IsSame(b));
  EXPECT_FALSE(a.IsSame(c));
  EXPECT_FALSE(a.IsSame(nullptr));
  b.SetType(kMediaVideo);
  EXPECT_FALSE(a.IsSame(b));
}
