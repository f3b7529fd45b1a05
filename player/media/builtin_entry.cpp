#include "player/media/builtin_entry.h"

#include <algorithm>
#include <cstring>
#include "player/media/img_fmt_base.h"
#include "player/media/source_state.h"

namespace crv {

namespace {

// A video record is kept as a table of 2 slots, the info block and the pixels, all fresh heap
// copies, so that the source (and its DIB section) can go. The slot count is cut to what was
// copied and cached frames stay with the source, which frees them: no pointer in the copy
// refers to memory that is about to be freed, and no slot lies beyond the copied block.
int32_t TakeVideoRecord(tagRDIBIMG& source, tagRDIBIMG& record) {
  if (!source.frames || !source.info || !source.pixels) return kResultBadData;
  const uint32_t slots = std::min<uint32_t>(source.frames->slotCount, 2);
  const size_t infoBytes = BitmapInfoBytes(source.info->bitCount);
  const uint64_t pixelBytes = DibImageBytes(*source.info);
  auto* table = AllocFrameTable(2);
  auto* info = static_cast<RBitmapInfoHeader*>(HookAlloc(infoBytes));
  auto* pixels = pixelBytes ? static_cast<uint8_t*>(HookAlloc(static_cast<size_t>(pixelBytes))) : nullptr;
  if (!table || !info || !pixels) {
    HookFree(table);
    HookFree(info);
    HookFree(pixels);
    return kResultNoMemory;
  }
  std::memcpy(table, source.frames, offsetof(RFrameTable, slots) + slots * sizeof(RFrameSlot));
  table->slotCount = slots;
  for (uint32_t i = 0; i < slots; ++i) Slot(table, i)->buffer = nullptr;
  std::memcpy(info, source.info, infoBytes);
  std::memcpy(pixels, source.pixels, static_cast<size_t>(pixelBytes));

  record.pageLoader = nullptr;
  record.info = info;
  record.frames = table;
  record.ownerCookie = source.ownerCookie;
  record.bitmap = nullptr;
  record.pixels = pixels;
  record.reserved = source.reserved;
  record.frameCount = source.frameCount;
  std::memcpy(record.infoText, source.infoText, sizeof(record.infoText));
  record.infoText[kRecordInfoChars - 1] = 0;
  ReleaseRecord(source);
  return kResultOk;
}

}  // namespace

int32_t RLoadImage(RFileHandle file, tagRDIBIMG* record, uint32_t, uint32_t loadFlags) {
  if (!record) return kResultInternal;
  ClearAbort();
  record->path[kRecordPathChars - 1] = 0;
  const bool media = MediaMode();
  const FormatTable table = media ? FormatTable::Video : FormatTable::Image;
  ImgFmtBase* source = CreateSource(table, FindFormatIndex(record->path, FormatRows(table)));
  if (!source) {
    ResetRecord(*record);
    return kResultNoSource;
  }
  SetCurrentLoadFlags(loadFlags);
  tagRDIBIMG& own = source->Record();
  own.ownerCookie = record->ownerCookie;
  std::memcpy(own.path, record->path, sizeof(own.path));

  int32_t result = source->Load(file, loadFlags);
  // A source that reports success must have left a picture.
  if (result == kResultOk && (!own.info || !own.pixels)) result = kResultBadData;
  if (result == kResultOk) {
    if (media) {
      result = TakeVideoRecord(own, *record);
    } else {
      *record = own;
      ResetRecord(own);  // the bitmap and table belong to the caller now
    }
  }
  if (result != kResultOk) {
    ResetRecord(*record);
    record->ownerCookie = own.ownerCookie;
  }
  delete source;
  return result;
}

int32_t RLoadFrame(RFileHandle file, tagRDIBIMG* record, int32_t frame, void*, uint32_t) {
  ClearAbort();
  if (!record) return kResultOk;
  RFrameTable* table = record->frames;
  // Nothing to do, and nothing wrong: a still picture, a table without frames, or a frame
  // number past the slots (the MPEG view passes its current frame number).
  if (!table || !table->GetFrame || table->slotCount < 2) return kResultOk;
  if (frame >= 0 && static_cast<uint32_t>(frame) >= table->slotCount) return kResultOk;
  if (!record->info || !record->pixels) return kResultNoMemory;
  RFrameSlot* slot = Slot(table, frame < 0 ? 0 : static_cast<uint32_t>(frame));
  // Never more than the pixels hold, whatever the slot says.
  const size_t bytes = static_cast<size_t>(std::min<uint64_t>(slot->bytes, DibImageBytes(*record->info)));
  if (slot->buffer) {
    std::memcpy(record->pixels, slot->buffer, bytes);
    return kResultOk;
  }
  auto* buffer = static_cast<uint8_t*>(HookAlloc(slot->bytes));
  if (!buffer) return kResultNoMemory;
  slot->buffer = buffer;
  const int32_t result = table->GetFrame(file, table, record->ownerCookie, frame);
  if (result == 0) std::memcpy(record->pixels, buffer, bytes);
  slot->buffer = nullptr;
  HookFree(buffer);
  return result;
}

void RDeleteImage(tagRDIBIMG* record, void*) {
  if (record) ReleaseRecord(*record);
}

void* RAbortLoading() {
  AbortFlag().store(1, std::memory_order_relaxed);
  return &AbortFlag();
}

void RRegAllocFunc(RAllocFn alloc, void* reserved, RFreeFn free, RCreateDibFn createDib, RDeleteObjectFn deleteObject) {
  AllocHooks hooks;
  hooks.alloc = alloc;
  hooks.reserved = reserved;
  hooks.free = free;
  hooks.createDib = createDib;
  hooks.deleteObject = deleteObject;
  InstallAllocHooks(hooks);
}

const RFormatEntry* RGetSupportedFormats() {
  return FormatRows(MediaMode() ? FormatTable::Video : FormatTable::Image);
}

}  // namespace crv
