#include "player/app/recent_files.h"

#include "player/app/settings.h"

namespace crv {
namespace {

constexpr char16_t kRecentKey[] = u"RecentPaths\\RecentFiles";

u16 WithoutTab(const u16& path) {
  if (!path.empty() && path.back() == u'\t') return path.substr(0, path.size() - 1);
  return path;
}

bool IsAsciiAlnum(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

u16 EntryName(size_t i) { return u"File" + Decimal(static_cast<long long>(i)); }

}  // namespace

bool RecentFiles::SamePath(const u16& a, const u16& b) { return EqualsNoCase(WithoutTab(a), WithoutTab(b)); }

void RecentFiles::Load(SettingsStore& store) {
  entries_.clear();
  auto key = store.Open(kRecentKey, false);
  uint32_t count = 0;
  if (!key || !key->ReadDword(u"FCount", &count)) return;
  if (count > kCapacity) count = kCapacity;
  char16_t buffer[kPathChars];
  for (uint32_t i = 0; i < count; ++i) {
    if (key->ReadString(EntryName(i).c_str(), buffer, kPathChars) && buffer[0]) entries_.emplace_back(buffer);
  }
}

void RecentFiles::Add(SettingsStore& store, const u16& path) {
  Load(store);
  std::vector<u16> list{path.substr(0, kPathChars - 1)};
  for (const u16& old : entries_)
    if (!SamePath(old, path)) list.push_back(old);
  if (list.size() > kCapacity) list.resize(kCapacity);
  entries_ = list;
  auto key = store.Open(kRecentKey, true);
  if (!key) return;
  key->WriteDword(u"FCount", static_cast<uint32_t>(entries_.size()));
  for (size_t i = 0; i < entries_.size(); ++i) key->WriteString(EntryName(i).c_str(), entries_[i].c_str());
}

u16 RecentFiles::ShortenPath(const u16& raw) {
  const u16 path = WithoutTab(raw);
  size_t end = path.size();
  while (end > 0 && !IsAsciiAlnum(path[end - 1])) --end;
  size_t slash = path.rfind(u'\\', end == 0 ? 0 : end - 1);
  if (slash == u16::npos || slash == 0) return path;
  return u"..." + path.substr(slash);
}

u16 RecentFiles::MenuText(size_t index, const u16& path) {
  u16 text = u"&1 ";
  text[1] = static_cast<char16_t>(u'1' + index);
  return text + ShortenPath(path);
}

}  // namespace crv
