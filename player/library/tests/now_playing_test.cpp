#include "player/library/now_playing.h"

#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include "player/library/tests/test_folder.h"

using namespace crv;
using crv::testing_support::TestFolder;

namespace {

// Stands in for the player control panel: records the calls and, like the panel, marks the
// entry it takes as the chosen one.
class FakePanel : public NowPlayingPanel {
 public:
  explicit FakePanel(CPlaylist& list) : list_(list) {}
  void StopPlayback() override { calls += "stop;"; }
  void StopAndReset() override {
    calls += "reset;";
    loaded.reset();
  }
  void RequestPlayback() override { Take("play;"); }
  void LoadWithoutPlaying() override { Take("show;"); }
  std::string calls;
  std::unique_ptr<CMediaItem> loaded;

 private:
  void Take(const char* what) {
    calls += what;
    CMediaItem* entry = list_.Advance(kStepCurrent);
    if (MarkChosenEntry(list_, entry, loaded.get())) loaded = std::make_unique<CMediaItem>(*entry);
  }
  CPlaylist& list_;
};

class NowPlaying : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(list.Append(dir.Item(u"e" + Decimal(i) + u".mp3")));
  }
  std::vector<int> Markers() const {
    std::vector<int> m;
    for (const auto& e : list.Entries()) m.push_back(e->GetCurrentMarker());
    return m;
  }
  u16 Titles() const {
    u16 t;
    for (const auto& e : list.Entries()) t += e->StoredTitle() + u" ";
    return t;
  }
  TestFolder dir;
  CPlaylist list;
  FakePanel panel{list};
};

}  // namespace

