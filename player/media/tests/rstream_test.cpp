// The byte stream over the fake HTTP server and over a real local file.
#include "player/media/rstream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>
#include "player/media/preload_plan.h"
#include "player/media/stream_file.h"
#include "player/media/tests/fake_http_session.h"

using namespace crv;
using crv_test::FakeServerScope;

namespace {

class BytestreamHttp : public ::testing::Test {
 protected:
  void TearDown() override {
    stream.Close();
    SetPlanMode(kPlanOff);
    FreePlan();
  }
  // A stream over a fake file of `size` bytes.
  void Open(size_t size) {
    fake.server->Fill(size);
    ASSERT_TRUE(stream.OpenUrl("http://example.test/movie.avi"));
    ASSERT_EQ(stream.kind(), RStream::kHttp);
  }
  std::vector<std::u16string> Headers() { return fake.server->Headers(); }
  std::vector<uint8_t> Bytes(size_t from, size_t count) {
    return std::vector<uint8_t>(fake.server->data.begin() + from, fake.server->data.begin() + from + count);
  }

  FakeServerScope fake;
  RStream stream;
};

}  // namespace

// --- blocks and header texts -------------------------------------------------------------

TEST(BytestreamBlocks, SixteenKiBIsOneBlockAndTwentyThousandBytesAreTwo) {
  EXPECT_EQ(StreamBlockCount(16384), 1u);
  EXPECT_EQ(StreamBlockCount(16385), 2u);
  EXPECT_EQ(StreamBlockCount(20000), 2u);
  EXPECT_EQ(StreamBlockCount(1), 1u);
  EXPECT_EQ(StreamBlockCount(kStreamSizeLimit - 1), 400u);

  const BlockSpan last = StreamBlockSpan(20000, 1);
  EXPECT_EQ(last.offset, 16384u);
  EXPECT_EQ(last.length, 3616u);
  EXPECT_EQ(StreamBlockSpan(16384, 0).length, 16384u);
  EXPECT_EQ(StreamBlockSpan(20000, 2).length, 0u);  // beyond the last block

  EXPECT_EQ(RangeHeaderText(0, 16384), u"Range: bytes=0-16383");
  EXPECT_EQ(RangeHeaderText(16384, 3616), u"Range: bytes=16384-19999");
  const BlockSpan top = StreamBlockSpan(kStreamSizeLimit - 1, 399);
  EXPECT_EQ(RangeHeaderText(top.offset, top.length), u"Range: bytes=6537216-6553598");
}

TEST(BytestreamBlocks, SizeLimitsAndContentLengths) {
  EXPECT_FALSE(StreamSizeAccepted(0));
  EXPECT_TRUE(StreamSizeAccepted(1));
  EXPECT_TRUE(StreamSizeAccepted(6553599));
  EXPECT_FALSE(StreamSizeAccepted(6553600));
  EXPECT_FALSE(StreamSizeAccepted(-1));

  EXPECT_EQ(ParseContentLength(u"20000"), 20000);
  EXPECT_EQ(ParseContentLength(u" 16384 "), 16384);
  EXPECT_EQ(ParseContentLength(u""), -1);
  EXPECT_EQ(ParseContentLength(u"12a"), -1);
  EXPECT_EQ(ParseContentLength(u"-5"), -1);
  // Lengths that wrap in 32 bits stay large and are refused.
  EXPECT_EQ(ParseContentLength(u"4294967396"), 4294967396LL);
  EXPECT_FALSE(StreamSizeAccepted(ParseContentLength(u"4294967396")));
  EXPECT_EQ(ParseContentLength(u"99999999999999999999999"), INT64_MAX);
}

