#include "player/pictures/album_reorder.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace crv {

AlbumReorder::AlbumReorder(const PictureAlbum& album) {
  std::lock_guard<AlbumLock> hold(album.Lock());
  order_.reserve(album.Items().size());
  for (const auto& item : album.Items()) order_.push_back(item.get());
  current_ = album.CurrentItem();
}

u16 AlbumReorder::Name(int32_t index) const {
  const AlbumItem* item = Entry(index);
  return item ? item->FileName() : u16();
}

const AlbumItem* AlbumReorder::Entry(int32_t index) const {
  return index >= 0 && index < Count() ? order_[static_cast<size_t>(index)] : nullptr;
}

int32_t AlbumReorder::IndexOf(const AlbumItem* item) const {
  if (!item) return -1;
  const auto found = std::find(order_.begin(), order_.end(), item);
  return found == order_.end() ? -1 : static_cast<int32_t>(found - order_.begin());
}

int32_t AlbumReorder::MoveUp(int32_t index) {
  if (index < 1 || index >= Count()) return -1;
  std::swap(order_[static_cast<size_t>(index) - 1], order_[static_cast<size_t>(index)]);
  return index - 1;
}

int32_t AlbumReorder::MoveDown(int32_t index) {
  if (index < 0 || index >= Count() - 1) return -1;
  std::swap(order_[static_cast<size_t>(index)], order_[static_cast<size_t>(index) + 1]);
  return index + 1;
}

bool AlbumReorder::Sort(int32_t kind) {
  if (kind != kAlbumSortByName && kind != kAlbumSortByTime && kind != kAlbumSortBySize) return false;
  std::sort(order_.begin(), order_.end(),
            [kind](const AlbumItem* a, const AlbumItem* b) { return AlbumSortsBefore(kind, *a, *b); });
  return true;
}

bool AlbumReorder::ApplyTo(PictureAlbum& album) const { return album.SetOrder(order_); }

}  // namespace crv