TEST(NowPlayingLockTest, IsRecursiveAndKeepsOtherThreadsOut) {
  std::atomic<bool> released{false}, entered{false};
  NowPlayingLock::Enter();
  {
    NowPlayingLock again;  // the same thread may take it again
    std::thread probe([] { EXPECT_FALSE(NowPlayingLock::TryEnter()); });
    probe.join();
  }
  std::thread waiter([&] {
    NowPlayingLock lock;
    entered = true;
    EXPECT_TRUE(released.load()) << "entered only after the owner let go";
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(entered.load());
  released = true;
  NowPlayingLock::Leave();
  waiter.join();
  EXPECT_TRUE(entered.load());
}

TEST_F(NowPlaying, NextAndPreviousCommands) {
  list.SetCurrent(1);
  NavigationRequest r = NextRequest(list, 1);
  EXPECT_EQ(r.code, kStepNext);
  EXPECT_FALSE(r.stop_playback);
  EXPECT_EQ(ApplyRequest(list, r), list.At(2));
  r = NextRequest(list, 0);
  EXPECT_TRUE(r.code == kStepFirst && r.stop_playback && r.reset_current);
  EXPECT_EQ(r.play_flag, 0) << "the command's flag";
  EXPECT_EQ(ApplyRequest(list, r), list.At(0));
  EXPECT_EQ(PreviousRequest(list, 1).code, kStepFirst);
  EXPECT_TRUE(PreviousRequest(list, 1).stop_playback);
  list.SetCurrent(2);
  r = PreviousRequest(list, 1);
  EXPECT_TRUE(r.code == kStepPrevious && !r.stop_playback);
  EXPECT_EQ(ApplyRequest(list, r), list.At(1));
}

TEST_F(NowPlaying, EndOfEntryWithShuffleAndRepeat) {
  list.SetCurrent(2);
  NavigationRequest r = EntryEndedRequest(list, true, false);
  EXPECT_TRUE(r.code == kStepRandom && !r.stop_playback && StartsPlaying(r)) << "Shuffle never runs out";
  list.SetCurrent(1);
  r = EntryEndedRequest(list, false, false);
  EXPECT_TRUE(r.code == kStepNext && StartsPlaying(r));
  EXPECT_EQ(ApplyRequest(list, r), list.At(2));
  for (bool repeat : {false, true}) {
    list.SetCurrent(2);
    r = EntryEndedRequest(list, false, repeat);
    EXPECT_TRUE(r.code == kStepFirst && r.stop_playback && r.reset_current);
    EXPECT_EQ(r.play_flag, repeat ? 1 : 0);
    EXPECT_EQ(StartsPlaying(r), repeat) << "with Repeat off the list stops after its last entry";
    EXPECT_EQ(ApplyRequest(list, r), list.At(0));
  }
}

TEST_F(NowPlaying, ChoosingAnEntrySetsOnlyItsMarker) {
  list.At(0)->SetCurrentMarker(1);
  list.At(2)->SetCurrentMarker(1);
  EXPECT_TRUE(MarkChosenEntry(list, list.At(1), nullptr));
  EXPECT_EQ(Markers(), (std::vector<int>{0, 1, 0}));
  CMediaItem loaded(*list.At(1));
  loaded.SetTitle(u"another title, same item");
  EXPECT_FALSE(MarkChosenEntry(list, list.At(1), &loaded)) << "the panel does not reopen it";
  EXPECT_TRUE(MarkChosenEntry(list, list.At(2), &loaded));
  EXPECT_EQ(Markers(), (std::vector<int>{0, 0, 1}));
}

TEST_F(NowPlaying, RemovingThePlayingEntryAtRowZeroOfThree) {
  ASSERT_TRUE(PlayRow(list, 0, &panel));
  panel.calls.clear();
  EXPECT_EQ(RemoveFromNowPlaying(list, 0, &panel), 0) << "the current row is selected";
  EXPECT_EQ(panel.calls, "reset;show;") << "stopped and reset first, then shown, not played";
  EXPECT_EQ(Titles(), u"e1 e2 ");
  EXPECT_EQ(list.GetCurrent(), 0);
  EXPECT_EQ(panel.loaded->StoredTitle(), u"e1");
  EXPECT_EQ(Markers(), (std::vector<int>{1, 0}));
}

TEST_F(NowPlaying, RemovingOtherEntries) {
  ASSERT_TRUE(PlayRow(list, 2, &panel));
  panel.calls.clear();
  EXPECT_EQ(RemoveFromNowPlaying(list, 1, &panel), 0) << "row 0 selected";
  EXPECT_EQ(panel.calls, "") << "playback goes on";
  EXPECT_EQ(list.GetCurrent(), 2);
  EXPECT_EQ(Markers(), (std::vector<int>{0, 1}));
  EXPECT_EQ(RemoveFromNowPlaying(list, 5, &panel), -1);
  EXPECT_EQ(RemoveFromNowPlaying(list, 1, &panel), 0) << "the playing last row";
  EXPECT_EQ(list.GetCurrent(), 0);
  EXPECT_EQ(panel.loaded->StoredTitle(), u"e0");
  panel.calls.clear();
  EXPECT_EQ(RemoveFromNowPlaying(list, 0, &panel), -1);
  EXPECT_EQ(panel.calls, "reset;") << "empty: nothing more";
}

TEST_F(NowPlaying, MovingThePlayingEntryKeepsItsMarker) {
  ASSERT_TRUE(PlayRow(list, 1, &panel));
  EXPECT_EQ(MoveDown(list, 1), 2);
  EXPECT_EQ(Titles(), u"e0 e2 e1 ");
  EXPECT_EQ(Markers(), (std::vector<int>{0, 0, 1})) << "the marker travels with the entry";
  EXPECT_EQ(list.GetCurrent(), 1) << "current still names the old row";
  EXPECT_EQ(MoveUp(list, 2), 1);
  EXPECT_EQ(MoveUp(list, 1), 0);
  EXPECT_EQ(Titles(), u"e1 e0 e2 ");
  EXPECT_EQ(Markers(), (std::vector<int>{1, 0, 0}));
  for (int row : {-1, 0, 3}) EXPECT_EQ(MoveUp(list, row), -1);
  for (int row : {-1, 2}) EXPECT_EQ(MoveDown(list, row), -1);
  EXPECT_EQ(Titles(), u"e1 e0 e2 ");
}

TEST_F(NowPlaying, QueueUpPlayAndClear) {
  EXPECT_FALSE(QueueUp(list, *list.At(0))) << "already queued";
  CMediaItem missing;
  missing.SetLocation(dir.Path(u"missing.mp3"));
  EXPECT_FALSE(QueueUp(list, missing));
  EXPECT_TRUE(QueueUp(list, dir.Item(u"q.mp3")));
  EXPECT_EQ(list.Count(), 4);

  ASSERT_TRUE(PlayRow(list, 3, &panel));
  EXPECT_EQ(Markers(), (std::vector<int>{0, 0, 0, 1}));
  EXPECT_FALSE(PlayRow(list, 4, &panel));

  MediaItemList items;
  items.push_back(std::make_unique<CMediaItem>(dir.Item(u"x.mp3")));
  items.push_back(std::make_unique<CMediaItem>(missing));
  items.push_back(std::make_unique<CMediaItem>(dir.Item(u"y.avi")));
  EXPECT_EQ(PlayItems(list, items, &panel), 2);
  EXPECT_EQ(Titles(), u"x y ");
  EXPECT_EQ(list.GetCurrent(), 0);
  EXPECT_EQ(panel.loaded->StoredTitle(), u"x");
  EXPECT_EQ(PlayItem(list, missing, &panel), 0);
  EXPECT_EQ(panel.calls, "play;play;") << "nothing to play the last time";

  ClearNowPlaying(list, &panel);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(panel.calls, "play;play;reset;");
}

TEST_F(NowPlaying, OpeningFromOutside) {
  CPlaylist two;
  ASSERT_TRUE(two.Append(dir.Item(u"p.mp3")));
  ASSERT_TRUE(two.Append(dir.Item(u"q.mp3")));
  ASSERT_TRUE(two.Save(dir.Path(u"two.hvpl")));
  list.SetCurrent(2);
  EXPECT_TRUE(OpenPlaylistFromOutside(list, dir.Path(u"two.hvpl"), &panel));
  EXPECT_EQ(panel.calls, "stop;play;");
  EXPECT_EQ(list.GetCurrent(), 1) << "current kept, clamped into the new list";
  EXPECT_EQ(panel.loaded->StoredTitle(), u"q");
  EXPECT_TRUE(OpenFileFromOutside(list, dir.Item(u"single.avi"), &panel));
  EXPECT_EQ(Titles(), u"single ");
  EXPECT_EQ(panel.loaded->StoredTitle(), u"single");
}
