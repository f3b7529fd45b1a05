// The view builders of the media library dialog: each walks the whole library once.
#include <algorithm>
#include <unordered_set>
#include "player/library/media_library.h"

namespace crv {
namespace {

using FieldOf = const u16& (CMediaItem::*)() const;

void Distinct(const MediaItemList& items, int32_t type, FieldOf field, std::vector<u16>& out) {
  std::unordered_set<u16> known;
  for (const auto& v : out) known.insert(ToLower(v));
  for (const auto& item : items) {
    if (!item || item->GetType() != type) continue;
    const u16& value = (item.get()->*field)();
    if (value.empty()) continue;
    if (known.insert(ToLower(value)).second) out.push_back(value);
  }
}

void Matching(const MediaItemList& items, int32_t type, FieldOf field, const u16& value,
              MediaItemList& out) {
  out.clear();
  if (value.empty()) return;
  for (const auto& item : items) {
    if (!item || item->GetType() != type) continue;
    const u16& v = (item.get()->*field)();
    if (!v.empty() && EqualsNoCase(v, value)) out.push_back(std::make_unique<CMediaItem>(*item));
  }
  CMediaLibrary::SortByTitle(out);
}

}  // namespace

void CMediaLibrary::SortByTitle(MediaItemList& items) {
  std::vector<std::pair<u16, std::unique_ptr<CMediaItem>>> keyed;
  keyed.reserve(items.size());
  for (auto& item : items) {
    u16 key = item ? ToLower(item->DisplayTitle()) : u16();
    keyed.emplace_back(std::move(key), std::move(item));
  }
  std::sort(keyed.begin(), keyed.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 0; i < items.size(); ++i) items[i] = std::move(keyed[i].second);
}

void CMediaLibrary::ItemsOfType(int32_t type, MediaItemList& out) const {
  out.clear();
  for (const auto& item : items_)
    if (item && item->GetType() == type) out.push_back(std::make_unique<CMediaItem>(*item));
  SortByTitle(out);
}

void CMediaLibrary::DistinctArtists(int32_t type, std::vector<u16>& out) const {
  Distinct(items_, type, &CMediaItem::GetArtist, out);
}
void CMediaLibrary::DistinctAlbums(int32_t type, std::vector<u16>& out) const {
  Distinct(items_, type, &CMediaItem::GetAlbum, out);
}
void CMediaLibrary::DistinctGenres(int32_t type, std::vector<u16>& out) const {
  Distinct(items_, type, &CMediaItem::GetGenre, out);
}

void CMediaLibrary::ItemsByArtist(int32_t type, const u16& value, MediaItemList& out) const {
  Matching(items_, type, &CMediaItem::GetArtist, value, out);
}
void CMediaLibrary::ItemsByAlbum(int32_t type, const u16& value, MediaItemList& out) const {
  Matching(items_, type, &CMediaItem::GetAlbum, value, out);
}
void CMediaLibrary::ItemsByGenre(int32_t type, const u16& value, MediaItemList& out) const {
  Matching(items_, type, &CMediaItem::GetGenre, value, out);
}

}  // namespace crv