TEST(BytestreamBlocks, OnlyTheAskedRangeOrAWholeReplyForTheFirstBlockCounts) {
  const BlockSpan first{0, 16384}, second{16384, 3616};
  EXPECT_TRUE(RangeReplyAccepted(206, u"bytes 16384-19999/20000", second));
  EXPECT_TRUE(RangeReplyAccepted(206, u" bytes 0-16383/* ", first));
  EXPECT_TRUE(RangeReplyAccepted(200, u"", first));
  EXPECT_FALSE(RangeReplyAccepted(200, u"", second));
  EXPECT_FALSE(RangeReplyAccepted(404, u"", first));
  EXPECT_FALSE(RangeReplyAccepted(416, u"bytes */20000", second));
  // A 206 must say it is that very stretch.
  EXPECT_FALSE(RangeReplyAccepted(206, u"", second));
  EXPECT_FALSE(RangeReplyAccepted(206, u"bytes 16385-20000/30000", second));
  EXPECT_FALSE(RangeReplyAccepted(206, u"bytes 16384-19998/20000", second));
  EXPECT_FALSE(RangeReplyAccepted(206, u"bytes 16384-19999/19999", second)) << "past the total";

  uint64_t a = 0, b = 0;
  EXPECT_TRUE(ParseContentRange(u"bytes 5-9/10", &a, &b));
  EXPECT_EQ(a, 5u);
  EXPECT_EQ(b, 9u);
  for (const char16_t* bad : {u"", u"bytes", u"bytes 9-5/10", u"bytes 5-9", u"bytes 5-9/", u"items 5-9/10",
                              u"bytes 5-9/10x", u"bytes -9/10", u"bytes 5-99999999999999999999999/*"})
    EXPECT_FALSE(ParseContentRange(bad, &a, &b)) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
}

TEST_F(BytestreamHttp, SixteenKiBFileIsFetchedWithOneRange) {
  Open(16384);
  EXPECT_EQ(stream.http()->BlockCount(), 1u);
  std::vector<uint8_t> out(16384);
  uint32_t got = 0;
  EXPECT_EQ(stream.Read(out.data(), 20000, &got), 1u);
  EXPECT_EQ(got, 16384u);
  EXPECT_EQ(out, Bytes(0, 16384));
  EXPECT_EQ(Headers(), (std::vector<std::u16string>{u"Range: bytes=0-16383"}));
  EXPECT_TRUE(stream.EndOfStream());
  EXPECT_FALSE(stream.error());
}

TEST_F(BytestreamHttp, TwentyThousandBytesFetchSecondBlockWithItsOwnRange) {
  Open(20000);
  EXPECT_EQ(stream.http()->BlockCount(), 2u);
  ASSERT_EQ(stream.Seek(19990, 0), 19990);
  uint8_t tail[10];
  EXPECT_EQ(stream.Read(tail, 10, nullptr), 10u);
  EXPECT_EQ(std::vector<uint8_t>(tail, tail + 10), Bytes(19990, 10));
  EXPECT_EQ(Headers(), (std::vector<std::u16string>{u"Range: bytes=16384-19999"}));
  EXPECT_FALSE(stream.http()->HasBlock(0));
  EXPECT_TRUE(stream.http()->HasBlock(1));
  EXPECT_EQ(stream.http()->MapByte(0), 0x02);

  // A read across the boundary fetches only the block still missing.
  ASSERT_EQ(stream.Seek(16380, 0), 16380);
  uint8_t across[8];
  EXPECT_EQ(stream.Read(across, 8, nullptr), 8u);
  EXPECT_EQ(std::vector<uint8_t>(across, across + 8), Bytes(16380, 8));
  EXPECT_EQ(Headers(), (std::vector<std::u16string>{u"Range: bytes=16384-19999", u"Range: bytes=0-16383"}));
  EXPECT_EQ(stream.http()->MapByte(0), 0x03);

  // Everything is there now: no more requests.
  ASSERT_EQ(stream.Seek(0, 0), 0);
  std::vector<uint8_t> all(20000);
  EXPECT_EQ(stream.Read(all.data(), 20000, nullptr), 20000u);
  EXPECT_EQ(all, Bytes(0, 20000));
  EXPECT_EQ(Headers().size(), 2u);
}

