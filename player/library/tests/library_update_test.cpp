#include "player/library/library_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "player/library/tests/test_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace crv;
using crv::testing_support::TestFolder;

namespace {

// What the dialog would show, kept for the checks; can cancel the work at a chosen counter.
struct Recorder : LibraryUpdate::Progress {
  std::vector<u16> counters, phases;
  int bar_starts = 0, steps = 0;
  LibraryUpdate* cancel_on = nullptr;
  u16 cancel_at;
  void StartBar(int) override { ++bar_starts; }
  void StepBar() override { ++steps; }
  void ShowCounter(const u16& text) override {
    counters.push_back(text);
    if (cancel_on && text == cancel_at) cancel_on->Cancel();
  }
  void ShowPhase(const u16& text) override { phases.push_back(text); }
};

class Update : public ::testing::Test {
 protected:
  // A hidden entry: the attribute on Windows, a leading dot natively.
  u16 Hidden(const u16& name) {
#ifdef _WIN32
    return name;
#else
    return u"." + name;
#endif
  }
  void MakeHidden(const u16& relative) {
#ifdef _WIN32
    SetFileAttributesW(dir.Native(relative).wstring().c_str(), FILE_ATTRIBUTE_HIDDEN);
#else
    (void)relative;
#endif
  }
  std::vector<u16> Locations() const {
    std::vector<u16> out;
    for (const auto& item : library.Items()) out.push_back(item->GetLocation());
    std::sort(out.begin(), out.end());
    return out;
  }

  TestFolder dir;
  CMediaLibrary library;
  Recorder progress;
};

TEST_F(Update, AddsTheDevicesMediaFilesAndDropsRecordsOfFilesThatAreGone) {
  dir.Write(u"my documents\\song.mp3");
  dir.Write(u"my documents\\film.avi");
  dir.Write(u"my documents\\mix.hvpl");
  dir.Write(u"my documents\\photo.jpg");
  dir.Write(u"my documents\\notes.txt");
  dir.Write(u"storage card\\music\\deep\\song.mp3");  // the same song elsewhere: a second item
  dir.Write(u"my documents\\windows tips\\clip.wmv");  // only the system folder is left out
  dir.Write(u"windows\\chime.wav");
  dir.Write(u"windows\\sub\\tone.wav");
  dir.Write(Hidden(u"private") + u"\\secret.mp3");
  MakeHidden(Hidden(u"private"));
  dir.Write(u"my documents\\" + Hidden(u"hidden.mp3"));
  MakeHidden(u"my documents\\" + Hidden(u"hidden.mp3"));
  ASSERT_TRUE(library.Add(dir.Item(u"old.mp3")));
  ASSERT_TRUE(library.Add(dir.Item(u"gone.mp3")));
  std::filesystem::remove(dir.Native(u"gone.mp3"));

  std::vector<u16> tagged;
  LibraryUpdate update(library, dir.Path(u"Windows"), progress, [&](CMediaItem& item) {
    tagged.push_back(item.GetLocation());
    item.SetArtist(u"Someone");
  });
  EXPECT_TRUE(update.Run(dir.Path()));

  const std::vector<u16> want = {dir.Path(u"my documents\\film.avi"), dir.Path(u"my documents\\mix.hvpl"),
                                 dir.Path(u"my documents\\song.mp3"), dir.Path(u"my documents\\windows tips\\clip.wmv"),
                                 dir.Path(u"old.mp3"), dir.Path(u"storage card\\music\\deep\\song.mp3")};
  EXPECT_EQ(Locations(), want);
  // Only the new files were read for tags, each once; the titles are derived.
  EXPECT_EQ(tagged.size(), 5u);
  EXPECT_EQ(library.At(library.Count() - 1)->GetArtist(), u"Someone");
  for (const auto& item : library.Items()) EXPECT_FALSE(item->StoredTitle().empty());
  const auto type_of = [&](const u16& name) {
    for (const auto& item : library.Items())
      if (item->GetLocation() == dir.Path(name)) return item->GetType();
    return -1;
  };
  EXPECT_EQ(type_of(u"my documents\\film.avi"), kMediaVideo);
  EXPECT_EQ(type_of(u"my documents\\mix.hvpl"), kMediaPlaylist);

  EXPECT_EQ(progress.phases, (std::vector<u16>{LibraryUpdate::kSearching, LibraryUpdate::kAdding,
                                                LibraryUpdate::kUpdated}));
  // The counter: "Checking file" per record, "Found n" per find, "Added i" from 0.
  EXPECT_EQ(std::count(progress.counters.begin(), progress.counters.end(), u16(LibraryUpdate::kChecking)), 2);
  EXPECT_NE(std::find(progress.counters.begin(), progress.counters.end(), u"Found 6 files"), progress.counters.end());
  EXPECT_EQ(std::find(progress.counters.begin(), progress.counters.end(), u"Found 7 files"), progress.counters.end());
  const auto first_added = std::find_if(progress.counters.begin(), progress.counters.end(),
                                        [](const u16& t) { return t.rfind(u"Added", 0) == 0; });
  ASSERT_NE(first_added, progress.counters.end());
  EXPECT_EQ(*first_added, u"Added 0 files");
  EXPECT_EQ(progress.counters.back(), u"Added 5 files");
  EXPECT_EQ(progress.steps, 2 + 6);  // the checked records, then the found files
}

TEST_F(Update, APathFoundTwiceOrAlreadyListedIsAddedOnce) {
  dir.Write(u"a\\one.mp3");
  ASSERT_TRUE(library.Add(dir.Item(u"a\\one.mp3")));
  LibraryUpdate update(library, u"\\Windows", progress);
  update.Search(dir.Path(u"a"));
  update.Search(dir.Path(u"a"));
  EXPECT_EQ(update.Found().size(), 2u);
  update.AddFound();
  EXPECT_EQ(library.Count(), 1);
}

TEST_F(Update, CancelStopsTheSearchAndAddsNothing) {
  for (int i = 0; i < 20; ++i) dir.Write(u"music\\song" + Decimal(i) + u".mp3");
  ASSERT_TRUE(library.Add(dir.Item(u"kept.mp3")));
  LibraryUpdate update(library, u"\\Windows", progress);
  progress.cancel_on = &update;
  progress.cancel_at = LibraryUpdate::FoundText(3);
  EXPECT_FALSE(update.Run(dir.Path()));
  EXPECT_TRUE(update.Cancelled());
  EXPECT_EQ(update.Found().size(), 3u);
  EXPECT_EQ(library.Count(), 1);
  EXPECT_EQ(std::count_if(progress.counters.begin(), progress.counters.end(),
                          [](const u16& t) { return t.rfind(u"Added", 0) == 0; }),
            0);
}

TEST_F(Update, MediaFilesAreThoseOfBothEngines) {
  for (const char16_t* name : {u"a.MP3", u"b.wma", u"c.asx", u"d.3gp", u"e.m4v", u"f.mpeg", u"g.qt", u"h.hvpl"})
    EXPECT_TRUE(LibraryUpdate::IsMediaFile(name)) << ToUtf8(name);
  for (const char16_t* name : {u"a.jpg", u"b.txt", u"mp3", u"c.mp3.bak"})
    EXPECT_FALSE(LibraryUpdate::IsMediaFile(name)) << ToUtf8(name);
}

}  // namespace
