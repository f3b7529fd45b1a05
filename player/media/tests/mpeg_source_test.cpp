// ImgFmtMPG over a fake MPEG library: the record a probe gives, when Start probes, pictures
// shown through the display with the view's rectangles, the snapshot by grab, and the view's
// commands as the library receives them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/base/text16.h"
#include "player/media/builtin_entry.h"
#include "player/media/format_tables.h"
#include "player/media/frame_buffer.h"
#include "player/media/img_fmt_base.h"
#include "player/media/mpeg_source.h"
#include "player/media/source_state.h"
#include "player/media/tests/mpeg_fakes.h"
#include "player/media/tests/playback_fakes.h"

namespace crv {
namespace {

using test::FakeMpeg;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
RWindow const kWindow = reinterpret_cast<RWindow>(0x4242);

std::vector<uint16_t> Flat(uint16_t colour) { return std::vector<uint16_t>(size_t(kWidth) * kHeight, colour); }

std::vector<uint8_t> AsDib(const std::vector<uint16_t>& picture) {
  std::vector<uint8_t> dib(DibRowBytes(24, kWidth) * kHeight);
  Rgb565ToDib24(picture.data(), kWidth, kWidth, kHeight, dib.data());
  return dib;
}

class MpegSource : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeMpeg() = test::FakeMpegLibrary();
    ASSERT_EQ(LoadMpegLibraryWith(loader), 0);
    RegisterMpegSource();
    wasMediaMode = MediaMode();
    SetMediaMode(true);
    ResetRecord(record);
  }
  void TearDown() override {
    ReleaseRecord(record);
    MpegClose();
    UnloadMpegLibrary();
    SetMpegViewGeometry(MpegViewGeometry{});
    RegisterSource(FormatTable::Video, kVideoMpeg, nullptr);
    SetMediaMode(wasMediaMode);
  }
  // Loads as the view does (the library opens the file by its path: no handle needed here).
  int32_t Load(const char16_t* path) {
    ReleaseRecord(record);
    CopyTo(record.path, kRecordPathChars, path);
    return RLoadImage(nullptr, &record, 0, kLoadReduceLarge);
  }
  std::vector<uint8_t> Pixels() const {
    return std::vector<uint8_t>(record.pixels, record.pixels + DibImageBytes(*record.info));
  }

  test::FakeMpegLoader loader;
  tagRDIBIMG record{};
  bool wasMediaMode = false;
};

TEST_F(MpegSource, AProbeOf0x00F00140IsA320By240VideoWithItsFirstPicture) {
  std::vector<uint16_t> first = Flat(0x0000);
  first.front() = 0xFFFF;  // top left
  first.back() = 0xF800;   // bottom right, red
  FakeMpeg().firstPicture = first;
  ASSERT_EQ(Load(u"\\My Videos\\clip.MPEG"), 0);

  ASSERT_NE(record.frames, nullptr);
  const RFrameTable& t = *record.frames;
  EXPECT_EQ(t.Start, &MpegStart);
  EXPECT_EQ(t.GetFrame, &MpegGetFrame);
  EXPECT_EQ(t.Step, &MpegStep);
  EXPECT_EQ(t.Close, &MpegClose);
  EXPECT_EQ(t.width, 320u);
  EXPECT_EQ(t.height, 240u);
  EXPECT_EQ(t.bitsPerPixel, 24u);
  EXPECT_EQ(t.slotCount, 2u);
  EXPECT_EQ(t.framePeriod, 0u);
  EXPECT_EQ(record.info->width, 320);
  EXPECT_EQ(record.info->height, 240);
  // Bottom-up: the top-left pixel opens the last row, the bottom-right one ends the first.
  const std::vector<uint8_t> pixels = Pixels();
  const size_t row = DibRowBytes(24, kWidth);
  EXPECT_EQ(std::vector<uint8_t>(pixels.begin() + row * 239, pixels.begin() + row * 239 + 3),
            (std::vector<uint8_t>{248, 252, 248}));
  EXPECT_EQ(std::vector<uint8_t>(pixels.begin() + 319 * 3, pixels.begin() + 320 * 3), (std::vector<uint8_t>{0, 0, 248}));
  EXPECT_EQ(pixels, AsDib(first));

  // Sized first, then filled: the library cannot know how large a buffer is.
  EXPECT_EQ(FakeMpeg().calls, (std::vector<std::string>{"n", "a:\\My Videos\\clip.MPEG",
                                                         "a:\\My Videos\\clip.MPEG:buffer"}));
  EXPECT_EQ(LastProbedMpegPath(), "\\My Videos\\clip.MPEG");
}

