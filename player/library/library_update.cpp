#include "player/library/library_update.h"

#include <unordered_set>

#include "player/base/device_fs.h"
#include "player/base/file_kind.h"

namespace crv {

u16 LibraryUpdate::FoundText(int count) { return u"Found " + Decimal(count) + u" files"; }
u16 LibraryUpdate::AddedText(int index) { return u"Added " + Decimal(index) + u" files"; }

LibraryUpdate::LibraryUpdate(CMediaLibrary& library, const u16& windows_folder, Progress& progress, TagReader tags)
    : library_(library), windows_folder_lower_(ToLower(windows_folder)), progress_(progress), tags_(std::move(tags)) {
  while (!windows_folder_lower_.empty() && windows_folder_lower_.back() == u'\\') windows_folder_lower_.pop_back();
}

bool LibraryUpdate::IsMediaFile(const u16& path) {
  const FileGroup group = ClassifyGroup(path);
  return group == FileGroup::MediaPlatform || group == FileGroup::MediaOwn;
}

bool LibraryUpdate::Run(const u16& root) {
  progress_.StartBar(library_.Count());
  CheckRecords();
  progress_.ShowCounter(u16());
  progress_.ShowPhase(kSearching);
  Search(root);
  progress_.ShowPhase(kAdding);
  AddFound();
  progress_.ShowPhase(kUpdated);
  return !Cancelled();
}

void LibraryUpdate::CheckRecords() {
  for (int i = 0; i < library_.Count() && !Cancelled();) {
    progress_.StepBar();
    progress_.ShowCounter(kChecking);
    if (device_fs::FileExists(library_.At(i)->GetLocation()))
      ++i;
    else
      library_.RemoveAt(i);
  }
}

// The Windows folder itself and everything below it. (Not any path that merely contains its
// name: "\My Documents\Windows Tips" is searched.)
bool LibraryUpdate::IsBelowWindowsFolder(const u16& folder) const {
  if (windows_folder_lower_.empty()) return false;
  const u16 lower = ToLower(folder);
  if (lower.compare(0, windows_folder_lower_.size(), windows_folder_lower_) != 0) return false;
  return lower.size() == windows_folder_lower_.size() || lower[windows_folder_lower_.size()] == u'\\';
}

void LibraryUpdate::Search(const u16& folder, const u16& pattern) {
  if (Cancelled() || IsBelowWindowsFolder(folder)) return;
  const u16 prefix = !folder.empty() && folder.back() == u'\\' ? folder : folder + u'\\';
  for (const device_fs::FolderEntry& entry : device_fs::ListMatches(prefix + pattern)) {
    if (Cancelled()) return;
    if (entry.hidden) continue;
    const u16 path = prefix + entry.name;
    if (entry.isFolder) {
      Search(path, pattern);
    } else if (IsMediaFile(path)) {
      found_.push_back(path);
      progress_.ShowCounter(FoundText(static_cast<int>(found_.size())));
    }
  }
}

namespace {

// What makes two records the same item (CMediaItem::IsSame): type and location.
u16 ItemKey(const CMediaItem& item) { return item.GetLocation() + u'|' + Decimal(item.GetType()); }

}  // namespace

void LibraryUpdate::AddFound() {
  progress_.StartBar(static_cast<int>(found_.size()));
  // The library's items by key, so that a large device is not one look through the whole
  // list per file.
  std::unordered_set<u16> present;
  for (const auto& item : library_.Items())
    if (item) present.insert(ItemKey(*item));
  for (size_t i = 0; i < found_.size() && !Cancelled(); ++i) {
    CMediaItem item;
    item.SetLocation(found_[i]);
    progress_.ShowCounter(AddedText(static_cast<int>(i)));
    // A file found twice, or already in the library, is not read again.
    if (present.insert(ItemKey(item)).second) {
      item.GetTitle();
      if (tags_) tags_(item);
      library_.AddAbsent(item);
    }
    progress_.StepBar();
  }
}

}  // namespace crv
