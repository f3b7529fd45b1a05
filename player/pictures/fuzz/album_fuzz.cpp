// libFuzzer target over the album reader: any bytes are read as a ".mab" file. A refused
// album must be left without items; an album that loads is written and read back, and must
// come back the same: item count, options, strings, every fixed part, the kept attachments
// and the thumbnails, and a second writing gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>
#include "player/base/byte_source.h"
#include "player/pictures/picture_album.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool SameThumbnail(const crv::AlbumThumbnail& a, const crv::AlbumThumbnail& b) {
  if (a.Empty() || b.Empty()) return a.Empty() == b.Empty();
  return std::memcmp(a.Info(), b.Info(), 44) == 0 && a.ImageBytes() == b.ImageBytes() &&
         std::memcmp(a.Pixels(), b.Pixels(), static_cast<size_t>(a.ImageBytes())) == 0;
}

void CheckSameItem(const crv::AlbumItem& a, const crv::AlbumItem& b) {
  Check(a.Path() == b.Path());
  Check(a.SoundPath() == b.SoundPath());
  Check(a.Fixed() == b.Fixed());
  for (int s = 0; s < crv::kAlbumAttachmentSlots; ++s) Check(a.AttachmentData(s) == b.AttachmentData(s));
  Check(SameThumbnail(a.Thumbnail(), b.Thumbnail()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static crv::ReaderRegistry registry(nullptr);  // reading and writing ask nothing of it
  crv::PictureAlbum album(registry);
  crv::MemoryByteSource source(data, size);
  if (album.Serialize(source) != crv::kResultOk) {
    Check(album.Count() == 0);
    return 0;
  }

  std::vector<uint8_t> written;
  Check(album.Serialize(written) == crv::kResultOk);
  crv::PictureAlbum again(registry);
  crv::MemoryByteSource writtenSource(written.data(), written.size());
  Check(again.Serialize(writtenSource) == crv::kResultOk);
  Check(again.Count() == album.Count());
  Check(again.Options() == album.Options());
  Check(again.Folder() == album.Folder() && again.Sound() == album.Sound());
  for (int32_t i = 0; i < album.Count(); ++i) CheckSameItem(*album.Item(i), *again.Item(i));

  std::vector<uint8_t> rewritten;
  again.Serialize(rewritten);
  Check(rewritten == written);
  return 0;
}
