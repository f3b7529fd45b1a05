#include "player/media/mpeg_source.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "player/base/text16.h"
#include "player/media/format_tables.h"
#include "player/media/frame_buffer.h"
#include "player/media/playback_devices.h"

namespace crv {

namespace {

// The library refuses larger pictures; a size word beyond it is not trusted either.
constexpr int kMaxSide = 4096;

struct SourceState {
  int width = 0;   // of the stream Start prepared the frame buffer for; 0 before any Start
  int height = 0;
  MpegViewGeometry geometry{};
  bool frameShown = false;
  uint8_t* grabTarget = nullptr;  // the slot buffer a capture goes to, while "g" runs
  uint32_t grabWidth = 0;
  uint32_t grabHeight = 0;
};

SourceState& State() {
  static SourceState state;
  return state;
}

// Width and height of a probe's size word; false when either is out of range.
bool SplitSize(uint32_t word, int* width, int* height) {
  *width = static_cast<int>(word & 0xFFFF);
  *height = static_cast<int>(word >> 16);
  return *width >= 1 && *height >= 1 && *width <= kMaxSide && *height <= kMaxSide;
}

bool Empty(const RRect& r) { return r.right <= r.left || r.bottom <= r.top; }

// Writes the frame buffer through the display output with the view's rectangles.
void ShowPicture() {
  const SourceState& s = State();
  const MpegViewGeometry& g = s.geometry;
  if (Empty(g.target)) return;
  const RRect source = Empty(g.source) ? RRect{0, 0, s.width, s.height} : g.source;
  const uint32_t flags = g.angle % 180 != 0 || g.landscape ? uint32_t{kStepTurned} : 0u;
  CurrentPlaybackDisplay().Blit(source, g.target, nullptr, flags);
}

int CRV_MPEG_CALL PictureArrived(const uint16_t* pixels) {
  SourceState& s = State();
  FrameBuffer& buffer = TheFrameBuffer();
  // Only into the buffer Start made for this stream's size.
  if (!pixels || !buffer.Pixels() || buffer.Is24BitMode() || buffer.Width() != s.width ||
      buffer.Height() != s.height)
    return 1;
  std::memcpy(buffer.Pixels(), pixels, static_cast<size_t>(s.width) * static_cast<size_t>(s.height) * 2);
  s.frameShown = true;
  ShowPicture();
  return 1;
}

void CRV_MPEG_CALL PictureGrabbed(const uint16_t* pixels) {
  SourceState& s = State();
  if (!s.grabTarget || !pixels) return;
  Rgb565ToDib24(pixels, s.grabWidth, s.grabWidth, s.grabHeight, s.grabTarget);
  s.grabTarget = nullptr;
}

ImgFmtBase* MakeMpegSource() { return new (std::nothrow) ImgFmtMPG(); }

}  // namespace

std::string MpegLibraryPath(const char16_t* path) {
  if (!path) return {};
  size_t n = 0;
  while (n < kRecordPathChars && path[n]) ++n;
  return ToUtf8(std::u16string(path, n));
}

int32_t ImgFmtMPG::Load(RFileHandle, uint32_t) {
  // The library opens the file by its path; the caller's handle is left to the caller, who
  // closes it after the load as for every other source.
  SourceState& s = State();
  s.width = s.height = 0;
  const MpegEntries* library = LoadedMpegEntries();
  if (!library) return kResultBadData;
  const std::string path = MpegLibraryPath(record_.path);
  if (path.empty()) return kResultBadData;
  // A probe without a buffer first: the library has no way to know how large one is.
  const uint32_t size = library->probe(path.c_str(), nullptr);
  int width = 0, height = 0;
  if (!SplitSize(size, &width, &height)) {
    SetLastProbedMpeg(std::string(), 0);
    return kResultBadData;
  }
  SetLastProbedMpeg(path, size);
  std::vector<uint16_t> picture;
  try {
    picture.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFFFF);
  } catch (const std::bad_alloc&) {
    return kResultNoMemory;
  }
  // The same stream again, now with its first picture.
  if (library->probe(path.c_str(), picture.data()) != size) {
    SetLastProbedMpeg(std::string(), 0);
    return kResultBadData;
  }
  return LoadVideoFrom565(picture.data(), static_cast<size_t>(width), width, height, MpegVideoOps());
}

