// The renderer's memory DC: the caller's own layers are drawn through it and the picture
// area is copied from it to the window.
#include <windows.h>

#include "player/pictures/screen_renderer.h"

namespace crv {

void* ScreenRenderer::MemoryDC() {
  if (!bitmap_) return nullptr;
  if (!memoryDC_) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return nullptr;
    previousObject_ = SelectObject(dc, static_cast<HBITMAP>(bitmap_));
    memoryDC_ = dc;
  }
  return memoryDC_;
}

void ScreenRenderer::ReleaseMemoryDC() {
  if (!memoryDC_) return;
  SelectObject(static_cast<HDC>(memoryDC_), static_cast<HGDIOBJ>(previousObject_));
  DeleteDC(static_cast<HDC>(memoryDC_));
  memoryDC_ = nullptr;
  previousObject_ = nullptr;
}

// GDI may still be drawing into the DIB section through the memory DC.
void ScreenRenderer::FlushDrawing() { GdiFlush(); }

}  // namespace crv
