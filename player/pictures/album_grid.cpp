#include "player/pictures/album_grid.h"

#include <algorithm>

namespace crv {

namespace {

// Layouts settle within two passes on every screen the device has; the cap only guards
// against a pathological scroll-bar width.
constexpr int kMaxLayoutPasses = 4;

int32_t CeilDiv(int32_t a, int32_t b) { return b > 0 ? (a + b - 1) / b : 0; }

// The cell size of the screen's shape over `width` x `height`.
GridSize ShapeCell(int32_t width, int32_t height, GridSize screen) {
  const int32_t columns = screen.width > screen.height ? 4 : 3;
  const int32_t rows = screen.height > screen.width ? 4 : 3;
  return {std::max(width / columns - kGridGap, 1), std::max(height / rows - kGridGap, 1)};
}

}  // namespace

void AlbumGrid::Layout(GridSize client, GridSize screen, int32_t count, int32_t scrollBarWidth) {
  client_ = client;
  count_ = std::max(count, 0);
  if (client.width < 1 || client.height < 1) {
    columns_ = rows_ = visibleRows_ = cellsWidth_ = topRow_ = 0;
    scrollBar_ = false;
    return;
  }
  // The rule starts from the cells of the last layout; doing it again until the cells stay
  // the same makes the first layout (from 80 x 66) what every later one would be, instead
  // of a scroll bar over items that fit.
  for (int pass = 0; pass < kMaxLayoutPasses; ++pass) {
    const GridSize cell = cell_;
    const bool scrollBar = scrollBar_;
    const int32_t columns = columns_;
    LayoutOnce(screen, scrollBarWidth);
    if (cell == cell_ && scrollBar == scrollBar_ && columns == columns_) break;
  }
  ScrollTo(topRow_);
}

void AlbumGrid::LayoutOnce(GridSize screen, int32_t scrollBarWidth) {
  const int32_t fitColumns = client_.width / (cell_.width + kGridGap);
  const int32_t fitRows = client_.height / (cell_.height + kGridGap);
  if (fitColumns > 0 && CeilDiv(count_, fitColumns) <= fitRows) {
    scrollBar_ = false;
    cellsWidth_ = client_.width;
    cell_ = ShapeCell(cellsWidth_, client_.height, screen);
    columns_ = std::max(cellsWidth_ / (cell_.width + kGridGap), 1);
  } else {
    scrollBar_ = true;
    cellsWidth_ = std::max(client_.width - std::max(scrollBarWidth, 0), 1);
    columns_ = cellsWidth_ / (cell_.width + kGridGap);
    const int32_t spare = cellsWidth_ - columns_ * (cell_.width + kGridGap);
    if (columns_ == 0 || spare > cell_.width / 2) ++columns_;
    cell_ = ShapeCell(cellsWidth_, client_.height, screen);
  }
  rows_ = CeilDiv(count_, columns_);
  visibleRows_ = std::max(client_.height / (cell_.height + kGridGap), 1);
}

int32_t AlbumGrid::MaxTopRow() const { return std::max(rows_ - visibleRows_, 0); }

bool AlbumGrid::ScrollTo(int32_t row) {
  const int32_t top = std::clamp(row, 0, MaxTopRow());
  if (top == topRow_) return false;
  topRow_ = top;
  return true;
}

bool AlbumGrid::ScrollToShow(int32_t index) {
  if (columns_ < 1 || index < 0 || index >= count_) return false;
  const int32_t row = index / columns_;
  if (row < topRow_) return ScrollTo(row);
  if (row >= topRow_ + visibleRows_) return ScrollTo(row - visibleRows_ + 1);
  return false;
}

RRect AlbumGrid::CellRect(int32_t index) const {
  if (columns_ < 1 || index < 0) return {0, 0, 0, 0};
  const int32_t left = index % columns_ * (cell_.width + kGridGap);
  const int32_t top = (index / columns_ - topRow_) * (cell_.height + kGridGap);
  return {left, top, left + cell_.width, top + cell_.height};
}

int32_t AlbumGrid::ItemAt(int32_t x, int32_t y) const {
  if (columns_ < 1 || x < 0 || y < 0 || x >= cellsWidth_) return -1;
  const int32_t column = x / (cell_.width + kGridGap);
  const int32_t row = y / (cell_.height + kGridGap) + topRow_;
  if (column >= columns_) return -1;
  if (x % (cell_.width + kGridGap) >= cell_.width || y % (cell_.height + kGridGap) >= cell_.height) return -1;
  const int64_t index = int64_t{row} * columns_ + column;
  return index < count_ ? static_cast<int32_t>(index) : -1;
}

int32_t AlbumGrid::FirstVisible() const { return std::min(topRow_ * columns_, count_); }

int32_t AlbumGrid::EndVisible() const {
  // One row more for the partly shown row at the bottom.
  const int64_t end = (int64_t{topRow_} + visibleRows_ + 1) * columns_;
  return static_cast<int32_t>(std::min<int64_t>(end, count_));
}

FitSize AlbumGrid::ThumbnailBox(int32_t scrollBarWidth, int32_t nameHeight) const {
  const int32_t inset = std::max(scrollBarWidth, 0) / 2;
  return {std::max(cell_.width - inset, 1), std::max(cell_.height - inset - std::max(nameHeight, 0), 1)};
}

int32_t IndexRowsAway(int32_t current, int32_t rows, int32_t columns, int32_t count) {
  if (count < 1 || columns < 1) return current;
  if (current < 0 || current >= count) return 0;
  const int64_t target = int64_t{current} + int64_t{rows} * columns;
  if (target >= 0 && target < count) return static_cast<int32_t>(target);
  if (target < 0) return current;
  const int64_t lastRow = (count - 1) / columns;
  const int64_t targetRow = current / columns + int64_t{rows};
  return targetRow <= lastRow ? count - 1 : current;
}

int32_t PointsToPixels(int32_t points, int32_t dpi) {
  return static_cast<int32_t>((int64_t{points} * dpi + 36) / 72);
}

}  // namespace crv
