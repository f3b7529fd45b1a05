// The ".mab" album file. All integers little-endian, strings UTF-16 little-endian:
//
//   "RAB 100"                      7 bytes, no terminator
//   item count N, options          32-bit each
//   album folder, album sound      counted strings: 32-bit byte length L, then L bytes
//   N item records:
//     item path, sound path        counted strings
//     fixed part                   332 bytes (AlbumItemFixed)
//     attachment data              for slots 1 to 4 in order, `size` bytes each
//     thumbnail size T             32-bit; 0 = none, else 44 + image size, followed by
//     bitmap info block            44 bytes: BITMAPINFOHEADER and 4 further bytes
//     pixels                       T - 44 bytes, bottom-up rows padded to 4 bytes
//
// Every length and size read is checked against what the file still holds before anything
// is made for it, so a hostile file cannot make the reader allocate more than its own size.
#include <algorithm>
#include <cstring>
#include "player/base/bytes.h"
#include "player/base/device_fs.h"
#include "player/media/alloc_hooks.h"
#include "player/pictures/picture_album.h"

namespace crv {

namespace {

constexpr char kMagic[] = "RAB 100";
constexpr size_t kMagicBytes = 7;
// A counted string of a 260-character field: at most 259 characters.
constexpr uint32_t kMaxStringBytes = 2 * kAlbumPathMaxChars;
constexpr size_t kInfoBlockBytes = 44;
// The smallest item record: two empty strings, the fixed part and a thumbnail size of 0.
constexpr uint64_t kMinItemBytes = 4 + 4 + kAlbumItemFixedBytes + 4;

// Reads the album front to back, never past the end of the source.
class AlbumReader {
 public:
  explicit AlbumReader(ByteSource& source) : source_(source), size_(source.Size()) {}

  uint64_t Remaining() const { return size_ - offset_; }

  bool Read(void* destination, size_t count) {
    if (count > Remaining() || !source_.ReadExactly(offset_, destination, count)) return false;
    offset_ += count;
    return true;
  }
  bool Skip(uint64_t count) {
    if (count > Remaining()) return false;
    offset_ += count;
    return true;
  }
  bool Le32(uint32_t& value) {
    uint8_t b[4];
    if (!Read(b, sizeof b)) return false;
    value = crv::Le32(b);
    return true;
  }
  // A counted string of at most 259 characters.
  bool CountedString(u16& text) {
    uint32_t length = 0;
    if (!Le32(length) || length > kMaxStringBytes || length % 2 != 0 || length > Remaining()) return false;
    uint8_t bytes[kMaxStringBytes];
    if (!Read(bytes, length)) return false;
    text.resize(length / 2);
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(crv::Le16(bytes + 2 * i));
    return true;
  }

