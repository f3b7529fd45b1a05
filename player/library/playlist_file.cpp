// The ".hvpl" playlist file: the library file's layout under the root "HVPlaylist".
#include "player/base/device_fs.h"
#include "player/library/media_xml.h"
#include "player/library/playlist.h"

namespace crv {

bool ReadPlaylistText(const char* data, size_t size, MediaItemList& out) {
  out.clear();
  auto status = media_xml::ReadEntries(data, size, [&](std::unique_ptr<CMediaItem> item) {
    if (!device_fs::FileExists(item->GetLocation())) return;
    item->GetTitle();  // as the Append rule's deep copy would
    out.push_back(std::move(item));
  });
  return status != media_xml::ReadStatus::kMalformed;
}

bool LoadPlaylistFile(const u16& path, MediaItemList& out) {
  out.clear();
  std::string bytes;
  if (!device_fs::ReadFileBounded(path, media_xml::kMaxFileBytes, bytes)) return false;
  return ReadPlaylistText(bytes.data(), bytes.size(), out);
}

bool CPlaylist::Load(const u16& path) { return LoadPlaylistFile(path, entries_); }

bool CPlaylist::LoadFromText(const char* data, size_t size) {
  return ReadPlaylistText(data, size, entries_);
}

std::string CPlaylist::SaveToText() const {
  return media_xml::WriteEntries(media_xml::kPlaylistRoot, entries_);
}

bool CPlaylist::Save(const u16& path) const {
  return device_fs::ReplaceFileContents(path, SaveToText());
}

}  // namespace crv
