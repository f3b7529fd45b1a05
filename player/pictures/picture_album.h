// PictureAlbum: an ordered collection of pictures with their view state, sound notes,
// attachments and thumbnails, stored in one ".mab" file (album_file.cpp reads and writes it).
// The album window, the picture view and the slide show work on it; the thumbnail loader
// shares its items with the window thread under the album's lock.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>
#include "player/base/byte_source.h"
#include "player/base/text16.h"
#include "player/pictures/album_item.h"
#include "player/pictures/reader_registry.h"

namespace crv {

// Album options: the slide show's sound.
constexpr uint32_t kAlbumSoundModeMask = 3;  // AlbumSoundMode
constexpr uint32_t kAlbumRepeatSound = 1u << 2;
enum AlbumSoundMode : uint32_t {
  kAlbumSoundNone = 0,
  kAlbumSoundWhole = 1,    // one sound for the whole album
  kAlbumSoundEach = 2,     // each picture's own sound
};

// Sort kinds (Sort); the first three are remembered as the sort order.
enum AlbumSortKind : int32_t {
  kAlbumSortByName = 1,
  kAlbumSortByTime = 2,
  kAlbumSortBySize = 3,
  kAlbumMoveLeft = 4,
  kAlbumMoveRight = 5,
};

// Step requests: the low four bits say where to, kAlbumStepWrap goes round at the ends
// instead of reporting the end. Other values below 16 stay where they are.
enum AlbumStepRequest : uint32_t {
  kAlbumStepNext = 0,
  kAlbumStepPrevious = 1,
  kAlbumStepRandom = 2,
  kAlbumStepCurrent = 3,
  kAlbumStepFirst = 4,
  kAlbumStepLast = 5,
  kAlbumStepWrap = 0x80,
};

// The album's file name: `path` with its extension replaced by ".mab" (or ".mab" added).
u16 ForcedAlbumName(const u16& path);

// A full path from the album folder and a stored path: a path that begins with "\" (or a
// drive, "C:\") is full already; anything else is joined to the folder with one "\".
u16 JoinAlbumPath(const u16& folder, const u16& stored);

// Whether `a` goes before `b` in a sort of `kind` (Sort's first three kinds): file names
// without regard to case, last-write times (earlier first), file sizes (smaller first).
// False for any other kind.
bool AlbumSortsBefore(int32_t kind, const AlbumItem& a, const AlbumItem& b);

// The lock the window thread and the thumbnail loader share. Re-entrant like the critical
// section it stands for; Entered() tells whether some thread holds it now.
class AlbumLock {
 public:
  void Enter() {
    mutex_.lock();
    ++depth_;
    entered_ = true;
  }
  bool TryEnter() {
    if (!mutex_.try_lock()) return false;
    ++depth_;
    entered_ = true;
    return true;
  }
  void Leave() {
    if (--depth_ == 0) entered_ = false;
    mutex_.unlock();
  }
  bool Entered() const { return entered_; }
  // For std::lock_guard.
  void lock() { Enter(); }
  void unlock() { Leave(); }

 private:
  std::recursive_mutex mutex_;
  int depth_ = 0;  // changed only by the holder
  std::atomic<bool> entered_{false};
};

// The picture of one item as the release rule sees it.
struct CachedPicture {
  bool held = false;      // the item holds a loaded picture
  uint64_t estimate = 0;  // PictureMemoryEstimate
};

// Which pictures to release, in the order of release: each time the held picture with the
// largest estimate (the first of equals) other than `keep` and, unless `mayReleaseCurrent`,
// `current`; until none is left or, when `amount` is not 0 and `notCacheImage` is off, the
// released estimates reach `amount`. Indices beyond the list (or -1) mean none.
std::vector<size_t> ChoosePicturesToRelease(const std::vector<CachedPicture>& pictures, uint64_t amount,
                                            int32_t keep, int32_t current, bool mayReleaseCurrent,
                                            bool notCacheImage);

class PictureAlbum {
 public:
  using ItemList = std::vector<std::unique_ptr<AlbumItem>>;
  // The seed of a random step: the system clock (UTC) unless a test sets another.
  using SeedSource = std::function<uint32_t()>;

  // The registry decides which files of a folder are pictures.
  explicit PictureAlbum(const ReaderRegistry& registry = ProcessReaderRegistry());
  PictureAlbum(const PictureAlbum&) = delete;
  PictureAlbum& operator=(const PictureAlbum&) = delete;

  // ---- The album file (album_file.cpp) ----

