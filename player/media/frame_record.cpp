#include "player/media/frame_record.h"

#include "player/base/bytes.h"
#include "player/media/alloc_hooks.h"
#include "player/media/decoders/pixel_target.h"

namespace crv {

uint64_t DibImageBytes(const RBitmapInfoHeader& info) {
  if (info.width <= 0 || info.height == 0) return 0;
  const uint64_t rows = info.height < 0 ? -int64_t{info.height} : int64_t{info.height};
  return DibRowBytes(info.bitCount, static_cast<uint64_t>(info.width)) * rows;
}

void ResetRecord(tagRDIBIMG& record) {
  record.pageLoader = nullptr;
  record.info = nullptr;
  record.frames = nullptr;
  record.bitmap = nullptr;
  record.pixels = nullptr;
  record.frameCount = 1;
  record.infoText[0] = 0;
}

void ReleaseRecord(tagRDIBIMG& record) {
  FreeFrameTable(record.frames);
  HookFree(record.info);
  if (record.bitmap)
    HookDeleteObject(record.bitmap);
  else
    HookFree(record.pixels);  // a video record's heap copy of the pixels
  ResetRecord(record);
}

bool KnownDibDepth(uint32_t bits) {
  return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

void DibPixelBgr(const RBitmapInfoHeader& info, const uint8_t* row, int32_t x, uint8_t out[3]) {
  const uint32_t bits = info.bitCount;
  if (bits <= 8) {
    const uint32_t bit = static_cast<uint32_t>(x) * bits;
    const uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
    const RRgbQuad& c = ColourTable(&info)[index];
    out[0] = c.blue, out[1] = c.green, out[2] = c.red;
  } else if (bits == 16) {
    Expand555(Le16(row + 2 * static_cast<size_t>(x)), out);
  } else {
    const uint8_t* p = row + static_cast<size_t>(x) * (bits / 8);
    out[0] = p[0], out[1] = p[1], out[2] = p[2];
  }
}

RFrameTable* AllocFrameTable(uint32_t slots) {
  return static_cast<RFrameTable*>(HookAllocZeroed(FrameTableBytes(slots)));
}

void FreeFrameTable(RFrameTable* table) {
  if (!table) return;
  for (uint32_t i = 0; i < table->slotCount; ++i) HookFree(Slot(table, i)->buffer);
  HookFree(table);
}

}  // namespace crv
