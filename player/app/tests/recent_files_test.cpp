#include "player/app/recent_files.h"

#include <gtest/gtest.h>

#include "player/app/memory_settings_store.h"

using namespace crv;

TEST(RecentFiles, NewestFirstAndAFifthDropsTheOldest) {
  MemorySettingsStore store;
  RecentFiles recent;
  for (const char16_t* p : {u"\\a.mab", u"\\b.jpg", u"\\c.bmp", u"\\d.gif", u"\\e.tif"}) recent.Add(store, p);
  EXPECT_EQ(recent.Entries(), (std::vector<u16>{u"\\e.tif", u"\\d.gif", u"\\c.bmp", u"\\b.jpg"}));

  RecentFiles reloaded;
  reloaded.Load(store);
  EXPECT_EQ(reloaded.Entries(), recent.Entries());
}

TEST(RecentFiles, ReAddingMovesToFrontIgnoringCaseAndTab) {
  MemorySettingsStore store;
  RecentFiles recent;
  recent.Add(store, u"\\My Documents\\One.jpg");
  recent.Add(store, u"\\My Documents\\Two.jpg\t");
  recent.Add(store, u"\\My Documents\\Three.jpg");
  recent.Add(store, u"\\MY DOCUMENTS\\two.JPG");
  EXPECT_EQ(recent.Entries(),
            (std::vector<u16>{u"\\MY DOCUMENTS\\two.JPG", u"\\My Documents\\Three.jpg", u"\\My Documents\\One.jpg"}));
}

TEST(RecentFiles, StoredCountIsClampedToCapacity) {
  MemorySettingsStore store;
  {
    auto key = store.Open(u"RecentPaths\\RecentFiles", true);
    key->WriteDword(u"FCount", 60);
    for (int i = 0; i < 6; ++i) key->WriteString((u"File" + Decimal(i)).c_str(), (u"\\f" + Decimal(i)).c_str());
  }
  RecentFiles recent;
  recent.Load(store);
  EXPECT_EQ(recent.Entries().size(), 4u);
}

TEST(RecentFiles, MenuTextShortensToTheLastComponent) {
  EXPECT_EQ(RecentFiles::MenuText(0, u"\\My Documents\\Pictures\\rose.jpg"), u"&1 ...\\rose.jpg");
  EXPECT_EQ(RecentFiles::MenuText(3, u"\\rose.jpg"), u"&4 \\rose.jpg");
  // Trailing punctuation is stepped over before looking for the backslash.
  EXPECT_EQ(RecentFiles::MenuText(1, u"\\My Documents\\Album\\*.*"), u"&2 ...\\Album\\*.*");
  EXPECT_EQ(RecentFiles::MenuText(2, u"\\My Documents\\a.mab\t"), u"&3 ...\\a.mab");
  EXPECT_EQ(RecentFiles::ShortenPath(u"name-only"), u"name-only");
}
