// The video view on a real window under Wine, with a parent that records what the view tells
// it: where a video lands, playing to the end, a stop and a pause from inside the playback loop
// (as the panel's handlers run while the loop pumps), and continuing after the pause.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "player/media/avi_source.h"
#include "player/media/http_source.h"
#include "player/media/qt_player_source.h"
#include "player/media/rstream.h"
#include "player/media/source_state.h"
#include "player/media/tests/avi_builder.h"
#include "player/media/tests/fault_http_server.h"
#include "player/media/video_playback.h"
#include "player/pictures/reader_registry.h"
#include "player/playback/video_view.h"

namespace crv {
namespace {

struct Told {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Told> told;
CVideoView* view = nullptr;
// What the parent's timer does inside the playback loop.
enum class TimerAction { kNone, kStop, kPause };
TimerAction timerAction = TimerAction::kNone;
constexpr UINT_PTR kActTimer = 77;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if ((message >= kMsgVideoStarted && message <= kMsgVideoStopped) ||
      (message >= kMsgVideoTime && message <= kMsgVideoEnded))
    told.push_back({message, wParam, lParam});
  if (message == WM_TIMER && wParam == kActTimer) {
    KillTimer(window, kActTimer);
    if (timerAction == TimerAction::kStop) view->Stop(true);
    if (timerAction == TimerAction::kPause) view->Pause();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

std::string Movie(const std::string& name, int width, int height, int frames) {
  test::AviRecipe recipe;
  recipe.width = width;
  recipe.height = height;
  recipe.microSecPerFrame = 40000;
  for (int i = 0; i < frames; ++i) recipe.frames.push_back(test::PatternDib24(width, height, i));
  return test::WriteTestFile(name, test::BuildAvi(recipe));
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

bool Told(UINT message) {
  for (const auto& t : told)
    if (t.message == message) return true;
  return false;
}

class VideoViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterAviSource();
    RegisterQtSource();
    RegisterHttpSource();
    ChangeMediaMode(true);
  }
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CRV_VIDEO_VIEW_TEST_PARENT";
    RegisterClassW(&wc);
    // The view's parent is the panel's stand-in, a child of a frame as in the player (messages
    // for the frame end a playback loop).
    frame_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 268, nullptr, nullptr, wc.hInstance,
                             nullptr);
    ASSERT_TRUE(frame_);
    parent_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 240, 268, frame_, nullptr,
                              wc.hInstance, nullptr);
    ASSERT_TRUE(parent_);
    view = &view_;
    const RECT area{0, 0, 240, 268};
    ASSERT_TRUE(view_.Create(parent_, area, wc.hInstance));
    ShowWindow(view_.Handle(), SW_SHOW);
    told.clear();
    timerAction = TimerAction::kNone;
  }
  void TearDown() override {
    if (view_.IsWindowAlive()) DestroyWindow(view_.Handle());
    DestroyWindow(frame_);
    view = nullptr;
  }
  bool Open(const std::string& path) { return view_.Open(test::WidePath(path).c_str()); }

  HWND frame_ = nullptr;
  HWND parent_ = nullptr;
  CVideoView view_;
};

TEST_F(VideoViewTest, SmallVideosAreCentredAtTheirSizeAndLargeOnesFitted) {
  ASSERT_TRUE(Open(Movie("small.avi", 160, 120, 3)));
  EXPECT_EQ(view_.Rects().target.left, 40);
  EXPECT_EQ(view_.Rects().target.top, 74);
  EXPECT_FLOAT_EQ(view_.CurrentZoom(), 1.0f);
  ASSERT_TRUE(Open(Movie("large.avi", 320, 240, 3)));
  EXPECT_FLOAT_EQ(view_.CurrentZoom(), 0.75f);
  EXPECT_EQ(view_.Rects().target.top, 44);
  EXPECT_EQ(view_.Rects().target.bottom - view_.Rects().target.top, 180);
}