 private:
  ByteSource& source_;
  uint64_t size_;
  uint64_t offset_ = 0;
};

void AppendBytes(std::vector<uint8_t>& out, const uint8_t* bytes, size_t count) {
  out.insert(out.end(), bytes, bytes + count);
}

void AppendCountedString(std::vector<uint8_t>& out, const u16& text) {
  const size_t chars = text.size() < kAlbumPathMaxChars ? text.size() : kAlbumPathMaxChars;
  AppendLe32(out, static_cast<uint32_t>(2 * chars));
  for (size_t i = 0; i < chars; ++i) AppendLe16(out, text[i]);
}

// The thumbnail block after its size T (not 0): a 40-byte header of a bitmap we can make,
// an image size that matches its rows and T = image size + 44. False refuses the album.
bool ReadThumbnail(AlbumReader& in, uint32_t total, AlbumThumbnail& thumbnail) {
  if (total < kInfoBlockBytes || total > in.Remaining()) return false;
  uint8_t block[kInfoBlockBytes];
  if (!in.Read(block, sizeof block)) return false;
  ByteView view(block, sizeof block);
  RBitmapInfoHeader header{};
  header.size = view.Le32(0);
  header.width = static_cast<int32_t>(view.Le32(4));
  header.height = static_cast<int32_t>(view.Le32(8));
  header.planes = view.Le16(12);
  header.bitCount = view.Le16(14);
  header.compression = view.Le32(16);
  header.sizeImage = view.Le32(20);
  header.xPelsPerMeter = static_cast<int32_t>(view.Le32(24));
  header.yPelsPerMeter = static_cast<int32_t>(view.Le32(28));
  header.clrUsed = view.Le32(32);
  header.clrImportant = view.Le32(36);
  if (header.size != sizeof(RBitmapInfoHeader) || header.width < 1 || header.height < 1) return false;
  // Only uncompressed rows of a known depth: anything else would have the platform read
  // masks or colours that the 44 bytes do not hold.
  if (!KnownDibDepth(header.bitCount) || header.compression != 0) return false;
  // Sides whose product would pass 32 bits could wrap round to a size that matches.
  const uint64_t rowBytes = DibRowBytes(header.bitCount, static_cast<uint64_t>(header.width));
  if (static_cast<uint64_t>(header.height) > UINT32_MAX / rowBytes) return false;
  const uint64_t imageBytes = rowBytes * static_cast<uint64_t>(header.height);
  if (header.sizeImage != imageBytes || uint64_t{total} != imageBytes + kInfoBlockBytes) return false;

  // The block the DIB is made from holds a whole colour table for the small depths, and
  // never promises more colours than it holds.
  if (header.clrUsed > PaletteEntries(header.bitCount)) header.clrUsed = 0;
  const size_t infoBytes = std::max(kInfoBlockBytes, BitmapInfoBytes(header.bitCount));
  auto* info = static_cast<RBitmapInfoHeader*>(HookAllocZeroed(infoBytes));
  if (!info) return in.Skip(imageBytes);  // no thumbnail then: the loader makes it again
  *info = header;
  std::memcpy(reinterpret_cast<uint8_t*>(info) + sizeof(RBitmapInfoHeader), block + sizeof(RBitmapInfoHeader),
              kInfoBlockBytes - sizeof(RBitmapInfoHeader));
  void* bits = nullptr;
  RBitmapHandle bitmap = HookCreateDib(nullptr, info, &bits);
  if (!bitmap) {
    HookFree(info);
    return in.Skip(imageBytes);
  }
  thumbnail.Adopt(bitmap, info, static_cast<uint8_t*>(bits));
  if (!in.Read(bits, static_cast<size_t>(imageBytes))) {
    thumbnail.Reset();
    return false;
  }
  return true;
}

int32_t ReadItem(AlbumReader& in, AlbumItem& item) {
  u16 path, sound;
  if (!in.CountedString(path) || !in.CountedString(sound)) return kResultBadData;
  item.SetPath(path);
  item.SetSoundPath(sound);
  uint8_t fixed[kAlbumItemFixedBytes];
  if (!in.Read(fixed, sizeof fixed)) return kResultBadData;
  item.Fixed().ReadFrom(fixed);
  for (int s = 0; s < kAlbumAttachmentSlots; ++s) {
    const AlbumAttachmentSlot& slot = item.Fixed().slots[s];
    if (slot.size == 0) continue;
    if (slot.size > in.Remaining()) return kResultBadData;
    if (!AttachmentDataKept(slot)) {
      in.Skip(slot.size);
      continue;
    }
    std::vector<uint8_t> data(slot.size);
    if (!in.Read(data.data(), data.size())) return kResultBadData;
    item.SetSlotData(s, std::move(data));
  }
  uint32_t thumbnailBytes = 0;
  if (!in.Le32(thumbnailBytes)) return kResultBadData;
  if (thumbnailBytes != 0 && !ReadThumbnail(in, thumbnailBytes, item.Thumbnail())) return kResultBadData;
  return kResultOk;
}

void WriteItem(std::vector<uint8_t>& out, const AlbumItem& item) {
  AppendCountedString(out, item.Path());
  AppendCountedString(out, item.SoundPath());
  uint8_t fixed[kAlbumItemFixedBytes];
  item.Fixed().WriteTo(fixed);
  AppendBytes(out, fixed, sizeof fixed);
  for (int s = 0; s < kAlbumAttachmentSlots; ++s) {
    const AlbumAttachmentSlot& slot = item.Fixed().slots[s];
    if (slot.size == 0) continue;
    // Kept types write their data; other types as many zero bytes (their content is free).
    const std::vector<uint8_t>& data = item.AttachmentData(s);
    const size_t kept = AttachmentDataKept(slot) ? std::min<size_t>(data.size(), slot.size) : 0;
    AppendBytes(out, data.data(), kept);
    out.resize(out.size() + (slot.size - kept), 0);
  }
  const AlbumThumbnail& thumbnail = item.Thumbnail();
  const uint64_t imageBytes = thumbnail.Empty() ? 0 : thumbnail.ImageBytes();
  if (imageBytes == 0 || imageBytes > UINT32_MAX - kInfoBlockBytes || thumbnail.Info()->size != 40) {
    AppendLe32(out, 0);
    return;
  }
  AppendLe32(out, static_cast<uint32_t>(imageBytes + kInfoBlockBytes));
  const RBitmapInfoHeader& h = *thumbnail.Info();
  AppendLe32(out, h.size);
  AppendLe32(out, static_cast<uint32_t>(h.width));
  AppendLe32(out, static_cast<uint32_t>(h.height));
  AppendLe16(out, h.planes);
  AppendLe16(out, h.bitCount);
  AppendLe32(out, h.compression);
  AppendLe32(out, static_cast<uint32_t>(imageBytes));  // what the reader checks, whatever the DIB says
  AppendLe32(out, static_cast<uint32_t>(h.xPelsPerMeter));
  AppendLe32(out, static_cast<uint32_t>(h.yPelsPerMeter));
  AppendLe32(out, h.clrUsed);
  AppendLe32(out, h.clrImportant);
  AppendBytes(out, reinterpret_cast<const uint8_t*>(thumbnail.Info()) + sizeof(RBitmapInfoHeader),
              kInfoBlockBytes - sizeof(RBitmapInfoHeader));
  AppendBytes(out, thumbnail.Pixels(), static_cast<size_t>(imageBytes));
}

}  // namespace

u16 ForcedAlbumName(const u16& path) {
  const size_t dot = path.rfind(u'.');
  const size_t slash = path.rfind(u'\\');
  const bool hasExtension = dot != u16::npos && (slash == u16::npos || dot > slash);
  return (hasExtension ? path.substr(0, dot) : path) + u".mab";
}

int32_t PictureAlbum::Serialize(ByteSource& source) {
  std::lock_guard<AlbumLock> hold(lock_);
  items_.clear();
  sound_.clear();
  folder_.clear();
  current_ = 0;
  options_ = 0;

  AlbumReader in(source);
  uint8_t magic[kMagicBytes];
  if (!in.Read(magic, sizeof magic) || std::memcmp(magic, kMagic, kMagicBytes) != 0) return kResultVersion;
  uint32_t count = 0, options = 0;
  if (!in.Le32(count) || !in.Le32(options)) return kResultBadData;
  options_ = options;
  u16 folder, sound;
  if (!in.CountedString(folder) || !in.CountedString(sound)) return kResultBadData;
  folder_ = folder;
  sound_ = sound;
  // No more items than the rest of the file could hold, before any is made.
  if (count > in.Remaining() / kMinItemBytes) return kResultBadData;

  ItemList items;
  items.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    auto item = std::make_unique<AlbumItem>();
    const int32_t result = ReadItem(in, *item);
    if (result != kResultOk) return result;  // every item read so far goes with `items`
    items.push_back(std::move(item));
  }
  items_ = std::move(items);
  return kResultOk;
}

