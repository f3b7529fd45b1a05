// A playlist: an ordered list of records with a current position. The player control panel
// owns the one live playlist, Now Playing; ".hvpl" files store playlists (playlist_file.cpp).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include "player/library/media_item.h"
#include "player/library/playlist_random.h"

namespace crv {

// Navigation request codes of Advance.
enum PlaylistStep : int32_t {
  kStepNext = 0,
  kStepPrevious = 1,
  kStepRandom = 2,
  kStepCurrent = 3,
  kStepFirst = 4,
  kStepLast = 5,
};

class CPlaylist {
 public:
  static constexpr char16_t kExtension[] = u".hvpl";

  CPlaylist();
  CPlaylist(const CPlaylist&) = delete;
  CPlaylist& operator=(const CPlaylist&) = delete;
  ~CPlaylist();

  // Moves current by `code` and returns the entry at current (null when the list is empty,
  // and then nothing changes). Every code ends by clamping current into the list.
  CMediaItem* Advance(int32_t code);

  // Appends a deep copy when the item's file exists; no duplicate check.
  bool Append(const CMediaItem& item);
  // Removes the entry at `index` and puts a deep copy of `item` there.
  bool ReplaceAt(int index, const CMediaItem& item);
  bool RemoveAt(int index);
  // Removes every entry; current is kept (navigation clamps it).
  void Clear() { entries_.clear(); }
  // First entry that is the same item (same type and location), -1 when none.
  int IndexOf(const CMediaItem& item) const;

  // Clears the entries and reads a ".hvpl" file, appending each entry whose file exists
  // (repeats kept). True when the document was parsed and its entries listed.
  bool Load(const u16& path);
  // Writes every entry (a new file beside `path`, then put in its place). True when written.
  bool Save(const u16& path) const;
  bool LoadFromText(const char* data, size_t size);
  std::string SaveToText() const;

  int Count() const { return static_cast<int>(entries_.size()); }
  CMediaItem* At(int index) const;
  const MediaItemList& Entries() const { return entries_; }
  int32_t GetCurrent() const { return current_; }
  void SetCurrent(int32_t index) { current_ = index; }

  // The clock that seeds the random step (the system clock, UTC, unless replaced), and the
  // number of draws the last random step made.
  void SetClock(std::function<SystemTimeOfDay()> clock) { clock_ = std::move(clock); }
  int LastRandomDraws() const { return last_draws_; }

 private:
  MediaItemList entries_;
  int32_t current_ = 0;
  std::function<SystemTimeOfDay()> clock_;
  CrtRandom random_;
  int last_draws_ = 0;
};

// The second loader: reads the playlist file at `path` into `out` (cleared first) by the
// same rules as CPlaylist::Load.
bool LoadPlaylistFile(const u16& path, MediaItemList& out);
bool ReadPlaylistText(const char* data, size_t size, MediaItemList& out);

}  // namespace crv
