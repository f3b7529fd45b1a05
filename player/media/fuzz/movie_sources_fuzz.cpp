// libFuzzer target for a movie file loaded as the view loads one: the bytes as an open file
// through the built-in entry in media mode (the AVI source for a RIFF file, the QuickTime
// source for anything else), which parses it, sets up the codec and decodes the poster; then
// the frames after it through RLoadFrame, and the table's Close. A loaded record must hold
// what its header describes: the pixels and each slot as large as the bitmap's image.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "player/base/text16.h"
#include "player/media/avi_source.h"
#include "player/media/builtin_entry.h"
#include "player/media/qt_player_source.h"
#include "player/media/source_state.h"

namespace {

constexpr int kFramesAfterPoster = 8;

void CheckVideoRecord(const crv::tagRDIBIMG& record) {
  const crv::RFrameTable* table = record.frames;
  const crv::RBitmapInfoHeader* info = record.info;
  if (!table || !info || !record.pixels || table->slotCount != 2) __builtin_trap();
  const uint32_t height = static_cast<uint32_t>(info->height < 0 ? -int64_t{info->height} : info->height);
  if (table->width != static_cast<uint32_t>(info->width) || table->height != height ||
      table->bitsPerPixel != info->bitCount)
    __builtin_trap();
  const uint64_t bytes = crv::DibImageBytes(*info);
  if (bytes == 0 || crv::Slot(const_cast<crv::RFrameTable*>(table), 0)->bytes != bytes) __builtin_trap();
  // The sanitizer reports a pixel block shorter than the header says.
  volatile uint8_t last = record.pixels[bytes - 1];
  (void)last;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  crv::RegisterAviSource();
  crv::RegisterQtSource();
  crv::SetMediaMode(true);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  const bool riff = size >= 4 && std::memcmp(data, "RIFF", 4) == 0;
  crv::tagRDIBIMG record;
  std::memset(&record, 0, sizeof record);
  crv::ResetRecord(record);
  crv::CopyTo(record.path, crv::kRecordPathChars, riff ? u"\\My Documents\\fuzz.avi" : u"\\My Documents\\fuzz.mov");

  if (crv::RLoadImage(file, &record, 0, crv::kLoadReduceLarge) == crv::kResultOk) {
    CheckVideoRecord(record);
    for (int i = 0; i < kFramesAfterPoster; ++i)
      if (crv::RLoadFrame(file, &record, 0, nullptr, 0) != 0) break;
    if (record.frames->Close) record.frames->Close();
  }
  crv::RDeleteImage(&record, nullptr);
  std::fclose(file);
  return 0;
}
