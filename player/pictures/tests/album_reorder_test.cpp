#include "player/pictures/album_reorder.h"

#include <gtest/gtest.h>

#include <vector>

using namespace crv;

namespace {

struct Entry {
  const char16_t* path;
  uint32_t size;
  uint64_t time;
};

// Items with names, sizes and times in no particular order; equal keys on purpose, so that
// the unstable sorts have ties to break.
void Fill(PictureAlbum& album, const std::vector<Entry>& entries) {
  for (const Entry& e : entries) {
    AlbumItem* item = album.AddFile(e.path);
    item->Fixed().fileSize = e.size;
    item->Fixed().lastWriteTime = e.time;
  }
}

const std::vector<Entry> kEntries = {
    {u"\\Pictures\\delta.jpg", 300, 40}, {u"Alpha.bmp", 0, 10},   {u"\\x\\charlie.gif", 300, 30},
    {u"bravo.PNG", 100, 10},             {u"echo.pcx", 100, 50},  {u"Foxtrot.tif", 20, 5},
    {u"golf.jpg", 300, 10},              {u"alpha.bmp", 7, 60},
};

std::vector<const AlbumItem*> OrderOf(const PictureAlbum& album) {
  std::vector<const AlbumItem*> order;
  for (const auto& item : album.Items()) order.push_back(item.get());
  return order;
}

std::vector<const AlbumItem*> OrderOf(const AlbumReorder& copy) {
  std::vector<const AlbumItem*> order;
  for (int32_t i = 0; i < copy.Count(); ++i) order.push_back(copy.Entry(i));
  return order;
}

}  // namespace

// The copy moves on its own; the album keeps its order until the copy is applied, and then
// its current item stays current at its new place.
TEST(AlbumReorder, MovesChangeTheCopyUntilApplied) {
  PictureAlbum album;
  Fill(album, kEntries);
  album.SetCurrent(2);
  const AlbumItem* current = album.CurrentItem();
  const std::vector<const AlbumItem*> before = OrderOf(album);

  AlbumReorder copy(album);
  ASSERT_EQ(8, copy.Count());
  EXPECT_EQ(u"delta.jpg", copy.Name(0));
  EXPECT_EQ(u"Alpha.bmp", copy.Name(1));
  EXPECT_EQ(2, copy.Current());

  EXPECT_EQ(1, copy.MoveUp(2));
  EXPECT_EQ(0, copy.MoveUp(1));
  EXPECT_EQ(-1, copy.MoveUp(0)) << "the first entry";
  EXPECT_EQ(-1, copy.MoveDown(7)) << "the last entry";
  EXPECT_EQ(-1, copy.MoveDown(-1));
  EXPECT_EQ(-1, copy.MoveUp(8));
  EXPECT_EQ(u"charlie.gif", copy.Name(0));
  EXPECT_EQ(4, copy.MoveDown(3));
  EXPECT_EQ(u"bravo.PNG", copy.Name(4));
  EXPECT_EQ(before, OrderOf(album)) << "nothing reaches the album before Done";

  ASSERT_TRUE(copy.ApplyTo(album));
  EXPECT_EQ(OrderOf(copy), OrderOf(album));
  EXPECT_EQ(0, album.Current());
  EXPECT_EQ(current, album.CurrentItem());
}

// Sorting the copy gives exactly the order the album's own Sort gives, for each kind.
TEST(AlbumReorder, SortsAsTheAlbumSorts) {
  for (int32_t kind : {kAlbumSortByName, kAlbumSortByTime, kAlbumSortBySize}) {
    PictureAlbum album;
    Fill(album, kEntries);
    AlbumReorder copy(album);
    ASSERT_TRUE(copy.Sort(kind));
    ASSERT_TRUE(album.Sort(kind, 0));
    EXPECT_EQ(OrderOf(album), OrderOf(copy)) << "kind " << kind;
  }
  PictureAlbum album;
  Fill(album, kEntries);
  AlbumReorder copy(album);
  EXPECT_FALSE(copy.Sort(kAlbumMoveLeft));
  EXPECT_EQ(OrderOf(album), OrderOf(copy));
  ASSERT_TRUE(copy.Sort(kAlbumSortBySize));
  EXPECT_EQ(u"Alpha.bmp", copy.Name(0)) << "a 0-byte file first";
  EXPECT_EQ(0, album.SortOrder()) << "the album's last sort is not the copy's";
}

// An album that no longer holds exactly the copied items is left alone.
TEST(AlbumReorder, AChangedAlbumIsNotOverwritten) {
  PictureAlbum album;
  Fill(album, kEntries);
  AlbumReorder copy(album);
  copy.MoveDown(0);
  album.Remove(3);
  const std::vector<const AlbumItem*> after = OrderOf(album);
  EXPECT_FALSE(copy.ApplyTo(album));
  EXPECT_EQ(after, OrderOf(album));

  // The album's own check: a repeated item or a stranger is no rearrangement.
  PictureAlbum other;
  Fill(other, {{u"x.bmp", 1, 1}});
  std::vector<const AlbumItem*> twice = after;
  twice.back() = twice.front();
  EXPECT_FALSE(album.SetOrder(twice));
  std::vector<const AlbumItem*> stranger = after;
  stranger.back() = other.Item(0);
  EXPECT_FALSE(album.SetOrder(stranger));
  EXPECT_EQ(after, OrderOf(album));

  PictureAlbum empty;
  EXPECT_TRUE(AlbumReorder(empty).ApplyTo(empty));
  EXPECT_EQ(-1, AlbumReorder(empty).Current());
}
