#include "player/media/video_playback.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "player/media/frame_buffer.h"
#include "player/media/img_fmt_base.h"

namespace crv {

namespace {
// The devices a test installed; null means the platform's.
PlaybackAudio* installedAudio = nullptr;
PlaybackDisplay* installedDisplay = nullptr;
PlaybackClock* installedClock = nullptr;
}  // namespace

PlaybackAudio& CurrentPlaybackAudio() { return installedAudio ? *installedAudio : PlatformPlaybackAudio(); }
PlaybackDisplay& CurrentPlaybackDisplay() {
  return installedDisplay ? *installedDisplay : PlatformPlaybackDisplay();
}
PlaybackClock& CurrentPlaybackClock() { return installedClock ? *installedClock : PlatformPlaybackClock(); }

void SetPlaybackDevices(PlaybackAudio* audio, PlaybackDisplay* display, PlaybackClock* clock) {
  installedAudio = audio;
  installedDisplay = display;
  installedClock = clock;
}

// ---- Rules -----------------------------------------------------------------------------------

int AudibleFrame(int audioCounter, int bufferCount, int frameCount) {
  if (frameCount <= 0) return 0;
  int64_t frame = (int64_t{audioCounter} - bufferCount) % frameCount;
  if (frame < 0) frame += frameCount;
  return static_cast<int>(frame);
}

FrameChoice ChooseAudioLedFrame(int requested, int audible) {
  FrameChoice choice;
  if (audible < requested && audible == requested - 1) {
    choice.decode = false;
    choice.frame = requested;
  } else {
    choice.decode = true;
    choice.frame = audible;
  }
  return choice;
}

FrameChoice ChooseClockLedFrame(int requested, int due) {
  FrameChoice choice;
  if (due < requested) {
    choice.decode = false;
    // Never -1 (the view's failure): an early first frame is asked for again as 0.
    choice.frame = requested > 0 ? requested - 1 : 0;
  } else {
    choice.decode = true;
    choice.frame = requested;
  }
  return choice;
}

int NextFrameAfter(int decoded, int frameCount) {
  const int next = decoded + 1;
  return next >= frameCount ? 0 : next;
}

int64_t FrameToMs(int64_t frame, uint32_t microsecondsPerFrame) {
  return frame * int64_t{microsecondsPerFrame} / 1000;
}

int64_t MsToFrame(int64_t ms, uint32_t microsecondsPerFrame, int64_t fallback) {
  if (microsecondsPerFrame == 0) return fallback;
  return ms * 1000 / int64_t{microsecondsPerFrame};
}

// ---- The shared playback ---------------------------------------------------------------------

bool VideoPlayback::Begin(const VideoSourceCallbacks& source, int frameCount, int width, int height,
                          RWindow window, bool streaming) {
  source_ = source;
  frameCount_ = frameCount > 0 ? frameCount : 0;
  width_ = width;
  height_ = height;
  current_ = 0;
  paused_ = false;
  clockStarted_ = false;
  haveRects_ = false;
  streaming_ = streaming;
  stats_ = PlaybackStats{};
  lastChoice_ = FrameChoice{};
  FrameBuffer& buffer = TheFrameBuffer();
  buffer.Set24BitMode(false);
  if (!buffer.Allocate(width, height)) {
    begun_ = false;
    return false;
  }
  std::memset(buffer.Bytes(), 0, buffer.SizeInBytes());
  CurrentPlaybackDisplay().BindWindow(window);
  CurrentPlaybackAudio().SetStreaming(streaming);
  begun_ = true;
  return true;
}

void VideoPlayback::OpenAudio(const PlaybackAudioFormat& format, uint32_t capacityPerFrame) {
  if (!source_.fillAudio || capacityPerFrame == 0 || frameCount_ <= 0) return;
  PlaybackAudio& audio = CurrentPlaybackAudio();
  audio.Open(format, frameCount_, capacityPerFrame);
  audioOpen_ = true;
}

bool VideoPlayback::AudioRunning() const {
  if (!audioOpen_) return false;
  const PlaybackAudio& audio = CurrentPlaybackAudio();
  return audio.IsPrepared() && audio.BufferCount() > 0 && audio.AudioCounter() >= 0;
}

uint32_t VideoPlayback::FillThunk(void* self, int frame, uint8_t* data, uint32_t capacity) {
  auto* playback = static_cast<VideoPlayback*>(self);
  if (!data || capacity == 0) return 0;
  std::memset(data, 0, capacity);
  if (!playback->source_.fillAudio) return 0;
  const uint32_t bytes = playback->source_.fillAudio(playback->source_.context, frame, data, capacity);
  return std::min(bytes, capacity);
}

void VideoPlayback::FeedAudio(int currentFrame) {
  if (!AudioRunning()) return;
  CurrentPlaybackAudio().Feed(currentFrame, &VideoPlayback::FillThunk, this);
}

int64_t VideoPlayback::FrameTime(int frame) const {
  return source_.frameTimeMs ? source_.frameTimeMs(source_.context, frame) : 0;
}

int VideoPlayback::DueFrame(int64_t elapsedMs) const {
  // Without a rate every frame is due at once.
  return source_.dueFrame ? source_.dueFrame(source_.context, elapsedMs) : frameCount_;
}

void VideoPlayback::Rewind() {
  current_ = 0;
  clockStarted_ = false;
  if (AudioRunning()) {
    PlaybackAudio& audio = CurrentPlaybackAudio();
    audio.Reset();
    audio.SetAudioCounter(0);
  }
  if (source_.rewind) source_.rewind(source_.context);
}

int VideoPlayback::SeekTo(int frame) {
  if (!begun_ || frameCount_ <= 0) return -1;
  frame = std::clamp(frame, 0, frameCount_ - 1);
  int key = source_.keyFrameAtOrBefore ? source_.keyFrameAtOrBefore(source_.context, frame) : frame;
  if (key < 0 || key > frame) key = frame;
  if (source_.rewind) source_.rewind(source_.context);
  current_ = key;
  clockStarted_ = false;
  if (paused_ && source_.decodeFrame && (!streaming_ || key < DownloadedFrames()) &&
      source_.decodeFrame(source_.context, key))
    current_ = NextFrameAfter(key, frameCount_);
  if (AudioRunning()) {
    PlaybackAudio& audio = CurrentPlaybackAudio();
    audio.Reset();
    audio.SetAudioCounter(current_);
  }
  return current_;
}

bool VideoPlayback::Show(const uint16_t* overlay, uint32_t flags) {
  if (!haveRects_ || !TheFrameBuffer().Pixels() || TheFrameBuffer().Is24BitMode()) return false;
  return CurrentPlaybackDisplay().Blit(sourceRect_, targetRect_, overlay, flags);
}

int ReadAheadFrames(const VideoSourceCallbacks& source, int frameCount, int frame, uint32_t windowMs) {
  if (frame < 0) frame = 0;
  if (frame >= frameCount) return -1;
  auto time = [&](int f) { return source.frameTimeMs ? source.frameTimeMs(source.context, f) : 0; };
  const int64_t limit = time(frame) + windowMs;
  int last = -1;
  for (int f = frame; f < frameCount; ++f) {
    if (f > frame && time(f) >= limit) break;
    if (source.readFrame && !source.readFrame(source.context, f)) break;
    last = f;
  }
  if (last < 0) return -1;
  if (source.readAudio) {
    const int audioEnd = std::min(frameCount - 1, last + kMaxWaveBuffers);
    for (int f = frame; f <= audioEnd; ++f)
      if (!source.readAudio(source.context, f)) break;
  }
  return last;
}

int VideoPlayback::ReadAhead(int frame, uint32_t windowMs) {
  return ReadAheadFrames(source_, frameCount_, frame, windowMs);
}

int VideoPlayback::Step(const uint16_t* overlay, int frame, const RRect* source, const RRect* target,
                        uint32_t flags) {
  if (!source) return ReadAhead(frame, flags);
  starved_ = false;
  if (!begun_ || !source_.decodeFrame || frameCount_ <= 0) return -1;
  paused_ = false;

  sourceRect_ = *source;
  targetRect_ = target ? *target : PlaybackRect{};
  haveRects_ = target != nullptr;
  stepFlags_ = flags;
  if ((flags & kStepRestart) || frame < 0) Rewind();
  const uint16_t* shown = (flags & kStepOverlay) && overlay ? overlay : nullptr;

  if (flags & kStepRedraw) {
    // Waiting (for data): the queued sound is dropped and continues from here, and the clock
    // starts again when the frames come.
    if (AudioRunning()) {
      PlaybackAudio& audio = CurrentPlaybackAudio();
      audio.Reset();
      audio.SetAudioCounter(current_);
    }
    clockStarted_ = false;
    Show(shown, flags);
    lastChoice_ = FrameChoice{false, current_};
    return current_;
  }

  const int requested = current_ >= 0 && current_ < frameCount_ ? current_ : 0;
  FeedAudio(requested);
  FrameChoice choice;
  if (AudioRunning()) {
    const PlaybackAudio& audio = CurrentPlaybackAudio();
    choice = ChooseAudioLedFrame(requested, AudibleFrame(audio.AudioCounter(), audio.BufferCount(), frameCount_));
  } else {
    const uint32_t now = CurrentPlaybackClock().NowMs();
    if (!clockStarted_) {
      startTick_ = now - static_cast<uint32_t>(FrameTime(requested));
      clockStarted_ = true;
    }
    const uint32_t elapsed = now - startTick_;
    choice = ChooseClockLedFrame(requested, DueFrame(elapsed));
  }
  lastChoice_ = choice;
  if (!choice.decode) return choice.frame;

  const int decode = choice.frame;
  if (streaming_ && decode >= DownloadedFrames()) {
    starved_ = true;
    return -1;
  }
  const auto decodeStart = std::chrono::steady_clock::now();
  if (!source_.decodeFrame(source_.context, decode)) return -1;
  const auto showStart = std::chrono::steady_clock::now();
  Show(shown, flags);
  CountShownFrame(decode, decodeStart, showStart);
  current_ = NextFrameAfter(decode, frameCount_);
  return current_;
}

void VideoPlayback::CountShownFrame(int frame, std::chrono::steady_clock::time_point decodeStart,
                                    std::chrono::steady_clock::time_point showStart) {
  using std::chrono::duration_cast;
  using std::chrono::microseconds;
  const auto end = std::chrono::steady_clock::now();
  stats_.shown++;
  if (stats_.lastShown >= 0 && frame > stats_.lastShown + 1) stats_.skipped += frame - stats_.lastShown - 1;
  stats_.lastShown = frame;
  stats_.decodeMicroseconds += duration_cast<microseconds>(showStart - decodeStart).count();
  stats_.showMicroseconds += duration_cast<microseconds>(end - showStart).count();
}

int VideoPlayback::AudibleFrameNow() const {
  if (!AudioRunning()) return -1;
  const PlaybackAudio& audio = CurrentPlaybackAudio();
  return AudibleFrame(audio.AudioCounter(), audio.BufferCount(), frameCount_);
}

bool VideoPlayback::Snapshot(uint8_t* dib, uint32_t width, uint32_t height) const {
  const FrameBuffer& buffer = TheFrameBuffer();
  if (!dib || !buffer.Pixels() || buffer.Is24BitMode() || width == 0 || height == 0 ||
      static_cast<uint32_t>(buffer.Width()) != width || static_cast<uint32_t>(buffer.Height()) != height)
    return false;
  Rgb565ToDib24(buffer.Pixels(), width, width, height, dib);
  return true;
}

void VideoPlayback::PrepareResume() {
  if (AudioRunning()) {
    PlaybackAudio& audio = CurrentPlaybackAudio();
    audio.Reset();
    audio.SetAudioCounter(current_);
  }
  clockStarted_ = false;
  paused_ = true;
}

bool VideoPlayback::End() {
  if (paused_) return false;
  stats_.audibleAtEnd = AudibleFrameNow();
  if (audioOpen_) CurrentPlaybackAudio().Close();
  audioOpen_ = false;
  TheFrameBuffer().FreeBuffers();
  begun_ = false;
  haveRects_ = false;
  clockStarted_ = false;
  return true;
}

VideoPlayback& TheVideoPlayback() {
  static VideoPlayback playback;
  return playback;
}

}  // namespace crv
