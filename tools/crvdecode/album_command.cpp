#include "tools/crvdecode/album_command.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>
#include "player/base/text16.h"
#include "player/pictures/picture_album.h"
#include "player/pictures/reader_registry.h"

extern "C" {
#include <libavutil/md5.h>
}

namespace {

std::string Md5Hex(const std::vector<uint8_t>& bytes) {
  uint8_t digest[16];
  av_md5_sum(digest, bytes.data(), bytes.size());
  std::string hex;
  char pair[3];
  for (uint8_t b : digest) {
    std::snprintf(pair, sizeof pair, "%02x", b);
    hex += pair;
  }
  return hex;
}

void PrintItem(const crv::PictureAlbum& album, int32_t index) {
  const crv::AlbumItem& item = *album.Item(index);
  std::printf("item %d path: %s\n", index, crv::ToUtf8(album.ItemPath(index, false)).c_str());
  std::printf("item %d rotation: %d\n", index, item.Fixed().rotation);
  const crv::AlbumThumbnail& thumbnail = item.Thumbnail();
  if (thumbnail.Empty())
    std::printf("item %d thumbnail: none\n", index);
  else
    std::printf("item %d thumbnail: %d %d %d\n", index, thumbnail.Info()->width, thumbnail.Info()->height,
                thumbnail.Info()->bitCount);
  for (int s = 0; s < crv::kAlbumAttachmentSlots; ++s) {
    const crv::AlbumAttachmentSlot& slot = item.Fixed().slots[s];
    if (slot.size == 0) continue;
    const std::string digest = crv::AttachmentDataKept(slot) ? Md5Hex(item.AttachmentData(s)) : "skipped";
    std::printf("item %d slot %d: %u %u %s\n", index, s, slot.type, slot.size, digest.c_str());
  }
}

}  // namespace

int RunAlbumCommand(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: crvdecode album FILE\n");
    return 2;
  }
  crv::ReaderRegistry registry(nullptr);  // opening an album asks nothing of the readers
  crv::PictureAlbum album(registry);
  const int32_t result = album.Open(crv::FromUtf8(argv[1]));
  std::printf("result: %d\n", result);
  std::printf("items: %d\n", album.Count());
  std::printf("options: %u\n", album.Options());
  std::printf("folder: %s\n", crv::ToUtf8(album.Folder()).c_str());
  std::printf("sound: %s\n", crv::ToUtf8(album.Sound()).c_str());
  for (int32_t i = 0; i < album.Count(); ++i) PrintItem(album, i);
  return result == crv::kResultOk ? 0 : 1;
}