TEST_F(MpegSource, AProbeWithAnEmptyOrOversizedHalfOrNoLibraryGivesEight) {
  for (const uint32_t size : {0x00000000u, 0x00F00000u, 0x00000140u, 0x00F01001u, 0x10010140u}) {
    FakeMpeg().probeResult = size;
    SetLastProbedMpeg("before.mpg", 0x00100010);
    EXPECT_EQ(Load(u"clip.mpg"), kResultBadData) << std::hex << size;
    EXPECT_EQ(record.frames, nullptr);
    EXPECT_EQ(record.pixels, nullptr);
    EXPECT_EQ(LastProbedMpegPath(), "");
  }
  FakeMpeg().probeResult = 0x00F00140;
  UnloadMpegLibrary();
  EXPECT_EQ(Load(u"clip.mpg"), kResultBadData);
}

TEST_F(MpegSource, StartProbesOnlyAPathOtherThanTheLastAndAgainAfterAFailedProbe) {
  test::FakeDevices devices(false);
  ASSERT_EQ(Load(u"a.mpg"), 0);
  const int afterLoad = FakeMpeg().Count("a:");
  EXPECT_EQ(MpegStart(nullptr, kWindow, u"a.mpg", 0x00F00140), 0);
  EXPECT_EQ(FakeMpeg().Count("a:"), afterLoad);
  EXPECT_EQ(devices.display.window, kWindow);
  EXPECT_EQ(TheFrameBuffer().Width(), kWidth);
  EXPECT_EQ(TheFrameBuffer().Height(), kHeight);

  EXPECT_EQ(MpegStart(nullptr, kWindow, u"b.mpg", 0x00F00140), 0);
  EXPECT_EQ(MpegStart(nullptr, kWindow, u"b.mpg", 0x00F00140), 0);
  EXPECT_EQ(FakeMpeg().Count("a:b.mpg"), 1);

  FakeMpeg().probeResult = 0;
  EXPECT_EQ(MpegStart(nullptr, kWindow, u"c.mpg", 0x00F00140), -1);
  EXPECT_EQ(LastProbedMpegPath(), "");
  FakeMpeg().probeResult = 0x00F00140;
  EXPECT_EQ(MpegStart(nullptr, kWindow, u"b.mpg", 0x00F00140), 0);
  EXPECT_EQ(FakeMpeg().Count("a:b.mpg"), 2);

  UnloadMpegLibrary();
  EXPECT_EQ(MpegStart(nullptr, kWindow, u"b.mpg", 0x00F00140), -1);
}

TEST_F(MpegSource, StepShowsEachPictureThroughTheDisplayWithTheViewsRectangles) {
  test::FakeDevices devices(false);
  ASSERT_EQ(Load(u"a.mpg"), 0);
  ASSERT_EQ(MpegStart(nullptr, kWindow, u"a.mpg", 0x00F00140), 0);
  const RRect source{0, 0, kWidth, kHeight};
  const RRect target{0, 40, 240, 220};
  SetMpegViewGeometry(MpegViewGeometry{source, target, 0, false});
  std::vector<uint16_t> playing = Flat(0x07E0);
  playing[5] = 0x001F;
  FakeMpeg().playing = playing;
  MpegStateBlock()[0] = 1;
  EXPECT_FALSE(MpegFrameShown());

  EXPECT_EQ(MpegStep(nullptr, 0, nullptr, nullptr, 0), 0);
  EXPECT_EQ(FakeMpeg().Count("c0"), 1);  // the capture request is cleared before playing
  EXPECT_TRUE(MpegFrameShown());
  EXPECT_EQ(std::vector<uint16_t>(TheFrameBuffer().Pixels(), TheFrameBuffer().Pixels() + playing.size()), playing);
  EXPECT_EQ(devices.display.blits, 1);
  EXPECT_EQ(devices.display.lastFlags, 0u);
  EXPECT_EQ(devices.display.lastTarget.top, 40);
  EXPECT_EQ(devices.display.lastTarget.bottom, 220);
  EXPECT_EQ(devices.display.lastSource.right, kWidth);

  // Turned whenever the view's angle is not a multiple of 180 degrees, or in landscape.
  const struct {
    int angle;
    bool landscape;
    uint32_t flags;
  } turns[] = {{90, false, kStepTurned}, {270, false, kStepTurned}, {-90, false, kStepTurned},
               {180, false, 0}, {180, true, kStepTurned}, {0, true, kStepTurned}};
  for (const auto& turn : turns) {
    SetMpegViewGeometry(MpegViewGeometry{source, target, turn.angle, turn.landscape});
    MpegStep(nullptr, 0, nullptr, nullptr, 0);
    EXPECT_EQ(devices.display.lastFlags, turn.flags) << turn.angle << " " << turn.landscape;
  }

  // Without a target there is nothing to draw into; the picture is still kept.
  const int blits = devices.display.blits;
  SetMpegViewGeometry(MpegViewGeometry{source, RRect{}, 0, false});
  FakeMpeg().playing = Flat(0x1234);
  MpegStep(nullptr, 0, nullptr, nullptr, 0);
  EXPECT_EQ(devices.display.blits, blits);
  EXPECT_EQ(TheFrameBuffer().Pixels()[0], 0x1234);

  MpegClose();
  EXPECT_FALSE(MpegFrameShown());
}

