// The playing part of the media control stand-in: one media file at a time, demuxed and
// decoded with libavformat/libavcodec on a worker thread, its sound played through waveOut
// and its pictures scaled into the video window as the sound clock (or the system clock, for
// a file without sound) reaches them.
//
// Calls come from the control's thread. The worker never calls back: it posts
// kMsgEngineChanged to the notify window whenever the open state or the play state moved,
// and the control reads the states from there.
#pragma once
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace crv {
namespace mediactl {

// Posted to the notify window (wParam, lParam unused).
constexpr UINT kMsgEngineChanged = WM_APP + 0x2A1;

// The control's values (the WMPOpenState and WMPPlayState numbers).
enum OpenState : int {
  kOpenUndefined = 0,
  kOpenMediaChanging = 8,
  kOpenMediaOpening = 12,
  kOpenMediaOpen = 13,
};
enum PlayState : int {
  kPlayUndefined = 0,
  kPlayStopped = 1,
  kPlayPaused = 2,
  kPlayPlaying = 3,
  kPlayMediaEnded = 8,
  kPlayTransitioning = 9,
  kPlayReady = 10,
};

// What an open file turned out to hold (valid once the open state is 13).
struct MediaFacts {
  double durationSeconds = 0;
  int width = 0;  // 0 without video
  int height = 0;
  bool hasAudio = false;
  std::wstring title;  // the file's own title tag, empty when it has none
  std::wstring author;
  std::wstring album;
};

class MediaEngine {
 public:
  explicit MediaEngine(HWND notifyWindow);
  ~MediaEngine();  // ends and joins the worker
  MediaEngine(const MediaEngine&) = delete;
  MediaEngine& operator=(const MediaEngine&) = delete;

  // Where the pictures go (may change at any time; null: nowhere).
  void SetVideoWindow(HWND window);
  // Starts opening `path` (closing what was open). Returns at once with the open state 12;
  // it becomes 13 with the play state 10 (ready) on success, or falls back to 0 with
  // Failed() true. With `playWhenOpen` playback starts as soon as the file is open.
  void Open(const std::wstring& path, bool playWhenOpen);
  void Play();   // from ready, paused, stopped or ended (the last two from the beginning)
  void Pause();
  void Stop();   // back to the beginning, play state 1
  void Close();  // nothing open, states 0

  int OpenState() const { return openState_.load(); }
  int PlayState() const { return playState_.load(); }
  // The last open failed (what it could not do is in FailureText()).
  bool Failed() const { return failed_.load(); }
  std::wstring FailureText() const;
  MediaFacts Facts() const;
  std::wstring Path() const;

  double Position() const;
  // Within the media's length: true. Otherwise false and nothing changes.
  bool SetPosition(double seconds);
  void SetVolume(int percent);  // 0..100
  void SetMute(bool on);
  int Volume() const { return volume_.load(); }
  bool Mute() const { return mute_.load(); }

  // Draws the last picture shown into `client` of `dc` (black around it, or all black when
  // there is none): the video window's paint handler.
  void PaintVideo(HDC dc, const RECT& client) const;

 public:
  struct Session;  // one open file (media_engine.cpp)

 private:
  enum class Command { Play, Pause, Stop, Seek, Close };
  struct Request {
    Command command;
    double seconds;
  };

  void Run();
  void Post() const;
  void SetStates(int open, int play);
  void Issue(Command command, double seconds = 0);
  void IssueForGeneration(Command command);
  // Worker side (media_engine.cpp).
  void OpenSession(const std::wstring& path, bool play);
  void Serve(Session& session);
  bool TakeRequest(Request& request, bool& reopen);
  bool Apply(Session& session, const Request& request);
  void Present(Session& session);
  void ScalePicture(Session& session);
  void DrawPicture() const;
  void SetPositionShown(double seconds);

  HWND notify_;
  std::atomic<HWND> videoWindow_{nullptr};
  std::atomic<int> openState_{kOpenUndefined};
  std::atomic<int> playState_{kPlayUndefined};
  std::atomic<bool> failed_{false};
  std::atomic<int> volume_{100};
  std::atomic<bool> mute_{false};

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  // Guarded by mutex_: what the worker is asked to do next, and what it shows.
  std::wstring requestedPath_;
  bool openRequested_ = false;
  bool playWhenOpen_ = false;
  bool quit_ = false;
  // Each Open and Close starts a new generation; the worker's reports count only while the
  // file it serves belongs to the current one.
  unsigned generation_ = 0;
  unsigned workerGeneration_ = 0;  // written by the worker under mutex_
  std::deque<Request> requests_;
  std::wstring failure_;
  MediaFacts facts_;
  std::wstring path_;
  double position_ = 0;
  // The last picture shown (32-bit, top-down), for repainting.
  mutable std::mutex pictureMutex_;
  std::vector<uint32_t> picture_;
  int pictureWidth_ = 0;
  int pictureHeight_ = 0;

  std::thread worker_;
};

}  // namespace mediactl
}  // namespace crv
