#include "player/pictures/formats/bmp_source.h"

#include <algorithm>
#include <cstring>
#include "player/media/decoders/pixel_target.h"
#include "player/media/source_state.h"
#include "player/pictures/formats/picture_reader.h"

namespace crv {

namespace {

constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionRle8 = 1;
constexpr uint32_t kCompressionRle4 = 2;
// Palettes of this file-header offset are 3-byte triples (files of an old writer).
constexpr uint32_t kTriplePaletteOffset = 462;
// Headers longer than this are not bitmap headers (the V5 header is 124 bytes).
constexpr uint32_t kMaxHeaderBytes = 4096;

struct BmpHeader {
  int32_t width = 0;
  int32_t height = 0;       // negative: rows stored from the top
  uint32_t bitCount = 0;
  uint32_t compression = 0;
  uint32_t colours = 0;
  bool core = false;        // the 12-byte OS/2 header
};

bool ValidBits(uint32_t bits) {
  return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Reads the info header behind the file header; the reader ends right behind it (past a
// longer header's extra fields, where the colour table starts). False: a short read.
bool ReadInfoHeader(PictureReader& in, BmpHeader& h) {
  const int64_t start = in.Tell();
  uint8_t b[40] = {};
  const size_t got = in.Read(b, sizeof(b));
  const uint32_t size = got >= 4 ? Le32(b) : 0;
  if (got >= 12 && size == 12) {
    h.core = true;
    h.width = Le16(b + 4);
    h.height = Le16(b + 6);
    h.bitCount = Le16(b + 10);
    return in.Seek(start + 12);
  }
  if (got < sizeof(b)) return false;
  h.width = static_cast<int32_t>(Le32(b + 4));
  h.height = static_cast<int32_t>(Le32(b + 8));
  h.bitCount = Le16(b + 14);
  h.compression = Le32(b + 16);
  h.colours = Le32(b + 32);
  // The colour table follows the whole header, not its first 40 bytes.
  if (size > 40 && size <= kMaxHeaderBytes) return in.Seek(start + size);
  return true;
}

// Reads `count` colour-table entries (3 or 4 bytes each), keeping the first 256.
uint32_t ReadPalette(PictureReader& in, uint32_t count, bool triples, RRgbQuad* palette) {
  const size_t entryBytes = triples ? 3 : 4;
  const uint32_t kept = std::min<uint32_t>(count, 256);
  for (uint32_t i = 0; i < kept; ++i) {
    uint8_t e[4] = {};
    if (in.Read(e, entryBytes) < entryBytes) return i;
    palette[i] = {e[0], e[1], e[2], 0};
  }
  if (count > kept) in.Skip(uint64_t{count - kept} * entryBytes);
  return kept;
}

// 16 bits: 5-5-5 with bit 15 unused; 32 bits: the fourth byte dropped.
void ToDib24(const uint8_t* in, uint32_t bits, int32_t width, uint8_t* out) {
  for (int32_t x = 0; x < width; ++x, out += 3) {
    if (bits == 16)
      Expand555(Le16(in + 2 * x), out);
    else
      std::memcpy(out, in + 4 * x, 3);
  }
}

}  // namespace

int32_t ImgFmtBMP::Load(RFileHandle file, uint32_t) {
  PictureReader in(file);
  const int64_t start = in.Tell();
  uint8_t fileHeader[14];
  if (in.Read(fileHeader, sizeof(fileHeader)) < sizeof(fileHeader)) return kResultReadError;
  uint32_t dataOffset = 0;
  if (fileHeader[0] == 'B' && fileHeader[1] == 'M')
    dataOffset = Le32(fileHeader + 10);
  else
    in.Seek(start);  // a bare bitmap: the info header comes first

  BmpHeader h;
  if (!ReadInfoHeader(in, h)) return kResultReadError;
  if (!ValidBits(h.bitCount)) return kResultVersion;
  const bool topDown = h.height < 0;
  const int32_t height = topDown ? (h.height == INT32_MIN ? 0 : -h.height) : h.height;
  if (h.width < 1 || height < 1 || h.width > kMaxPictureSide || height > kMaxPictureSide) return kResultBadData;
  const bool rle = h.compression == kCompressionRle8 || h.compression == kCompressionRle4;
  // A run-length picture of another depth, or a compression we do not know, cannot be shown.
  if (h.compression != kCompressionNone &&
      !(h.compression == kCompressionRle8 && h.bitCount == 8) &&
      !(h.compression == kCompressionRle4 && h.bitCount == 4))
    return kResultCompression;

  uint32_t colours = h.colours;
  if (colours == 0 && h.bitCount <= 8) colours = 1u << h.bitCount;
  RRgbQuad palette[256] = {};
  const uint32_t paletteCount =
      colours ? ReadPalette(in, colours, h.core || dataOffset == kTriplePaletteOffset, palette) : 0;

  const uint32_t outBits = h.bitCount == 16 || h.bitCount == 32 ? 24 : h.bitCount;
  // Run-length pictures are decoded at full size and reduced afterwards: their runs write
  // across whole rows, which the row placement cannot follow.
  if (!CreateBitmap(h.width, height, outBits, paletteCount ? palette : nullptr, paletteCount, !rle))
    return kResultNoMemory;
  if (dataOffset != 0) in.Seek(start + dataOffset);

  int32_t result = kResultOk;
  if (rle) {
    result = DecodeRle(in, height, topDown, h.compression == kCompressionRle4);
    SetInfoText(record_, h.compression == kCompressionRle4 ? "RLE4 compression" : "RLE8 compression");
  } else {
    result = DecodeRows(in, height, topDown, h.bitCount);
    SetInfoText(record_, "Uncompressed");
  }
  if (result == kResultOk) ReduceAfterLoad();
  return result;
}

int32_t ImgFmtBMP::DecodeRows(PictureReader& in, int32_t height, bool topDown, uint32_t bits) {
  const int32_t width = SourceWidth();
  const auto fileRow = static_cast<size_t>(DibRowBytes(bits, static_cast<uint64_t>(width)));
  const bool convert = bits == 16 || bits == 32;
  HookBuffer scratch(convert ? fileRow : 0);
  if (convert && !scratch) return kResultNoMemory;
  const auto outRow = static_cast<size_t>(SourceRowBytes());
  for (int32_t k = 0; k < height; ++k) {
    // An aborted load is no picture: the view shows why instead of a part of one.
    if (LoadAborted()) return kResultAborted;
    const int32_t y = topDown ? height - 1 - k : k;
    uint8_t* row = RowBuffer(y);
    if (!row) return kResultNoMemory;
    size_t got;
    if (convert) {
      got = in.Read(scratch.data(), fileRow);
      std::memset(scratch.data() + got, 0, fileRow - got);
      ToDib24(scratch.data(), bits, width, row);
    } else {
      got = in.Read(row, outRow);
      std::memset(row + got, 0, outRow - got);  // the row buffer still holds the last row
    }
    PutRow(y);
    if (got < fileRow) break;  // the rest of the picture stays as created
  }
  return kResultOk;
}

int32_t ImgFmtBMP::DecodeRle(PictureReader& in, int32_t height, bool topDown, bool nibbles) {
  const int32_t width = SourceWidth();
  const auto rowBytes = static_cast<size_t>(SourceRowBytes());
  uint8_t* const pixels = record_.pixels;
  int64_t x = 0;
  int32_t y = 0;
  // Every write is checked against the full-size bitmap: runs past a row's end are dropped.
  auto put = [&](int value) {
    if (x < width) {
      uint8_t* row = pixels + static_cast<size_t>(topDown ? height - 1 - y : y) * rowBytes;
      if (nibbles) {
        uint8_t& b = row[x >> 1];
        b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (value & 0x0F))
                    : static_cast<uint8_t>((b & 0x0F) | (value << 4));
      } else {
        row[x] = static_cast<uint8_t>(value);
      }
    }
    ++x;
  };
  for (;;) {
    const int count = in.Byte();
    const int value = in.Byte();
    if (count < 0 || value < 0) break;  // the file ends: what is decoded stays
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(nibbles ? ((i & 1) ? value & 0x0F : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      if (++y >= height) break;
      if (LoadAborted()) return kResultAborted;
      continue;
    }
    if (value == 1 || value == 2) break;  // end of picture; a delta ends decoding too
    const int bytes = nibbles ? (value + 1) / 2 : value;
    for (int i = 0; i < bytes; ++i) {
      const int b = in.Byte();
      if (b < 0) return kResultOk;
      if (!nibbles) {
        put(b);
      } else {
        put(b >> 4);
        if (2 * i + 1 < value) put(b & 0x0F);
      }
    }
    if (bytes & 1) in.Byte();  // absolute runs keep 16-bit alignment
  }
  return kResultOk;
}

}  // namespace crv
