#include "tools/crvdecode/library_command.h"

#include <cstdio>
#include <string>

#include "player/base/device_fs.h"
#include "player/base/text16.h"
#include "player/library/media_library.h"
#include "player/library/media_xml.h"
#include "player/library/playlist.h"

namespace {

using crv::u16;

int Usage() {
  std::fprintf(stderr, "usage: crvdecode library FILE --root DIR\n       crvdecode playlist FILE --root DIR\n");
  return 2;
}

void PrintRecords(bool parsed, const crv::MediaItemList& items) {
  std::printf("result: %s\n", !parsed ? "failed" : items.empty() ? "empty" : "loaded");
  std::printf("count: %zu\n", items.size());
  int i = 0;
  for (const auto& item : items) {
    std::printf("record %d: %s | %s | %s | %s | %s | %s | %d | %d\n", i++, crv::media_xml::TypeName(item->GetType()),
                crv::ToUtf8(item->GetLocation()).c_str(), crv::ToUtf8(item->DisplayTitle()).c_str(),
                crv::ToUtf8(item->GetArtist()).c_str(), crv::ToUtf8(item->GetAlbum()).c_str(),
                crv::ToUtf8(item->GetGenre()).c_str(), static_cast<int>(item->GetContrast()),
                static_cast<int>(item->GetBrightness()));
  }
}

}  // namespace

int RunListCommand(int argc, char** argv) {
  if (argc != 4 || std::string(argv[2]) != "--root") return Usage();
  const std::string kind = argv[0];
  const u16 file = crv::FromUtf8(argv[1]);
  crv::device_fs::SetDeviceRoot(crv::FromUtf8(argv[3]));
  bool parsed = false;
  if (kind == "library") {
    // The player reads its library through the same bounded read, then the same rules.
    crv::CMediaLibrary library;
    std::string bytes;
    parsed = crv::device_fs::ReadFileBounded(file, crv::media_xml::kMaxFileBytes, bytes) &&
             library.LoadFromText(bytes.data(), bytes.size());
    PrintRecords(parsed, library.Items());
  } else if (kind == "playlist") {
    crv::CPlaylist playlist;
    parsed = playlist.Load(file);
    PrintRecords(parsed, playlist.Entries());
  } else {
    return Usage();
  }
  return parsed ? 0 : 1;
}
