// The video view's playback: the generic loop that steps the AVI and QuickTime sources (local or
// downloading), the MPEG loop that lets the MPEG library present, the message pump that keeps
// the panel responsive, pause, stop, the end notifications and seeking.
#include <algorithm>
#include <vector>

#include "player/media/avi_source.h"
#include "player/media/format_tables.h"
#include "player/media/mpeg_source.h"
#include "player/media/qt_player_source.h"
#include "player/media/video_facts.h"
#include "player/media/video_playback.h"
#include "player/base/win16.h"
#include "player/pictures/reader_registry.h"
#include "player/playback/stream_overlay.h"
#include "player/playback/video_view.h"
#include "player/playback/video_view_parts.h"

namespace crv {

namespace {

constexpr UINT_PTR kTimeTimer = 2023;
constexpr UINT kTimePeriodMs = 500;
constexpr DWORD kMpegStepMs = 100;

bool PausableFormat(int format) { return format == kVideoAvi || format == kVideoQuickTime || format == kVideoMpeg; }

}  // namespace

// ---- Starting and ending ----------------------------------------------------------------------

void CVideoView::Play() {
  if (state_ != kVideoStopped || !document_) return;
  if (looping_) {
    // Asked from inside a loop that is ending (its handlers stopped it and opened the next
    // video): the play comes again once that loop has returned.
    PostMessageW(window_, WM_COMMAND, kCmdVideoPlayPause, 0);
    return;
  }
  ReadDisplayOrientation();
  tagRDIBIMG& record = document_->holder.Record();
  RFrameTable* table = record.frames;
  const std::u16string path = document_->path;
  if (!record.pixels || !table || table->slotCount < 2 || !table->Start || !table->Step) return;
  if (GetFileAttributesW(W(path.c_str())) == INVALID_FILE_ATTRIBUTES) return;
  const bool mpeg = IsMpeg();
  if (!mpeg) {
    file_ = CreateFileW(W(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return;
  }
  current_ = 0;
  state_ = kVideoPlaying;
  endCode_ = kEndCodeNone;
  reachedEnd_ = false;
  frameLimit_ = endMark_ = -1;
  pausable_ = PausableFormat(SourceFormat());
  SendMessageW(GetParent(window_), kMsgVideoStarted, mpeg ? 1 : 0, 0);
  ClearPictureArea();
  InvalidateRect(window_, nullptr, TRUE);

  bool started = true;
  looping_ = true;
  if (mpeg) RunMpegLoop();
  else started = RunGenericLoop();
  looping_ = false;

  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
  const int endCode = endCode_;
  state_ = kVideoStopped;
  if (IsWindowAlive()) InvalidateRect(window_, nullptr, TRUE);
  if (!started || !IsWindowAlive()) return;
  HWND parent = GetParent(window_);
  if (endCode == kEndCodeNext) {
    PostMessageW(parent, kMsgVideoNext, 0, 0x10001);
  } else if (endCode == kEndCodePrevious) {
    PostMessageW(parent, kMsgVideoPrevious, 0, 0x10001);
  } else if (reachedEnd_) {
    EndPlayback();
    PostMessageW(parent, kMsgVideoEnded, 0, static_cast<LPARAM>(0x10000 + repeat_));
  }
}

void CVideoView::Pause() {
  if (state_ != kVideoPlaying) return;
  if (!pausable_) {
    EndPlayback();
    return;
  }
  state_ = kVideoPauseRequested;
  ProcessReaderRegistry().AbortLoading();
}

void CVideoView::EndPlayback() {
  if (IsWindowAlive()) KillTimer(window_, kTimeTimer);
  if (state_ == kVideoPlaying || state_ == kVideoPauseRequested) {
    state_ = kVideoEnding;
    ProcessReaderRegistry().AbortLoading();
  }
  if (IsMpeg()) {
    PlaybackLock lock(lock_);
    RFrameTable* table = document_->holder.Record().frames;
    if (table && table->Close) table->Close();
  } else {
    SendTime(0);
  }
  if (IsWindowAlive()) InvalidateRect(window_, nullptr, TRUE);
}

void CVideoView::Stop(bool stopMpeg) {
  if (IsWindowAlive()) KillTimer(window_, kTimeTimer);
  const bool running = state_ == kVideoPlaying || state_ == kVideoPauseRequested;
  if (running) EndPlayback();
  if (IsMpeg() && stopMpeg) MpegStop();
  mpegPaused_ = false;
  // A paused source is closed: the next play starts from the beginning.
  if (!running && document_ && TheVideoPlayback().Paused()) {
    TheVideoPlayback().ClearPaused();
    RFrameTable* table = document_->holder.Record().frames;
    if (table && table->Close) table->Close();
  }
  pendingSeek_ = -1;
  state_ = kVideoStopped;
  if (!IsWindowAlive()) return;
  if (HWND frame = MainFrame()) {
    SetForegroundWindow(frame);
    SetActiveWindow(frame);
    SetFocus(frame);
  }
  InvalidateRect(window_, nullptr, TRUE);
  PostMessageW(GetParent(window_), kMsgVideoStopped, 0, 0);
}

// ---- The generic loop ---------------------------------------------------------------------------

bool CVideoView::RunGenericLoop() {
  RFrameTable* table = document_->holder.Record().frames;
  const uint32_t playing = generation_;
  if (table->Start(file_, window_, document_->path.c_str(), 0) != 0) return false;
  VideoPlayback& playback = TheVideoPlayback();
  frameLimit_ = playback.Begun() ? playback.FrameCount() : -1;
  if (pendingSeek_ >= 0) current_ = std::max(0, playback.SeekTo(pendingSeek_));
  pendingSeek_ = -1;
  StartTimeDisplay();
  bool commandWaiting = !PumpMessages();

  const bool streaming = playback.Streaming();
  std::vector<uint16_t> overlay;
  if (streaming) {
    overlay.resize(kOverlayPixels);
    BuildOverlay(overlay.data());
    RECT target = ScreenTarget();
    const RRect screenTarget{target.left, target.top, target.right, target.bottom};
    current_ = table->Step(overlay.data(), 0, &rects_.source, &screenTarget, kStepRestart | kStepOverlay);
  }
  DWORD lastFrameTick = GetTickCount();
  bool starved = false;  // the sound or the clock asked for a frame that has not arrived
  while (!commandWaiting && state_ == kVideoPlaying && generation_ == playing) {
    bool waiting = false;
    if (streaming) waiting = starved || current_ < 0 || current_ >= playback.DownloadedFrames();
    starved = false;
    // Waiting for frames that will never come: the download broke off.
    if (waiting && playback.DownloadFailed()) break;
    if (frameLimit_ >= 0 && (current_ >= frameLimit_ - 1 || (endMark_ >= 0 && endMark_ >= frameLimit_ - 1))) {
      reachedEnd_ = true;
      break;
    }
    if (table->framePeriod) {
      const DWORD since = GetTickCount() - lastFrameTick;
      if (2 * since < table->framePeriod) Sleep(table->framePeriod - 2 * since);
    }
    bool withOverlay = false;
    if (streaming) {
      int percent = playback.DownloadPercent();
      withOverlay = RecolourOverlay(overlay.data(), percent);
      if (percent < 0) playback.SetDownloadPercent(-1);
    }
    const bool pumpNow = current_ % 3 == 0 || waiting || current_ < 0;
    if (pumpNow && !PumpMessages()) break;
    if (state_ != kVideoPlaying || generation_ != playing) break;
    SendProgress(current_);
    if (pumpNow && !PumpMessages()) break;
    if (state_ != kVideoPlaying || generation_ != playing) break;
    // Read each frame: full screen or a turn may change the layout while the video plays.
    const uint32_t turned =
        (TurnedOnSide(geometry_.angle) || (geometry_.flags & kVideoTurnedForLandscape)) ? uint32_t{kStepTurned} : 0u;
    uint32_t flags = turned | (withOverlay ? uint32_t{kStepOverlay} : 0u) | (waiting ? uint32_t{kStepRedraw} : 0u);
    RECT target = ScreenTarget();
    const RRect screenTarget{target.left, target.top, target.right, target.bottom};
    const int next = table->Step(withOverlay ? overlay.data() : nullptr, current_, &rects_.source, &screenTarget, flags);
    if (next == -1 && streaming && playback.Starved()) {
      // Ahead of the download: wait where the picture stands (the sound and the clock start
      // again from here) until more frames are there.
      starved = true;
      Sleep(10);
      continue;
    }
    if (next == -1) break;
    // Waiting for the sound (nothing decoded, the same frame again): give the processor back.
    if (next == current_ && !playback.LastChoice().decode) Sleep(1);
    else lastFrameTick = GetTickCount();
    current_ = next;
  }
  if (IsWindowAlive()) KillTimer(window_, kTimeTimer);
  const bool pausing = state_ == kVideoPauseRequested;
  if (generation_ == playing) {
    TakeSnapshot(pausing);
    SendProgress(SourceCurrentFrame());
    table->Close();
  }
  return true;
}

namespace {

// Whether a message waiting for the main frame ends the loop: its commands (pause, stop, open
// and the like run with playback stopped), closing, and its private messages (a file handed
// over, a view switch), whose handlers may replace the panel and this view with it.
bool EndsTheLoop(const MSG& msg, HWND frame) {
  if (msg.message == WM_QUIT) return true;
  if (msg.hwnd != frame || !frame) return false;
  return msg.message == WM_COMMAND || msg.message == WM_CLOSE || (msg.message >= WM_USER && msg.message < 0xC000);
}

}  // namespace

// Pending messages are handled; false when a message for the main frame waits (it is left in
// the queue, and the loop ends so that it runs with playback stopped). Pumping stops as soon
// as a handler has ended the playback.
bool CVideoView::PumpMessages() {
  HWND frame = MainFrame();
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
    if (EndsTheLoop(msg, frame)) return false;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) break;
    if (msg.message == WM_CANCELMODE) {
      SendMessageW(GetParent(window_), WM_COMMAND, kCmdVideoStop, 0);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    if (state_ != kVideoPlaying) return true;
  }
  return true;
}

// ---- The MPEG loop ---------------------------------------------------------------------------

void CVideoView::RunMpegLoop() {
  RFrameTable* table = document_->holder.Record().frames;
  const uint32_t playing = generation_;
  HWND frame = MainFrame();
  const uint32_t size = (static_cast<uint32_t>(geometry_.height) << 16) | static_cast<uint32_t>(geometry_.width);
  UpdateMpegGeometry();
  if (table->Start(nullptr, window_, document_->path.c_str(), size) != 0) {
    state_ = kVideoStopped;
    return;
  }
  MpegSetVolume(volume_, mute_);
  // After a pause the library plays on from the picture it showed last.
  if (mpegPaused_) MpegBeforeResume();
  else MpegBeforePlay();
  mpegPaused_ = false;
  if (pendingSeek_ >= 0) SendTime(MpegSeekMs(MpegPositionMs(pendingSeek_, seekRange_)));
  pendingSeek_ = -1;
  SetTimer(window_, kTimeTimer, kTimePeriodMs, nullptr);
  bool ended = false;
  while (!ended && state_ == kVideoPlaying) {
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) && EndsTheLoop(msg, frame)) break;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      {
        PlaybackLock lock(lock_);
        table->Step(nullptr, 0, nullptr, nullptr, 0);
      }
      // Sleeps the step period, but wakes for input at once.
      MsgWaitForMultipleObjects(0, nullptr, FALSE, kMpegStepMs, QS_ALLINPUT);
      continue;
    }
    switch (msg.message) {
      case kMsgSlideStepStop:
        PostMessageW(msg.hwnd, msg.message, msg.wParam, msg.lParam);
        ended = true;
        break;
      case WM_CANCELMODE:
        SendMessageW(GetParent(window_), WM_COMMAND, kCmdVideoStop, 0);
        ended = true;
        break;
      case kMsgMpegEnded:
        MpegStop();
        frameLimit_ = endMark_ = -1;
        reachedEnd_ = true;
        ended = true;
        break;
      case kMsgSeekRange:
        OnSeekRange(static_cast<int>(msg.lParam));
        break;
      case kMsgSeekTo:
        OnSeekTo(static_cast<int>(msg.lParam));
        break;
      default:
        if (msg.message == WM_COMMAND && LOWORD(msg.wParam) == kCmdFrameStopMpeg) {
          PostMessageW(msg.hwnd, msg.message, msg.wParam, msg.lParam);
          ended = true;
          break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        break;
    }
  }
  if (IsWindowAlive()) KillTimer(window_, kTimeTimer);
  PlaybackLock lock(lock_);
  if (!document_ || generation_ != playing) return;
  const bool pausing = state_ == kVideoPauseRequested;
  TakeSnapshot(pausing);
  if (!pausing) MpegPlaybackEnded();
  table->Close();
  mpegPaused_ = pausing;
}

