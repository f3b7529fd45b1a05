// The playback half that the AVI and QuickTime sources share: the process-wide 5-6-5 frame
// buffer, the wave-out engine (opened, fed before every decoded frame, reset on pause and
// rewind, closed), the choice of the frame to decode (audio-led while sound runs, clock-led
// otherwise), showing the decoded frame through the display output, the snapshot of the frame
// on screen and the pause that keeps everything open across the next Close.
//
// A source describes itself with VideoSourceCallbacks (time of a frame, the frame due at an
// elapsed time, the sound of a frame, decoding a frame into the frame buffer, reading a frame
// ahead) and drives one VideoPlayback from its frame-table operations. The devices sit behind
// three small seams (sound, display, clock): on Windows the wave-out engine and the display
// output, natively none (silent, unseen, so clock-led), and in tests fakes.
//
// One video at a time; user-interface thread only (the downloaded-frame count alone is written
// by the HTTP preload thread).
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include "player/media/frame_record.h"
#include "player/media/playback_devices.h"

namespace crv {

// ---- The source's side ------------------------------------------------------------------------

// What a source tells the shared playback. Every function gets `context` first. Only
// decodeFrame is required; the others may be null (no sound, no read-ahead; times then 0).
struct VideoSourceCallbacks {
  void* context = nullptr;
  // Start of frame `frame` in milliseconds from the first frame.
  int64_t (*frameTimeMs)(void* context, int frame) = nullptr;
  // The frame whose time has come at `elapsedMs` since the first frame.
  int (*dueFrame)(void* context, int64_t elapsedMs) = nullptr;
  // The sound of frame `frame` for one wave buffer (the buffer arrives zeroed).
  FrameAudioFill fillAudio = nullptr;
  // Reads frame `frame` and decodes it into the process-wide 5-6-5 frame buffer.
  bool (*decodeFrame)(void* context, int frame) = nullptr;
  // Read-ahead without decoding: the data of frame `frame`, and the sound of frame `frame`.
  bool (*readFrame)(void* context, int frame) = nullptr;
  bool (*readAudio)(void* context, int frame) = nullptr;
  // Playback starts over at frame 0 (restart flag, negative frame): the codec starts afresh.
  // Also called before a seek, so that the codec starts afresh at the key frame.
  void (*rewind)(void* context) = nullptr;
  // The key frame at or before `frame` (where decoding can start); null: every frame is one.
  int (*keyFrameAtOrBefore)(void* context, int frame) = nullptr;
};

// ---- The rules, apart from any state (tested on their own) ------------------------------------

// The frame whose sound is audible now: audio counter - buffer count, wrapped into
// [0, frame count). 0 for an empty video.
int AudibleFrame(int audioCounter, int bufferCount, int frameCount);

// What Step does with the requested frame: decode `frame`, or decode nothing and return
// `frame` as the next frame number.
struct FrameChoice {
  bool decode = false;
  int frame = 0;
};
// Audio leads: the audible frame is decoded, except when it is exactly the requested frame
// minus 1 (video waits for audio: the requested frame comes back undecoded).
FrameChoice ChooseAudioLedFrame(int requested, int audible);
// The clock leads: a due frame below the requested one is early (nothing decoded, requested - 1
// comes back so that the view asks again); at or beyond it the requested frame is decoded
// (late frames are not skipped).
FrameChoice ChooseClockLedFrame(int requested, int due);
// The next frame number after decoding `decoded`: decoded + 1, 0 at the frame count.
int NextFrameAfter(int decoded, int frameCount);
// Frame <-> time at a constant rate: frame x us / 1000, and ms x 1000 / us (64-bit), or
// `fallback` when the rate is 0.
int64_t FrameToMs(int64_t frame, uint32_t microsecondsPerFrame);
int64_t MsToFrame(int64_t ms, uint32_t microsecondsPerFrame, int64_t fallback);

// Read-ahead without a playback: from `frame`, the frames whose times fall within the next
// `windowMs` are read (not decoded), and the sound of those frames and 16 more. The last frame
// read, -1 when nothing could be read. (Planning an HTTP movie's preload reads this way.)
int ReadAheadFrames(const VideoSourceCallbacks& source, int frameCount, int frame, uint32_t windowMs);

// ---- The shared playback ----------------------------------------------------------------------

// What one playback did, for measuring it: frames decoded and shown, frames passed over to
// stay with the sound (or the clock), and the time spent decoding and showing.
struct PlaybackStats {
  int shown = 0;
  int skipped = 0;
  int lastShown = -1;
  int64_t decodeMicroseconds = 0;
  int64_t showMicroseconds = 0;
  int audibleAtEnd = -1;  // the frame heard when playback ended (-1 without sound)
};

class VideoPlayback {
 public:
  VideoPlayback() = default;
  VideoPlayback(const VideoPlayback&) = delete;
  VideoPlayback& operator=(const VideoPlayback&) = delete;

