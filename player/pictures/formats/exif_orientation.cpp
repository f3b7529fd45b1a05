#include "player/pictures/formats/exif_orientation.h"

#include <cstring>
#include <vector>
#include "player/base/bytes.h"

namespace crv {

namespace {

constexpr uint8_t kMarkerByte = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kApp1 = 0xE1;
// "Exif" and a zero; the sixth byte of the header is a pad that some writers fill.
constexpr uint8_t kExifHeader[5] = {'E', 'x', 'i', 'f', 0};
constexpr size_t kExifHeaderBytes = 6;

constexpr uint16_t kTiffMagic = 42;
constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kTypeShort = 3;
constexpr size_t kIfdEntryBytes = 12;

// The search ends at the scan, and after this many segments or fill bytes: the EXIF block
// comes right after the start of the image, and a hostile file cannot keep us reading.
constexpr int kMaxSegments = 64;
constexpr int kMaxFillBytes = 64;

// Markers that stand alone, without a length.
bool IsStandalone(uint8_t marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7); }

// The fields of a TIFF block in its own byte order; a field outside the block reads 0 and
// fails the view.
class TiffFields {
 public:
  TiffFields(ByteView block, bool littleEndian) : block_(block), little_(littleEndian) {}
  uint16_t U16(size_t at) { return little_ ? block_.Le16(at) : block_.Be16(at); }
  uint32_t U32(size_t at) { return little_ ? block_.Le32(at) : block_.Be32(at); }
  bool Has(uint64_t at, size_t count) const {
    return at <= block_.size() && block_.Has(static_cast<size_t>(at), count);
  }
  bool Ok() const { return block_.Ok(); }

 private:
  ByteView block_;
  bool little_;
};

// The orientation tag of the first IFD of a TIFF block ("II" or "MM", 42, the IFD's
// offset). Only the first IFD is read and no offset is followed beyond it, so no chain of
// IFDs can loop. The tag must be one SHORT, held in the entry itself.
int32_t OrientationInTiff(ByteView block) {
  const uint16_t order = block.Le16(0);
  if (!block.Ok() || (order != 0x4949 && order != 0x4D4D)) return 0;
  TiffFields tiff(block, order == 0x4949);
  if (tiff.U16(2) != kTiffMagic) return 0;
  const uint64_t ifd = tiff.U32(4);
  if (!tiff.Ok() || !tiff.Has(ifd, 2)) return 0;
  const uint32_t entries = tiff.U16(static_cast<size_t>(ifd));
  for (uint32_t i = 0; i < entries; ++i) {
    const uint64_t entry = ifd + 2 + uint64_t{i} * kIfdEntryBytes;
    if (!tiff.Has(entry, kIfdEntryBytes)) return 0;
    const size_t at = static_cast<size_t>(entry);
    if (tiff.U16(at) != kOrientationTag) continue;
    if (tiff.U16(at + 2) != kTypeShort || tiff.U32(at + 4) != 1) return 0;
    const uint16_t orientation = tiff.U16(at + 8);
    return orientation >= 1 && orientation <= 8 ? orientation : 0;
  }
  return 0;
}

// The orientation in an APP1 segment whose data (after the length) starts at `at` and has
// `bytes` bytes; -1 when the segment is not an EXIF block, so the search goes on.
int32_t OrientationInApp1(ByteSource& file, uint64_t at, size_t bytes) {
  uint8_t header[kExifHeaderBytes];
  if (bytes < kExifHeaderBytes || !file.ReadExactly(at, header, sizeof header)) return -1;
  if (std::memcmp(header, kExifHeader, sizeof kExifHeader) != 0) return -1;
  // At most 65527 bytes: a segment's length is a 16-bit number.
  std::vector<uint8_t> tiff(bytes - kExifHeaderBytes);
  if (!file.ReadExactly(at + kExifHeaderBytes, tiff.data(), tiff.size())) return 0;
  return OrientationInTiff(ByteView(tiff));
}

}  // namespace

int32_t ExifOrientation(ByteSource& file) {
  uint8_t bytes[4];
  if (!file.ReadExactly(0, bytes, 2) || bytes[0] != kMarkerByte || bytes[1] != kStartOfImage) return 0;
  uint64_t at = 2;
  int fillBytes = 0;
  for (int segments = 0; segments < kMaxSegments;) {
    if (!file.ReadExactly(at, bytes, 2) || bytes[0] != kMarkerByte) return 0;
    const uint8_t marker = bytes[1];
    if (marker == kMarkerByte) {  // a fill byte before the marker
      if (++fillBytes > kMaxFillBytes) return 0;
      ++at;
      continue;
    }
    ++segments;
    if (marker == kStartOfScan || marker == kEndOfImage || marker == kStartOfImage) return 0;
    if (IsStandalone(marker)) {
      at += 2;
      continue;
    }
    if (!file.ReadExactly(at + 2, bytes + 2, 2)) return 0;
    const uint16_t length = Be16(bytes + 2);  // counts itself
    if (length < 2) return 0;
    if (marker == kApp1) {
      const int32_t orientation = OrientationInApp1(file, at + 4, length - 2u);
      if (orientation >= 0) return orientation;  // the first EXIF block decides
    }
    at += 2 + uint64_t{length};
  }
  return 0;
}

int32_t RotationForExifOrientation(int32_t orientation) {
  switch (orientation) {
    case 3:
    case 4: return 180;
    case 5:
    case 6: return 90;
    case 7:
    case 8: return 270;
    default: return 0;  // 1, 2 and unknown values
  }
}

int32_t ExifRotationDegrees(ByteSource& file) { return RotationForExifOrientation(ExifOrientation(file)); }

}  // namespace crv