// ---- Progress, time and the snapshot ------------------------------------------------------------

int CVideoView::SourceTotalFrames() const {
  const VideoPlayback& playback = TheVideoPlayback();
  return playback.Begun() ? playback.FrameCount() : 1;
}

int CVideoView::SourceCurrentFrame() const {
  const VideoPlayback& playback = TheVideoPlayback();
  return playback.Begun() ? playback.CurrentFrame() : 0;
}

int CVideoView::SourceFrameLimit() const { return frameLimit_; }

void CVideoView::SendProgress(int current) {
  if (!IsWindowAlive()) return;
  const int total = SourceTotalFrames();
  const int step = std::max(total / std::max(seekRange_, 1), 1);
  SendMessageW(GetParent(window_), kMsgVideoProgress, static_cast<WPARAM>(total), std::max(current, 0) / step);
}

void CVideoView::SendTime(int seconds) {
  if (IsWindowAlive()) SendMessageW(GetParent(window_), kMsgVideoTime, 0, seconds);
}

// QuickTime reports its elapsed time every half second; so does an AVI (its frames have one
// rate). Others show no time while they play.
void CVideoView::StartTimeDisplay() {
  const int format = SourceFormat();
  if (format == kVideoQuickTime || format == kVideoAvi) {
    SetTimer(window_, kTimeTimer, kTimePeriodMs, nullptr);
    if (format == kVideoAvi) SendTime(-1);
  } else {
    SendTime(-1);
  }
}

