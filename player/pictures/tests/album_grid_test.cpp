#include "player/pictures/album_grid.h"

#include <gtest/gtest.h>

using namespace crv;

namespace {

// The device's screens and the client areas the frame gives the album (less the navigation
// bar and the soft keys).
constexpr GridSize kPortrait{240, 320}, kPortraitClient{240, 268};
constexpr GridSize kLandscape{320, 240}, kLandscapeClient{320, 188};
constexpr GridSize kSquare{240, 240}, kSquareClient{240, 188};
constexpr GridSize kPortraitVga{480, 640}, kPortraitVgaClient{480, 536};
constexpr int32_t kScrollBar = 16;

AlbumGrid LaidOut(GridSize client, GridSize screen, int32_t count, int32_t scrollBar = kScrollBar) {
  AlbumGrid grid;
  grid.Layout(client, screen, count, scrollBar);
  return grid;
}

}  // namespace

// While the items fit, the cells follow the screen's shape; one item more brings the scroll
// bar, whose width the cells give up.
TEST(AlbumGrid, CellsFollowTheScreenShapeUntilTheItemsNoLongerFit) {
  struct Case {
    GridSize client, screen;
    int32_t fitting;  // items that fit without a scroll bar
    GridSize cell, scrolledCell;
    int32_t columns;
  } cases[] = {
      {kPortraitClient, kPortrait, 12, {78, 65}, {72, 65}, 3},
      {kLandscapeClient, kLandscape, 12, {78, 60}, {74, 60}, 4},
      {kSquareClient, kSquare, 9, {78, 60}, {72, 60}, 3},
  };
  for (const Case& c : cases) {
    const AlbumGrid fits = LaidOut(c.client, c.screen, c.fitting);
    EXPECT_FALSE(fits.NeedsScrollBar()) << c.screen.width << "x" << c.screen.height;
    EXPECT_EQ(c.cell, fits.Cell()) << c.screen.width;
    EXPECT_EQ(c.columns, fits.Columns()) << c.screen.width;
    EXPECT_EQ(c.client.width, fits.CellsWidth());

    const AlbumGrid scrolls = LaidOut(c.client, c.screen, c.fitting + 1);
    EXPECT_TRUE(scrolls.NeedsScrollBar()) << c.screen.width;
    EXPECT_EQ(c.scrolledCell, scrolls.Cell()) << c.screen.width;
    EXPECT_EQ(c.columns, scrolls.Columns()) << c.screen.width;
    EXPECT_EQ(c.client.width - kScrollBar, scrolls.CellsWidth());
    EXPECT_EQ(c.fitting / c.columns + 1, scrolls.Rows());
    EXPECT_EQ(c.fitting / c.columns, scrolls.VisibleRows()) << "the scroll bar's page";
    EXPECT_EQ(1, scrolls.MaxTopRow());
  }
}

// Starting from 80 x 66 cells, seven items would not fit two columns of three rows; the first
// layout must already be the settled one, not a scroll bar over items that fit.
TEST(AlbumGrid, TheFirstLayoutIsTheSettledOne) {
  AlbumGrid grid;
  grid.Layout(kPortraitClient, kPortrait, 7, kScrollBar);
  EXPECT_FALSE(grid.NeedsScrollBar());
  EXPECT_EQ((GridSize{78, 65}), grid.Cell());
  const GridSize first = grid.Cell();
  grid.Layout(kPortraitClient, kPortrait, 7, kScrollBar);
  EXPECT_EQ(first, grid.Cell());

  // A wide scroll bar on the large screen: three columns whichever way it went before.
  const AlbumGrid vga = LaidOut(kPortraitVgaClient, kPortraitVga, 13, 32);
  EXPECT_TRUE(vga.NeedsScrollBar());
  EXPECT_EQ(3, vga.Columns());
  EXPECT_EQ((GridSize{147, 132}), vga.Cell());
  EXPECT_LE(vga.Columns() * (vga.Cell().width + kGridGap), vga.CellsWidth() + kGridGap) << "cells stay left of the bar";
}

