// One picture of an album: the fixed part that the album file stores for it (its remembered
// view state, the file's size and time, the attachment table), the attachments' data, and
// what the program keeps only while it runs (the paths, the thumbnail, the loaded picture).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>
#include "player/base/text16.h"
#include "player/media/frame_record.h"
#include "player/pictures/image_holder.h"

namespace crv {

// Bytes of the fixed part in the album file.
constexpr size_t kAlbumItemFixedBytes = 332;
constexpr int kAlbumAttachmentSlots = 4;
// Characters a path of the album may have: its fields hold 260 with the terminator.
constexpr size_t kAlbumPathMaxChars = 259;

// View flags of an item whose view state the thumbnail loader has not set up yet.
constexpr uint32_t kViewStateUnset = 255;
// View flags bits once set.
constexpr uint32_t kViewZoomToFit = 1u << 0;
constexpr uint32_t kViewAutoLandscape = 1u << 1;
// Item flags: repeat the picture's own sound in a slide show.
constexpr uint32_t kItemRepeatSound = 1u << 2;

// Attachment types whose data the album file carries (in the low 16 bits of the type word).
enum AlbumAttachmentType : uint16_t {
  kAttachmentDrawing = 2,  // the picture's drawn annotations
  kAttachmentDisplay = 3,  // four 32-bit display values for the view state
};

enum AlbumItemLoadState : int32_t {
  kItemNotLoaded = 0,
  kItemLoaded = 2,
  kItemFailed = 3,
};

// One slot of the attachment table. On the device a data pointer follows the type; it means
// nothing in a file, so it is neither kept nor read (the data lives in the item).
struct AlbumAttachmentSlot {
  uint32_t size = 0;  // bytes of data; 0 = a free slot
  uint32_t type = 0;  // the type in the low 16 bits; the high half is carried through
  uint16_t Type() const { return static_cast<uint16_t>(type); }
  bool operator==(const AlbumAttachmentSlot& other) const { return size == other.size && type == other.type; }
};

// Whether the album file carries the data of a slot of this type.
inline bool AttachmentDataKept(const AlbumAttachmentSlot& slot) {
  return slot.Type() == kAttachmentDrawing || slot.Type() == kAttachmentDisplay;
}

// The fixed part, field by field; ReadFrom and WriteTo give each field its offset in the
// 332 bytes. The bytes the program defines no field for come back out as they went in.
struct AlbumItemFixed {
  uint32_t width = 0;                     // 0: of the picture when it was last loaded
  uint32_t height = 0;                    // 4
  uint8_t bitsPerPixel = 0;               // 8
  uint16_t slideDelay = 0;                // 10: seconds; 0 = the settings' delay
  uint32_t viewFlags = kViewStateUnset;   // 20
  uint32_t zoomBits = 0x3F800000u;        // 24: a float (1.0), kept as its bits so they travel unchanged
  int32_t rotation = 0;                   // 28: 0, 90, 180, 270
  uint32_t itemFlags = 0;                 // 32
  uint32_t fileSize = 0;                  // 36: from the folder entry when added
  uint64_t lastWriteTime = 0;             // 40: FILETIME of the file
  std::array<AlbumAttachmentSlot, kAlbumAttachmentSlots> slots{};  // 48: 12 bytes each
  // Bytes carried through as they are: offset 9, 12..19 (where the picture view keeps its
  // offsets, OffsetX and OffsetY) and 96..331.
  uint8_t unknown9 = 0;
  std::array<uint8_t, 8> unknown12{};
  std::array<uint8_t, kAlbumItemFixedBytes - 96> unknown96{};

  float Zoom() const;
  void SetZoom(float zoom);

  // The view flags; an item whose view state is not set yet has neither.
  bool ViewStateSet() const { return viewFlags != kViewStateUnset; }
  bool ZoomToFit() const { return ViewStateSet() && (viewFlags & kViewZoomToFit) != 0; }
  bool AutoLandscape() const { return ViewStateSet() && (viewFlags & kViewAutoLandscape) != 0; }
  // Sets or clears one flag; an unset view state starts from no flags.
  void SetViewFlag(uint32_t flag, bool on) {
    const uint32_t flags = ViewStateSet() ? viewFlags : 0;
    viewFlags = on ? flags | flag : flags & ~flag;
  }

  // The picture's top-left corner in view pixels: signed little-endian words at offsets 12
  // and 16, so that they travel with the album.
  int32_t OffsetX() const { return OffsetAt(0); }
  int32_t OffsetY() const { return OffsetAt(4); }
  void SetOffsets(int32_t x, int32_t y) {
    PutOffset(0, x);
    PutOffset(4, y);
  }

  // From / into the 332 bytes of the file; the data pointers are written as 0.
  void ReadFrom(const uint8_t* bytes);
  void WriteTo(uint8_t* bytes) const;

  bool operator==(const AlbumItemFixed& other) const;
  bool operator!=(const AlbumItemFixed& other) const { return !(*this == other); }

