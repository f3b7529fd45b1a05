#include "player/pictures/formats/pcx_source.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include "player/media/alloc_hooks.h"
#include "player/media/source_state.h"
#include "player/pictures/formats/picture_reader.h"

namespace crv {

namespace {

constexpr size_t kHeaderBytes = 128;
constexpr size_t kPaletteBytes = 768;
constexpr uint8_t kPaletteMark = 12;

// The run rule of both encodings: a byte with the top two bits set counts the next byte.
class RunDecoder {
 public:
  RunDecoder(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool Next(uint8_t& out) {
    if (left_ == 0) {
      if (p_ == end_) return false;
      const uint8_t b = *p_++;
      if ((b & 0xC0) != 0xC0) {
        out = b;
        return true;
      }
      if (p_ == end_) return false;
      left_ = b & 0x3F;
      value_ = *p_++;
      if (left_ == 0) return Next(out);  // a run of nothing
    }
    --left_;
    out = value_;
    return true;
  }
  // Where the image data end, once no run is pending.
  const uint8_t* Position() const { return left_ ? nullptr : p_; }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
  uint32_t left_ = 0;
  uint8_t value_ = 0;
};

void SetBit(uint8_t* row, int32_t x, uint32_t bits, uint32_t value) {
  if (bits == 1) {
    if (value) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
  } else {
    row[x >> 1] |= static_cast<uint8_t>((x & 1) ? value : value << 4);
  }
}

}  // namespace

int32_t ImgFmtPCX::Load(RFileHandle file, uint32_t) {
  PictureReader in(file);
  uint8_t h[kHeaderBytes];
  if (in.Read(h, sizeof(h)) < sizeof(h) || h[0] != 10) return kResultBadData;
  const int32_t width = Le16(h + 8) - Le16(h + 4) + 1;
  const int32_t height = Le16(h + 10) - Le16(h + 6) + 1;
  const uint32_t bitsPerPlane = h[3], planes = h[65];
  const uint32_t lineBytes = Le16(h + 66);
  char text[40];
  std::snprintf(text, sizeof(text), "Ver.%d%s", h[1], h[2] == 1 ? " - RLE compression" : " - uncompressed");
  SetInfoText(record_, text);

  const uint32_t depth = bitsPerPlane * planes;
  const bool planar = bitsPerPlane == 1 && (planes == 1 || planes == 4);
  const bool packed = planes == 1 && (bitsPerPlane == 4 || bitsPerPlane == 8);
  if (!planar && !packed && !(bitsPerPlane == 8 && planes == 3)) return kResultVersion;
  if (width < 1 || height < 1) return kResultBadData;
  // A line shorter than its pixels is no picture; longer ones are padded by their writer.
  if (uint64_t{lineBytes} * 8 < uint64_t{bitsPerPlane} * static_cast<uint64_t>(width)) return kResultBadData;

  RRgbQuad palette[16] = {};
  uint32_t paletteCount = 0;
  if (depth == 1) {
    palette[1] = {255, 255, 255, 0};
    paletteCount = 2;
  } else if (depth == 4) {
    for (int i = 0; i < 16; ++i) palette[i] = {h[18 + 3 * i], h[17 + 3 * i], h[16 + 3 * i], 0};
    paletteCount = 16;
  }
  if (!CreateBitmap(width, height, depth, paletteCount ? palette : nullptr, paletteCount, depth >= 8))
    return kResultNoMemory;

  // The data part, but no more than the worst run coding of the lines and the palette.
  const int64_t fileSize = in.Size();
  const uint64_t available = fileSize > static_cast<int64_t>(kHeaderBytes) ? static_cast<uint64_t>(fileSize) - kHeaderBytes : 0;
  const uint64_t line = uint64_t{lineBytes} * planes;
  const uint64_t needed = 2 * line * static_cast<uint64_t>(height) + 1 + kPaletteBytes;
  const uint64_t dataBytes = std::min(available, needed);
  if (dataBytes > SIZE_MAX / 2) return kResultNoMemory;
  HookBuffer data(static_cast<size_t>(dataBytes ? dataBytes : 1));
  HookBuffer lineBuffer(static_cast<size_t>(line));
  if (!data || !lineBuffer) return kResultNoMemory;
  const size_t got = in.Read(data.data(), static_cast<size_t>(dataBytes));

  RunDecoder runs(data.data(), got);
  uint8_t* const lineData = lineBuffer.data();
  const auto rowBytes = static_cast<size_t>(SourceRowBytes());
  for (int32_t k = 0; k < height; ++k) {
    if (LoadAborted()) return kResultAborted;
    bool ended = false;
    for (size_t i = 0; i < line; ++i) {
      if (!runs.Next(lineData[i])) {
        std::memset(lineData + i, 0, line - i);
        ended = true;
        break;
      }
    }
    const int32_t y = height - 1 - k;
    uint8_t* row = RowBuffer(y);
    if (!row) return kResultNoMemory;
    if (planes == 3) {
      for (int32_t x = 0; x < width; ++x) {
        row[3 * x] = lineData[2 * lineBytes + x];
        row[3 * x + 1] = lineData[lineBytes + x];
        row[3 * x + 2] = lineData[x];
      }
    } else if (packed) {
      const size_t take = std::min<size_t>(rowBytes, lineBytes);
      std::memcpy(row, lineData, take);
      std::memset(row + take, 0, rowBytes - take);
    } else {
      std::memset(row, 0, rowBytes);
      for (int32_t x = 0; x < width; ++x) {
        uint32_t value = 0;
        for (uint32_t k2 = 0; k2 < planes; ++k2)
          value |= ((lineData[k2 * lineBytes + (x >> 3)] >> (7 - (x & 7))) & 1u) << k2;
        SetBit(row, x, depth, value);
      }
    }
    PutRow(y);
    if (ended) break;  // the rest stays as created
  }

  if (depth == 8) {
    // The palette follows the image data behind its mark, which is also the file's end.
    const uint8_t* mark = runs.Position();
    const uint8_t* end = data.data() + got;
    if (!mark || mark >= end || *mark != kPaletteMark || static_cast<size_t>(end - mark - 1) < kPaletteBytes)
      mark = got == available && got >= kPaletteBytes + 1 ? end - kPaletteBytes - 1 : nullptr;
    if (mark && *mark == kPaletteMark) {
      RRgbQuad* table = ColourTable(record_.info);
      for (int i = 0; i < 256; ++i) table[i] = {mark[3 + 3 * i], mark[2 + 3 * i], mark[1 + 3 * i], 0};
    }
  }
  ReduceAfterLoad();
  return kResultOk;
}

}  // namespace crv
