// AlbumReorder: the working copy behind "Sort Manually...". The album's order is copied out;
// entries are moved and sorted in the copy while the album stays as it was; Done writes the
// new order back in one step, the current item staying current at its new place.
#pragma once
#include <cstdint>
#include <vector>
#include "player/base/text16.h"
#include "player/pictures/picture_album.h"

namespace crv {

class AlbumReorder {
 public:
  explicit AlbumReorder(const PictureAlbum& album);

  int32_t Count() const { return static_cast<int32_t>(order_.size()); }
  // The entry's file name (the part after the last "\"); empty out of range.
  u16 Name(int32_t index) const;
  const AlbumItem* Entry(int32_t index) const;
  // The entry's place in the copy, or -1.
  int32_t IndexOf(const AlbumItem* item) const;
  // Where the album's current item stands in the copy, or -1 without one.
  int32_t Current() const { return IndexOf(current_); }

  // Swaps entry `index` with the one before it (MoveUp) or after it (MoveDown): its new
  // index, or -1 with nothing changed at the ends and out of range.
  int32_t MoveUp(int32_t index);
  int32_t MoveDown(int32_t index);
  // Sorts the copy as the album's Sort does for kAlbumSortByName, ByTime and BySize; false
  // for any other kind.
  bool Sort(int32_t kind);

  // Puts the album's items into the copy's order. False, with the album untouched, when the
  // album no longer holds exactly the copied items.
  bool ApplyTo(PictureAlbum& album) const;

 private:
  std::vector<const AlbumItem*> order_;
  const AlbumItem* current_ = nullptr;
};

}  // namespace crv
