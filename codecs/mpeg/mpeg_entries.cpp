// The entries of the MPEG library, exported by their short names through mpeg_exports.def.
// The player calls all of them on its user-interface thread; the library's own thread is the
// decoding thread of the stream being played.
//
// A playback: "a" probes a path (the one played next), "o" arms it, the first "c" after that
// opens and starts it, every "c" shows the picture that is due, and once everything has been
// shown and heard the end message goes to the library's window. "s" and "cc" close it.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "codecs/mpeg/mpeg_media.h"
#include "codecs/mpeg/mpeg_sound.h"
#include "codecs/mpeg/mpeg_stream.h"
#include "player/media/mpeg_library.h"

extern "C" {
#include <libavutil/log.h>
}

using crv::MpegFrameCallback;
using crv::MpegGrabCallback;

extern "C" {
void* CRV_MPEG_CALL CrvMpegWindow();
uint32_t CRV_MPEG_CALL CrvMpegProbe(const char* path, uint16_t* picture);
int32_t CRV_MPEG_CALL CrvMpegShutdown(uintptr_t);
int32_t CRV_MPEG_CALL CrvMpegPresent(MpegFrameCallback callback, uintptr_t, uint32_t* state);
int32_t CRV_MPEG_CALL CrvMpegSuspend(int32_t on, void* table, uint32_t* state);
int32_t CRV_MPEG_CALL CrvMpegGrab(MpegGrabCallback grab);
int32_t CRV_MPEG_CALL CrvMpegRewind(int32_t flag);
int32_t CRV_MPEG_CALL CrvMpegStop(int32_t);
int32_t CRV_MPEG_CALL CrvMpegMute(int32_t flag, uintptr_t, uintptr_t);
int32_t CRV_MPEG_CALL CrvMpegVolume(double level);
int32_t CRV_MPEG_CALL CrvMpegPositionMs(int32_t position, int32_t range);
int32_t CRV_MPEG_CALL CrvMpegSeekMs(int32_t ms);
int32_t CRV_MPEG_CALL CrvMpegPlaybackEnded(uintptr_t);
}

