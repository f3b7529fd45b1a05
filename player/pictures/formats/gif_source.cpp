#include "player/pictures/formats/gif_source.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include "player/media/source_state.h"
#include "player/pictures/formats/picture_reader.h"

namespace crv {

namespace {

constexpr int kMaxCodes = 4096;  // 12-bit codes

// The bytes of an image's data sub-blocks, one after another; the terminator ends them. A
// sub-block is read whole, so the bytes within it cost no call.
class SubBlocks {
 public:
  explicit SubBlocks(PictureReader& in) : in_(in) {}
  int Byte() {
    if (next_ == end_ && !NextBlock()) return -1;
    return block_[next_++];
  }
  // Skips what is left, up to and with the terminator.
  void Drain() {
    while (NextBlock()) next_ = end_;
  }
  bool Aborted() const { return aborted_; }

 private:
  bool NextBlock() {
    if (done_) return false;
    if (LoadAborted()) {
      aborted_ = true;
      done_ = true;
      return false;
    }
    const int length = in_.Byte();
    // A block cut short by the end of the file still gives the bytes that are there.
    const size_t got = length > 0 ? in_.Read(block_, static_cast<size_t>(length)) : 0;
    if (length <= 0 || got < static_cast<size_t>(length)) done_ = true;
    next_ = 0;
    end_ = got;
    return got > 0;
  }

  PictureReader& in_;
  uint8_t block_[255];
  size_t next_ = 0, end_ = 0;
  bool done_ = false;
  bool aborted_ = false;
};

// File row of the i-th decoded row: in order, or by the four interlace passes.
int32_t RowOf(int32_t i, int32_t height, bool interlaced) {
  if (!interlaced) return i;
  static const int32_t kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    const int32_t rows = kStart[pass] < height ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
    if (i < rows) return kStart[pass] + i * kStep[pass];
    i -= rows;
  }
  return -1;
}

struct LzwTables {
  uint16_t prefix[kMaxCodes];
  uint8_t suffix[kMaxCodes];
  uint8_t stack[kMaxCodes + 1];
};

// Decodes one image's data into the 8-bit bitmap. kResultBadData for a code size outside 2
// to 9 or a code that is not yet in the table; data that end early leave the rest as it is.
int32_t DecodeLzw(PictureReader& in, uint8_t* pixels, int32_t width, int32_t height, bool interlaced) {
  const int minSize = in.Byte();
  if (minSize < 0) return kResultOk;
  if (minSize < 2 || minSize > 9) return kResultBadData;
  SubBlocks data(in);
  static LzwTables t;  // process-wide decoder state, like the rest: one load at a time
  const int clear = 1 << minSize, end = clear + 1;
  int codeSize = minSize + 1, next = clear + 2, previous = -1;
  uint8_t first = 0;
  uint32_t bits = 0;
  int bitCount = 0;
  const auto rowBytes = static_cast<size_t>(DibRowBytes(8, static_cast<uint64_t>(width)));
  // The row being written (decoded row `y`, filled up to `x`); null once every row is full.
  int32_t x = 0, y = 0;
  auto rowStart = [&](int32_t i) {
    return pixels + static_cast<size_t>(height - 1 - RowOf(i, height, interlaced)) * rowBytes;
  };
  uint8_t* row = rowStart(0);
  // Writes the `depth` bytes on the stack, last pushed first, a row's stretch at a time.
  auto emitStack = [&](int depth) {
    while (depth > 0 && row) {
      const int n = std::min(depth, width - x);
      const uint8_t* from = t.stack + depth;
      for (int k = 0; k < n; ++k) row[x + k] = *--from;
      depth -= n;
      x += n;
      if (x == width) {
        x = 0;
        row = ++y < height ? rowStart(y) : nullptr;
      }
    }
  };
  int32_t result = kResultOk;
  while (row) {
    while (bitCount < codeSize) {
      const int b = data.Byte();
      if (b < 0) return data.Aborted() ? kResultAborted : kResultOk;
      bits |= static_cast<uint32_t>(b) << bitCount;
      bitCount += 8;
    }
    const int code = static_cast<int>(bits & ((1u << codeSize) - 1));
    bits >>= codeSize;
    bitCount -= codeSize;
    if (code == clear) {
      codeSize = minSize + 1;
      next = clear + 2;
      previous = -1;
      continue;
    }
    if (code == end) break;
    if (previous < 0) {
      if (code > clear) {
        result = kResultBadData;
        break;
      }
      first = static_cast<uint8_t>(code);
      t.stack[0] = first;
      emitStack(1);
      previous = code;
      continue;
    }
    if (code > next || (code == next && next >= kMaxCodes)) {
      result = kResultBadData;
      break;
    }
    int depth = 0;
    int walk = code;
    if (code == next) {  // the string of the previous code and its own first byte
      t.stack[depth++] = first;
      walk = previous;
    }
    while (walk > clear) {
      t.stack[depth++] = t.suffix[walk];
      walk = t.prefix[walk];
    }
    first = static_cast<uint8_t>(walk);
    t.stack[depth++] = first;
    emitStack(depth);
    if (next < kMaxCodes) {
      t.prefix[next] = static_cast<uint16_t>(previous);
      t.suffix[next] = first;
      ++next;
      if (next == (1 << codeSize) && codeSize < 12) ++codeSize;
    }
    previous = code;
  }
  data.Drain();
  if (data.Aborted()) return kResultAborted;
  return result;
}

// Skips an extension's data sub-blocks.
void SkipSubBlocks(PictureReader& in) {
  for (int length = in.Byte(); length > 0; length = in.Byte()) in.Skip(static_cast<uint64_t>(length));
}

}  // namespace

