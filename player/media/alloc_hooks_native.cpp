// Native fallbacks: a "DIB section" is a zeroed heap block of the pixels, and its handle is
// the block itself. The screen is the default device's portrait 240 x 320.
#include <cstdlib>
#include "player/media/alloc_hooks.h"
#include "player/media/frame_record.h"

namespace crv {

void* PlatformCreateDib(void* dc, const void* bitmapInfo, uint32_t usage, void** bits, void* section,
                        uint32_t offset) {
  if (!bitmapInfo || !bits) return nullptr;
  const uint64_t bytes = DibImageBytes(*static_cast<const RBitmapInfoHeader*>(bitmapInfo));
  if (bytes == 0 || bytes > SIZE_MAX) return nullptr;
  void* block = std::calloc(1, static_cast<size_t>(bytes));
  *bits = block;
  return block;
}

int32_t PlatformDeleteObject(void* object) {
  std::free(object);
  return 1;
}

void* PlatformCreateMemoryDc(void*) { return nullptr; }
void PlatformDeleteMemoryDc(void*) {}

ScreenSize PlatformScreenSize() { return {240, 320}; }

}  // namespace crv
