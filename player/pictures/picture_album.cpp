#include "player/pictures/picture_album.h"

#include <algorithm>
#include <cfloat>
#include <chrono>
#include <unordered_map>
#include "player/base/device_fs.h"
#include "player/pictures/formats/exif_orientation.h"

namespace crv {

namespace {

using HoldLock = std::lock_guard<AlbumLock>;

bool IsFullPath(const u16& path) {
  if (!path.empty() && path[0] == u'\\') return true;
  return path.size() >= 3 && path[1] == u':' && path[2] == u'\\';
}

// The part before the last "\" (empty when there is none).
u16 FolderOf(const u16& path) {
  const size_t slash = path.rfind(u'\\');
  return slash == u16::npos ? u16() : path.substr(0, slash);
}

u16 NameOf(const u16& path) {
  const size_t slash = path.rfind(u'\\');
  return slash == u16::npos ? path : path.substr(slash + 1);
}

// The position of the file name's last "." (npos without one).
size_t ExtensionDot(const u16& path) {
  const size_t dot = path.rfind(u'.');
  const size_t slash = path.rfind(u'\\');
  return dot == u16::npos || (slash != u16::npos && dot < slash) ? u16::npos : dot;
}

bool HasExtension(const u16& path, const u16& extension) {
  const size_t dot = ExtensionDot(path);
  return dot != u16::npos && EqualsNoCase(path.substr(dot + 1), extension);
}

u16 WithExtension(const u16& path, const u16& extension) {
  const size_t dot = ExtensionDot(path);
  return (dot == u16::npos ? path : path.substr(0, dot)) + u'.' + extension;
}

// The turn a JPEG's EXIF orientation asks for, so that a picture taken with the camera
// turned starts upright; 0 for other files and for files that cannot be read.
int32_t StartingRotation(const u16& path) {
  if (!HasExtension(path, u"jpg") && !HasExtension(path, u"jpeg") && !HasExtension(path, u"jpe")) return 0;
  const std::unique_ptr<ByteSource> file = device_fs::OpenForReading(path);
  return file ? ExifRotationDegrees(*file) : 0;
}

// Case-insensitive order of two names.
bool NameBefore(const u16& a, const u16& b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const char16_t x = FoldCase(a[i]), y = FoldCase(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

// The seed of a random step: milliseconds + 60 * (seconds + 60 * minutes) of the UTC time.
uint32_t ClockSeed() {
  using namespace std::chrono;
  const long long ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  const long long inHour = ((ms % 3600000LL) + 3600000LL) % 3600000LL;
  const long long minute = inHour / 60000, second = inHour / 1000 % 60, millisecond = inHour % 1000;
  return static_cast<uint32_t>(millisecond + 60 * (second + 60 * minute));
}

}  // namespace

bool AlbumSortsBefore(int32_t kind, const AlbumItem& a, const AlbumItem& b) {
  switch (kind) {
    case kAlbumSortByName: return NameBefore(a.FileName(), b.FileName());
    case kAlbumSortByTime: return a.Fixed().lastWriteTime < b.Fixed().lastWriteTime;
    case kAlbumSortBySize: return a.Fixed().fileSize < b.Fixed().fileSize;
    default: return false;
  }
}

u16 JoinAlbumPath(const u16& folder, const u16& stored) {
  if (IsFullPath(stored)) return stored;
  if (!folder.empty() && folder.back() == u'\\') return folder + stored;
  return folder + u'\\' + stored;
}

std::vector<size_t> ChoosePicturesToRelease(const std::vector<CachedPicture>& pictures, uint64_t amount,
                                            int32_t keep, int32_t current, bool mayReleaseCurrent,
                                            bool notCacheImage) {
  std::vector<size_t> chosen;
  std::vector<bool> released(pictures.size(), false);
  uint64_t total = 0;
  for (;;) {
    size_t best = pictures.size();
    for (size_t i = 0; i < pictures.size(); ++i) {
      if (!pictures[i].held || released[i]) continue;
      if (keep >= 0 && i == static_cast<size_t>(keep)) continue;
      if (!mayReleaseCurrent && current >= 0 && i == static_cast<size_t>(current)) continue;
      if (best == pictures.size() || pictures[i].estimate > pictures[best].estimate) best = i;
    }
    if (best == pictures.size()) break;
    released[best] = true;
    chosen.push_back(best);
    total += pictures[best].estimate;
    if (amount != 0 && total >= amount && !notCacheImage) break;
  }
  return chosen;
}

PictureAlbum::PictureAlbum(const ReaderRegistry& registry) : registry_(&registry) {}

void PictureAlbum::Clear() {
  HoldLock hold(lock_);
  items_.clear();
  current_ = 0;
  options_ = 0;
  folder_.clear();
  filePath_.clear();
  sound_.clear();
}

AlbumItem* PictureAlbum::AddFile(const u16& path) {
  HoldLock hold(lock_);
  items_.push_back(std::make_unique<AlbumItem>(path));
  AlbumItem* item = items_.back().get();
  item->Fixed().rotation = StartingRotation(JoinAlbumPath(folder_, item->Path()));
  return item;
}

int32_t PictureAlbum::AddPath(const u16& path, bool append, bool recurse) {
  HoldLock hold(lock_);
  // 1. A replaced album starts empty, an appended one at the first new item.
  if (!append || items_.empty()) {
    items_.clear();
    folder_.clear();
    current_ = -1;
  } else {
    current_ = Count();
  }
  // 2. A folder or a pattern, or else a file that must be there.
  if (path.find(u'\\') == u16::npos) return -kResultPathNotFound;
  u16 pattern = path;
  bool isPattern = false;
  if (device_fs::IsFolder(path)) {
    if (pattern.back() != u'\\') pattern += u'\\';
    pattern += u'*';
    isPattern = true;
  } else if (path.find_first_of(u"*?") != u16::npos) {
    isPattern = true;
  } else if (!device_fs::FileExists(path)) {
    return -kResultPathNotFound;
  }
  // 3.
  if (!append) {
    options_ = 0;
    SetFolder(FolderOf(pattern));
  }
  // 4. An album file replaces the album.
  if (!isPattern && HasExtension(pattern, u"mab")) {
    const int32_t result = Open(pattern);
    current_ = 0;
    return result == kResultOk ? Count() : -result;
  }
  // 5.
  if (!append) filePath_.clear();
  AddFolder(pattern, recurse && isPattern);
  Sort(kAlbumSortByName, 0);
  // 6.
  if (!isPattern) {
    const u16 name = NameOf(pattern);
    for (int32_t i = 0; i < Count(); ++i)
      if (EqualsNoCase(items_[static_cast<size_t>(i)]->FileName(), name)) {
        current_ = i;
        break;
      }
  } else if (!append) {
    current_ = 0;
  }
  return Count();
}

void PictureAlbum::AddFolder(const u16& pattern, bool recurse) {
  HoldLock hold(lock_);
  const u16 folder = FolderOf(pattern);
  const u16 namePattern = NameOf(pattern);
  const bool inAlbumFolder = EqualsNoCase(folder, folder_);
  for (const device_fs::FolderEntry& entry : device_fs::ListMatches(pattern)) {
    const u16 full = folder + u'\\' + entry.name;
    if (entry.isFolder) {
      if (recurse && !entry.name.empty() && entry.name[0] != u'.') AddFolder(full + u'\\' + namePattern, true);
      continue;
    }
    if (!registry_->FindByExtension(entry.name.c_str())) continue;
    const u16 stored = inAlbumFolder ? entry.name : full;
    if (stored.size() > kAlbumPathMaxChars) continue;  // cut short it would name another file
    auto item = std::make_unique<AlbumItem>(stored);
    item->Fixed().fileSize = static_cast<uint32_t>(entry.size);
    item->Fixed().lastWriteTime = entry.lastWriteTime;
    item->Fixed().viewFlags = kViewStateUnset;
    item->Fixed().rotation = StartingRotation(full);
    const u16 sound = WithExtension(full, u"wav");
    if (device_fs::FileExists(sound)) {
      item->SetSoundPath(inAlbumFolder ? NameOf(sound) : sound);
      options_ = (options_ & ~kAlbumSoundModeMask) | kAlbumSoundEach;
    }
    items_.push_back(std::move(item));
  }
}

bool PictureAlbum::Remove(int32_t index) {
  HoldLock hold(lock_);
  if (index < 0 || index >= Count()) return false;
  items_.erase(items_.begin() + index);
  if (current_ > index || (current_ == index && current_ > 0)) --current_;
  return true;
}

int32_t PictureAlbum::IndexOf(const AlbumItem* item) const {
  for (int32_t i = Count(); i-- > 0;)
    if (items_[static_cast<size_t>(i)].get() == item) return i;
  return -1;
}

bool PictureAlbum::Sort(int32_t kind, int32_t index) {
  HoldLock hold(lock_);
  const AlbumItem* remembered = CurrentItem();
  using Entry = std::unique_ptr<AlbumItem>;
  switch (kind) {
    case kAlbumSortByName:
    case kAlbumSortByTime:
    case kAlbumSortBySize:
      std::sort(items_.begin(), items_.end(),
                [kind](const Entry& a, const Entry& b) { return AlbumSortsBefore(kind, *a, *b); });
      break;
    case kAlbumMoveLeft:
      if (index < 1 || index >= Count()) return false;
      std::swap(items_[static_cast<size_t>(index) - 1], items_[static_cast<size_t>(index)]);
      if (index == current_) --current_;
      break;
    case kAlbumMoveRight:
      if (index < 0 || index >= Count() - 1) return false;
      std::swap(items_[static_cast<size_t>(index)], items_[static_cast<size_t>(index) + 1]);
      if (index == current_) ++current_;
      break;
    default:
      return false;
  }
  if (kind <= kAlbumSortBySize) sortOrder_ = kind;
  const int32_t found = remembered ? IndexOf(remembered) : -1;
  if (found >= 0) current_ = found;
  return true;
}

bool PictureAlbum::SetOrder(const std::vector<const AlbumItem*>& order) {
  HoldLock hold(lock_);
  if (order.size() != items_.size()) return false;
  std::unordered_map<const AlbumItem*, size_t> position;
  position.reserve(items_.size());
  for (size_t i = 0; i < items_.size(); ++i) position[items_[i].get()] = i;
  std::vector<size_t> from;
  from.reserve(order.size());
  std::vector<bool> taken(items_.size(), false);
  for (const AlbumItem* item : order) {
    const auto found = position.find(item);
    if (found == position.end() || taken[found->second]) return false;
    taken[found->second] = true;
    from.push_back(found->second);
  }
  const AlbumItem* remembered = CurrentItem();
  ItemList reordered;
  reordered.reserve(items_.size());
  for (size_t i : from) reordered.push_back(std::move(items_[i]));
  items_ = std::move(reordered);
  const int32_t found = remembered ? IndexOf(remembered) : -1;
  if (found >= 0) current_ = found;
  return true;
}

u16 PictureAlbum::ItemPath(int32_t index, bool preferSound) const {
  const AlbumItem* item = Item(index);
  if (!item) return u16();
  if (preferSound) return item->SoundPath().empty() ? u16() : JoinAlbumPath(folder_, item->SoundPath());
  return JoinAlbumPath(folder_, item->Path());
}

// The device C runtime's rand (state * 214013 + 2531011, bits 16..30), seeded at every
// random step, and the draw in single precision as the device computes it: at most 100
// draws while the index equals the current one. An index equal to the count (rand 32767) is
// clamped to the last before it is compared, so that it cannot land on the current item.
int32_t PictureAlbum::DrawRandomIndex() {
  randomState_ = seedSource_ ? seedSource_() : ClockSeed();
  const int32_t count = Count();
  static const float kInverseRandMax = 1.0f / 32767.0f;
  int32_t index = 0;
  for (int draws = 0; draws < 100; ++draws) {
    randomState_ = randomState_ * 214013u + 2531011u;
    // The volatile stores keep a compiler with wider intermediate floats honest.
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD != 0
    volatile float r = static_cast<float>((randomState_ >> 16) & 0x7FFFu);
    volatile float scaled = r * kInverseRandMax;
    volatile float product = scaled * static_cast<float>(count);
#else
    const float r = static_cast<float>((randomState_ >> 16) & 0x7FFFu);
    const float scaled = r * kInverseRandMax;
    const float product = scaled * static_cast<float>(count);
#endif
    index = static_cast<int32_t>(product);
    if (index >= count) index = count - 1;
    if (index != current_) break;
  }
  return index;
}

AlbumItem* PictureAlbum::Step(uint32_t request, bool* atEnd) {
  HoldLock hold(lock_);
  if (atEnd) *atEnd = false;
  const int32_t count = Count();
  if (count == 0) return nullptr;
  const bool wrap = (request & kAlbumStepWrap) != 0;
  bool ended = false;
  switch (request & 0x0F) {
    case kAlbumStepNext:
      if (current_ < count - 1)
        ++current_;
      else if (wrap)
        current_ = 0;
      else
        ended = true;
      break;
    case kAlbumStepPrevious:
      if (current_ > 0)
        --current_;
      else if (wrap)
        current_ = count - 1;
      else
        ended = true;
      break;
    case kAlbumStepRandom: current_ = DrawRandomIndex(); break;
    case kAlbumStepFirst: current_ = 0; break;
    case kAlbumStepLast: current_ = count - 1; break;
    default: break;  // the current item, and the requests without a meaning
  }
  if (current_ < 0) current_ = 0;
  if (current_ >= count) current_ = count - 1;
  if (atEnd) *atEnd = ended;
  return items_[static_cast<size_t>(current_)].get();
}

uint64_t PictureAlbum::ReleaseCachedPictures(uint64_t amount, const AlbumItem* keep, bool mayReleaseCurrent,
                                             bool notCacheImage) {
  HoldLock hold(lock_);
  std::vector<CachedPicture> pictures;
  pictures.reserve(items_.size());
  for (const auto& item : items_) pictures.push_back({item->HoldsPicture(), PictureMemoryEstimate(*item)});
  uint64_t released = 0;
  for (size_t i : ChoosePicturesToRelease(pictures, amount, keep ? IndexOf(keep) : -1, current_, mayReleaseCurrent,
                                          notCacheImage)) {
    released += pictures[i].estimate;
    items_[i]->ReleasePicture();
  }
  return released;
}

}  // namespace crv