TEST_F(BytestreamHttp, BlockMapBitsFollowBlockNumbers) {
  Open(kStreamSizeLimit - 1);
  EXPECT_EQ(stream.http()->BlockCount(), 400u);
  ASSERT_TRUE(stream.http()->FetchBlock(9));
  ASSERT_TRUE(stream.http()->FetchBlock(399));
  EXPECT_EQ(stream.http()->MapByte(1), 0x02);   // block 9: bit 1 of byte 1
  EXPECT_EQ(stream.http()->MapByte(49), 0x80);  // block 399: bit 7 of byte 49
  EXPECT_EQ(stream.http()->MapByte(0), 0);
  EXPECT_FALSE(stream.http()->FetchBlock(400));
  EXPECT_EQ(Headers().back(), u"Range: bytes=6537216-6553598");
  // A block that is there is not fetched again.
  ASSERT_TRUE(stream.http()->FetchBlock(9));
  EXPECT_EQ(Headers().size(), 2u);
}

// --- opening -------------------------------------------------------------------------

TEST_F(BytestreamHttp, SizesOutOfRangeOrMissingAreRefused) {
  fake.server->Fill(100);
  for (int64_t size : {int64_t{-1}, int64_t{0}, int64_t{6553600}, int64_t{6553601}, int64_t{4294967396LL}}) {
    fake.server->sizeReply = size;
    EXPECT_FALSE(stream.OpenUrl("http://example.test/movie.avi")) << size;
    EXPECT_EQ(stream.kind(), RStream::kNone);
    EXPECT_TRUE(stream.error());
    EXPECT_EQ(fake.server->sessionsLive.load(), 0) << "the handles are closed on failure";
  }
  fake.server->sizeReply = 1;
  EXPECT_TRUE(stream.OpenUrl("http://example.test/movie.avi"));
  EXPECT_FALSE(stream.error());
  EXPECT_EQ(stream.http()->Size(), 1u);
  fake.server->sizeReply = 6553599;
  EXPECT_TRUE(stream.OpenUrl("http://example.test/movie.avi"));
  EXPECT_EQ(stream.http()->Size(), 6553599u);
}

TEST_F(BytestreamHttp, AFailedOpenLeavesAStreamOnWhichEverythingFails) {
  fake.server->Fill(20000);
  fake.server->connects = false;
  EXPECT_FALSE(stream.OpenUrl("http://example.test/movie.avi"));
  EXPECT_EQ(stream.kind(), RStream::kNone);
  uint8_t byte;
  uint32_t got = 77;
  EXPECT_EQ(stream.Read(&byte, 1, &got), 0u);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(stream.Seek(0, 0), -1);
  EXPECT_EQ(stream.Tell(), -1);
  EXPECT_TRUE(stream.error());
  EXPECT_TRUE(fake.server->Headers().empty());
  stream.Close();
  EXPECT_FALSE(stream.error());
}

TEST(BytestreamOpen, WithoutAnHttpClientNothingOpens) {
  // The native build has no platform client: without a session maker the open fails cleanly.
  RStream stream;
  HttpSessionMaker old = SetHttpSessionMaker([] { return std::unique_ptr<HttpSession>(); });
  EXPECT_FALSE(stream.OpenUrl("http://example.test/a.avi"));
  EXPECT_EQ(stream.kind(), RStream::kNone);
  SetHttpSessionMaker(std::move(old));
}

TEST_F(BytestreamHttp, UrlIsWidenedAndReopeningReleasesTheOldState) {
  Open(20000);
  EXPECT_EQ(fake.server->lastUrl, u"http://example.test/movie.avi");
  std::weak_ptr<HttpStreamState> old = stream.http();
  EXPECT_TRUE(stream.OpenUrl("http://example.test/caf\xE9.mov"));
  EXPECT_EQ(fake.server->lastUrl, u"http://example.test/caf\u00E9.mov");
  EXPECT_TRUE(old.expired());
  EXPECT_EQ(fake.server->sessionsLive.load(), 1);
  stream.Close();
  EXPECT_EQ(fake.server->sessionsLive.load(), 0);
  EXPECT_EQ(stream.kind(), RStream::kNone);
}

