// The media library: the flat list of records kept in "hvml.hvl" in the program's folder.
// Every user makes its own CMediaLibrary, loads the file, works on the list in memory and
// saves the whole list back after each change; the file is the only shared state.
#pragma once
#include <cstddef>
#include <string>
#include <vector>
#include "player/library/media_item.h"

namespace crv {

class CMediaLibrary {
 public:
  static constexpr char16_t kFileName[] = u"hvml.hvl";
  // `program_folder` + "hvml.hvl" (a backslash is put between them when the folder does not
  // end in one).
  static u16 FilePath(const u16& program_folder);

  CMediaLibrary() = default;
  CMediaLibrary(const CMediaLibrary&) = delete;
  CMediaLibrary& operator=(const CMediaLibrary&) = delete;
  ~CMediaLibrary();

  // Clears the list and reads the library file of `program_folder`. A missing, unreadable,
  // oversized or malformed file leaves the library empty; entries whose files are missing and
  // repeated entries are dropped. Returns true when the file was read and parsed.
  bool Load(const u16& program_folder);
  // Writes the whole list to the library file: a new file beside it, then put in its place,
  // so a failed save leaves the old file. Returns true when the file was replaced.
  bool Save(const u16& program_folder) const;

  // Load's work on the file's bytes, and the document Save writes.
  bool LoadFromText(const char* data, size_t size);
  std::string SaveToText() const;

  // Appends a deep copy when the item's file exists and no same item is present.
  bool Add(const CMediaItem& item);
  // The same for a caller that knows no same item is present (a bulk add that keeps its own
  // index of the library: Add looks through the whole list each time).
  bool AddAbsent(const CMediaItem& item);
  bool Contains(const CMediaItem& item) const { return IndexOf(item) >= 0; }
  int IndexOf(const CMediaItem& item) const;
  bool RemoveAt(int index);
  // Deletes the record at `index` and puts a deep copy of `item` in its place.
  bool ReplaceAt(int index, const CMediaItem& item);
  void Clear() { items_.clear(); }

  int Count() const { return static_cast<int>(items_.size()); }
  CMediaItem* At(int index) const;
  const MediaItemList& Items() const { return items_; }

  // Views (library_views.cpp). The item views clear `out` and fill it with deep copies
  // sorted by title without case. The distinct views append to `out`, not clearing it: each
  // non-empty value of the field among items of `type`, unless a value equal without case is
  // already in `out`; the first form met is kept and library order is kept.
  void ItemsOfType(int32_t type, MediaItemList& out) const;
  void DistinctArtists(int32_t type, std::vector<u16>& out) const;
  void DistinctAlbums(int32_t type, std::vector<u16>& out) const;
  void DistinctGenres(int32_t type, std::vector<u16>& out) const;
  // Items of `type` whose field equals `value` without case; items without the field never
  // match.
  void ItemsByArtist(int32_t type, const u16& value, MediaItemList& out) const;
  void ItemsByAlbum(int32_t type, const u16& value, MediaItemList& out) const;
  void ItemsByGenre(int32_t type, const u16& value, MediaItemList& out) const;

  // Sorts `items` by title (derived where needed) without case.
  static void SortByTitle(MediaItemList& items);

 private:
  MediaItemList items_;
};

}  // namespace crv
