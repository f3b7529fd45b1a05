// The display output: writes the process-wide 5-6-5 frame buffer, scaled and turned, straight
// into the display's DirectDraw primary surface - no GDI and no bitmap in between. The video
// view creates and destroys the DirectDraw objects with its window; the sources bind the
// output to the window and call Blit for every frame. Without DirectDraw or a primary surface
// Blit does nothing and playback goes on unseen. User-interface thread only.
#pragma once
#include <windows.h>
#include <ddraw.h>

#include <cstdint>

#include "platform/display/gx.h"
#include "player/media/frame_buffer.h"
#include "player/media/frame_record.h"  // the step flags, kStepTurned among them
#include "player/playback/frame_blit.h"

namespace crv {

class DisplayOutput {
 public:
  DisplayOutput() = default;
  DisplayOutput(const DisplayOutput&) = delete;
  DisplayOutput& operator=(const DisplayOutput&) = delete;
  ~DisplayOutput() { DestroySurface(); }

  // DirectDraw on the default driver with the primary surface, for `window`. False (and
  // nothing kept) when any step fails.
  bool CreateSurface(HWND window);
  void DestroySurface();
  bool HasSurface() const { return surface_ != nullptr; }

  // Copies the game API's display properties and remembers the window. Always 1.
  int BindWindow(HWND window);
  HWND BoundWindow() const { return window_; }
  const GXDisplayProperties& DisplayProperties() const { return properties_; }

  // The display orientation as the display-settings API gives it (DMDO_*), read by the view
  // before each playback.
  void SetDisplayOrientation(int orientation) { orientation_ = orientation; }
  int DisplayOrientation() const { return orientation_; }
  // The contrast/brightness translation (65536 entries), or null for none. Not owned.
  void SetAdjustmentTable(const uint16_t* table) { adjust_ = table; }
  const uint16_t* AdjustmentTable() const { return adjust_; }

  // Writes the frame buffer's `source` part (frame pixels) into `target` (screen coordinates),
  // with the 104 x 20 `overlay` over it when given. `stepFlags` bit 1 turns the picture.
  // False when nothing was drawn.
  bool Blit(const RECT* source, const RECT* target, const uint16_t* overlay, unsigned stepFlags);

  // Writes black over `target` (screen coordinates) in the primary surface. The surface is
  // shown over the windows as it is, so a view whose picture moved or shrank clears its whole
  // area first: otherwise the earlier, larger pictures stay around the new one. False when
  // nothing was cleared.
  bool Clear(const RECT& target);

 private:
  // Locks the whole primary surface (restoring a lost one); `memory` is what Unlock takes.
  bool LockSurface(BlitSurface* surface, void** memory);

  IDirectDraw* ddraw_ = nullptr;
  IDirectDrawSurface* surface_ = nullptr;
  HWND window_ = nullptr;
  GXDisplayProperties properties_ = {};
  int orientation_ = DMDO_DEFAULT;
  const uint16_t* adjust_ = nullptr;
};

// The display output of the process.
DisplayOutput& TheDisplayOutput();

// The process-wide frame buffer, through the output (failure: "MPEG initialization failed").
bool AllocateFrameBuffer(int width, int height);
void FreeBuffers();

}  // namespace crv
