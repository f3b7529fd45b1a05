// Link files loaded through RLoadImage against a fake web server: which link files open, the
// preload plan of a movie, and the preload thread running to its end, failing and being
// stopped.
#include "player/media/http_source.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "player/media/format_tables.h"
#include "player/media/preload_plan.h"
#include "player/media/qt_player_source.h"
#include "player/media/rstream.h"
#include "player/media/source_state.h"
#include "player/media/tests/avi_builder.h"
#include "player/media/tests/fake_http_session.h"
#include "player/media/video_facts.h"
#include "player/media/video_playback.h"

namespace crv {
namespace {

using crv_test::FakeServerScope;
using test::AviRecipe;

constexpr uint32_t kFifteenPerSecond = 66667;

// 64 x 64 uncompressed frames (12,288 bytes each, so most frames start a block of their own);
// the frames from `emptyFrom` on are empty chunks, which need no data.
std::vector<uint8_t> Movie(int frames, int emptyFrom = -1) {
  AviRecipe recipe;
  recipe.width = 64;
  recipe.height = 64;
  recipe.microSecPerFrame = kFifteenPerSecond;
  for (int i = 0; i < frames; ++i)
    recipe.frames.push_back(emptyFrom >= 0 && i >= emptyFrom ? std::vector<uint8_t>{}
                                                             : test::PatternDib24(64, 64, i));
  return test::BuildAvi(recipe);
}

std::string LinkFile(const std::string& name, const std::string& text) {
  return test::WriteTestFile(name, std::vector<uint8_t>(text.begin(), text.end()));
}

class HttpSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterQtSource();
    RegisterHttpSource();
    SetPreloadWindowMs(1000);
  }
  void TearDown() override { CloseHttpMovie(); }

  // Waits until the preload has ended (complete or not), at most 20 s.
  static uint8_t WaitForPreload() {
    for (int i = 0; i < 2000; ++i) {
      const uint8_t p = ThePreloadStatus().progress.load();
      if (p == kPreloadComplete || p == kPreloadEnded) return p;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ThePreloadStatus().progress.load();
  }

  FakeServerScope scope;
};

TEST_F(HttpSourceTest, LinkFilesThatDoNotOpen) {
  scope.server->data = Movie(4);
  scope.server->fetchCount.assign(64, 0);
  const std::string tooLong = "http://h/" + std::string(287, 'a') + ".avi";  // 300 bytes
  ASSERT_EQ(tooLong.size(), 300u);
  for (const std::string& text : {tooLong, std::string("http://h/movie.mpg"), std::string("http://h/movie"),
                                  std::string("http://h/clip.avi.txt"), std::string("")}) {
    test::OpenedMovie movie;
    test::LoadMovie(LinkFile("bad.url", text), &movie);
    EXPECT_EQ(movie.result, kResultBadData) << text;
    EXPECT_EQ(AviStream().kind(), RStream::kNone) << text;
  }
  EXPECT_EQ(scope.server->rangeRequests.load(), 0) << "nothing asked of the server";

  // An address the server cannot give a size for.
  scope.server->sizeReply = -1;
  test::OpenedMovie movie;
  test::LoadMovie(LinkFile("nosize.rvl", "http://h/clip.avi"), &movie);
  EXPECT_EQ(movie.result, kResultBadData);
}

TEST_F(HttpSourceTest, UpperCaseAviWithLineEndOpensTheAviSource) {
  scope.server->data = Movie(30);
  scope.server->fetchCount.assign(64, 0);
  test::OpenedMovie movie;
  test::LoadMovie(LinkFile("clip.url", "http://h/clip.AVI\r\nhttp://h/other.mov"), &movie);
  ASSERT_EQ(movie.result, kResultOk);
  EXPECT_EQ(scope.server->lastUrl, u"http://h/clip.AVI");
  EXPECT_EQ(AviStream().kind(), RStream::kHttp);
  ASSERT_NE(movie.record.info, nullptr);
  EXPECT_EQ(movie.record.info->width, 64);
  VideoFacts facts;
  ASSERT_TRUE(QueryVideoFacts(kVideoUrlLink, &facts));
  EXPECT_EQ(facts.frames, 30);
  EXPECT_EQ(WaitForPreload(), kPreloadComplete);
  EXPECT_EQ(ThePreloadStatus().lastPlayable.load(), 29);
  EXPECT_EQ(TheVideoPlayback().DownloadedFrames(), 30);

  CloseHttpMovie();
  EXPECT_EQ(AviStream().kind(), RStream::kNone);
  EXPECT_FALSE(QueryVideoFacts(kVideoUrlLink, &facts));
}

TEST_F(HttpSourceTest, RunsFollowTheReadAheadWindow) {
  scope.server->data = Movie(60);
  scope.server->fetchCount.assign(64, 0);
  test::OpenedMovie movie;
  test::LoadMovie(LinkFile("runs.url", "http://h/runs.avi"), &movie);
  ASSERT_EQ(movie.result, kResultOk);
  const std::vector<PlanRun> runs = PlannedRuns();
  ASSERT_EQ(runs.size(), 4u);
  for (const PlanRun& run : runs) EXPECT_EQ(run.frames, 15);
  uint32_t blocks = 0;
  for (size_t i = 0; i < runs.size(); ++i) {
    if (i > 0) {
      EXPECT_FALSE(runs[i].blocks.empty()) << "run " << i;
    }
    blocks += static_cast<uint32_t>(runs[i].blocks.size());
    for (size_t j = 1; j < runs[i].blocks.size(); ++j) EXPECT_LT(runs[i].blocks[j - 1], runs[i].blocks[j]);
  }
  EXPECT_EQ(blocks, PlannedBlocks());
  EXPECT_EQ(WaitForPreload(), kPreloadComplete);
  EXPECT_EQ(ThePreloadStatus().lastPlayable.load(), 59);
  // Every block of the file was fetched once: the ones the opening read and the planned ones.
  const auto& state = AviStream().http();
  ASSERT_NE(state, nullptr);
  for (uint32_t b = 0; b < state->BlockCount(); ++b) {
    EXPECT_TRUE(state->HasBlock(b)) << b;
    EXPECT_EQ(scope.server->fetchCount[b], 1) << b;
  }
}

TEST_F(HttpSourceTest, StretchesNeedingNoBlockJoinTheRunBefore) {
  // Frames 30..59 are empty chunks: from frame 30 on no read needs a block.
  scope.server->data = Movie(60, 30);
  scope.server->fetchCount.assign(64, 0);
  test::OpenedMovie movie;
  test::LoadMovie(LinkFile("merge.url", "http://h/merge.avi"), &movie);
  ASSERT_EQ(movie.result, kResultOk);
  const std::vector<PlanRun> runs = PlannedRuns();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].frames, 15);
  EXPECT_EQ(runs[1].frames, 45);
  EXPECT_EQ(WaitForPreload(), kPreloadComplete);
  EXPECT_EQ(ThePreloadStatus().lastPlayable.load(), 59);
}

