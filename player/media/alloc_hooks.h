// The allocation hooks: all memory of records and bitmaps made by the sources goes through
// them, so that the program (and each image plug-in, through RRegAllocFunc) allocates in one
// place. A hook left null falls back to the platform: the heap for blocks; for bitmaps a GDI
// DIB section in the Windows build (alloc_hooks_win.cpp) and a zeroed heap block natively
// (alloc_hooks_native.cpp). Process-wide and unsynchronised: one load at a time.
#pragma once
#include <cstddef>
#include <cstdint>

namespace crv {

using RAllocFn = void* (*)(size_t bytes);
using RFreeFn = void (*)(void* block);
// CreateDIBSection's shape: (dc, BITMAPINFO, usage, out bits, section, offset) -> HBITMAP.
using RCreateDibFn = void* (*)(void* dc, const void* bitmapInfo, uint32_t usage, void** bits,
                               void* section, uint32_t offset);
// DeleteObject's shape: non-zero on success.
using RDeleteObjectFn = int32_t (*)(void* object);

struct AllocHooks {
  RAllocFn alloc = nullptr;
  void* reserved = nullptr;
  RFreeFn free = nullptr;
  RCreateDibFn createDib = nullptr;
  RDeleteObjectFn deleteObject = nullptr;
};

// Installs the five hooks at once (RRegAllocFunc's arguments); nulls mean the fallbacks.
void InstallAllocHooks(const AllocHooks& hooks);
const AllocHooks& InstalledAllocHooks();

// Allocation through the hooks. HookAlloc(0) gives null.
void* HookAlloc(size_t bytes);
void* HookAllocZeroed(size_t bytes);
void HookFree(void* block);
// A DIB section for `bitmapInfo` (header and colour table), its pixels in `bits`, made on a
// memory DC compatible with `dc` (null: the screen).
void* HookCreateDib(void* dc, const void* bitmapInfo, void** bits);
void HookDeleteObject(void* object);

// The platform fallbacks (one definition per build).
void* PlatformCreateDib(void* dc, const void* bitmapInfo, uint32_t usage, void** bits, void* section,
                        uint32_t offset);
int32_t PlatformDeleteObject(void* object);
// The memory DC a section is created on, compatible with `dc` (null: the screen); null
// natively, where there are no DCs.
void* PlatformCreateMemoryDc(void* dc);
void PlatformDeleteMemoryDc(void* memoryDc);

// The screen size that fitting and the screen renderer use: the system metrics on Windows,
// 240 x 320 natively, unless a test or a tool overrides it (0 x 0 ends the override).
struct ScreenSize {
  int32_t width;
  int32_t height;
};
ScreenSize CurrentScreenSize();
void OverrideScreenSize(int32_t width, int32_t height);
ScreenSize PlatformScreenSize();

}  // namespace crv