void CVideoView::OnTimer(UINT_PTR id) {
  if (id != kTimeTimer || state_ != kVideoPlaying || !document_) return;
  switch (SourceFormat()) {
    case kVideoQuickTime:
      SendTime(static_cast<int>(QtPlaybackElapsedSeconds()));
      break;
    case kVideoAvi:
      SendTime(static_cast<int>(static_cast<int64_t>(SourceCurrentFrame()) * CurrentAviFile().microSecPerFrame / 1000000));
      break;
    case kVideoMpeg: {
      // The library's own position ("mr" with no range), for the time and the thumb.
      const int64_t now = MpegPositionMs(0, 0);
      const int64_t length = MpegPositionMs(1, 1);
      if (now >= 0) SendTime(static_cast<int>(now / 1000));
      if (now >= 0 && length > 0)
        SendMessageW(GetParent(window_), kMsgVideoProgress, static_cast<WPARAM>(length / 1000),
                     static_cast<LPARAM>(now * seekRange_ / length));
      break;
    }
    default:
      break;
  }
}

void CVideoView::TakeSnapshot(bool pausing) {
  if (!document_) return;
  document_->holder.LoadVideoFrame(file_ == INVALID_HANDLE_VALUE ? nullptr : file_, pausing ? kSlotPause : kSlotSnapshot);
}

