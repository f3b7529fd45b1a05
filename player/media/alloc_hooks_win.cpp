// Windows fallbacks: real GDI DIB sections, and the screen from the system metrics.
#include <windows.h>

#include <cstddef>
#include "player/media/alloc_hooks.h"
#include "player/media/frame_record.h"

namespace crv {

static_assert(sizeof(RBitmapInfoHeader) == sizeof(BITMAPINFOHEADER) &&
                  offsetof(RBitmapInfoHeader, bitCount) == offsetof(BITMAPINFOHEADER, biBitCount) &&
                  offsetof(RBitmapInfoHeader, sizeImage) == offsetof(BITMAPINFOHEADER, biSizeImage) &&
                  offsetof(RBitmapInfoHeader, clrImportant) == offsetof(BITMAPINFOHEADER, biClrImportant),
              "RBitmapInfoHeader is BITMAPINFOHEADER");
static_assert(sizeof(RRgbQuad) == sizeof(RGBQUAD) && offsetof(RRgbQuad, red) == offsetof(RGBQUAD, rgbRed),
              "RRgbQuad is RGBQUAD");
static_assert(sizeof(RRect) == sizeof(RECT) && offsetof(RRect, bottom) == offsetof(RECT, bottom),
              "RRect is RECT");
static_assert(sizeof(wchar_t) == sizeof(char16_t), "record texts are WCHAR text");
static_assert(kDibRgbColours == DIB_RGB_COLORS, "colour-table usage");

void* PlatformCreateDib(void* dc, const void* bitmapInfo, uint32_t usage, void** bits, void* section,
                        uint32_t offset) {
  return CreateDIBSection(static_cast<HDC>(dc), static_cast<const BITMAPINFO*>(bitmapInfo), usage, bits,
                          static_cast<HANDLE>(section), offset);
}

int32_t PlatformDeleteObject(void* object) { return DeleteObject(static_cast<HGDIOBJ>(object)) ? 1 : 0; }

void* PlatformCreateMemoryDc(void* dc) { return CreateCompatibleDC(static_cast<HDC>(dc)); }
void PlatformDeleteMemoryDc(void* memoryDc) {
  if (memoryDc) DeleteDC(static_cast<HDC>(memoryDc));
}

ScreenSize PlatformScreenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

}  // namespace crv