// --- reading -------------------------------------------------------------------------

TEST_F(BytestreamHttp, AShortReplyFailsTheRead) {
  Open(20000);
  fake.server->shortBy = 1;
  uint8_t out[100];
  uint32_t got = 5;
  EXPECT_EQ(stream.Read(out, 100, &got), 0u);
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(stream.error());
  EXPECT_EQ(stream.Tell(), 0) << "a failed read does not move";
  EXPECT_FALSE(stream.http()->HasBlock(0));
  // There is no retry of its own, but a later read asks again; the flag stays set.
  fake.server->shortBy = 0;
  EXPECT_EQ(stream.Read(out, 100, &got), 1u);
  EXPECT_EQ(got, 100u);
  EXPECT_TRUE(stream.error());
  EXPECT_EQ(Headers().size(), 2u);
}

TEST_F(BytestreamHttp, TransportErrorsAndWrongStatusesFailTheRead) {
  Open(20000);
  uint8_t out[16];
  fake.server->transportError = true;
  EXPECT_EQ(stream.Read(out, 16, nullptr), 0u);
  EXPECT_TRUE(stream.error());

  // A server that ignores the range sends the file from its start: good for block 0 only.
  stream.OpenUrl("http://example.test/movie.avi");
  fake.server->transportError = false;
  fake.server->ignoreRange = true;
  ASSERT_EQ(stream.Seek(16384, 0), 16384);
  EXPECT_EQ(stream.Read(out, 16, nullptr), 0u);
  EXPECT_TRUE(stream.error());
  EXPECT_FALSE(stream.http()->HasBlock(1));
  ASSERT_EQ(stream.Seek(0, 0), 0);
  uint32_t got = 0;
  EXPECT_EQ(stream.Read(out, 16, &got), 1u);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 16), Bytes(0, 16));

  // A full-length 206 of another stretch is not the block either.
  stream.OpenUrl("http://example.test/movie.avi");
  fake.server->ignoreRange = false;
  fake.server->shiftBy = 1;
  EXPECT_EQ(stream.Read(out, 16, &got), 0u);
  EXPECT_TRUE(stream.error());
  EXPECT_FALSE(stream.http()->HasBlock(0));
  fake.server->shiftBy = 0;

  // An error page of exactly the block's length is not the block.
  stream.OpenUrl("http://example.test/movie.avi");
  fake.server->ignoreRange = false;
  fake.server->status = 404;
  EXPECT_EQ(stream.Read(out, 16, &got), 0u);
  EXPECT_TRUE(stream.error());
}

TEST_F(BytestreamHttp, ZeroByteReadsAndReadsAtTheEnd) {
  Open(20000);
  uint32_t got = 99;
  EXPECT_EQ(stream.Read(nullptr, 0, &got), 1u);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(stream.Read(nullptr, 0, nullptr), 0u);
  EXPECT_FALSE(stream.error());
  EXPECT_TRUE(Headers().empty());

  ASSERT_EQ(stream.Seek(0, 2), 20000);
  uint8_t out[4];
  got = 99;
  EXPECT_EQ(stream.Read(out, 4, &got), 1u);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(stream.Read(out, 4, nullptr), 0u);
  EXPECT_FALSE(stream.error());
  EXPECT_TRUE(Headers().empty());
}

TEST_F(BytestreamHttp, ReadsStopAtTheEndAndNeedSomewhereToCopyTo) {
  Open(20000);
  ASSERT_EQ(stream.Seek(19000, 0), 19000);
  std::vector<uint8_t> out(5000, 0);
  uint32_t got = 0;
  EXPECT_EQ(stream.Read(out.data(), 5000, &got), 1u);
  EXPECT_EQ(got, 1000u);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 1000), Bytes(19000, 1000));
  EXPECT_EQ(stream.Tell(), 20000);
  EXPECT_TRUE(stream.EndOfStream());

  ASSERT_EQ(stream.Seek(0, 0), 0);
  EXPECT_EQ(stream.Read(nullptr, 10, &got), 0u);
  EXPECT_TRUE(stream.error());
  EXPECT_EQ(stream.Tell(), 0);
}