int32_t PictureAlbum::Serialize(std::vector<uint8_t>& out) const {
  std::lock_guard<AlbumLock> hold(lock_);
  out.clear();
  out.insert(out.end(), kMagic, kMagic + kMagicBytes);
  AppendLe32(out, static_cast<uint32_t>(items_.size()));
  AppendLe32(out, options_);
  AppendCountedString(out, folder_);
  AppendCountedString(out, sound_);
  for (const auto& item : items_) WriteItem(out, *item);
  return kResultOk;
}

int32_t PictureAlbum::Open(const u16& path) {
  std::lock_guard<AlbumLock> hold(lock_);
  SetFilePath(path);
  std::unique_ptr<ByteSource> file = device_fs::OpenForReading(path);
  if (!file) {
    const u16 kept = filePath_;
    Clear();
    filePath_ = kept;
    return kResultCannotOpen;
  }
  return Serialize(*file);
}

int32_t PictureAlbum::SaveTo(const u16& path) {
  const u16 target = ForcedAlbumName(path);
  std::vector<uint8_t> bytes;
  Serialize(bytes);
  // The old file may be read-only; it is replaced only once the new one is whole.
  device_fs::ClearReadOnly(target);
  switch (device_fs::ReplaceFileWith(target, bytes.data(), bytes.size())) {
    case device_fs::ReplaceOutcome::kReplaced:
      SetFilePath(target);
      return kResultOk;
    case device_fs::ReplaceOutcome::kNotWritten:
      return kResultWriteError;
    default:
      return kResultCannotCreate;
  }
}

u16 PictureAlbum::ProposedSaveName() const {
  if (!filePath_.empty()) return ForcedAlbumName(filePath_);
  return ForcedAlbumName(JoinAlbumPath(folder_, u"New.mab"));
}

}  // namespace crv