// Cells, points and scrolling agree: a point in a cell finds that item at any scroll
// position; gaps, empty cells and the scroll bar's strip find none.
TEST(AlbumGrid, PointsFindTheirCellsAtEveryScrollPosition) {
  AlbumGrid grid = LaidOut(kPortraitClient, kPortrait, 13);  // 72 x 65 cells, 3 columns, 5 rows
  const RRect cell4 = grid.CellRect(4);
  EXPECT_EQ(74, cell4.left);
  EXPECT_EQ(67, cell4.top);
  EXPECT_EQ(146, cell4.right);
  EXPECT_EQ(132, cell4.bottom);
  for (int32_t top = 0; top <= grid.MaxTopRow(); ++top) {
    grid.ScrollTo(top);
    for (int32_t i = grid.FirstVisible(); i < grid.EndVisible(); ++i) {
      const RRect r = grid.CellRect(i);
      if (r.top < 0 || r.top >= kPortraitClient.height) continue;
      EXPECT_EQ(i, grid.ItemAt(r.left, r.top)) << i << " at top row " << top;
      EXPECT_EQ(i, grid.ItemAt(r.right - 1, r.bottom - 1)) << i;
      EXPECT_EQ(-1, grid.ItemAt(r.right, r.top)) << "the gap right of " << i;
      EXPECT_EQ(-1, grid.ItemAt(r.left, r.bottom)) << "the gap under " << i;
    }
  }
  grid.ScrollTo(1);
  EXPECT_EQ(3, grid.ItemAt(0, 0));
  EXPECT_EQ(-1, grid.ItemAt(74, 3 * 67)) << "the empty cell after the last item";
  EXPECT_EQ(-1, grid.ItemAt(kPortraitClient.width - 2, 10)) << "the scroll bar's strip";
  EXPECT_EQ(3, grid.FirstVisible());
  EXPECT_EQ(13, grid.EndVisible());
}

TEST(AlbumGrid, ScrollingStaysInRangeAndShowsTheAskedItem) {
  AlbumGrid grid = LaidOut(kPortraitClient, kPortrait, 13);
  EXPECT_FALSE(grid.ScrollTo(-3));
  EXPECT_TRUE(grid.ScrollTo(7));
  EXPECT_EQ(1, grid.TopRow());
  EXPECT_FALSE(grid.ScrollToShow(6)) << "row 2 is in sight";
  EXPECT_TRUE(grid.ScrollToShow(0));
  EXPECT_EQ(0, grid.TopRow());
  EXPECT_TRUE(grid.ScrollToShow(12));
  EXPECT_EQ(1, grid.TopRow());
  EXPECT_FALSE(grid.ScrollToShow(13)) << "no such item";

  // Items removed: the top row comes back into range with the next layout.
  grid.Layout(kPortraitClient, kPortrait, 4, kScrollBar);
  EXPECT_EQ(0, grid.TopRow());
  EXPECT_FALSE(grid.NeedsScrollBar());
}

TEST(AlbumGrid, TheThumbnailBoxLeavesRoomForTheName) {
  const AlbumGrid grid = LaidOut(kPortraitClient, kPortrait, 3);  // 78 x 65 cells
  EXPECT_EQ(70, grid.ThumbnailBox(kScrollBar, 11).width);
  EXPECT_EQ(46, grid.ThumbnailBox(kScrollBar, 11).height);
  EXPECT_EQ(57, grid.ThumbnailBox(kScrollBar, 0).height);
  EXPECT_EQ(1, grid.ThumbnailBox(200, 200).width) << "never empty";
  EXPECT_EQ(11, PointsToPixels(8, 96));
  EXPECT_EQ(21, PointsToPixels(8, 192));
}

// A window not sized yet, or too small for one cell, has no cells to find.
TEST(AlbumGrid, DegenerateClientsHaveNoCells) {
  AlbumGrid empty = LaidOut({0, 0}, kPortrait, 5);
  EXPECT_EQ(0, empty.Columns());
  EXPECT_EQ(-1, empty.ItemAt(0, 0));
  EXPECT_EQ(empty.FirstVisible(), empty.EndVisible());
  EXPECT_FALSE(empty.ScrollToShow(2));

  const AlbumGrid tiny = LaidOut({3, 3}, kPortrait, 100000, 8);
  EXPECT_GE(tiny.Columns(), 1);
  EXPECT_GE(tiny.Cell().width, 1);
  EXPECT_GE(tiny.VisibleRows(), 1);
  EXPECT_EQ(-1, tiny.ItemAt(-1, 0));
}

// Up and Down move by a row; into a partly filled last row they stop at the last item, past
// the ends they stay.
TEST(AlbumGrid, RowMovesStopAtTheEdges) {
  EXPECT_EQ(4, IndexRowsAway(1, 1, 3, 7));
  EXPECT_EQ(6, IndexRowsAway(4, 1, 3, 7));
  EXPECT_EQ(6, IndexRowsAway(6, 1, 3, 7));
  EXPECT_EQ(5, IndexRowsAway(5, 1, 3, 6));
  EXPECT_EQ(1, IndexRowsAway(1, -1, 3, 7));
  EXPECT_EQ(2, IndexRowsAway(5, -1, 3, 7));
  EXPECT_EQ(0, IndexRowsAway(-1, 1, 3, 7)) << "nothing current yet";
  EXPECT_EQ(-1, IndexRowsAway(-1, 1, 3, 0)) << "an empty album";
}
