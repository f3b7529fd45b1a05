#include "player/media/frame_record.h"

#include "player/media/alloc_hooks.h"

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

RFrameTable* AllocFrameTable(uint32_t slots) {
  return static_cast<RFrameTable*>(HookAllocZeroed(FrameTableBytes(slots)));
}

void FreeFrameTable(RFrameTable* table) {
  if (!table) return;
  for (uint32_t i = 0; i < table->slotCount; ++i) HookFree(Slot(table, i)->buffer);
  HookFree(table);
}

}  // namespace crv