  // Reads an album: clears the album (the file path stays), checks the magic (10 when it
  // differs), then reads the items. Corrupt or cut-short data, strings longer than their
  // fields, sizes beyond the end and thumbnails that fail their checks give 8 and an album
  // without items.
  int32_t Serialize(ByteSource& source);
  // Writes the album into `out` (replaced); always 0.
  int32_t Serialize(std::vector<uint8_t>& out) const;
  // Stores `path` as the file path and reads the file: 4 when it cannot be opened (and the
  // album is emptied), else Serialize's result.
  int32_t Open(const u16& path);
  // Writes the album to ForcedAlbumName(path) through a new file beside it that then takes
  // the old one's place, so a failed save leaves the old album whole: 5 when the file cannot
  // be created or put in place, 7 when writing fails, else 0 and the path becomes the
  // album's file path.
  int32_t SaveTo(const u16& path);
  // The name the save dialog proposes: the file path, or "New.mab" in the album folder;
  // with ".mab" forced.
  u16 ProposedSaveName() const;

  // ---- Filling the album ----

  // Empties the album: items, folder, file path, sound, options; current 0.
  void Clear();
  // Appends an item with that path as stored. Here and in AddFolder a new JPEG item's
  // rotation starts from the file's EXIF orientation (items read from an album file keep
  // the rotation stored there).
  AlbumItem* AddFile(const u16& path);
  // Opens, adds or replaces by a path (a file, a folder, a pattern or an album file): the
  // item count, or a negative result code (-3 for a path that is not there or has no "\",
  // the negated Open result for an album file).
  int32_t AddPath(const u16& path, bool append, bool recurse);
  // Adds every picture file (by the registry's extensions) that matches `pattern`, entering
  // subfolders when `recurse`; a ".wav" of the same name beside a picture becomes its sound
  // and turns the sound mode to "each picture". Paths are stored bare for files directly in
  // the album folder, else in full.
  void AddFolder(const u16& pattern, bool recurse);
  // Removes the item; the current index moves to the item before it when it was on it or
  // after it.
  bool Remove(int32_t index);

  // ---- Order and position ----

  // Sorts (by name, time or size) or moves the item at `index` one place left or right, and
  // keeps the current item current. False (the caller beeps) for a move past the end or an
  // unknown kind; then nothing changes.
  bool Sort(int32_t kind, int32_t index);
  // Puts the items into the order of `order` (the album's own items, each once) and keeps the
  // current item current at its new place. False, with nothing changed, when `order` is not a
  // rearrangement of the album's items.
  bool SetOrder(const std::vector<const AlbumItem*>& order);
  // The item's full path (JoinAlbumPath), or with `preferSound` its sound's full path (empty
  // when it has none). Empty for an index out of range.
  u16 ItemPath(int32_t index, bool preferSound) const;
  // Moves the current index by an AlbumStepRequest and returns the current item (null for an
  // empty album). `atEnd` reports a next at the last or previous at the first item without
  // the wrap bit.
  AlbumItem* Step(uint32_t request, bool* atEnd = nullptr);

  // ---- Memory ----

  // Releases pictures by ChoosePicturesToRelease (`keep` may be null); the sum of their
  // estimates, 0 when nothing could be released.
  uint64_t ReleaseCachedPictures(uint64_t amount, const AlbumItem* keep, bool mayReleaseCurrent, bool notCacheImage);

  // ---- Fields ----

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  AlbumItem* Item(int32_t index) const {
    return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)].get() : nullptr;
  }
  const ItemList& Items() const { return items_; }
  int32_t Current() const { return current_; }
  void SetCurrent(int32_t index) { current_ = index; }
  AlbumItem* CurrentItem() const { return Item(current_); }
  uint32_t Options() const { return options_; }
  void SetOptions(uint32_t options) { options_ = options; }
  uint32_t SoundMode() const { return options_ & kAlbumSoundModeMask; }
  const u16& Folder() const { return folder_; }
  void SetFolder(const u16& folder) { folder_ = FitAlbumPath(folder); }
  const u16& FilePath() const { return filePath_; }
  void SetFilePath(const u16& path) { filePath_ = FitAlbumPath(path); }
  const u16& Sound() const { return sound_; }
  void SetSound(const u16& path) { sound_ = FitAlbumPath(path); }
  int32_t SortOrder() const { return sortOrder_; }

  AlbumLock& Lock() const { return lock_; }
  void SetSeedSource(SeedSource source) { seedSource_ = std::move(source); }

 private:
  int32_t DrawRandomIndex();
  int32_t IndexOf(const AlbumItem* item) const;

  const ReaderRegistry* registry_;
  ItemList items_;
  int32_t current_ = 0;
  uint32_t options_ = 0;
  u16 folder_;
  u16 filePath_;
  u16 sound_;
  int32_t sortOrder_ = 0;
  mutable AlbumLock lock_;
  SeedSource seedSource_;
  uint32_t randomState_ = 1;
};

}  // namespace crv
