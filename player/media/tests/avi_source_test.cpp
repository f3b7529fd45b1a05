// ImgFmtAVI through the built-in entry in media mode, over hand-made files: the record it
// leaves, frames through the table's GetFrame, the facts query, broken files, and Start, Step,
// GetFrame and Close over fake devices.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "player/media/avi_source.h"
#include "player/media/builtin_entry.h"
#include "player/media/codec_layer.h"
#include "player/media/frame_buffer.h"
#include "player/media/rstream.h"
#include "player/media/tests/avi_builder.h"
#include "player/media/tests/fake_http_session.h"
#include "player/media/tests/playback_fakes.h"
#include "player/media/video_facts.h"
#include "player/media/source_state.h"
#include "player/media/stream_file.h"
#include "player/media/video_playback.h"

namespace crv {
namespace {

using test::AviRecipe;
using test::OpenedMovie;

AviRecipe RawMovie(int width, int height, int frames) {
  AviRecipe recipe;
  recipe.width = width;
  recipe.height = height;
  for (int i = 0; i < frames; ++i) recipe.frames.push_back(test::PatternDib24(width, height, i));
  return recipe;
}

std::string Write(const std::string& name, const AviRecipe& recipe) {
  return test::WriteTestFile(name, test::BuildAvi(recipe));
}

// The record's pixels after RLoadFrame with slot 0: the next frame.
std::vector<uint8_t> NextFrame(OpenedMovie& m) {
  const size_t bytes = static_cast<size_t>(DibImageBytes(*m.record.info));
  if (RLoadFrame(m.file, &m.record, 0, nullptr, 0) != 0) return {};
  return std::vector<uint8_t>(m.record.pixels, m.record.pixels + bytes);
}

std::vector<uint8_t> Pixels(const OpenedMovie& m) {
  return std::vector<uint8_t>(m.record.pixels, m.record.pixels + DibImageBytes(*m.record.info));
}

TEST(AviSourceLoad, AVideoRecordWithThePosterAndATableOfTwoSlots) {
  const AviRecipe recipe = RawMovie(7, 5, 3);  // 21-byte rows padded to 24
  OpenedMovie m;
  test::LoadMovie(Write("poster.avi", recipe), &m);
  ASSERT_EQ(m.result, 0);
  ASSERT_NE(m.record.frames, nullptr);
  const RFrameTable& t = *m.record.frames;
  EXPECT_EQ(t.Start, &AviStart);
  EXPECT_EQ(t.GetFrame, &AviGetFrame);
  EXPECT_EQ(t.Step, &AviStep);
  EXPECT_EQ(t.Close, &AviClose);
  EXPECT_EQ(t.framePeriod, 0u);
  EXPECT_EQ(t.width, 7u);
  EXPECT_EQ(t.height, 5u);
  EXPECT_EQ(t.bitsPerPixel, 24u);
  EXPECT_EQ(t.slotCount, 2u);
  EXPECT_EQ(m.record.info->bitCount, 24);
  EXPECT_EQ(m.record.info->height, 5);
  EXPECT_EQ(m.record.bitmap, nullptr);
  EXPECT_EQ(Pixels(m), recipe.frames[0]);
  EXPECT_EQ(std::u16string(m.record.infoText), u"Uncompressed");
  EXPECT_EQ(AviFrameLimit() == -1 || AviFrameLimit() == 3, true);
}

TEST(AviSourceLoad, GetFrameSlotZeroGivesTheFramesInTurn) {
  const AviRecipe recipe = RawMovie(7, 5, 4);
  OpenedMovie m;
  test::LoadMovie(Write("frames.avi", recipe), &m);
  ASSERT_EQ(m.result, 0);
  // Closed after the poster: the first call opens again at frame 0.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(NextFrame(m), recipe.frames[i]) << "frame " << i;
  // Past the last frame.
  EXPECT_EQ(RLoadFrame(m.file, &m.record, 0, nullptr, 0), -1);
  AviClose();
}

TEST(AviSourceLoad, TopDownRowsAreTurned) {
  AviRecipe recipe = RawMovie(6, 4, 2);
  recipe.height = -4;
  // Stored top-down: the same pictures with their rows in the other order.
  const size_t row = DibRowBytes(24, 6);
  std::vector<std::vector<uint8_t>> bottomUp = recipe.frames;
  for (auto& f : recipe.frames) {
    std::vector<uint8_t> flipped(f.size());
    for (int y = 0; y < 4; ++y) std::memcpy(&flipped[row * y], &f[row * (3 - y)], row);
    f = flipped;
  }
  OpenedMovie m;
  test::LoadMovie(Write("topdown.avi", recipe), &m);
  ASSERT_EQ(m.result, 0);
  EXPECT_EQ(m.record.frames->height, 4u);
  EXPECT_EQ(Pixels(m), bottomUp[0]);
  EXPECT_EQ(NextFrame(m), bottomUp[0]);
  EXPECT_EQ(NextFrame(m), bottomUp[1]);
  AviClose();
}

TEST(AviSourceLoad, EightBitFramesThroughThePalette) {
  AviRecipe recipe;
  recipe.width = 4;
  recipe.height = 2;
  recipe.bitCount = 8;
  recipe.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  recipe.frames = {{0, 1, 2, 3, 3, 2, 1, 0}};
  OpenedMovie m;
  test::LoadMovie(Write("pal8.avi", recipe), &m);
  ASSERT_EQ(m.result, 0);
  const std::vector<uint8_t> expected = {0, 0, 0,   0, 0, 255, 0, 255, 0, 255, 0, 0,  // bottom row
                                         255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0};
  EXPECT_EQ(Pixels(m), expected);
}

TEST(AviSourceLoad, FactsOfTheLastOpenedFile) {
  AviRecipe recipe = RawMovie(4, 4, 3);
  recipe.audio = true;
  recipe.channels = 2;
  recipe.sampleRate = 11025;
  recipe.audioChunks = {test::Ramp(400, 0), test::Ramp(400, 0), test::Ramp(400, 0), test::Ramp(400, 0)};
  OpenedMovie m;
  test::LoadMovie(Write("facts.avi", recipe), &m);
  ASSERT_EQ(m.result, 0);
  VideoFacts facts;
  ASSERT_TRUE(QueryVideoFacts(kVideoAvi, &facts));
  EXPECT_EQ(facts.frames, 3);
  EXPECT_STREQ(facts.codec, "");
  EXPECT_TRUE(facts.has_audio);
  EXPECT_EQ(facts.audio_format_tag, 1);
  EXPECT_EQ(facts.audio_channels, 2);
  EXPECT_EQ(facts.audio_rate, 11025u);
  EXPECT_EQ(facts.audio_bits, 16);
  EXPECT_EQ(CurrentAviFile().audioChunkCount, 4);
}

// ---- Broken files ------------------------------------------------------------------------------

int LoadBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
  OpenedMovie m;
  test::LoadMovie(test::WriteTestFile(name, bytes), &m);
  return m.result;
}

TEST(AviSourceBroken, NotRiffAviNoMoviNoVideoGiveEight) {
  EXPECT_EQ(LoadBytes("empty.avi", {}), kResultBadData);
  const std::string wave = std::string("RIFF\x24\0\0\0WAVEfmt ", 16) + std::string(28, '\0');
  EXPECT_EQ(LoadBytes("wave.avi", std::vector<uint8_t>(wave.begin(), wave.end())), kResultBadData);
  AviRecipe noMovi = RawMovie(4, 4, 2);
  noMovi.withMovi = false;
  noMovi.index = test::AviIndexForm::kNone;
  EXPECT_EQ(LoadBytes("nomovi.avi", test::BuildAvi(noMovi)), kResultBadData);
  AviRecipe noFrames = RawMovie(4, 4, 0);
  EXPECT_EQ(LoadBytes("noframes.avi", test::BuildAvi(noFrames)), kResultBadData);
  AviRecipe huge = RawMovie(4, 4, 1);
  huge.width = 100000;
  EXPECT_EQ(LoadBytes("huge.avi", test::BuildAvi(huge)), kResultBadData);
}

TEST(AviSourceBroken, AFailedLoadKeepsTheCookieAndLeavesNoTable) {
  OpenedMovie m;
  m.record.ownerCookie = 0x1234;
  RegisterAviSource();
  SetMediaMode(true);
  const std::string path = test::WriteTestFile("cookie.avi", std::vector<uint8_t>(40, 7));
  const std::u16string wide = test::WidePath(path);
  m.file = StreamFileOpen(wide);
  std::memcpy(m.record.path, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
  EXPECT_EQ(RLoadImage(m.file, &m.record, 0, 2), kResultBadData);
  EXPECT_EQ(m.record.ownerCookie, 0x1234);
  EXPECT_EQ(m.record.frames, nullptr);
  EXPECT_EQ(m.record.pixels, nullptr);
}

TEST(AviSourceBroken, ATruncatedFrameZeroGivesEight) {
  auto bytes = test::BuildAvi(RawMovie(8, 8, 2));
  // Cut inside frame 0's data: the index is lost, and frame 0 lies past the end.
  const size_t first = bytes.size() / 2 - 100;
  bytes.resize(first);
  EXPECT_EQ(LoadBytes("cut0.avi", bytes), kResultBadData);
}

// A file cut short (a copy or download that stopped): the index at the end is lost, the
// frames that are there are found in movi, and the cut one is not.
TEST(AviSourceBroken, ATruncatedFileHasTheFramesBeforeTheCut) {
  AviRecipe recipe = RawMovie(8, 8, 3);
  auto bytes = test::BuildAvi(recipe);
  bytes.resize(bytes.size() - (8 + 3 * 16) - 100);  // idx1 and part of the third frame
  OpenedMovie m;
  test::LoadMovie(test::WriteTestFile("cut2.avi", bytes), &m);
  ASSERT_EQ(m.result, 0);
  EXPECT_EQ(CurrentAviFile().frameCount, 2);
  EXPECT_EQ(NextFrame(m), recipe.frames[0]);
  EXPECT_EQ(NextFrame(m), recipe.frames[1]);
  EXPECT_EQ(RLoadFrame(m.file, &m.record, 0, nullptr, 0), -1);
  AviClose();
}

// The idx1 entry of frame `frame` of a file with `entries` entries gets `size`.
void PatchIndexSize(std::vector<uint8_t>& bytes, int entries, int frame, uint32_t size) {
  const size_t at = bytes.size() - 16 * static_cast<size_t>(entries) + 16 * static_cast<size_t>(frame) + 12;
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(size >> (8 * i));
}

TEST(AviSourceBroken, AFrameWhoseChunkLiesOutsideTheFileFailsItsGetFrame) {
  const AviRecipe recipe = RawMovie(8, 8, 3);
  auto bytes = test::BuildAvi(recipe);
  PatchIndexSize(bytes, 3, 2, 0x7FFFFFF0u);
  OpenedMovie m;
  test::LoadMovie(test::WriteTestFile("bad2.avi", bytes), &m);
  ASSERT_EQ(m.result, 0);
  EXPECT_EQ(NextFrame(m), recipe.frames[0]);
  EXPECT_EQ(NextFrame(m), recipe.frames[1]);
  EXPECT_EQ(RLoadFrame(m.file, &m.record, 0, nullptr, 0), -1);
  AviClose();
}

TEST(AviSourceBroken, AGarbledFrameZeroGivesEight) {
  AviRecipe recipe = RawMovie(8, 8, 1);
  std::memcpy(recipe.compression, "CVID", 4);
  recipe.frames[0].assign(30, 0xEE);
  EXPECT_EQ(LoadBytes("garbled.avi", test::BuildAvi(recipe)), kResultBadData);
  std::memcpy(recipe.compression, "XYZW", 4);  // no decoder for it
  EXPECT_EQ(LoadBytes("unknown.avi", test::BuildAvi(recipe)), kResultBadData);
}

// ---- Playback over fake devices ------------------------------------------------------------------

class AviPlaybackTest : public ::testing::Test {
 protected:
  void Open(const AviRecipe& recipe, bool sound) {
    devices_ = std::make_unique<test::FakeDevices>(sound);
    recipe_ = recipe;
    test::LoadMovie(Write("play.avi", recipe), &movie_);
    ASSERT_EQ(movie_.result, 0);
    path_ = test::WidePath(test::TestDir() + "/play.avi");
  }
  void TearDown() override {
    TheVideoPlayback().ClearPaused();
    AviClose();
    devices_.reset();
  }
  int Step(uint32_t flags = 0) { return movie_.record.frames->Step(nullptr, 0, &source_, &target_, flags); }
  // The frame on screen as 24-bit pixels (slot -1 through RLoadFrame, as the view snapshots).
  std::vector<uint8_t> OnScreen() {
    if (RLoadFrame(movie_.file, &movie_.record, kSlotSnapshot, nullptr, 0) != 0) return {};
    return Pixels(movie_);
  }
  // A frame's pixels after the trip through 5-6-5 (what the screen holds).
  std::vector<uint8_t> Through565(int i) {
    std::vector<uint8_t> out = recipe_.frames[i];
    const size_t row = DibRowBytes(24, static_cast<uint32_t>(recipe_.width));
    for (int y = 0; y < recipe_.height; ++y)
      for (int x = 0; x < recipe_.width; ++x) {
        uint8_t* p = &out[row * y + 3 * x];
        p[0] &= 0xF8;
        p[1] &= 0xFC;
        p[2] &= 0xF8;
      }
    return out;
  }

  std::unique_ptr<test::FakeDevices> devices_;
  AviRecipe recipe_;
  OpenedMovie movie_;
  std::u16string path_;
  RRect source_ = {0, 0, 8, 6};
  RRect target_ = {0, 0, 8, 6};
  int window_ = 0;
};

AviRecipe SoundMovie(int frames) {
  AviRecipe recipe = RawMovie(8, 6, frames);
  recipe.microSecPerFrame = 5000;  // 80 bytes of 8 kHz 16-bit mono a frame
  recipe.audio = true;
  for (int i = 0; i < frames; ++i) recipe.audioChunks.push_back(test::Ramp(80, static_cast<uint8_t>(i * 80)));
  return recipe;
}

TEST_F(AviPlaybackTest, StartStepCloseWithSound) {
  Open(SoundMovie(20), true);
  RFrameTable& t = *movie_.record.frames;
  ASSERT_EQ(t.Start(movie_.file, &window_, path_.c_str(), 0), 0);
  EXPECT_EQ(AviFrameLimit(), 20);
  EXPECT_EQ(devices_->display.window, &window_);
  ASSERT_TRUE(devices_->audio.IsPrepared());
  EXPECT_EQ(devices_->audio.format.formatTag, 1);
  EXPECT_EQ(devices_->audio.format.samplesPerSecond, 8000u);
  EXPECT_EQ(devices_->audio.format.averageBytesPerSecond, 16000u);
  EXPECT_EQ(devices_->audio.format.blockAlign, 2);
  EXPECT_GE(devices_->audio.capacity, 80u);
  EXPECT_EQ(Step(), 1);
  EXPECT_EQ(OnScreen(), Through565(0));
  // The wave buffers carry each frame's bytes of the "01wb" stream.
  ASSERT_EQ(devices_->audio.filledBytes.size(), 16u);
  EXPECT_EQ(devices_->audio.filledBytes[5], test::Ramp(80, 144));
  EXPECT_EQ(Step(), 1);  // waits for the sound
  devices_->audio.Play(4);
  EXPECT_EQ(Step(), 5);  // jumps to it
  EXPECT_EQ(OnScreen(), Through565(4));
  EXPECT_EQ(t.Close(), 0);
  EXPECT_FALSE(devices_->audio.IsPrepared());
  EXPECT_EQ(TheFrameBuffer().Pixels(), nullptr);
  EXPECT_EQ(Step(), -1);  // closed
}

TEST_F(AviPlaybackTest, WithoutSoundTheClockPaces) {
  Open(RawMovie(8, 6, 5), false);
  RFrameTable& t = *movie_.record.frames;
  ASSERT_EQ(t.Start(movie_.file, &window_, path_.c_str(), 0), 0);
  EXPECT_FALSE(devices_->audio.IsPrepared());
  EXPECT_EQ(Step(), 1);
  EXPECT_EQ(Step(), 0);  // early
  devices_->clock.now += 40;
  EXPECT_EQ(Step(), 2);
  EXPECT_EQ(OnScreen(), Through565(1));
}

TEST_F(AviPlaybackTest, PauseAndResumeContinueFromTheFrameOnScreen) {
  Open(SoundMovie(30), true);
  RFrameTable& t = *movie_.record.frames;
  ASSERT_EQ(t.Start(movie_.file, &window_, path_.c_str(), 0), 0);
  Step();
  devices_->audio.Play(2);
  EXPECT_EQ(Step(), 3);  // frame 2 on screen
  ASSERT_EQ(RLoadFrame(movie_.file, &movie_.record, kSlotPause, nullptr, 0), 0);
  EXPECT_EQ(Pixels(movie_), Through565(2));
  EXPECT_EQ(t.Close(), 0);
  EXPECT_TRUE(devices_->audio.IsPrepared());  // kept across the close
  // The view plays again with a new handle: Start only binds it.
  EXPECT_EQ(t.Start(movie_.file, &window_, path_.c_str(), 0), 0);
  devices_->audio.filledFrames.clear();
  EXPECT_EQ(Step(), 4);
  EXPECT_EQ(devices_->audio.filledFrames.front(), 3);  // the sound restarts at the paused frame
  EXPECT_EQ(OnScreen(), Through565(3));
  EXPECT_FALSE(TheVideoPlayback().Paused());
}

TEST_F(AviPlaybackTest, RestartAndRedraw) {
  Open(SoundMovie(20), true);
  RFrameTable& t = *movie_.record.frames;
  ASSERT_EQ(t.Start(movie_.file, &window_, path_.c_str(), 0), 0);
  Step();
  devices_->audio.Play(3);
  Step();
  EXPECT_EQ(Step(kStepRedraw), 4);
  EXPECT_EQ(OnScreen(), Through565(3));
  EXPECT_EQ(Step(kStepRestart), 1);
  EXPECT_EQ(OnScreen(), Through565(0));
}

TEST_F(AviPlaybackTest, ReadAheadReadsWithoutDecoding) {
  Open(RawMovie(8, 6, 10), false);
  RFrameTable& t = *movie_.record.frames;
  ASSERT_EQ(t.Start(movie_.file, &window_, path_.c_str(), 0), 0);
  // 40 ms frames, a 100 ms window from frame 2: frames 2, 3, 4.
  EXPECT_EQ(t.Step(nullptr, 2, nullptr, nullptr, 100), 4);
  EXPECT_EQ(devices_->display.blits, 0);
}

TEST_F(AviPlaybackTest, AFrameThatCannotBeReadEndsPlaybackWithMinusOne) {
  const AviRecipe recipe = RawMovie(8, 6, 3);
  auto bytes = test::BuildAvi(recipe);
  PatchIndexSize(bytes, 3, 2, 0x7FFFFFF0u);
  devices_ = std::make_unique<test::FakeDevices>(false);
  recipe_ = recipe;
  test::LoadMovie(test::WriteTestFile("play.avi", bytes), &movie_);
  ASSERT_EQ(movie_.result, 0);
  RFrameTable& t = *movie_.record.frames;
  ASSERT_EQ(t.Start(movie_.file, &window_, u"play.avi", 0), 0);
  EXPECT_EQ(Step(), 1);
  devices_->clock.now += 40;
  EXPECT_EQ(Step(), 2);
  devices_->clock.now += 40;
  EXPECT_EQ(Step(), -1);
}

TEST_F(AviPlaybackTest, StartOnAFileThatIsNotAviFails) {
  Open(RawMovie(8, 6, 2), false);
  const std::string other = test::WriteTestFile("other.avi", std::vector<uint8_t>(64, 0));
  OpenedMovie wrong;
  wrong.file = StreamFileOpen(test::WidePath(other));
  EXPECT_EQ(movie_.record.frames->Start(wrong.file, &window_, u"other.avi", 0), -1);
}


// An AVI on a web server: the link source opens the URL into the AVI stream and loads with no
// handle; the stream is not rebound, and playback runs in streaming mode, waiting for frames
// that have not arrived.
TEST(AviHttp, AStreamedFileLoadsAndPlaysInStreamingMode) {
  crv_test::FakeServerScope fake;
  AviRecipe recipe = RawMovie(8, 6, 4);
  recipe.audio = true;
  recipe.microSecPerFrame = 5000;
  for (int i = 0; i < 4; ++i) recipe.audioChunks.push_back(test::Ramp(80, static_cast<uint8_t>(i)));
  fake.server->Fill(0);
  fake.server->data = test::BuildAvi(recipe);
  fake.server->fetchCount.assign(fake.server->data.size() / 16384 + 2, 0);
  ASSERT_TRUE(AviStream().OpenUrl("http://example.test/movie.avi"));
  test::FakeDevices devices(false);

  RegisterAviSource();
  SetMediaMode(true);
  tagRDIBIMG record{};
  ResetRecord(record);
  const std::u16string path = u"\\My Documents\\movie.avi";
  std::memcpy(record.path, path.c_str(), (path.size() + 1) * sizeof(char16_t));
  ASSERT_EQ(RLoadImage(nullptr, &record, 0, 2), 0);
  EXPECT_EQ(std::vector<uint8_t>(record.pixels, record.pixels + DibImageBytes(*record.info)), recipe.frames[0]);
  EXPECT_EQ(AviStream().kind(), RStream::kHttp);  // kept across the poster's Close

  RFrameTable& t = *record.frames;
  int window = 0;
  ASSERT_EQ(t.Start(nullptr, &window, path.c_str(), 0), 0);
  EXPECT_TRUE(TheVideoPlayback().Streaming());
  EXPECT_TRUE(devices.audio.streaming);
  const RRect rect = {0, 0, 8, 6};
  TheVideoPlayback().SetDownloadedFrames(0);
  EXPECT_EQ(t.Step(nullptr, 0, &rect, &rect, kStepRestart), -1);  // frame 0 has not arrived
  TheVideoPlayback().SetDownloadedFrames(4);
  EXPECT_EQ(t.Step(nullptr, 0, &rect, &rect, kStepRestart), 1);
  // The read-ahead form reads frames (5 ms each) without showing them.
  EXPECT_EQ(t.Step(nullptr, 0, nullptr, nullptr, 12), 2);
  EXPECT_EQ(t.Close(), 0);
  RDeleteImage(&record, nullptr);
  AviStream().Close();
}

}  // namespace
}  // namespace crv
