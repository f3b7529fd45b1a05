// The game API's display description, as the handheld's gx library offers it. On the
// emulated device our stand-in (gx.cpp) describes the primary display as the window system
// reports it: its size in pixels, its colour depth and the byte steps between neighbouring
// pixels of its frame buffer.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Format flags.
#define kfLandscape 0x8
#define kfPalette 0x10
#define kfDirect 0x20
#define kfDirect555 0x40
#define kfDirect565 0x80
#define kfDirect888 0x100
#define kfDirect444 0x200
#define kfDirectInverted 0x400

struct GXDisplayProperties {
  DWORD cxWidth;
  DWORD cyHeight;
  long cbxPitch;  // bytes from a pixel to its right-hand neighbour
  long cbyPitch;  // bytes from a pixel to the one below it
  long cBPP;
  DWORD ffFormat;
};

struct GXDisplayProperties GXGetDisplayProperties(void);

#ifdef __cplusplus
}
#endif