  // Start: binds the source and the window (display output), allocates the 5-6-5 frame buffer
  // (false, and nothing kept, when that fails: the failure message is shown by the buffer),
  // sets the streaming mode. The current frame becomes 0 and the clock starts at the first
  // Step. The sound is opened apart (OpenAudio).
  bool Begin(const VideoSourceCallbacks& source, int frameCount, int width, int height, RWindow window,
             bool streaming);
  // Opens the sound device for this playback; without a device the playback is clock-led.
  void OpenAudio(const PlaybackAudioFormat& format, uint32_t capacityPerFrame);
  // Sound is running: the device took the format and is prepared.
  bool AudioRunning() const;
  // Feeds the device before a frame is decoded (nothing without sound).
  void FeedAudio(int currentFrame);

  // The frame-table Step (the whole contract of RStepFn): read-ahead with a null source
  // rectangle (the flags word then carries the window in milliseconds), restart with
  // kStepRestart, redraw with kStepRedraw, otherwise choose, decode, show. The next frame
  // number, or -1 at a failure or past the downloaded frames while streaming.
  int Step(const uint16_t* overlay, int frame, const RRect* source, const RRect* target, uint32_t flags);
  // ReadAheadFrames over the bound source.
  int ReadAhead(int frame, uint32_t windowMs);
  // Shows the frame buffer with the rectangles of the last Step (redraw).
  bool Show(const uint16_t* overlay, uint32_t flags);

  // Slot -1: the 5-6-5 frame on screen into `dib` (bottom-up 24-bit rows padded to 4 bytes, at
  // least DibRowBytes(24, width) x height bytes). False without a 5-6-5 frame of that size.
  bool Snapshot(uint8_t* dib, uint32_t width, uint32_t height) const;
  // Slot -2 after the snapshot: the sound is reset to continue from the current frame (or the
  // clock restarts there) and the playback is marked paused.
  void PrepareResume();
  bool Paused() const { return paused_; }
  void ClearPaused() { paused_ = false; }

  // Seeking: playback continues from the key frame at or before `frame` (clamped to the
  // video), the codec starting afresh there, the sound reset to continue from that frame and
  // the clock restarted. While paused, the key frame is decoded at once (so that a snapshot
  // shows it) and playback resumes after it. The frame playback continues from, or -1 when
  // nothing plays.
  int SeekTo(int frame);

  // Rewind (a negative frame or kStepRestart): the current frame becomes 0, the sound restarts
  // at frame 0, the clock restarts. The source resets its codec itself.
  void Rewind();

  // Close: closes the sound device and frees the frame buffer and the decoding buffers.
  // Skipped (false) while paused.
  bool End();

  int CurrentFrame() const { return current_; }
  void SetCurrentFrame(int frame) { current_ = frame; }
  int FrameCount() const { return frameCount_; }
  bool Streaming() const { return streaming_; }
  bool Begun() const { return begun_; }

  // Streaming: frames below this count have arrived (written by the preload thread).
  void SetDownloadedFrames(int32_t frames) { downloaded_.store(frames, std::memory_order_relaxed); }
  int32_t DownloadedFrames() const { return downloaded_.load(std::memory_order_relaxed); }
  // Streaming: the download's percentage for the view's progress overlay (-1: none).
  void SetDownloadPercent(int32_t percent) { percent_.store(percent, std::memory_order_relaxed); }
  int32_t DownloadPercent() const { return percent_.load(std::memory_order_relaxed); }
  // Streaming: the download ended before every frame arrived; what is missing never comes.
  void SetDownloadFailed(bool failed) { downloadFailed_.store(failed, std::memory_order_relaxed); }
  bool DownloadFailed() const { return downloadFailed_.load(std::memory_order_relaxed); }
  // The last Step refused to decode a frame that has not arrived (streaming; -1 returned).
  bool Starved() const { return starved_; }

  // The decision Step took last (for the tests and the view's progress).
  const FrameChoice& LastChoice() const { return lastChoice_; }
  // Since Begin.
  const PlaybackStats& Stats() const { return stats_; }
  // The frame whose sound is heard now, -1 without sound.
  int AudibleFrameNow() const;

 private:
  int64_t FrameTime(int frame) const;
  int DueFrame(int64_t elapsedMs) const;
  static uint32_t FillThunk(void* self, int frame, uint8_t* data, uint32_t capacity);
  void CountShownFrame(int frame, std::chrono::steady_clock::time_point decodeStart,
                       std::chrono::steady_clock::time_point showStart);

  VideoSourceCallbacks source_;
  int frameCount_ = 0;
  int width_ = 0;
  int height_ = 0;
  int current_ = 0;
  bool begun_ = false;
  bool streaming_ = false;
  bool paused_ = false;
  bool audioOpen_ = false;
  bool clockStarted_ = false;
  uint32_t startTick_ = 0;
  PlaybackRect sourceRect_{};
  PlaybackRect targetRect_{};
  bool haveRects_ = false;
  uint32_t stepFlags_ = 0;
  std::atomic<int32_t> downloaded_{0};
  std::atomic<int32_t> percent_{-1};
  std::atomic<bool> downloadFailed_{false};
  bool starved_ = false;
  FrameChoice lastChoice_;
  PlaybackStats stats_;
};

// The playback of the process (one video at a time).
VideoPlayback& TheVideoPlayback();

}  // namespace crv
