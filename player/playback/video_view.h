// CVideoView: the child window of the player panel in which a video opened with the built-in
// sources (AVI, QuickTime, MPEG, and AVI/QuickTime over HTTP) is shown and played. It loads the
// file through the reader registry in media mode, shows the first frame as a still picture,
// and on play runs the playback loop on the user-interface thread: the frame table's Start,
// Step and Close, frames written straight into the display's primary surface, messages pumped
// every third frame. It keeps the picture fitted, zoomed, panned and turned, and reports
// start, progress, time, stop and the end of playback to its parent, the panel.
//
// Seeking: the panel posts the seek range (kMsgSeekRange) and a position in it (kMsgSeekTo);
// playback continues from the key frame at or before that position, with the sound in step.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "player/base/api_wnd.h"
#include "player/pictures/image_holder.h"
#include "player/pictures/screen_renderer.h"
#include "player/playback/video_layout.h"

namespace crv {

// To the parent.
constexpr UINT kMsgVideoStarted = 0x475;   // wParam 1 for the MPEG source
constexpr UINT kMsgVideoProgress = 0x476;  // wParam total frames, lParam position in the seek range
constexpr UINT kMsgVideoStopped = 0x477;
constexpr UINT kMsgVideoTime = 0x52D;      // lParam seconds, negative = none
constexpr UINT kMsgVideoNext = 0x52E;
constexpr UINT kMsgVideoPrevious = 0x52F;
constexpr UINT kMsgVideoEnded = 0x530;     // lParam 0x10000 + the repeat switch
// From the parent (and the MPEG library's window).
constexpr UINT kMsgSeekTo = 0x8007;        // lParam a position in the seek range
constexpr UINT kMsgSeekRange = 0x8012;     // lParam the number of positions
constexpr UINT kMsgMpegEnded = 0x801F;
constexpr UINT kMsgSlideStepStop = 0x464;  // the frame's slide-show step ends an MPEG playback
constexpr UINT kCmdFrameStopMpeg = 0x8017;
// Commands.
constexpr UINT kCmdVideoPlayPause = 0x8098;
constexpr UINT kCmdVideoStop = 0x8099;
constexpr UINT kCmdVideoTapped = 0x809B;

// What the panel sets before ending a playback, to choose the end notification.
constexpr int kEndCodeNone = -1;
constexpr int kEndCodeNext = 0;
constexpr int kEndCodePrevious = 1;

enum VideoState : int {
  kVideoStopped = 0,
  kVideoPlaying = 1,
  kVideoEnding = -1,
  kVideoPauseRequested = -2,
};

class CVideoView : public ApiWnd {
 public:
  CVideoView();
  ~CVideoView() override;

  LRESULT OnCreate(CREATESTRUCTW* create) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

  bool Create(HWND parent, const RECT& rect, HINSTANCE instance);

  // Stops, drops the previous video and loads `path`; false leaves no document and the
  // result code in LastResult.
  bool Open(const char16_t* path);
  int32_t LastResult() const { return lastResult_; }
  void Clear(bool keepDocument, bool relayout);

  // Plays from the start, or from where a pause left off; returns when playback ends.
  void Play();
  void Pause();
  void Stop(bool stopMpeg);
  // Kills the timer and makes a running loop end (the end code chooses the notification).
  void EndPlayback();

  void Zoom(float factor, bool relayout);
  void Rotate(int degrees, bool relayout);
  void Layout(bool landscape);
  // The player's volume and mute, to the MPEG library or the wave-out engine.
  void ApplyVolume(int percent, bool mute);

  void SetEndCode(int code) { endCode_ = code; }
  void SetSeekRange(int range) { seekRange_ = range > 0 ? range : 1; }
  void SetRepeat(uint32_t repeat) { repeat_ = repeat; }

  bool HasMedia() const { return document_ != nullptr; }
  int State() const { return state_; }
  bool Playing() const { return state_ == kVideoPlaying; }
  // A playback loop of this view is on the stack (its pump is dispatching messages): the view
  // must not be deleted, and another Play waits until it has returned.
  bool Looping() const { return looping_; }
  bool IsMpeg() const;
  // The row of the source that plays the document: for a link, that of the movie it names.
  int SourceFormat() const;
  float CurrentZoom() const { return geometry_.zoom; }
  int Angle() const { return geometry_.angle; }
  const VideoRects& Rects() const { return rects_; }
  // The length of the open video in milliseconds (0 when unknown).
  int64_t DurationMs() const;
  tagRDIBIMG* Picture();

 private:
  struct Document;

  // Messages.
  void OnPaint();
  void OnSize();
  void OnTimer(UINT_PTR id);
  void OnDestroy();
  void OnSeekRange(int positions);
  void OnSeekTo(int position);

  // Playback (video_view_loop.cpp).
  void RunPlayback();
  bool RunGenericLoop();
  void RunMpegLoop();
  bool PumpMessages();
  void SendProgress(int current);
  void SendTime(int seconds);
  void StartTimeDisplay();
  void TakeSnapshot(bool pausing);
  void SeekGeneric(int position);
  int SourceFrameLimit() const;
  int SourceTotalFrames() const;
  int SourceCurrentFrame() const;
  void UpdateMpegGeometry() const;

  void DropDocument();

  // Layout.
  void Relayout();
  void ReadClient();
  RECT ScreenTarget() const;
  void ClearPictureArea() const;
  HWND MainFrame() const;
  void ReadDisplayOrientation();

  std::unique_ptr<Document> document_;
  int32_t lastResult_ = 0;
  VideoGeometry geometry_;
  VideoRects rects_;
  RECT client_{};
  bool manualZoom_ = false;
  bool manualRotation_ = false;
  bool landscape_ = false;
  HBRUSH blackBrush_ = nullptr;
  ScreenRenderer renderer_;
  CRITICAL_SECTION lock_;
  bool lockReady_ = false;

  int state_ = kVideoStopped;
  int endCode_ = kEndCodeNone;
  int current_ = 0;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  bool looping_ = false;
  uint32_t generation_ = 0;  // raised by every new document, so a loop knows its own is gone
  bool reachedEnd_ = false;
  bool pausable_ = false;
  int frameLimit_ = -1;
  int endMark_ = -1;
  int seekRange_ = 1;
  int mpegRange_ = 0;     // the MPEG loop's seek range and scale
  int mpegScale_ = 1;
  int pendingSeek_ = -1;
  bool mpegPaused_ = false;  // the MPEG library holds a paused stream  // a position chosen while stopped, applied when playback starts
  uint32_t repeat_ = 0;
  int volume_ = 75;
  bool mute_ = false;
};

}  // namespace crv