TEST_F(HttpSourceTest, AFetchFailureMidwayEndsWithWhatArrived) {
  scope.server->data = Movie(60);
  scope.server->fetchCount.assign(64, 0);
  // Every answer takes 30 ms; once the preload has begun, its fourth request from then fails.
  scope.server->stall = std::chrono::milliseconds(30);
  scope.server->stallFrom = 0;
  test::OpenedMovie movie;
  const std::string link = LinkFile("mid.url", "http://h/mid.avi");
  scope.server->failFrom = 1000;
  std::thread arm([&] {
    for (int i = 0; i < 500 && ThePreloadStatus().progress.load() == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    scope.server->failFrom = scope.server->rangeRequests.load() + 3;
  });
  test::LoadMovie(link, &movie);
  arm.join();
  ASSERT_EQ(movie.result, kResultOk);
  EXPECT_EQ(WaitForPreload(), kPreloadEnded);
  const int32_t last = ThePreloadStatus().lastPlayable.load();
  EXPECT_LT(last, 59);
  EXPECT_EQ(TheVideoPlayback().DownloadedFrames(), last + 1);
  EXPECT_LT(TheVideoPlayback().DownloadPercent(), 100) << "the bar stays where the download stopped";
  EXPECT_TRUE(TheVideoPlayback().DownloadFailed()) << "the view is told that the rest never comes";
}

TEST_F(HttpSourceTest, PlanningRecordsOnlyTheMoviesOwnReads) {
  scope.server->Fill(40000);
  RStream movie, other;
  ASSERT_TRUE(movie.OpenUrl("http://h/movie.avi"));
  ASSERT_TRUE(other.OpenUrl("http://h/picture.jpg"));
  ASSERT_NE(AllocatePlan(movie.http()->BlockCount()), nullptr);
  SetPlannedStream(movie.http().get());
  SetPlanMode(kPlanning);
  uint8_t bytes[16] = {};
  EXPECT_EQ(movie.Read(bytes, sizeof bytes, nullptr), sizeof bytes);
  EXPECT_EQ(bytes[5], 0) << "a planning read copies nothing that has not arrived";
  EXPECT_EQ(other.Read(bytes, sizeof bytes, nullptr), sizeof bytes);
  EXPECT_EQ(bytes[5], scope.server->data[5]) << "another stream reads as usual";
  EXPECT_FALSE(movie.http()->HasBlock(0));
  EXPECT_TRUE(CurrentPlan()->Contains(0));
  SetPlanMode(kPlanOff);
  SetPlannedStream(nullptr);
  FreePlan();
}

TEST_F(HttpSourceTest, ClosingStopsAPreloadHeldUpByTheServer) {
  scope.server->data = Movie(60);
  scope.server->fetchCount.assign(64, 0);
  test::OpenedMovie movie;
  // The opening takes three requests (the header, frame 0, the index); from the preload's
  // second request on, the server takes 3 s for every answer.
  scope.server->stall = std::chrono::milliseconds(3000);
  scope.server->stallFrom = 4;
  test::LoadMovie(LinkFile("stall.url", "http://h/stall.avi"), &movie);
  ASSERT_EQ(movie.result, kResultOk);
  EXPECT_EQ(PlannedRuns().size(), 4u);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto start = std::chrono::steady_clock::now();
  CloseHttpMovie();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(2)) << "a stop does not wait for the server";
  EXPECT_FALSE(ThePreloadStatus().running.load());
  EXPECT_EQ(AviStream().kind(), RStream::kNone);

  // The next movie plans and preloads while the old thread is still held up.
  scope.server->stallFrom = -1;
  scope.server->stall = std::chrono::milliseconds(0);
  test::OpenedMovie next;
  test::LoadMovie(LinkFile("next.url", "http://h/next.avi"), &next);
  ASSERT_EQ(next.result, kResultOk);
  EXPECT_EQ(WaitForPreload(), kPreloadComplete);
  EXPECT_EQ(TheVideoPlayback().DownloadedFrames(), 60);
  // Give the held-up thread time to come back: it must publish nothing over the new movie.
  std::this_thread::sleep_for(std::chrono::milliseconds(3200));
  EXPECT_EQ(TheVideoPlayback().DownloadedFrames(), 60);
  EXPECT_EQ(ThePreloadStatus().progress.load(), kPreloadComplete);
}

}  // namespace
}  // namespace crv
