// The recent files of the album and picture side: four paths, most recent first, kept
// under "RecentPaths\RecentFiles" and shown under "Recent files" in the menu.
#pragma once
#include <vector>
#include "player/app/settings_store.h"

namespace crv {

class RecentFiles {
 public:
  static constexpr size_t kCapacity = 4;
  static constexpr unsigned kFirstCommand = 32846;
  static constexpr unsigned kLastCommand = 32850;
  static constexpr unsigned kPlaceholderCommand = 24;
  static constexpr unsigned kEmptyTextId = 485;

  void Load(SettingsStore& store);
  // Puts `path` in front of the stored entries, drops later equal entries (without case,
  // ignoring a trailing TAB) and stores the first four.
  void Add(SettingsStore& store, const u16& path);
  const std::vector<u16>& Entries() const { return entries_; }

  // "&1 " .. "&4 " followed by the shortened path.
  static u16 MenuText(size_t index, const u16& path);
  // "...\name" from the last backslash before the path's final letters or digits.
  static u16 ShortenPath(const u16& path);
  static bool SamePath(const u16& a, const u16& b);

 private:
  std::vector<u16> entries_;
};

}  // namespace crv