int32_t ImgFmtGIF::Load(RFileHandle file, uint32_t) {
  PictureReader in(file);
  uint8_t h[13];
  if (in.Read(h, sizeof(h)) < sizeof(h)) return kResultBadData;
  if ((h[0] | 0x20) != 'g' || (h[1] | 0x20) != 'i' || (h[2] | 0x20) != 'f' || h[3] != '8') return kResultVersion;
  char text[40];
  std::snprintf(text, sizeof(text), "Ver.8%c%c - LZW compression", h[4], h[5]);
  SetInfoText(record_, text);

  uint8_t global[768] = {};
  int globalCount = 0;
  if (h[10] & 0x80) {
    globalCount = 2 << (h[10] & 7);
    in.Read(global, static_cast<size_t>(globalCount) * 3);
  }
  transparent_ = -1;
  bool haveImage = false;
  for (;;) {
    if (LoadAborted()) return kResultAborted;
    const int block = in.Byte();
    if (block == 0x21) {
      const int label = in.Byte();
      if (label < 0) return kResultBadData;
      if (label == 0xF9) {
        uint8_t control[5];
        if (in.Read(control, 5) < 5) return kResultBadData;
        if (control[1] & 1) transparent_ = control[4];
        if (control[0] > 4) in.Skip(control[0] - 4u);
      }
      SkipSubBlocks(in);
    } else if (block == 0x2C) {
      uint8_t d[9];
      if (in.Read(d, sizeof(d)) < sizeof(d)) return kResultBadData;
      const int32_t width = Le16(d + 4), height = Le16(d + 6);
      const uint8_t packed = d[8];
      uint8_t local[768];
      const uint8_t* table = global;
      int count = globalCount;
      if (packed & 0x80) {
        count = 2 << (packed & 7);
        std::memset(local, 0, sizeof(local));
        in.Read(local, static_cast<size_t>(count) * 3);
        table = local;
      }
      if (width < 1 || height < 1) return kResultBadData;
      RRgbQuad palette[256] = {};
      for (int i = 0; i < count; ++i) palette[i] = {table[3 * i + 2], table[3 * i + 1], table[3 * i], 0};
      if (transparent_ >= 0) {
        // Transparent parts show on white, and so does every entry past the table.
        const RRgbQuad white{255, 255, 255, 0};
        palette[transparent_] = white;
        for (int i = count; i < 256; ++i) palette[i] = white;
        bool anyWhite = false;
        for (int i = 0; i < count; ++i)
          anyWhite |= palette[i].blue == 255 && palette[i].green == 255 && palette[i].red == 255;
        if (!anyWhite) palette[255] = white;
      }
      // A later image replaces the earlier one (CreateBitmap releases it).
      if (!CreateBitmap(width, height, 8, palette, 256, false)) return kResultNoMemory;
      haveImage = true;
      const int32_t result = DecodeLzw(in, record_.pixels, width, height, (packed & 0x40) != 0);
      if (result != kResultOk) return result;
    } else {
      break;  // the trailer, anything unknown, or the end of the file
    }
  }
  if (!haveImage) return kResultBadData;
  ReduceAfterLoad();
  return kResultOk;
}

}  // namespace crv