 private:
  int32_t OffsetAt(size_t at) const {
    const uint32_t v = uint32_t{unknown12[at]} | uint32_t{unknown12[at + 1]} << 8 | uint32_t{unknown12[at + 2]} << 16 |
                       uint32_t{unknown12[at + 3]} << 24;
    return static_cast<int32_t>(v);
  }
  void PutOffset(size_t at, int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i) unknown12[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
};

// An item's thumbnail: a DIB section made through the allocation hooks, its bitmap info
// block (header and at least 4 further bytes) and its pixels. Owns all three.
class AlbumThumbnail {
 public:
  AlbumThumbnail() = default;
  ~AlbumThumbnail() { Reset(); }
  AlbumThumbnail(const AlbumThumbnail&) = delete;
  AlbumThumbnail& operator=(const AlbumThumbnail&) = delete;
  AlbumThumbnail(AlbumThumbnail&& other) noexcept { *this = std::move(other); }
  AlbumThumbnail& operator=(AlbumThumbnail&& other) noexcept;

  // Takes over a bitmap as ImageHolder::FitCopy hands it out (info block from HookAlloc,
  // bitmap for HookDeleteObject). All three or nothing: a partial set is freed.
  void Adopt(RBitmapHandle bitmap, RBitmapInfoHeader* info, uint8_t* pixels);
  // Frees the bitmap and its info block.
  void Reset();

  bool Empty() const { return !bitmap_; }
  RBitmapHandle Bitmap() const { return bitmap_; }
  const RBitmapInfoHeader* Info() const { return info_; }
  const uint8_t* Pixels() const { return pixels_; }
  uint8_t* Pixels() { return pixels_; }
  // Bytes of the pixels: row size times height; 0 when empty.
  uint64_t ImageBytes() const;

 private:
  RBitmapHandle bitmap_ = nullptr;
  RBitmapInfoHeader* info_ = nullptr;
  uint8_t* pixels_ = nullptr;
};

class AlbumItem {
 public:
  AlbumItem() = default;
  explicit AlbumItem(const u16& path) { SetPath(path); }
  AlbumItem(const AlbumItem&) = delete;
  AlbumItem& operator=(const AlbumItem&) = delete;

  // The path as stored: a bare or relative name (against the album folder) or a full path.
  // Longer paths are cut to what the album's fields hold.
  const u16& Path() const { return path_; }
  void SetPath(const u16& path);
  // The part after the last "\".
  u16 FileName() const { return path_.substr(nameStart_); }
  // The sound note's path, stored the same way; empty without one.
  const u16& SoundPath() const { return soundPath_; }
  void SetSoundPath(const u16& path);
  u16 SoundFileName() const { return soundPath_.substr(soundNameStart_); }

  AlbumItemFixed& Fixed() { return fixed_; }
  const AlbumItemFixed& Fixed() const { return fixed_; }

  // The data of slot `slot` (types 2 and 3 only; empty otherwise).
  const std::vector<uint8_t>& AttachmentData(int slot) const { return attachmentData_[slot]; }
  // The first slot of type `type`; else the first free slot; else -1.
  int FindSlot(uint16_t type) const;
  // Puts `data` into the slot FindSlot gives: the old data goes, the size is the data's and
  // the type goes into the low half of the type word. False when no slot is left.
  bool SetAttachment(uint16_t type, std::vector<uint8_t> data);
  // Sets the data of one slot as read from a file (the slot's size and type stay).
  void SetSlotData(int slot, std::vector<uint8_t> data) { attachmentData_[slot] = std::move(data); }

  AlbumThumbnail& Thumbnail() { return thumbnail_; }
  const AlbumThumbnail& Thumbnail() const { return thumbnail_; }

  // The picture while it is loaded.
  ImageHolder* Picture() const { return picture_.get(); }
  bool HoldsPicture() const { return picture_ && picture_->HasPicture(); }
  void SetPicture(std::unique_ptr<ImageHolder> picture) { picture_ = std::move(picture); }
  // Releases the picture; the item counts as not loaded again.
  void ReleasePicture();

  int32_t LoadState() const { return loadState_; }
  void SetLoadState(int32_t state) { loadState_ = state; }
  int32_t LastResult() const { return lastResult_; }
  void SetLastResult(int32_t result) { lastResult_ = result; }
  const u16& InfoText() const { return infoText_; }
  void SetInfoText(const u16& text) { infoText_ = text; }

 private:
  AlbumItemFixed fixed_;
  std::array<std::vector<uint8_t>, kAlbumAttachmentSlots> attachmentData_;
  u16 path_;
  size_t nameStart_ = 0;
  u16 soundPath_;
  size_t soundNameStart_ = 0;
  AlbumThumbnail thumbnail_;
  std::unique_ptr<ImageHolder> picture_;
  int32_t loadState_ = kItemNotLoaded;
  int32_t lastResult_ = kResultOk;
  u16 infoText_;
};

// The memory an item's picture takes: row size times height plus 1096 bytes, or 1 MB when
// the item holds no picture.
uint64_t PictureMemoryEstimate(const AlbumItem& item);

// A path cut to what the album's 260-character fields hold.
u16 FitAlbumPath(const u16& path);

}  // namespace crv
