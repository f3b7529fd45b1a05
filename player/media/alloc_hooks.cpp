#include "player/media/alloc_hooks.h"

#include <cstdlib>
#include <cstring>
#include "player/media/frame_record.h"

namespace crv {

namespace {

AllocHooks installedHooks;
ScreenSize screenOverride{0, 0};

}  // namespace

void InstallAllocHooks(const AllocHooks& hooks) { installedHooks = hooks; }

const AllocHooks& InstalledAllocHooks() { return installedHooks; }

void* HookAlloc(size_t bytes) {
  if (bytes == 0) return nullptr;
  return installedHooks.alloc ? installedHooks.alloc(bytes) : std::malloc(bytes);
}

void* HookAllocZeroed(size_t bytes) {
  void* block = HookAlloc(bytes);
  if (block) std::memset(block, 0, bytes);
  return block;
}

void HookFree(void* block) {
  if (!block) return;
  if (installedHooks.free)
    installedHooks.free(block);
  else
    std::free(block);
}

void* HookCreateDib(void* dc, const void* bitmapInfo, void** bits) {
  *bits = nullptr;
  // With DIB_RGB_COLORS the section does not depend on the DC's palette, so when no memory
  // DC can be had the given one serves as well.
  void* memoryDc = PlatformCreateMemoryDc(dc);
  void* onDc = memoryDc ? memoryDc : dc;
  void* bitmap = installedHooks.createDib ? installedHooks.createDib(onDc, bitmapInfo, kDibRgbColours, bits, nullptr, 0)
                                   : PlatformCreateDib(onDc, bitmapInfo, kDibRgbColours, bits, nullptr, 0);
  PlatformDeleteMemoryDc(memoryDc);
  if (bitmap && !*bits) {  // a section without pixels is of no use to anyone here
    HookDeleteObject(bitmap);
    bitmap = nullptr;
  }
  if (!bitmap) *bits = nullptr;
  return bitmap;
}

void HookDeleteObject(void* object) {
  if (!object) return;
  if (installedHooks.deleteObject)
    installedHooks.deleteObject(object);
  else
    PlatformDeleteObject(object);
}

ScreenSize CurrentScreenSize() {
  if (screenOverride.width > 0 && screenOverride.height > 0) return screenOverride;
  return PlatformScreenSize();
}

void OverrideScreenSize(int32_t width, int32_t height) { screenOverride = {width, height}; }

}  // namespace crv