// ---- Seeking ------------------------------------------------------------------------------------

void CVideoView::OnSeekRange(int positions) {
  if (positions <= 0) return;
  if (positions <= seekRange_) {
    mpegScale_ = 1;
    mpegRange_ = positions;
  } else {
    mpegScale_ = positions / seekRange_;
    mpegRange_ = seekRange_;
  }
}

void CVideoView::OnSeekTo(int position) {
  if (!document_) return;
  position = std::clamp(position, 0, seekRange_);
  if (IsMpeg()) {
    if (state_ != kVideoPlaying) {
      pendingSeek_ = position;
      return;
    }
    const int64_t ms = MpegPositionMs(position, seekRange_);
    SendTime(MpegSeekMs(ms));
    if (mpegRange_ > 0)
      SendMessageW(GetParent(window_), kMsgVideoProgress, static_cast<WPARAM>(mpegRange_), position / mpegScale_);
    return;
  }
  SeekGeneric(position);
}

// AVI and QuickTime: the frame at that share of the video; while stopped, remembered for the
// next start.
void CVideoView::SeekGeneric(int position) {
  VideoPlayback& playback = TheVideoPlayback();
  if (!playback.Begun()) {
    VideoFacts facts;
    const int frames = QueryVideoFacts(document_->format, &facts) ? facts.frames : 0;
    pendingSeek_ = frames > 0 ? static_cast<int>(static_cast<int64_t>(position) * frames / seekRange_) : -1;
    return;
  }
  const int total = playback.FrameCount();
  const int frame = static_cast<int>(static_cast<int64_t>(position) * total / seekRange_);
  if (state_ == kVideoPlaying || !playback.Paused()) {
    const int landed = playback.SeekTo(frame);
    if (landed < 0) return;
    current_ = landed;
    SendProgress(landed);
    return;
  }
  // Paused: the stream's file was closed with the loop. A Start on a new handle binds it again
  // (a paused source only resumes), the new frame is decoded and becomes what the view shows,
  // and play continues after it.
  HANDLE file = CreateFileW(W(document_->path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  RFrameTable* table = document_->holder.Record().frames;
  int landed = -1;
  if (table->Start(file, window_, document_->path.c_str(), 0) == 0) landed = playback.SeekTo(frame);
  if (landed >= 0) {
    document_->holder.LoadVideoFrame(file, kSlotPause);
    current_ = landed;
    InvalidateRect(window_, nullptr, FALSE);
    SendProgress(landed);
  }
  CloseHandle(file);
}

}  // namespace crv