TEST_F(MpegSource, TheSnapshotIsThePictureOnScreenGrabbedFromTheLibrary) {
  test::FakeDevices devices(false);
  FakeMpeg().firstPicture = Flat(0xFFFF);
  ASSERT_EQ(Load(u"a.mpg"), 0);
  // Loaded but never started: the library may hold another stream's picture, of another size.
  FakeMpeg().shown = Flat(0x0000);
  EXPECT_EQ(RLoadFrame(nullptr, &record, 0, nullptr, 0), -1);

  ASSERT_EQ(MpegStart(nullptr, kWindow, u"a.mpg", 0x00F00140), 0);
  std::vector<uint16_t> playing = Flat(0x8410);
  playing[kWidth * 10 + 3] = 0xF800;
  FakeMpeg().playing = playing;
  MpegStep(nullptr, 0, nullptr, nullptr, 0);
  EXPECT_EQ(RLoadFrame(nullptr, &record, 0, nullptr, 0), 0);
  EXPECT_EQ(FakeMpeg().Count("g"), 1);
  EXPECT_EQ(Pixels(), AsDib(playing));

  // Nothing handed back: the snapshot fails and the record keeps its picture.
  FakeMpeg().shown.clear();
  EXPECT_EQ(RLoadFrame(nullptr, &record, 0, nullptr, 0), -1);
  EXPECT_EQ(Pixels(), AsDib(playing));

  UnloadMpegLibrary();
  EXPECT_EQ(RLoadFrame(nullptr, &record, 0, nullptr, 0), -1);
}

TEST_F(MpegSource, TheViewsCommandsReachTheLibraryInOrder) {
  FakeMpeg().calls.clear();
  MpegBeforePlay();
  MpegBeforeResume();
  MpegSetVolume(75, true);
  MpegSetVolume(150, false);
  MpegStop();
  EXPECT_EQ(MpegSeekMs(5000), 7);
  EXPECT_EQ(MpegPositionMs(3, 10), 1234);
  MpegSeekMs(int64_t{1} << 40);
  MpegSeekMs(-5);
  MpegPlaybackEnded();
  EXPECT_EQ(FakeMpeg().calls,
            (std::vector<std::string>{"o0", "o1", "m1", "v75", "m0", "v100", "x1", "s0", "x0", "br5000", "mr3/10",
                                      "br2147483647", "br0", "cc"}));
}

TEST(MpegLibraryPath, Utf8OfAtMost260Characters) {
  EXPECT_EQ(MpegLibraryPath(u"\\Vid\u00e9os\\a.mpg"), "\\Vid\xc3\xa9os\\a.mpg");
  const std::u16string longPath(300, u'a');
  EXPECT_EQ(MpegLibraryPath(longPath.c_str()), std::string(260, 'a'));
  EXPECT_EQ(MpegLibraryPath(nullptr), "");
}

}  // namespace
}  // namespace crv
