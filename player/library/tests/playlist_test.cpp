#include "player/library/playlist.h"

#include <gtest/gtest.h>
#include "player/base/device_fs.h"
#include "player/library/tests/test_folder.h"

using namespace crv;
using crv::testing_support::TestFolder;

namespace {

SystemTimeOfDay At(int minute, int second, int ms) {
  SystemTimeOfDay t;
  t.minute = minute;
  t.second = second;
  t.millisecond = ms;
  return t;
}

class Playlist : public ::testing::Test {
 protected:
  void Fill(int count) {
    for (int i = 0; i < count; ++i) ASSERT_TRUE(list.Append(dir.Item(u"e" + Decimal(i) + u".mp3")));
  }
  TestFolder dir;
  CPlaylist list;
};

}  // namespace

TEST(PlaylistRandom, TheDeviceRuntimeGeneratorAndTheDraw) {
  CrtRandom unseeded, r;
  r.Seed(1);
  for (int e : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464}) {
    EXPECT_EQ(r.Next(), e);
    EXPECT_EQ(unseeded.Next(), e) << "seeded with 1 at the start";
  }
  r.Seed(0);
  EXPECT_EQ(r.Next(), 38);
  EXPECT_EQ(r.Next(), 7719);
  EXPECT_EQ(RandomSeed(At(2, 3, 4)), 4u + 60u * (3u + 60u * 2u));
  EXPECT_EQ(RandomSeed(At(59, 59, 999)), 999u + 60u * (59u + 60u * 59u));
  r.Seed(1);
  for (int e : {0, 5, 1, 8}) EXPECT_EQ(DrawIndex(r, 10), e);  // 41, 18467, 6334, 26500 of 32767
  int draws = 0;
  r.Seed(1);
  EXPECT_EQ(DrawOtherIndex(r, 10, 0, &draws), 5);
  EXPECT_EQ(draws, 2);
  SystemTimeOfDay now = CurrentSystemTime();
  EXPECT_TRUE(now.minute >= 0 && now.minute < 60 && now.second >= 0 && now.second < 60 &&
              now.millisecond >= 0 && now.millisecond < 1000);
}

TEST_F(Playlist, AdvanceOnAnEmptyListReturnsNoneAndChangesNothing) {
  list.SetCurrent(4);
  for (int code = 0; code <= 6; ++code) EXPECT_EQ(list.Advance(code), nullptr);
  EXPECT_EQ(list.GetCurrent(), 4);
}

TEST_F(Playlist, AdvanceStopsAtTheEndsAndClampsAStaleIndex) {
  Fill(3);
  EXPECT_EQ(list.Advance(kStepPrevious), list.At(0)) << "previous on the first stays";
  EXPECT_EQ(list.Advance(kStepNext), list.At(1));
  EXPECT_EQ(list.Advance(kStepLast), list.At(2));
  EXPECT_EQ(list.Advance(kStepNext), list.At(2)) << "next on the last stays";
  EXPECT_EQ(list.Advance(kStepPrevious), list.At(1));
  EXPECT_EQ(list.Advance(kStepFirst), list.At(0));
  EXPECT_EQ(list.Advance(99), list.At(0));
  list.SetCurrent(7);
  EXPECT_EQ(list.Advance(kStepCurrent), list.At(2)) << "current 7 on 3 entries";
  EXPECT_EQ(list.GetCurrent(), 2);
  list.SetCurrent(7);
  EXPECT_EQ(list.Advance(kStepPrevious), list.At(2));
  list.SetCurrent(-3);
  EXPECT_EQ(list.Advance(kStepNext), list.At(0));
}

TEST_F(Playlist, RandomDraws) {
  Fill(1);
  EXPECT_EQ(list.Advance(kStepRandom), list.At(0));
  EXPECT_EQ(list.LastRandomDraws(), 100) << "every draw equals the current index";
  Fill(9);
  list.SetClock([] { return At(0, 0, 1); });  // seed 1
  EXPECT_EQ(list.Advance(kStepRandom), list.At(5)) << "41 gives 0 = current, 18467 gives 5";
  EXPECT_EQ(list.LastRandomDraws(), 2);
  EXPECT_EQ(list.Advance(kStepRandom), list.At(0)) << "reseeded: 41 gives 0";
  for (int ms = 0; ms < 1000; ++ms) {
    list.SetClock([ms] { return At(ms % 60, ms % 7, ms); });
    ASSERT_NE(list.Advance(kStepRandom), nullptr);
    ASSERT_TRUE(list.GetCurrent() >= 0 && list.GetCurrent() < 10);
  }
}

TEST_F(Playlist, EditsKeepRepeatsAndCurrent) {
  CMediaItem a = dir.Item(u"a.mp3"), b = dir.Item(u"b.avi"), missing;
  missing.SetLocation(dir.Path(u"missing.mp3"));
  EXPECT_FALSE(list.Append(missing));
  EXPECT_TRUE(list.Append(a));
  EXPECT_TRUE(list.Append(a)) << "no duplicate check";
  EXPECT_EQ(list.At(0)->StoredTitle(), u"a") << "copies with a derived title";
  EXPECT_TRUE(list.ReplaceAt(0, b));
  EXPECT_FALSE(list.ReplaceAt(2, b));
  EXPECT_EQ(list.IndexOf(a), 1);
  EXPECT_EQ(list.IndexOf(missing), -1);
  EXPECT_TRUE(list.RemoveAt(0));
  EXPECT_FALSE(list.RemoveAt(1));
  EXPECT_EQ(list.IndexOf(a), 0);
  list.SetCurrent(2);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.GetCurrent(), 2) << "clearing keeps current";
}