int32_t MpegStart(RFileHandle, RWindow window, const char16_t* path, uint32_t) {
  SourceState& s = State();
  s.frameShown = false;
  const MpegEntries* library = LoadedMpegEntries();
  if (!library) return -1;
  const std::string name = MpegLibraryPath(path);
  if (name.empty()) return -1;
  int width = 0, height = 0;
  if (name != LastProbedMpegPath() || !SplitSize(LastProbedMpegSize(), &width, &height)) {
    const uint32_t size = library->probe(name.c_str(), nullptr);
    if (!SplitSize(size, &width, &height)) {
      SetLastProbedMpeg(std::string(), 0);
      return -1;
    }
    SetLastProbedMpeg(name, size);
  }
  // The library's pictures have the size of its last probe, whatever the table says.
  FrameBuffer& buffer = TheFrameBuffer();
  buffer.Set24BitMode(false);
  if (!buffer.Allocate(width, height)) return -1;
  std::memset(buffer.Bytes(), 0, buffer.SizeInBytes());
  s.width = width;
  s.height = height;
  CurrentPlaybackDisplay().BindWindow(window);
  return 0;
}

int32_t MpegStep(const uint16_t*, int32_t, const RRect*, const RRect*, uint32_t) {
  const MpegEntries* library = LoadedMpegEntries();
  if (!library) return -1;
  MpegStateBlock()[0] = 0;
  library->present(&PictureArrived, 0, MpegStateBlock());
  return 0;
}

int32_t MpegGetFrame(RFileHandle, RFrameTable* table, intptr_t, int32_t slot) {
  SourceState& s = State();
  const MpegEntries* library = LoadedMpegEntries();
  if (!library || !table || table->slotCount == 0) return -1;
  const uint32_t index = slot < 0 ? 0 : static_cast<uint32_t>(slot);
  if (index >= table->slotCount) return -1;
  RFrameSlot* target = Slot(table, index);
  const uint32_t width = table->width;
  const uint32_t height = table->height;
  // The library's picture is as large as the stream Start played; the slot must hold it.
  if (!target->buffer || width == 0 || height == 0 || static_cast<int>(width) != s.width ||
      static_cast<int>(height) != s.height || target->bytes < DibRowBytes(24, width) * height)
    return -1;
  s.grabTarget = target->buffer;
  s.grabWidth = width;
  s.grabHeight = height;
  library->grab(&PictureGrabbed);
  const bool consumed = s.grabTarget == nullptr;
  s.grabTarget = nullptr;
  return consumed ? 0 : -1;
}

int32_t MpegClose() {
  State().frameShown = false;
  TheFrameBuffer().FreeBuffers();
  return 0;
}

const RVideoOps& MpegVideoOps() {
  static const RVideoOps ops{&MpegStart, &MpegGetFrame, &MpegStep, &MpegClose};
  return ops;
}

void RegisterMpegSource() { RegisterSource(FormatTable::Video, kVideoMpeg, &MakeMpegSource); }

int32_t LoadMpegLibrary() { return LoadMpegLibraryWith(SystemMpegLibraryLoader()); }

void UnloadMpegLibrary() {
  ReleaseMpegLibrary();
  SourceState& s = State();
  s.grabTarget = nullptr;
  s.frameShown = false;
}

bool MpegLibraryLoaded() { return LoadedMpegEntries() != nullptr; }

void SetMpegViewGeometry(const MpegViewGeometry& g) { State().geometry = g; }

void MpegBeforePlay() {
  if (const MpegEntries* library = LoadedMpegEntries()) library->rewind(0);
}

void MpegBeforeResume() {
  if (const MpegEntries* library = LoadedMpegEntries()) library->rewind(1);
}

void MpegSetVolume(int percent, bool mute) {
  const MpegEntries* library = LoadedMpegEntries();
  if (!library) return;
  library->mute(mute ? 1 : 0, 0, 0);
  library->volume(std::clamp(percent, 0, 100) * 0.01);
}

void MpegStop() {
  const MpegEntries* library = LoadedMpegEntries();
  if (!library) return;
  library->suspend(1, nullptr, MpegStateBlock());
  if (library->stop) library->stop(0);
  library->suspend(0, nullptr, MpegStateBlock());
}

int64_t MpegPositionMs(int32_t position, int32_t range) {
  const MpegEntries* library = LoadedMpegEntries();
  return library ? library->positionMs(position, range) : -1;
}

int32_t MpegSeekMs(int64_t ms) {
  const MpegEntries* library = LoadedMpegEntries();
  if (!library) return -1;
  return library->seekMs(static_cast<int32_t>(std::clamp<int64_t>(ms, 0, INT32_MAX)));
}

void MpegPlaybackEnded() {
  if (const MpegEntries* library = LoadedMpegEntries()) library->playbackEnded(0);
}

bool MpegFrameShown() { return State().frameShown; }

}  // namespace crv
