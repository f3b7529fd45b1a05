// AlbumGrid: the geometry of the album's thumbnail grid without a window. It decides the
// cell size, the columns and rows, whether a scroll bar is needed, where each item's cell
// lies at the current scroll position and which item a point falls on.
//
// Cells are `kGridGap` apart; column c starts at c x (cell width + gap), and rows scroll by
// whole rows. While the items fit, the cell size follows the screen's shape (3 x 4 cells on a
// portrait screen, 4 x 3 on a landscape one, 3 x 3 on a square one); when they do not, a
// scroll bar takes its width at the right and the cells shrink to share what is left.
#pragma once
#include <cstdint>
#include "player/media/frame_record.h"
#include "player/pictures/image_holder.h"

namespace crv {

constexpr int32_t kGridGap = 2;
// The cell size before the first layout.
constexpr int32_t kFirstCellWidth = 80;
constexpr int32_t kFirstCellHeight = 66;

struct GridSize {
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const GridSize& other) const { return width == other.width && height == other.height; }
  bool operator!=(const GridSize& other) const { return !(*this == other); }
};

class AlbumGrid {
 public:
  // Lays out `count` items in a client area of `client` pixels; `screen` gives the shape,
  // `scrollBarWidth` what a scroll bar takes. The top row is kept within the new range.
  void Layout(GridSize client, GridSize screen, int32_t count, int32_t scrollBarWidth);

  GridSize Cell() const { return cell_; }
  int32_t Columns() const { return columns_; }
  // Rows the items fill, and rows that fit in the client (the scroll bar's page).
  int32_t Rows() const { return rows_; }
  int32_t VisibleRows() const { return visibleRows_; }
  bool NeedsScrollBar() const { return scrollBar_; }
  // The width the cells share: the client less the scroll bar.
  int32_t CellsWidth() const { return cellsWidth_; }

  int32_t TopRow() const { return topRow_; }
  int32_t MaxTopRow() const;
  // Puts `row` at the top, kept within [0, MaxTopRow]; true when the grid moved.
  bool ScrollTo(int32_t row);
  // Scrolls the least that shows item `index`'s row whole; true when the grid moved.
  bool ScrollToShow(int32_t index);

  // Item `index`'s cell in client pixels at the current scroll position; empty without a
  // layout.
  RRect CellRect(int32_t index) const;
  // The item whose cell holds the point, or -1 (a gap, an empty cell, no layout).
  int32_t ItemAt(int32_t x, int32_t y) const;
  // The items with a cell at least partly in the client: [FirstVisible, EndVisible).
  int32_t FirstVisible() const;
  int32_t EndVisible() const;

  // The box a thumbnail is fitted into: the cell less half a scroll bar's width each way,
  // and less `nameHeight` (0 when names are not shown) in height; at least 1 x 1.
  FitSize ThumbnailBox(int32_t scrollBarWidth, int32_t nameHeight) const;

 private:
  void LayoutOnce(GridSize screen, int32_t scrollBarWidth);

  GridSize client_;
  GridSize cell_{kFirstCellWidth, kFirstCellHeight};
  int32_t count_ = 0;
  int32_t columns_ = 0;
  int32_t rows_ = 0;
  int32_t visibleRows_ = 0;
  int32_t cellsWidth_ = 0;
  int32_t topRow_ = 0;
  bool scrollBar_ = false;
};

// The item `rows` rows below `current` (above for a negative count) in a grid of `columns`:
// the last item when that row is only partly filled, `current` itself when the move would
// leave the grid; item 0 when nothing is current yet (-1) and there are items.
int32_t IndexRowsAway(int32_t current, int32_t rows, int32_t columns, int32_t count);

// Pixels of a text height of `points` on a screen of `dpi` dots per inch.
int32_t PointsToPixels(int32_t points, int32_t dpi);

}  // namespace crv
