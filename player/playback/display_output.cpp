#include "player/playback/display_output.h"

namespace crv {

namespace {

// The 108-byte surface description of the 32-bit build.
static_assert(sizeof(void*) != 4 || sizeof(DDSURFACEDESC) == 108, "DDSURFACEDESC layout");

BlitRect ToBlitRect(const RECT& r) { return BlitRect{r.left, r.top, r.right, r.bottom}; }

// Whether the locked memory keeps the panel's unrotated layout, so the blit must apply the
// display orientation itself. A surface that already has the turned screen's size follows the
// rotation; a half turn cannot be told from the size and is taken as the panel's layout.
bool PanelLayout(int orientation, int surfaceWidth, int surfaceHeight) {
  if (orientation == DMDO_DEFAULT) return false;
  if (orientation == DMDO_180) return true;
  const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
  if (screenW == screenH) return true;
  return !(surfaceWidth == screenW && surfaceHeight == screenH);
}

}  // namespace

bool DisplayOutput::CreateSurface(HWND window) {
  DestroySurface();
  IDirectDraw* ddraw = nullptr;
  if (FAILED(DirectDrawCreate(nullptr, &ddraw, nullptr)) || !ddraw) return false;
  DDCAPS caps = {};
  caps.dwSize = sizeof(caps);
  IDirectDrawSurface* surface = nullptr;
  if (SUCCEEDED(ddraw->SetCooperativeLevel(window, DDSCL_NORMAL)) &&
      SUCCEEDED(ddraw->GetCaps(&caps, nullptr)) && (caps.ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE)) {
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (FAILED(ddraw->CreateSurface(&desc, &surface, nullptr))) surface = nullptr;
  }
  if (!surface) {
    ddraw->Release();
    return false;
  }
  ddraw_ = ddraw;
  surface_ = surface;
  return true;
}

void DisplayOutput::DestroySurface() {
  if (surface_) {
    surface_->Unlock(nullptr);  // harmless when not locked
    surface_->Release();
    surface_ = nullptr;
  }
  if (ddraw_) {
    ddraw_->Release();
    ddraw_ = nullptr;
  }
}

int DisplayOutput::BindWindow(HWND window) {
  properties_ = GXGetDisplayProperties();
  window_ = window;
  return 1;
}

bool DisplayOutput::LockSurface(BlitSurface* s, void** memory) {
  if (!surface_) return false;
  DDPIXELFORMAT pf = {};
  pf.dwSize = sizeof(pf);
  if (FAILED(surface_->GetPixelFormat(&pf))) return false;  // formats we cannot write: see PlanBlit
  DDSURFACEDESC desc = {};
  desc.dwSize = sizeof(desc);
  HRESULT hr = surface_->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
  if (hr == DDERR_SURFACELOST && SUCCEEDED(surface_->Restore()))
    hr = surface_->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
  if (FAILED(hr)) return false;
  s->pixels = static_cast<uint8_t*>(desc.lpSurface);
  s->pitch = desc.lPitch;
  s->width = static_cast<int>(desc.dwWidth);
  s->height = static_cast<int>(desc.dwHeight);
  s->format.bitsPerPixel = static_cast<int>(pf.dwRGBBitCount);
  s->format.redMask = pf.dwRBitMask;
  s->format.greenMask = pf.dwGBitMask;
  s->format.blueMask = pf.dwBBitMask;
  *memory = desc.lpSurface;
  return true;
}

bool DisplayOutput::Blit(const RECT* source, const RECT* target, const uint16_t* overlay,
                         unsigned stepFlags) {
  FrameBuffer& frame = TheFrameBuffer();
  if (!surface_ || !source || !target || !frame.Pixels() || frame.Is24BitMode()) return false;
  BlitSurface s;
  void* memory = nullptr;
  if (!LockSurface(&s, &memory)) return false;
  BlitJob job;
  job.frame = frame.Pixels();
  job.frameWidth = frame.Width();
  job.frameHeight = frame.Height();
  job.source = ToBlitRect(*source);
  job.target = ToBlitRect(*target);
  job.turned = (stepFlags & kStepTurned) != 0;
  job.orientation = orientation_;
  job.panelLayout = PanelLayout(orientation_, s.width, s.height);
  job.adjust = adjust_;
  job.overlay = overlay;
  const bool drawn = BlitFrame(job, s);
  surface_->Unlock(memory);
  return drawn;
}

bool DisplayOutput::Clear(const RECT& target) {
  BlitSurface s;
  void* memory = nullptr;
  if (!LockSurface(&s, &memory)) return false;
  BlitJob job;
  job.target = ToBlitRect(target);
  job.orientation = orientation_;
  job.panelLayout = PanelLayout(orientation_, s.width, s.height);
  const bool cleared = ClearTarget(job, s);
  surface_->Unlock(memory);
  return cleared;
}

DisplayOutput& TheDisplayOutput() {
  static DisplayOutput output;
  return output;
}

bool AllocateFrameBuffer(int width, int height) { return TheFrameBuffer().Allocate(width, height); }

void FreeBuffers() { TheFrameBuffer().FreeBuffers(); }

}  // namespace crv
