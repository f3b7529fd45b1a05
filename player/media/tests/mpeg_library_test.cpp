// The MPEG library's delivery: "codecs.dat" unscrambled into a temporary file, loaded, its
// entries found and its window asked for; every failure leaves nothing behind.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "player/media/mpeg_source.h"
#include "player/media/tests/mpeg_fakes.h"

namespace crv {
namespace {

using test::FakeMpeg;
using test::FakeMpegLoader;

// What the build does to the library: forwards, each byte XOR (the scrambled byte before + 1).
std::vector<uint8_t> Scramble(std::vector<uint8_t> bytes) {
  for (size_t i = 1; i < bytes.size(); ++i) bytes[i] ^= static_cast<uint8_t>(bytes[i - 1] + 1);
  return bytes;
}

class MpegDelivery : public ::testing::Test {
 protected:
  void SetUp() override { FakeMpeg() = test::FakeMpegLibrary(); }
  void TearDown() override { ReleaseMpegLibrary(); }
  FakeMpegLoader loader;
};

TEST(MpegUnscramble, ByteZeroStaysAndEachByteIsUndoneWithTheStoredOneBefore) {
  std::vector<uint8_t> two{0x10, 0x21};
  UnscrambleLibrary(two.data(), two.size());
  EXPECT_EQ(two, (std::vector<uint8_t>{0x10, 0x30}));
  // The addition wraps: 0xFF + 1 is 0.
  std::vector<uint8_t> wrap{0xFF, 0x5A, 0x00};
  UnscrambleLibrary(wrap.data(), wrap.size());
  EXPECT_EQ(wrap, (std::vector<uint8_t>{0xFF, 0x5A, 0x5B}));
  std::vector<uint8_t> one{0x42};
  UnscrambleLibrary(one.data(), one.size());
  EXPECT_EQ(one[0], 0x42);
  UnscrambleLibrary(nullptr, 0);
}

TEST(MpegUnscramble, UndoesTheScrambleOfTheBuild) {
  std::mt19937 random(20240611);
  std::vector<uint8_t> plain(65537);
  for (uint8_t& b : plain) b = static_cast<uint8_t>(random());
  std::vector<uint8_t> bytes = Scramble(plain);
  ASSERT_NE(bytes, plain);
  UnscrambleLibrary(bytes.data(), bytes.size());
  EXPECT_EQ(bytes, plain);
}

TEST_F(MpegDelivery, WritesTheUnscrambledLibraryLoadsItAndAsksForItsWindow) {
  SetLastProbedMpeg("old.mpg", 0x00100010);
  MpegStateBlock()[0] = 1;
  ASSERT_EQ(LoadMpegLibraryWith(loader), 0);
  EXPECT_TRUE(MpegLibraryLoaded());
  EXPECT_EQ(MpegLibraryTempName(), u"\\Temp\\_w~1.tmp");
  EXPECT_EQ(loader.files[u"\\Temp\\_w~1.tmp"], (std::vector<uint8_t>{0x10, 0x30}));
  EXPECT_EQ(FakeMpeg().calls, std::vector<std::string>{"n"});
  // Loading forgets what was probed before.
  EXPECT_EQ(LastProbedMpegPath(), "");
  EXPECT_EQ(MpegStateBlock()[0], 0u);

  // Loaded: nothing is done again.
  EXPECT_EQ(LoadMpegLibraryWith(loader), 0);
  EXPECT_EQ(loader.namesMade, 1);
  EXPECT_EQ(loader.opened, 1);
  EXPECT_EQ(FakeMpeg().calls.size(), 1u);
}

TEST_F(MpegDelivery, AFailedWriteDeletesTheFileAndForgetsItsName) {
  loader.writable = false;
  EXPECT_EQ(LoadMpegLibraryWith(loader), -1);
  EXPECT_FALSE(MpegLibraryLoaded());
  EXPECT_EQ(loader.removed, std::vector<std::u16string>{u"\\Temp\\_w~1.tmp"});
  EXPECT_TRUE(loader.files.empty());
  EXPECT_EQ(MpegLibraryTempName(), u"");
  EXPECT_EQ(loader.opened, 0);

  // The next attempt takes a new name.
  loader.writable = true;
  EXPECT_EQ(LoadMpegLibraryWith(loader), 0);
  EXPECT_EQ(loader.namesMade, 2);
  EXPECT_EQ(MpegLibraryTempName(), u"\\Temp\\_w~2.tmp");
}

TEST_F(MpegDelivery, NoNameOrNoLibraryFileGivesUpLeavingNoFile) {
  loader.haveName = false;
  EXPECT_EQ(LoadMpegLibraryWith(loader), -1);
  EXPECT_TRUE(loader.files.empty());

  loader.haveName = true;
  loader.readable = false;
  EXPECT_EQ(LoadMpegLibraryWith(loader), -1);
  EXPECT_TRUE(loader.files.empty());
  EXPECT_EQ(MpegLibraryTempName(), u"");
}

TEST_F(MpegDelivery, AModuleThatDoesNotLoadLacksAnEntryOrHasNoWindowIsNotKept) {
  loader.loadable = false;
  EXPECT_EQ(LoadMpegLibraryWith(loader), -1);
  EXPECT_TRUE(loader.files.empty());
  EXPECT_EQ(MpegLibraryTempName(), u"");

  loader.loadable = true;
  loader.missing = {"br"};
  EXPECT_EQ(LoadMpegLibraryWith(loader), -1);
  EXPECT_EQ(loader.closed, 1);
  EXPECT_TRUE(loader.files.empty());

  loader.missing.clear();
  FakeMpeg().window = nullptr;
  EXPECT_EQ(LoadMpegLibraryWith(loader), -1);
  EXPECT_EQ(loader.closed, 2);
  EXPECT_TRUE(loader.files.empty());
  EXPECT_FALSE(MpegLibraryLoaded());
  EXPECT_EQ(MpegSeekMs(1000), -1);

  // "s" alone may be missing: the view stops without it.
  FakeMpeg().window = reinterpret_cast<void*>(0x1F00);
  loader.missing = {"s"};
  EXPECT_EQ(LoadMpegLibraryWith(loader), 0);
  MpegStop();
  EXPECT_EQ(FakeMpeg().Count("x"), 2);
  EXPECT_EQ(FakeMpeg().Count("s"), 0);
}

TEST_F(MpegDelivery, UnloadingShutsTheLibraryDownAndDeletesItsFile) {
  ASSERT_EQ(LoadMpegLibraryWith(loader), 0);
  const std::u16string name = MpegLibraryTempName();
  UnloadMpegLibrary();
  EXPECT_EQ(FakeMpeg().Count("p"), 1);
  EXPECT_EQ(loader.closed, 1);
  EXPECT_EQ(loader.removed, std::vector<std::u16string>{name});
  EXPECT_FALSE(MpegLibraryLoaded());
  EXPECT_EQ(MpegLibraryTempName(), u"");
  EXPECT_EQ(MpegSeekMs(0), -1);
  EXPECT_EQ(MpegPositionMs(1, 2), -1);
  UnloadMpegLibrary();
  EXPECT_EQ(FakeMpeg().Count("p"), 1);
}

}  // namespace
}  // namespace crv