TEST_F(Playlist, SameSongTwiceInAFileLoadsBoth) {
  auto entry = [&](const u16& name) { return "<media><location>" + dir.Utf8(name) + "</location></media>"; };
  dir.Write(u"song.mp3");
  dir.Write(u"x.mp3");
  const u16 path = dir.Write(u"twice.hvpl", "<HVPlaylist>" + entry(u"song.mp3") + entry(u"gone.mp3") +
                                                entry(u"x.mp3") + entry(u"song.mp3") + "</HVPlaylist>");
  ASSERT_TRUE(list.Load(path));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_TRUE(list.At(0)->IsSame(*list.At(2)));
}

TEST_F(Playlist, SaveAndLoadKeepOrderAndAllFieldsWithMarkersCleared) {
  dir.Write(u"movies\\holiday.2006.avi");
  CMediaItem v;
  v.SetLocation(dir.Path(u"movies\\Holiday.2006.AVI"));
  v.SetArtist(u"Art");
  v.SetAlbum(u"Alb \u20AC");
  v.SetGenre(u"Gen");
  v.SetContrast(-20);
  v.SetBrightness(15);
  v.SetCurrentMarker(1);
  CMediaItem m = dir.Item(u"z.mp3", u"Zed"), p = dir.Item(u"other.hvpl"), n = dir.Item(u"noext");
  m.SetArtist(u"Two\r\nlines\tand \u00E9 \U0001F3B5");
  n.SetType(kMediaVideo);
  for (const CMediaItem* i : {&m, &v, &p, &n, &m}) ASSERT_TRUE(list.Append(*i));
  const u16 path = dir.Path(u"saved.hvpl");
  ASSERT_TRUE(list.Save(path));
  EXPECT_EQ(dir.Read(u"saved.hvpl").rfind("<HVPlaylist><media type=\"Music\"><location>", 0), 0u);
  CPlaylist loaded;
  loaded.SetCurrent(2);
  ASSERT_TRUE(loaded.Load(path));
  ASSERT_EQ(loaded.Count(), 5);
  EXPECT_EQ(loaded.GetCurrent(), 2) << "the current index is not stored";
  for (int i = 0; i < 5; ++i) {
    const CMediaItem &a = *list.At(i), &b = *loaded.At(i);
    EXPECT_EQ(b.GetLocation(), a.GetLocation()) << i;
    EXPECT_EQ(b.StoredTitle(), a.StoredTitle()) << i;
    EXPECT_EQ(b.GetArtist() + u"|" + b.GetAlbum() + u"|" + b.GetGenre(),
              a.GetArtist() + u"|" + a.GetAlbum() + u"|" + a.GetGenre()) << i;
    EXPECT_EQ(b.GetContrast(), a.GetContrast()) << i;
    EXPECT_EQ(b.GetBrightness(), a.GetBrightness()) << i;
    EXPECT_EQ(b.GetType(), a.GetType()) << i;
    EXPECT_EQ(b.GetCurrentMarker(), 0) << i;
  }
  EXPECT_EQ(loaded.At(1)->StoredTitle(), u"holiday.2006");
  EXPECT_EQ(loaded.At(1)->GetContrast(), -20);
  EXPECT_EQ(loaded.At(2)->GetType(), kMediaPlaylist);
  EXPECT_EQ(loaded.At(3)->GetType(), kMediaVideo) << "no extension: the attribute's type";

  MediaItemList shown;
  shown.push_back(std::make_unique<CMediaItem>());
  ASSERT_TRUE(LoadPlaylistFile(path, shown)) << "the second loader";
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_EQ(shown[1]->GetAlbum(), u"Alb \u20AC");
}

TEST_F(Playlist, MissingMalformedAndEmptyFiles) {
  Fill(2);
  EXPECT_FALSE(list.Load(dir.Path(u"absent.hvpl")));
  EXPECT_EQ(list.Count(), 0);
  Fill(2);
  EXPECT_FALSE(list.Load(dir.Write(u"bad.hvpl", "<HVPlaylist><media>")));
  EXPECT_EQ(list.Count(), 0);
  ASSERT_TRUE(list.Save(dir.Path(u"none.hvpl")));
  EXPECT_EQ(dir.Read(u"none.hvpl"), "<HVPlaylist/>");
  EXPECT_TRUE(list.Load(dir.Path(u"none.hvpl")));
  MediaItemList out;
  EXPECT_FALSE(ReadPlaylistText(nullptr, 10, out));
}

TEST_F(Playlist, FailedSaveKeepsThePreviousFile) {
  Fill(1);
  const u16 path = dir.Path(u"keep.hvpl");
  ASSERT_TRUE(list.Save(path));
  const std::string before = dir.Read(u"keep.hvpl");
  Fill(2);
  device_fs::SetWriteFailureAfterForTesting(before.size() + 5);
  EXPECT_FALSE(list.Save(path));
  device_fs::SetWriteFailureAfterForTesting(-1);
  EXPECT_EQ(dir.Read(u"keep.hvpl"), before);
  EXPECT_FALSE(dir.Exists(u"keep.hvpl.new"));
  EXPECT_FALSE(list.Save(dir.Path(u"no such folder\\x.hvpl")));
  ASSERT_TRUE(list.Save(path));
  ASSERT_TRUE(list.Load(path));
  EXPECT_EQ(list.Count(), 3);
}