// The player calls these through MpegEntries: the shapes must be the same.
#define CRV_SAME_SHAPE(entry, member) \
  static_assert(std::is_same_v<decltype(&entry), decltype(crv::MpegEntries::member)>, #entry)
CRV_SAME_SHAPE(CrvMpegWindow, messageWindow);
CRV_SAME_SHAPE(CrvMpegProbe, probe);
CRV_SAME_SHAPE(CrvMpegShutdown, shutdown);
CRV_SAME_SHAPE(CrvMpegPresent, present);
CRV_SAME_SHAPE(CrvMpegSuspend, suspend);
CRV_SAME_SHAPE(CrvMpegGrab, grab);
CRV_SAME_SHAPE(CrvMpegRewind, rewind);
CRV_SAME_SHAPE(CrvMpegStop, stop);
CRV_SAME_SHAPE(CrvMpegMute, mute);
CRV_SAME_SHAPE(CrvMpegVolume, volume);
CRV_SAME_SHAPE(CrvMpegPositionMs, positionMs);
CRV_SAME_SHAPE(CrvMpegSeekMs, seekMs);
CRV_SAME_SHAPE(CrvMpegPlaybackEnded, playbackEnded);
#undef CRV_SAME_SHAPE

namespace {

using crv::mpeg::MpegStream;
using crv::mpeg::StreamFacts;

// 260 UTF-16 characters take at most this many bytes of UTF-8; anything longer is refused.
constexpr size_t kMaxPathBytes = 1024;
const wchar_t kWindowClass[] = L"CrvMpegLibraryWindow";

enum class Phase {
  kIdle,     // nothing to play until "o"
  kArmed,    // the next "c" starts the probed path
  kPlaying,
  kEnded,    // the end message has been posted
};

struct Library {
  HWND window = nullptr;
  bool classRegistered = false;
  std::string probedPath;
  StreamFacts probed;
  std::vector<uint16_t> probedPicture;  // kept for a probe with a buffer that follows one without
  std::unique_ptr<MpegStream> stream;
  bool positioned = false;              // the open stream was positioned by "br" before playing
  Phase phase = Phase::kIdle;
  int64_t startMs = 0;
  int64_t shownMs = 0;
  std::vector<uint16_t> shown;          // the picture handed to the player last
  bool suspended = false;
  double volume = 1.0;
  bool muted = false;
};

// Never destroyed: at process exit the decoding thread is gone and must not be joined ("p"
// releases everything before the library is unloaded).
Library& Lib() {
  static Library* library = new Library;
  return *library;
}

void Quiet() {
  // The player has no console: damaged streams would only spend time on messages.
  av_log_set_level(AV_LOG_QUIET);
}

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

// A message-only window of the calling thread; its messages need no code of ours.
HWND EnsureWindow() {
  Library& l = Lib();
  if (l.window && IsWindow(l.window)) return l.window;
  const HMODULE module = ThisModule();
  if (!l.classRegistered) {
    WNDCLASSW type = {};
    type.lpfnWndProc = DefWindowProcW;
    type.hInstance = module;
    type.lpszClassName = kWindowClass;
    l.classRegistered = RegisterClassW(&type) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }
  l.window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, nullptr);
  return l.window;
}

uint32_t SizeWord(const StreamFacts& facts) {
  return static_cast<uint32_t>(facts.height) << 16 | static_cast<uint32_t>(facts.width);
}

std::string BoundedPath(const char* path) {
  if (!path) return {};
  const size_t length = strnlen(path, kMaxPathBytes);
  return length < kMaxPathBytes ? std::string(path, length) : std::string();
}

void ForgetProbe() {
  Library& l = Lib();
  l.probedPath.clear();
  l.probed = StreamFacts{};
  l.probedPicture.clear();
}

void CloseStream() {
  Library& l = Lib();
  l.stream.reset();
  l.positioned = false;
}

// The stream is over (or could not start): the view's loop ends on the message.
void Finish() {
  Library& l = Lib();
  CloseStream();
  l.phase = Phase::kEnded;
  if (HWND window = EnsureWindow()) PostMessageW(window, crv::kMpegEndMessage, 0, 0);
}

bool OpenStream() {
  Library& l = Lib();
  if (l.probedPath.empty()) return false;
  auto stream = std::make_unique<MpegStream>(crv::mpeg::MakeSystemPcmOutput());
  stream->SetVolume(l.volume, l.muted);
  if (!stream->Open(l.probedPath)) return false;
  // The player's frame buffer has the probe's size; a file changed since is not played.
  if (stream->Facts().width != l.probed.width || stream->Facts().height != l.probed.height) return false;
  l.stream = std::move(stream);
  l.positioned = false;
  return true;
}

bool StartPlayback() {
  Library& l = Lib();
  if (!l.stream && !OpenStream()) return false;
  // A failed positioning plays from where the stream is.
  if (!l.positioned) l.stream->Position(l.startMs);
  l.positioned = false;
  l.shown.clear();
  l.stream->Pause(l.suspended);
  l.stream->Play();
  l.phase = Phase::kPlaying;
  return true;
}

}  // namespace

void* CRV_MPEG_CALL CrvMpegWindow() try {
  Quiet();
  return EnsureWindow();
} catch (...) {
  return nullptr;
}

uint32_t CRV_MPEG_CALL CrvMpegProbe(const char* path, uint16_t* picture) try {
  Quiet();
  Library& l = Lib();
  const std::string name = BoundedPath(path);
  if (name.empty()) {
    ForgetProbe();
    return 0;
  }
  if (picture && name == l.probedPath && !l.probedPicture.empty()) {
    std::memcpy(picture, l.probedPicture.data(), l.probedPicture.size() * sizeof(uint16_t));
    l.probedPicture.clear();
    return SizeWord(l.probed);
  }
  StreamFacts facts;
  std::vector<uint16_t> first;
  if (!crv::mpeg::ProbeFile(name, &facts, &first)) {
    ForgetProbe();
    return 0;
  }
  l.probedPath = name;
  l.probed = facts;
  if (picture) {
    std::memcpy(picture, first.data(), first.size() * sizeof(uint16_t));
    l.probedPicture.clear();
  } else {
    l.probedPicture = std::move(first);
  }
  return SizeWord(facts);
} catch (...) {
  ForgetProbe();
  return 0;
}

int32_t CRV_MPEG_CALL CrvMpegShutdown(uintptr_t) try {
  Library& l = Lib();
  CloseStream();
  ForgetProbe();
  l.phase = Phase::kIdle;
  l.shown.clear();
  l.shown.shrink_to_fit();
  if (l.window) DestroyWindow(l.window);
  l.window = nullptr;
  if (l.classRegistered) UnregisterClassW(kWindowClass, ThisModule());
  l.classRegistered = false;
  return 0;
} catch (...) {
  return 0;
}