TEST_F(VideoViewTest, PlayingToTheEndReportsTheEndWithTheRepeatSwitch) {
  ASSERT_TRUE(Open(Movie("end.avi", 32, 24, 12)));
  view_.SetRepeat(1);
  view_.Play();
  Pump();
  ASSERT_FALSE(told.empty());
  EXPECT_EQ(told.front().message, kMsgVideoStarted);
  EXPECT_EQ(told.front().wParam, 0u) << "not the MPEG source";
  EXPECT_TRUE(Told(kMsgVideoProgress));
  ASSERT_TRUE(Told(kMsgVideoEnded));
  for (const auto& t : told) {
    if (t.message == kMsgVideoEnded) {
      EXPECT_EQ(t.lParam, 0x10001);
    }
  }
  EXPECT_FALSE(Told(kMsgVideoNext));
  EXPECT_EQ(view_.State(), kVideoStopped);
}

TEST_F(VideoViewTest, AUserStopOnlyReportsTheStop) {
  ASSERT_TRUE(Open(Movie("stop.avi", 32, 24, 100)));
  timerAction = TimerAction::kStop;
  SetTimer(parent_, kActTimer, 300, nullptr);
  const DWORD start = GetTickCount();
  view_.Play();
  EXPECT_LT(GetTickCount() - start, 3000u) << "the stop ended the loop long before the 4 s of the movie";
  Pump();
  EXPECT_TRUE(Told(kMsgVideoStopped));
  EXPECT_FALSE(Told(kMsgVideoEnded));
  EXPECT_FALSE(Told(kMsgVideoNext));
  EXPECT_FALSE(Told(kMsgVideoPrevious));
}

TEST_F(VideoViewTest, PlayAfterAPauseContinuesFromThePausedFrame) {
  ASSERT_TRUE(Open(Movie("pause.avi", 32, 24, 100)));
  timerAction = TimerAction::kPause;
  SetTimer(parent_, kActTimer, 400, nullptr);
  view_.Play();
  ASSERT_TRUE(TheVideoPlayback().Paused()) << "the source stays open across the pause";
  const int pausedAt = TheVideoPlayback().CurrentFrame();
  const int shownBefore = TheVideoPlayback().Stats().shown;
  EXPECT_GT(pausedAt, 3);
  EXPECT_FALSE(Told(kMsgVideoEnded));
  // Played on to the end: the first frame shown after the pause is the one it stopped at.
  told.clear();
  timerAction = TimerAction::kNone;
  view_.Play();
  Pump();
  EXPECT_TRUE(Told(kMsgVideoEnded));
  const PlaybackStats& stats = TheVideoPlayback().Stats();
  EXPECT_LE(stats.shown - shownBefore, 100 - pausedAt + 2) << "frames before the pause are not shown again";
  EXPECT_GE(stats.shown - shownBefore, 100 - pausedAt - 20) << "the rest of the movie was shown";
}

TEST_F(VideoViewTest, SeekingWhileStoppedStartsThereAndWhilePausedShowsThere) {
  ASSERT_TRUE(Open(Movie("seek.avi", 32, 24, 100)));
  view_.SetSeekRange(100);
  SendMessageW(view_.Handle(), kMsgSeekTo, 0, 80);
  timerAction = TimerAction::kPause;
  SetTimer(parent_, kActTimer, 200, nullptr);
  view_.Play();
  ASSERT_TRUE(TheVideoPlayback().Paused());
  EXPECT_GE(TheVideoPlayback().CurrentFrame(), 80) << "play started at the position chosen while stopped";
  SendMessageW(view_.Handle(), kMsgSeekTo, 0, 10);
  EXPECT_EQ(TheVideoPlayback().CurrentFrame(), 11) << "frame 10 shown, play goes on after it";
  view_.Stop(true);
  EXPECT_FALSE(TheVideoPlayback().Paused()) << "a stop closes the paused source";
}

// ---- Movies from the web, through a link file, from a loopback server ----------------------------

