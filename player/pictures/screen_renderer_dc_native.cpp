// Native builds have no GDI: no memory DC, nothing to flush.
#include "player/pictures/screen_renderer.h"

namespace crv {

void* ScreenRenderer::MemoryDC() { return nullptr; }
void ScreenRenderer::ReleaseMemoryDC() {}
void ScreenRenderer::FlushDrawing() {}

}  // namespace crv