int32_t CRV_MPEG_CALL CrvMpegPresent(MpegFrameCallback callback, uintptr_t, uint32_t*) try {
  Library& l = Lib();
  if (l.phase == Phase::kArmed && !StartPlayback()) {
    Finish();
    return 0;
  }
  if (l.phase != Phase::kPlaying || !l.stream) return 0;
  int64_t ms = 0;
  if (l.stream->TakeDue(&l.shown, &ms)) {
    l.shownMs = ms;
    if (callback) callback(l.shown.data());
  }
  if (l.stream && l.stream->Ended()) Finish();
  return 1;
} catch (...) {
  Finish();
  return 0;
}

int32_t CRV_MPEG_CALL CrvMpegSuspend(int32_t on, void*, uint32_t*) try {
  Library& l = Lib();
  l.suspended = on != 0;
  if (l.stream) l.stream->Pause(l.suspended);
  return 0;
} catch (...) {
  return 0;
}

int32_t CRV_MPEG_CALL CrvMpegGrab(MpegGrabCallback grab) try {
  Library& l = Lib();
  if (grab && !l.shown.empty()) grab(l.shown.data());
  return 0;
} catch (...) {
  return 0;
}

int32_t CRV_MPEG_CALL CrvMpegRewind(int32_t flag) try {
  Library& l = Lib();
  CloseStream();
  // 0 plays from the start; anything else from the picture shown last (after a pause).
  l.startMs = (flag & 0xFF) != 0 ? l.shownMs : 0;
  l.suspended = false;
  l.phase = l.probedPath.empty() ? Phase::kIdle : Phase::kArmed;
  return 0;
} catch (...) {
  return 0;
}

int32_t CRV_MPEG_CALL CrvMpegStop(int32_t) try {
  CloseStream();
  Lib().phase = Phase::kIdle;
  return 0;
} catch (...) {
  return 0;
}

int32_t CRV_MPEG_CALL CrvMpegMute(int32_t flag, uintptr_t, uintptr_t) try {
  Library& l = Lib();
  l.muted = (flag & 0xFF) != 0;
  if (l.stream) l.stream->SetVolume(l.volume, l.muted);
  return 0;
} catch (...) {
  return 0;
}

int32_t CRV_MPEG_CALL CrvMpegVolume(double level) try {
  Library& l = Lib();
  l.volume = std::isfinite(level) ? std::clamp(level, 0.0, 1.0) : 1.0;
  if (l.stream) l.stream->SetVolume(l.volume, l.muted);
  return 0;
} catch (...) {
  return 0;
}

// Range 0 asks for the time playing now (the panel's time field and thumb while MPEG plays).
int32_t CRV_MPEG_CALL CrvMpegPositionMs(int32_t position, int32_t range) try {
  const Library& l = Lib();
  if (range == 0) return l.phase == Phase::kPlaying && l.stream ? static_cast<int32_t>(std::max<int64_t>(l.stream->NowMs(), 0)) : 0;
  if (range < 0) return 0;
  const int64_t length = l.stream ? l.stream->Facts().durationMs : l.probed.durationMs;
  const int64_t ms = length * std::clamp(position, 0, range) / range;
  return static_cast<int32_t>(std::clamp<int64_t>(ms, 0, INT32_MAX));
} catch (...) {
  return 0;
}

int32_t CRV_MPEG_CALL CrvMpegSeekMs(int32_t ms) try {
  Library& l = Lib();
  ms = std::max(ms, 0);
  if (l.phase == Phase::kPlaying && l.stream) {
    const int64_t reached = l.stream->Position(ms);
    // A stream that cannot seek plays on: the time it is at.
    return static_cast<int32_t>((reached >= 0 ? reached : l.stream->NowMs()) / 1000);
  }
  if (l.phase == Phase::kArmed) {
    if (!l.stream && !OpenStream()) return -1;
    const int64_t reached = l.stream->Position(ms);
    if (reached < 0) return -1;
    l.positioned = true;
    l.startMs = reached;
    return static_cast<int32_t>(reached / 1000);
  }
  return -1;
} catch (...) {
  return -1;
}

int32_t CRV_MPEG_CALL CrvMpegPlaybackEnded(uintptr_t) try {
  CloseStream();
  Lib().phase = Phase::kIdle;
  return 0;
} catch (...) {
  return 0;
}
