// The reading thread and the preload thread on one HTTP stream, for real: two threads, a slow
// fake server whose replies land in pieces over garbage, and checks that no block is fetched
// twice, no two fetches overlap, no reader sees a byte that is not the file's, and every bit
// ends up set.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>
#include "player/media/preload_plan.h"
#include "player/media/rstream.h"
#include "player/media/tests/fake_http_session.h"

using namespace crv;
using crv_test::FakeServerScope;

namespace {

class BytestreamThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPlanMode(kPlanOff);
    fake.server->Fill(kStreamSizeLimit - 1);  // 400 blocks
    fake.server->piecewise = true;
    fake.server->pause = std::chrono::microseconds(30);
    ASSERT_TRUE(stream.OpenUrl("http://example.test/long.avi"));
  }

  void ExpectEveryBlockOnceAndIntact() {
    const HttpStreamState& state = *stream.http();
    for (uint32_t b = 0; b < state.BlockCount(); ++b) {
      ASSERT_TRUE(state.HasBlock(b)) << b;
      EXPECT_EQ(fake.server->fetchCount[b], 1) << "block " << b << " fetched more than once";
    }
    for (uint32_t i = 0; i < (state.BlockCount() + 7) / 8; ++i) EXPECT_EQ(state.MapByte(i), 0xFF) << i;
    EXPECT_EQ(std::memcmp(state.Image(), fake.server->data.data(), state.Size()), 0);
    EXPECT_EQ(fake.server->maxInFlight.load(), 1) << "two fetches overlapped";
  }

  FakeServerScope fake;
  RStream stream;
};

}  // namespace

TEST_F(BytestreamThreads, PreloadAndReaderFetchingTheSameBlocksNeverCorruptTheImage) {
  std::shared_ptr<HttpStreamState> shared = stream.http();
  std::atomic<bool> go{false};
  std::atomic<int> preloadFailures{0};

  // The preload walks the blocks in order; the reader reads the file in 10,000-byte pieces
  // (crossing block boundaries) from the same end, so both keep wanting the same blocks.
  std::thread preload([&] {
    while (!go.load()) std::this_thread::yield();
    for (uint32_t b = 0; b < shared->BlockCount(); ++b)
      if (!shared->FetchBlock(b)) ++preloadFailures;
  });

  std::vector<uint8_t> piece(10000);
  size_t wrong = 0;
  bool readFailed = false;
  go.store(true);
  for (uint32_t at = 0; at < stream.http()->Size(); at += 10000) {
    uint32_t got = 0;
    if (stream.Read(piece.data(), 10000, &got) != 1) {
      readFailed = true;
      break;
    }
    for (uint32_t i = 0; i < got; ++i)
      if (piece[i] != fake.server->data[at + i]) ++wrong;
    // Read again what the preload may be rewriting: set blocks never change.
    if (at >= 10000) {
      ReadAt(*stream.http(), at - 10000, piece.data(), 10000, &got);
      for (uint32_t i = 0; i < got; ++i)
        if (piece[i] != fake.server->data[at - 10000 + i]) ++wrong;
    }
  }
  preload.join();

  EXPECT_FALSE(readFailed);
  EXPECT_EQ(wrong, 0u);
  EXPECT_EQ(preloadFailures.load(), 0);
  EXPECT_FALSE(stream.error());
  ExpectEveryBlockOnceAndIntact();
}

TEST_F(BytestreamThreads, TwoThreadsFetchingInOppositeOrdersEachBlockOnce) {
  std::shared_ptr<HttpStreamState> shared = stream.http();
  std::atomic<int> failures{0};
  std::atomic<int> ready{0};
  auto walk = [&](bool upward) {
    ++ready;
    while (ready.load() < 2) std::this_thread::yield();
    const uint32_t n = shared->BlockCount();
    for (uint32_t i = 0; i < n; ++i) {
      // Neighbouring blocks share a map byte: their bits are set from both threads at once.
      const uint32_t b = upward ? i : n - 1 - i;
      if (!shared->FetchBlock(b)) ++failures;
    }
  };
  std::thread a(walk, true);
  std::thread b(walk, false);
  a.join();
  b.join();
  EXPECT_EQ(failures.load(), 0);
  ExpectEveryBlockOnceAndIntact();
}

TEST_F(BytestreamThreads, ClosingTheStreamWhileThePreloadFetchesKeepsItsStateAlive) {
  std::shared_ptr<HttpStreamState> shared = stream.http();
  std::atomic<bool> started{false};
  std::atomic<int> fetched{0};
  std::thread preload([&] {
    started.store(true);
    for (uint32_t b = 0; b < 40; ++b)
      if (shared->FetchBlock(b)) ++fetched;
  });
  while (!started.load()) std::this_thread::yield();
  stream.Close();
  EXPECT_EQ(stream.kind(), RStream::kNone);
  preload.join();
  EXPECT_EQ(fetched.load(), 40);
  EXPECT_EQ(fake.server->sessionsLive.load(), 1);
  shared.reset();
  EXPECT_EQ(fake.server->sessionsLive.load(), 0) << "the last holder closes the handles";
}
