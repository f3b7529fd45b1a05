// libFuzzer target for the settings as the player reads them back from the registry, where
// any program (or a damaged hive) may have left any value: the input fills a store with
// values of any type and size under the names the player uses, then every group is read.
// What is read must keep the range rules and fit its buffers, and writing it and reading it
// again must give the same; the recent files and the URL history likewise.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "player/app/memory_settings_store.h"
#include "player/app/recent_files.h"
#include "player/app/settings.h"
#include "player/base/fuzz/fuzz_input.h"

namespace {

using crv::Direction;
using crv::u16;

const char16_t* const kKeys[] = {u"Options", u"RecentPaths\\RecentFiles", u"ListUrls"};
const char16_t* const kNames[] = {
    u"FileName", u"BkgColor", u"NotLoadInBkg", u"NotCacheImage", u"LoadInReducedSize", u"iPaqOptimization",
    u"PrevHideBar", u"PrevVertScroller", u"PrevFileName", u"PrevSynchronice", u"AutoZoomToFit", u"SlideRepeat",
    u"SlideInFullScreen", u"WndOnStartSlides", u"SlideDelay", u"SlideDirection", u"PrevPosition",
    u"LandscapeMode", u"HTTPPreload", u"CleanerFolder1", u"CleanerFolder2", u"CleanerFolder3", u"CleanerCheck1",
    u"CleanerCheck2", u"CleanerCheck3", u"CleanerAutoOnExit", u"ShowSplashScreen", u"RepeatVideo", u"ExtType",
    u"View", u"LoadMedia", u"SoundVolume", u"SoundMute", u"HideTitle", u"ShuffleRandom", u"ShuffleRepeat",
    u"LastPath", u"LastLoaddedUrl", u"FCount", u"File0", u"File1", u"File2", u"File3", u"File4", u"count",
    u"Url0", u"Url1", u"Url2", u"Url3", u"Url4"};
const uint32_t kTypes[] = {crv::MemorySettingsStore::kTypeString, crv::MemorySettingsStore::kTypeBinary,
                           crv::MemorySettingsStore::kTypeDword, 7};

// Records of key, name (capitals when the byte's top bit is set), type and data.
void FillStore(crv::fuzz::InputReader& input, crv::MemorySettingsStore* store) {
  while (!input.AtEnd()) {
    const u16 key = kKeys[input.Byte() % 3];
    const uint8_t which = input.Byte();
    u16 name = kNames[which % (sizeof kNames / sizeof kNames[0])];
    if (which & 0x80)
      for (char16_t& c : name) c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
    const uint32_t type = kTypes[input.Byte() % 4];
    const std::string bytes = input.Bytes(input.Word16() % 4400);
    store->Put(key, name, type, std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }
}

// A terminated string of fewer than `capacity` characters.
bool Terminated(const char16_t* text, size_t capacity) {
  for (size_t i = 0; i < capacity; ++i)
    if (!text[i]) return true;
  return false;
}

void CheckOptions(crv::SettingsStore& store) {
  static_assert(std::has_unique_object_representations_v<crv::Options>, "compared byte for byte");
  crv::Options read;
  crv::LoadSaveOptions(store, read, Direction::Read);
  for (const char16_t* text : {read.FileName, read.CleanerFolder1, read.CleanerFolder2, read.CleanerFolder3})
    if (!Terminated(text, crv::kPathChars)) __builtin_trap();
  if (!read.CleanerFolder1[0] || !read.CleanerFolder2[0] || !read.CleanerFolder3[0] ||
      read.ExtType > crv::kKindMedia || read.LandscapeMode > crv::kLandscapeAuto ||
      read.HTTPPreload < crv::kHttpPreloadMin || read.HTTPPreload > crv::kHttpPreloadMax)
    __builtin_trap();
  crv::LoadSaveOptions(store, read, Direction::Write);
  crv::Options again;
  crv::LoadSaveOptions(store, again, Direction::Read);
  if (std::memcmp(&read, &again, sizeof read) != 0) __builtin_trap();
}

// A string group read into a buffer that starts as the caller's text, written, and read again.
// The buffers are on the heap, sized exactly, so an overrun is caught at the buffer's end.
void CheckString(crv::SettingsStore& store, size_t capacity,
                 void (*loadSave)(crv::SettingsStore&, char16_t*, size_t, Direction)) {
  const u16 initial = u"caller's";
  std::vector<char16_t> read(capacity, 0), again(capacity, 0);
  std::copy(initial.begin(), initial.end(), read.begin());
  std::copy(initial.begin(), initial.end(), again.begin());
  loadSave(store, read.data(), capacity, Direction::Read);
  if (!Terminated(read.data(), capacity)) __builtin_trap();
  loadSave(store, read.data(), capacity, Direction::Write);
  loadSave(store, again.data(), capacity, Direction::Read);
  if (u16(read.data()) != u16(again.data())) __builtin_trap();
}

void CheckGroups(crv::SettingsStore& store) {
  uint32_t view = 0, loadMedia = 0;
  crv::LoadSaveView(store, view, loadMedia, Direction::Read);
  if ((view > crv::kViewHighestKept && view != crv::kViewMediaPanel) || loadMedia != (view == crv::kViewMediaPanel))
    __builtin_trap();
  crv::LoadSaveView(store, view, loadMedia, Direction::Write);
  uint32_t viewAgain = 0, loadMediaAgain = 0;
  crv::LoadSaveView(store, viewAgain, loadMediaAgain, Direction::Read);
  if (viewAgain != view || loadMediaAgain != loadMedia) __builtin_trap();

  crv::SoundSettings sound;
  crv::LoadSaveSound(store, sound, Direction::Read);
  if (sound.volume > 100 || sound.mute > 1) __builtin_trap();
  crv::LoadSaveSound(store, sound, Direction::Write);
  crv::SoundSettings soundAgain;
  crv::LoadSaveSound(store, soundAgain, Direction::Read);
  if (soundAgain.volume != sound.volume || soundAgain.mute != sound.mute) __builtin_trap();

  uint32_t kind = 0;
  crv::LoadSaveExtType(store, kind, Direction::Read);
  if (kind > crv::kKindMedia) __builtin_trap();

  CheckString(store, crv::kPathChars, &crv::LoadSaveFileName);
  CheckString(store, crv::kPathChars, &crv::LoadSaveLastPath);
  CheckString(store, crv::kUrlChars, &crv::LoadSaveLastUrl);
}

void CheckUrlHistory(crv::SettingsStore& store) {
  std::vector<u16> urls;
  crv::LoadSaveUrlHistory(store, urls, Direction::Read);
  if (urls.size() > 1000) __builtin_trap();
  for (const u16& url : urls)
    if (url.empty() || url.size() > crv::kUrlChars || url.find(u'\0') != u16::npos) __builtin_trap();
  crv::LoadSaveUrlHistory(store, urls, Direction::Write);
  std::vector<u16> again;
  crv::LoadSaveUrlHistory(store, again, Direction::Read);
  if (again != urls) __builtin_trap();
}

void CheckRecentFiles(crv::SettingsStore& store) {
  crv::RecentFiles recent;
  recent.Load(store);
  if (recent.Entries().size() > crv::RecentFiles::kCapacity) __builtin_trap();
  u16 again = u"\\My Documents\\Added.jpg";
  for (size_t i = 0; i < recent.Entries().size(); ++i) {
    const u16& entry = recent.Entries()[i];
    if (entry.empty() || entry.size() >= crv::kPathChars || entry.find(u'\0') != u16::npos) __builtin_trap();
    if (crv::RecentFiles::MenuText(i, entry).compare(0, 1, u"&") != 0) __builtin_trap();
    again = entry;  // added once more, in other capitals: it moves to the front, once
    for (char16_t& c : again) c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
  }
  recent.Add(store, again);
  const std::vector<u16>& entries = recent.Entries();
  if (entries.empty() || entries.size() > crv::RecentFiles::kCapacity ||
      entries.front() != again.substr(0, crv::kPathChars - 1))
    __builtin_trap();
  for (size_t i = 1; i < entries.size(); ++i)
    if (crv::RecentFiles::SamePath(entries[i], entries.front())) __builtin_trap();
  crv::RecentFiles reloaded;
  reloaded.Load(store);
  if (reloaded.Entries() != entries) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  crv::fuzz::InputReader input(data, size);
  crv::MemorySettingsStore store;
  FillStore(input, &store);
  CheckOptions(store);
  CheckGroups(store);
  CheckUrlHistory(store);
  CheckRecentFiles(store);
  return 0;
}