// 64 x 48 uncompressed frames at 25 per second (9,216 bytes: about two frames a block).
std::vector<uint8_t> WebMovie(int frames) {
  test::AviRecipe recipe;
  recipe.width = 64;
  recipe.height = 48;
  recipe.microSecPerFrame = 40000;
  for (int i = 0; i < frames; ++i) recipe.frames.push_back(test::PatternDib24(64, 48, i));
  return test::BuildAvi(recipe);
}

std::string LinkTo(const std::string& name, const std::string& url) {
  return test::WriteTestFile(name, std::vector<uint8_t>(url.begin(), url.end()));
}

TEST_F(VideoViewTest, AMovieFromTheWebPlaysToItsEndWhileItDownloads) {
  crv_test::FaultHttpServer server;
  server.SetData(WebMovie(60));
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(Open(LinkTo("web.url", server.Url("pieces.avi"))));
  view_.Play();
  Pump();
  EXPECT_TRUE(Told(kMsgVideoEnded));
  EXPECT_GE(TheVideoPlayback().Stats().shown, 30) << "the frames were shown as they arrived";
  EXPECT_EQ(ThePreloadStatus().progress.load(), kPreloadComplete);
  view_.Clear(false, false);
  EXPECT_EQ(AviStream().kind(), RStream::kNone) << "the movie's stream goes with it";
}

// Servers whose first answers are already wrong: the movie does not open, nothing waits.
TEST_F(VideoViewTest, AMovieFromAServerThatAnswersWronglyDoesNotOpen) {
  crv_test::FaultHttpServer server;
  server.SetData(WebMovie(20));
  ASSERT_TRUE(server.Start());
  for (const char* name : {"short.avi", "nolength.avi", "drop.avi", "shifted.avi", "missing.avi"}) {
    SCOPED_TRACE(name);
    const DWORD start = GetTickCount();
    EXPECT_FALSE(Open(LinkTo("wrong.url", server.Url(name))));
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_EQ(AviStream().kind(), RStream::kNone);
  }
  // The same server's honest name still plays afterwards.
  ASSERT_TRUE(Open(LinkTo("right.url", server.Url("honest.avi"))));
  view_.Play();
  Pump();
  EXPECT_TRUE(Told(kMsgVideoEnded));
}

// A server that stops answering (or drops the connection) in the middle: the view waits at
// the last frame that arrived with its window responsive; a broken-off download ends the
// wait, and a stop ends it all at once.
TEST_F(VideoViewTest, AServerThatFailsMidwayNeverHoldsUpTheView) {
  for (const char* name : {"stall.avi", "late-drop.avi"}) {
    SCOPED_TRACE(name);
    told.clear();
    crv_test::FaultHttpServer server;
    server.SetData(WebMovie(120));
    server.SetFaultAfter(12);
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(Open(LinkTo("fault.url", server.Url(name))));
    timerAction = TimerAction::kStop;
    SetTimer(parent_, kActTimer, 2500, nullptr);
    const DWORD start = GetTickCount();
    view_.Play();
    // A dropped connection ends the loop by itself; a silent server waits for the stop.
    EXPECT_LT(GetTickCount() - start, 4000u) << "the waiting loop ended";
    Pump();
    EXPECT_FALSE(Told(kMsgVideoEnded)) << "the movie never arrived whole";
    if (std::string(name) == "late-drop.avi") {
      EXPECT_TRUE(TheVideoPlayback().DownloadFailed());
      EXPECT_EQ(ThePreloadStatus().progress.load(), kPreloadEnded);
    }
    EXPECT_LT(ThePreloadStatus().lastPlayable.load(), 119);
    const DWORD closing = GetTickCount();
    view_.Clear(false, false);
    // The stop waits about a second for the transfer's thread; the rest is the machine's slack.
    EXPECT_LT(GetTickCount() - closing, 3000u) << "the transfer ends within about a second";
    EXPECT_EQ(AviStream().kind(), RStream::kNone);
  }
}

}  // namespace
}  // namespace crv