TEST_F(BytestreamHttp, ReadingAtAPositionLeavesTheStreamAlone) {
  Open(20000);
  uint8_t out[6];
  uint32_t got = 0;
  EXPECT_EQ(ReadAt(*stream.http(), 16382, out, 6, &got), 1u);
  EXPECT_EQ(got, 6u);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 6), Bytes(16382, 6));
  EXPECT_EQ(ReadAt(*stream.http(), 19998, out, 6, nullptr), 2u);
  EXPECT_EQ(ReadAt(*stream.http(), 30000, out, 6, &got), 1u);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(stream.Tell(), 0);
  fake.server->shortBy = 10;
  stream.OpenUrl("http://example.test/movie.avi");
  EXPECT_EQ(ReadAt(*stream.http(), 0, out, 6, &got), 0u);
  EXPECT_FALSE(stream.error()) << "only reads from the current position set the flag";
}

// --- seeking -------------------------------------------------------------------------

TEST_F(BytestreamHttp, SeekToSizeIsAllowedAndOnePastFails) {
  Open(20000);
  EXPECT_EQ(stream.Seek(20000, 0), 20000);
  EXPECT_TRUE(stream.EndOfStream());
  EXPECT_FALSE(stream.error());
  EXPECT_EQ(stream.Seek(20001, 0), -1);
  EXPECT_TRUE(stream.error());
  EXPECT_EQ(stream.Tell(), 20000) << "a refused seek does not move";
}

TEST_F(BytestreamHttp, SeekOriginsAndBounds) {
  Open(20000);
  EXPECT_EQ(stream.Seek(100, 0), 100);
  EXPECT_EQ(stream.Seek(50, 1), 150);
  EXPECT_EQ(stream.Seek(-150, 1), 0);
  EXPECT_EQ(stream.Seek(-1, 2), 19999);
  EXPECT_EQ(stream.Seek(0, 2), 20000);
  EXPECT_FALSE(stream.error());
  EXPECT_EQ(stream.Seek(-20001, 2), -1);
  EXPECT_EQ(stream.Seek(INT64_MAX, 1), -1);
  EXPECT_EQ(stream.Seek(INT64_MIN, 1), -1);
  EXPECT_EQ(stream.Seek(0, 3), -1);
  EXPECT_EQ(stream.Tell(), 20000);
  EXPECT_TRUE(stream.error());
  // The flag stays until the stream is closed or bound anew.
  EXPECT_EQ(stream.Seek(0, 0), 0);
  EXPECT_TRUE(stream.error());
  stream.OpenUrl("http://example.test/movie.avi");
  EXPECT_FALSE(stream.error());
}

// --- plan mode -------------------------------------------------------------------------

