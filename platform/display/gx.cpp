// GXGetDisplayProperties on the emulated device: the primary display's size and depth from
// the window system. The frame buffer is described as unrotated with rows top first.
#include "platform/display/gx.h"

extern "C" struct GXDisplayProperties GXGetDisplayProperties(void) {
  GXDisplayProperties p = {};
  p.cxWidth = static_cast<DWORD>(GetSystemMetrics(SM_CXSCREEN));
  p.cyHeight = static_cast<DWORD>(GetSystemMetrics(SM_CYSCREEN));
  HDC dc = GetDC(nullptr);
  const int bits = dc ? GetDeviceCaps(dc, BITSPIXEL) : 16;
  if (dc) ReleaseDC(nullptr, dc);
  p.cBPP = bits;
  switch (bits) {
    case 16:
      p.ffFormat = kfDirect | kfDirect565;
      break;
    case 24:
    case 32:
      p.ffFormat = kfDirect | kfDirect888;
      break;
    default:
      p.ffFormat = bits <= 8 ? kfPalette : kfDirect;
      break;
  }
  p.cbxPitch = (bits + 7) / 8;
  p.cbyPitch = static_cast<long>(p.cxWidth) * p.cbxPitch;
  return p;
}
