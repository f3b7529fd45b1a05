// libFuzzer target for the XML loaders of the library file and the playlist files: any input
// must give an empty or partial list, never a crash, and what is read must write out and
// read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include "player/library/media_library.h"
#include "player/library/media_xml.h"
#include "player/library/playlist.h"

using namespace crv;

namespace {

bool SameFields(const CMediaItem& a, const CMediaItem& b) {
  return a.GetLocation() == b.GetLocation() && a.DisplayTitle() == b.DisplayTitle() &&
         a.GetArtist() == b.GetArtist() && a.GetAlbum() == b.GetAlbum() &&
         a.GetGenre() == b.GetGenre() && a.GetType() == b.GetType() &&
         a.GetContrast() == b.GetContrast() && a.GetBrightness() == b.GetBrightness();
}

MediaItemList Parse(const char* data, size_t size, media_xml::ReadStatus* status) {
  MediaItemList items;
  *status = media_xml::ReadEntries(data, size, [&](std::unique_ptr<CMediaItem> item) {
    items.push_back(std::move(item));
  });
  return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const char* data = reinterpret_cast<const char*>(bytes);

  // Every record of the document, before the file-exists rule: written and read back, the
  // records must come back the same.
  media_xml::ReadStatus status;
  MediaItemList items = Parse(data, size, &status);
  if (status != media_xml::ReadStatus::kListed && !items.empty()) std::abort();
  const std::string written = media_xml::WriteEntries(media_xml::kPlaylistRoot, items);
  media_xml::ReadStatus again_status;
  MediaItemList again = Parse(written.data(), written.size(), &again_status);
  if (items.empty()) {
    if (again_status == media_xml::ReadStatus::kMalformed || !again.empty()) std::abort();
  } else {
    if (again_status != media_xml::ReadStatus::kListed || again.size() != items.size()) std::abort();
    for (size_t i = 0; i < items.size(); ++i)
      if (!SameFields(*items[i], *again[i])) std::abort();
  }

  // The loaders themselves, and the views over what they kept.
  CMediaLibrary library;
  library.LoadFromText(data, size);
  MediaItemList view;
  std::vector<u16> values;
  for (int32_t type = kMediaMusic; type <= kMediaPlaylist; ++type) {
    library.ItemsOfType(type, view);
    library.DistinctArtists(type, values);
    library.DistinctAlbums(type, values);
    library.DistinctGenres(type, values);
    if (!values.empty()) library.ItemsByArtist(type, values.front(), view);
  }
  (void)library.SaveToText();

  CPlaylist playlist;
  playlist.LoadFromText(data, size);
  for (int32_t code = 0; code <= 6; ++code) playlist.Advance(code);
  (void)playlist.SaveToText();
  return 0;
}