TEST_F(BytestreamHttp, PlanningReadsRecordBlocksWithoutFetchingOrCopying) {
  Open(40000);  // three blocks
  ASSERT_TRUE(stream.http()->FetchBlock(0));  // the header the source read before planning
  SetPlanMode(kPlanRequested);

  std::vector<uint8_t> out(20000, 0x5A);
  uint32_t got = 0;
  EXPECT_EQ(stream.Read(out.data(), 20000, &got), 1u);  // blocks 0 and 1
  EXPECT_EQ(got, 20000u);
  EXPECT_EQ(stream.Tell(), 20000);
  EXPECT_EQ(CurrentPlanMode(), kPlanning);
  EXPECT_EQ(std::count(out.begin(), out.end(), 0x5A), 20000) << "nothing copied";
  ASSERT_NE(CurrentPlan(), nullptr);
  EXPECT_EQ(CurrentPlan()->Capacity(), 12u);  // (3 + 1) x 3
  EXPECT_FALSE(CurrentPlan()->Contains(0)) << "a fetched block is not planned";
  EXPECT_TRUE(CurrentPlan()->Contains(1));
  ASSERT_TRUE(CurrentPlan()->CloseRun(15));

  // Block 1 again (already in a run) and block 2.
  ASSERT_EQ(stream.Seek(16384, 0), 16384);
  EXPECT_EQ(stream.Read(out.data(), 20000, &got), 1u);
  ASSERT_TRUE(CurrentPlan()->CloseRun(15));
  // A stretch that needs nothing new joins the run before it.
  ASSERT_EQ(stream.Seek(0, 0), 0);
  EXPECT_EQ(stream.Read(out.data(), 100, &got), 1u);
  ASSERT_TRUE(CurrentPlan()->CloseRun(4));
  ASSERT_TRUE(CurrentPlan()->Finish());

  const PreloadPlan& plan = *CurrentPlan();
  EXPECT_EQ(std::vector<uint16_t>(plan.Words(), plan.Words() + plan.WordCount()),
            (std::vector<uint16_t>{1, 15, 1, 1, 19, 2, 0, 0}));
  EXPECT_EQ(plan.PlannedBlocks(), 2u);
  EXPECT_EQ(Headers().size(), 1u) << "planning costs no requests";

  // Reads fetch again once planning is over.
  SetPlanMode(kPlanOff);
  ASSERT_EQ(stream.Seek(16384, 0), 16384);
  EXPECT_EQ(stream.Read(out.data(), 10, &got), 1u);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 10), Bytes(16384, 10));
  EXPECT_EQ(Headers().size(), 2u);
}

TEST(BytestreamPlan, AnEmptyFirstRunIsKeptAndLaterEmptyRunsMerge) {
  PreloadPlan fresh;
  ASSERT_TRUE(fresh.Allocate(3));
  ASSERT_TRUE(fresh.CloseRun(7));  // first run, nothing recorded
  ASSERT_TRUE(fresh.Record(2));
  ASSERT_TRUE(fresh.CloseRun(5));
  ASSERT_TRUE(fresh.CloseRun(3));
  ASSERT_TRUE(fresh.Finish());
  const auto runs = fresh.Runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].frames, 7u);
  EXPECT_TRUE(runs[0].blocks.empty());
  EXPECT_EQ(runs[1].frames, 8u);
  EXPECT_EQ(runs[1].blocks, (std::vector<uint16_t>{2}));
}

TEST_F(BytestreamHttp, APlanThatWouldOverflowItsCapacityFailsPlanning) {
  // One block: 6 words. An empty first run and a run with the block would need 7.
  Open(100);
  SetPlanMode(kPlanRequested);
  ASSERT_EQ(stream.Seek(100, 0), 100);
  EXPECT_EQ(stream.Read(nullptr, 1, nullptr), 0u);  // at the end: nothing needed, nothing allocated
  EXPECT_EQ(CurrentPlanMode(), kPlanRequested);
  ASSERT_NE(AllocatePlan(1), nullptr);
  SetPlanMode(kPlanning);
  ASSERT_TRUE(CurrentPlan()->CloseRun(3));
  ASSERT_EQ(stream.Seek(0, 0), 0);
  uint32_t got = 0;
  EXPECT_EQ(stream.Read(nullptr, 50, &got), 1u);
  EXPECT_EQ(CurrentPlanMode(), kPlanFailed);
  EXPECT_FALSE(CurrentPlan()->Contains(0));
  // Failed planning fetches nothing either.
  EXPECT_EQ(stream.Read(nullptr, 50, &got), 1u);
  EXPECT_TRUE(Headers().empty());
  EXPECT_TRUE(CurrentPlan()->Finish());
  EXPECT_EQ(CurrentPlan()->WordCount(), 4u);
}

