#include "player/pictures/album_item.h"

#include <cstring>
#include "player/base/bytes.h"
#include "player/media/alloc_hooks.h"

namespace crv {

namespace {

// Offsets of the fixed part's fields.
enum FixedOffset : size_t {
  kAtWidth = 0,
  kAtHeight = 4,
  kAtBits = 8,
  kAtUnknown9 = 9,
  kAtSlideDelay = 10,
  kAtUnknown12 = 12,
  kAtViewFlags = 20,
  kAtZoom = 24,
  kAtRotation = 28,
  kAtItemFlags = 32,
  kAtFileSize = 36,
  kAtLastWrite = 40,
  kAtSlots = 48,
  kAtUnknown96 = 96,
};
constexpr size_t kSlotBytes = 12;  // size, type, data pointer
static_assert(kAtSlots + kAlbumAttachmentSlots * kSlotBytes == kAtUnknown96, "the table ends where the rest begins");

size_t NameStart(const u16& path) {
  const size_t slash = path.rfind(u'\\');
  return slash == u16::npos ? 0 : slash + 1;
}

}  // namespace

u16 FitAlbumPath(const u16& path) {
  return path.size() > kAlbumPathMaxChars ? path.substr(0, kAlbumPathMaxChars) : path;
}

// ---- The fixed part ------------------------------------------------------------------------

float AlbumItemFixed::Zoom() const {
  float zoom;
  std::memcpy(&zoom, &zoomBits, sizeof zoom);
  return zoom;
}

void AlbumItemFixed::SetZoom(float zoom) { std::memcpy(&zoomBits, &zoom, sizeof zoomBits); }

void AlbumItemFixed::ReadFrom(const uint8_t* b) {
  width = Le32(b + kAtWidth);
  height = Le32(b + kAtHeight);
  bitsPerPixel = b[kAtBits];
  unknown9 = b[kAtUnknown9];
  slideDelay = Le16(b + kAtSlideDelay);
  std::memcpy(unknown12.data(), b + kAtUnknown12, unknown12.size());
  viewFlags = Le32(b + kAtViewFlags);
  zoomBits = Le32(b + kAtZoom);
  rotation = static_cast<int32_t>(Le32(b + kAtRotation));
  itemFlags = Le32(b + kAtItemFlags);
  fileSize = Le32(b + kAtFileSize);
  lastWriteTime = Le64(b + kAtLastWrite);
  for (int s = 0; s < kAlbumAttachmentSlots; ++s) {
    const uint8_t* slot = b + kAtSlots + s * kSlotBytes;
    slots[s].size = Le32(slot);
    slots[s].type = Le32(slot + 4);
  }
  std::memcpy(unknown96.data(), b + kAtUnknown96, unknown96.size());
}

void AlbumItemFixed::WriteTo(uint8_t* b) const {
  std::memset(b, 0, kAlbumItemFixedBytes);
  PutLe32(b + kAtWidth, width);
  PutLe32(b + kAtHeight, height);
  b[kAtBits] = bitsPerPixel;
  b[kAtUnknown9] = unknown9;
  PutLe16(b + kAtSlideDelay, slideDelay);
  std::memcpy(b + kAtUnknown12, unknown12.data(), unknown12.size());
  PutLe32(b + kAtViewFlags, viewFlags);
  PutLe32(b + kAtZoom, zoomBits);
  PutLe32(b + kAtRotation, static_cast<uint32_t>(rotation));
  PutLe32(b + kAtItemFlags, itemFlags);
  PutLe32(b + kAtFileSize, fileSize);
  PutLe32(b + kAtLastWrite, static_cast<uint32_t>(lastWriteTime));
  PutLe32(b + kAtLastWrite + 4, static_cast<uint32_t>(lastWriteTime >> 32));
  for (int s = 0; s < kAlbumAttachmentSlots; ++s) {
    uint8_t* slot = b + kAtSlots + s * kSlotBytes;
    PutLe32(slot, slots[s].size);
    PutLe32(slot + 4, slots[s].type);  // the data pointer stays 0
  }
  std::memcpy(b + kAtUnknown96, unknown96.data(), unknown96.size());
}

bool AlbumItemFixed::operator==(const AlbumItemFixed& o) const {
  return width == o.width && height == o.height && bitsPerPixel == o.bitsPerPixel && slideDelay == o.slideDelay &&
         viewFlags == o.viewFlags && zoomBits == o.zoomBits && rotation == o.rotation && itemFlags == o.itemFlags &&
         fileSize == o.fileSize && lastWriteTime == o.lastWriteTime && slots == o.slots && unknown9 == o.unknown9 &&
         unknown12 == o.unknown12 && unknown96 == o.unknown96;
}

// ---- The thumbnail -------------------------------------------------------------------------

AlbumThumbnail& AlbumThumbnail::operator=(AlbumThumbnail&& other) noexcept {
  if (this != &other) {
    Reset();
    bitmap_ = other.bitmap_;
    info_ = other.info_;
    pixels_ = other.pixels_;
    other.bitmap_ = nullptr;
    other.info_ = nullptr;
    other.pixels_ = nullptr;
  }
  return *this;
}

void AlbumThumbnail::Adopt(RBitmapHandle bitmap, RBitmapInfoHeader* info, uint8_t* pixels) {
  Reset();
  if (!bitmap || !info || !pixels) {
    HookDeleteObject(bitmap);
    HookFree(info);
    return;
  }
  bitmap_ = bitmap;
  info_ = info;
  pixels_ = pixels;
}

void AlbumThumbnail::Reset() {
  HookDeleteObject(bitmap_);
  HookFree(info_);
  bitmap_ = nullptr;
  info_ = nullptr;
  pixels_ = nullptr;
}

uint64_t AlbumThumbnail::ImageBytes() const {
  if (!info_ || info_->width < 1 || info_->height < 1) return 0;
  return DibRowBytes(info_->bitCount, static_cast<uint64_t>(info_->width)) * static_cast<uint64_t>(info_->height);
}

// ---- The item --------------------------------------------------------------------------------

void AlbumItem::SetPath(const u16& path) {
  path_ = FitAlbumPath(path);
  nameStart_ = NameStart(path_);
}

void AlbumItem::SetSoundPath(const u16& path) {
  soundPath_ = FitAlbumPath(path);
  soundNameStart_ = NameStart(soundPath_);
}

int AlbumItem::FindSlot(uint16_t type) const {
  for (int s = 0; s < kAlbumAttachmentSlots; ++s)
    if (fixed_.slots[s].Type() == type) return s;
  for (int s = 0; s < kAlbumAttachmentSlots; ++s)
    if (fixed_.slots[s].size == 0) return s;
  return -1;
}

bool AlbumItem::SetAttachment(uint16_t type, std::vector<uint8_t> data) {
  const int s = FindSlot(type);
  if (s < 0) return false;
  AlbumAttachmentSlot& slot = fixed_.slots[s];
  slot.size = static_cast<uint32_t>(data.size());
  slot.type = (slot.type & 0xFFFF0000u) | type;
  attachmentData_[s] = std::move(data);
  return true;
}

void AlbumItem::ReleasePicture() {
  picture_.reset();
  loadState_ = kItemNotLoaded;
}

uint64_t PictureMemoryEstimate(const AlbumItem& item) {
  constexpr uint64_t kUnknownPicture = 1u << 20;
  if (!item.HoldsPicture()) return kUnknownPicture;
  const RBitmapInfoHeader& info = *item.Picture()->Record().info;
  const uint64_t width = static_cast<uint64_t>(info.width < 0 ? -int64_t{info.width} : info.width);
  const uint64_t height = static_cast<uint64_t>(info.height < 0 ? -int64_t{info.height} : info.height);
  return DibRowBytes(info.bitCount, width) * height + 1096;
}

}  // namespace crv