TEST(BytestreamPlan, RecordRefusesBlocksOutsideTheStreamAndFrameCountsThatDoNotFit) {
  PreloadPlan plan;
  EXPECT_FALSE(plan.Record(0)) << "not allocated";
  ASSERT_TRUE(plan.Allocate(400));
  EXPECT_EQ(plan.Capacity(), 1203u);
  EXPECT_FALSE(plan.Record(400));
  EXPECT_TRUE(plan.Record(399));
  EXPECT_FALSE(plan.Record(399)) << "a block goes into one run only";
  EXPECT_FALSE(plan.CloseRun(70000));
  ASSERT_TRUE(plan.CloseRun(65535));
  EXPECT_FALSE(plan.CloseRun(1)) << "merged frame count beyond 16 bits";
  // Every block in a run of its own fits, with the terminating run.
  PreloadPlan full;
  ASSERT_TRUE(full.Allocate(400));
  for (uint32_t b = 0; b < 400; ++b) {
    ASSERT_TRUE(full.Record(b)) << b;
    ASSERT_TRUE(full.CloseRun(1)) << b;
  }
  ASSERT_TRUE(full.Finish());
  EXPECT_EQ(full.WordCount(), 1202u);
  EXPECT_EQ(full.PlannedBlocks(), 400u);
}

// --- local files -------------------------------------------------------------------------

namespace {

class BytestreamFile : public ::testing::Test {
 protected:
  void SetUp() override {
    // Unique per test and run: test programs of several builds may run at once.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("crv_stream_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
             std::to_string(stamp) + ".bin");
    data.resize(20000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13 + 1);
    std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
    file = StreamFileOpen(path_.u16string());
    ASSERT_NE(file, nullptr);
  }
  void TearDown() override {
    stream.Close();
    StreamFileClose(file);
    std::filesystem::remove(path_);
  }
  std::filesystem::path path_;
  std::vector<uint8_t> data;
  RFileHandle file = nullptr;
  RStream stream;
};

}  // namespace

TEST_F(BytestreamFile, ReadsSeeksAndEndsLikeTheFile) {
  ASSERT_TRUE(stream.BindFile(file));
  EXPECT_EQ(stream.kind(), RStream::kFile);
  std::vector<uint8_t> out(30000);
  uint32_t got = 0;
  EXPECT_EQ(stream.Read(out.data(), 100, &got), 1u);
  EXPECT_EQ(got, 100u);
  EXPECT_EQ(stream.Tell(), 100);
  EXPECT_EQ(stream.Seek(-10, 2), 19990);
  EXPECT_EQ(stream.Read(out.data(), 30000, nullptr), 10u);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 10), std::vector<uint8_t>(data.end() - 10, data.end()));
  EXPECT_TRUE(stream.EndOfStream());
  EXPECT_EQ(stream.Read(out.data(), 10, &got), 1u);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(stream.Read(nullptr, 0, &got), 1u);
  EXPECT_EQ(stream.Seek(16384, 0), 16384);
  EXPECT_EQ(stream.Seek(-1, 0), -1);
  EXPECT_TRUE(stream.error());
  EXPECT_EQ(stream.Read(nullptr, 5, &got), 0u);
}

TEST_F(BytestreamFile, CloseForgetsTheHandleWithoutClosingIt) {
  ASSERT_TRUE(stream.BindFile(file));
  stream.Seek(5, 0);
  stream.Close();
  EXPECT_EQ(stream.kind(), RStream::kNone);
  EXPECT_EQ(stream.Tell(), -1);
  // The handle still works for its owner, and binding starts clean.
  ASSERT_TRUE(stream.BindFile(file));
  EXPECT_FALSE(stream.error());
  EXPECT_EQ(stream.Seek(0, 0), 0);
  uint8_t first = 0;
  EXPECT_EQ(stream.Read(&first, 1, nullptr), 1u);
  EXPECT_EQ(first, data[0]);
  EXPECT_FALSE(stream.BindFile(nullptr));
  EXPECT_EQ(stream.kind(), RStream::kNone);
  EXPECT_TRUE(stream.error());
}
