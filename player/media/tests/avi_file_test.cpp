// The RIFF parser over hand-made files: the two forms of idx1 offsets, the index rebuilt from
// movi (nested lists included), the sound of a frame across chunk boundaries, the palette,
// the dump texts, and files that lie about their sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "player/media/avi_file.h"
#include "player/media/tests/avi_builder.h"

namespace crv {
namespace {

using test::AviIndexForm;
using test::AviRecipe;
using test::BuildAvi;

AviRecipe ThreeFrames() {
  AviRecipe recipe;
  recipe.width = 7;  // rows padded to 24 bytes
  recipe.height = 3;
  for (int i = 0; i < 3; ++i) recipe.frames.push_back(test::PatternDib24(7, 3, i));
  return recipe;
}

// The dump of a parse, as text.
struct Dumped {
  bool ok = false;
  std::string text;
};
Dumped ParseWithDump(const std::vector<uint8_t>& bytes, AviFile* file, const char* name = "clip.avi") {
  Dumped d;
  std::FILE* f = std::tmpfile();
  MemoryByteSource in(bytes.data(), bytes.size());
  d.ok = AviParse(in, name, f, file);
  if (f) {
    std::fflush(f);
    std::rewind(f);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) d.text.append(buf, n);
    std::fclose(f);
  }
  return d;
}

bool Parse(const std::vector<uint8_t>& bytes, AviFile* file) {
  MemoryByteSource in(bytes.data(), bytes.size());
  return AviParse(in, "clip.avi", nullptr, file);
}

std::vector<uint8_t> ReadFrame(AviFile& file, const std::vector<uint8_t>& bytes, int frame) {
  MemoryByteSource in(bytes.data(), bytes.size());
  std::vector<uint8_t> out(file.largestFrame + 16);
  uint32_t size = 0;
  if (!AviReadFrame(file, in, frame, out.data(), static_cast<uint32_t>(out.size()), &size)) return {};
  out.resize(size);
  return out;
}

// ---- idx1 offsets ------------------------------------------------------------------------------

TEST(AviIdx1, RelativeOffsetsCountFromTheMoviList) {
  AviRecipe recipe = ThreeFrames();
  recipe.index = AviIndexForm::kRelative;
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  ASSERT_EQ(file.frameCount, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ReadFrame(file, bytes, i), recipe.frames[i]) << "frame " << i;
  // The entries hold the chunk headers' absolute offsets.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()) + file.index.video[0].offset, 4), "00dc");
}

TEST(AviIdx1, AbsoluteOffsetsAreUsedAsTheyAre) {
  AviRecipe recipe = ThreeFrames();
  recipe.index = AviIndexForm::kAbsolute;
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  ASSERT_EQ(file.frameCount, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ReadFrame(file, bytes, i), recipe.frames[i]) << "frame " << i;
}

TEST(AviIdx1, BothFormsGiveTheSameIndex) {
  AviRecipe recipe = ThreeFrames();
  recipe.audio = true;
  recipe.audioChunks = {test::Ramp(50, 0), test::Ramp(30, 50)};
  recipe.index = AviIndexForm::kRelative;
  const auto relative = BuildAvi(recipe);
  recipe.index = AviIndexForm::kAbsolute;
  const auto absolute = BuildAvi(recipe);
  AviFile a, b;
  ASSERT_TRUE(Parse(relative, &a));
  ASSERT_TRUE(Parse(absolute, &b));
  ASSERT_EQ(a.index.video.size(), b.index.video.size());
  ASSERT_EQ(a.index.audio.size(), 2u);
  ASSERT_EQ(b.index.audio.size(), 2u);
  for (size_t i = 0; i < a.index.video.size(); ++i) EXPECT_EQ(a.index.video[i].offset, b.index.video[i].offset);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(a.index.audio[i].offset, b.index.audio[i].offset);
    EXPECT_EQ(a.index.audio[i].total, b.index.audio[i].total);
  }
  EXPECT_EQ(a.index.audio[1].total, 50u);
}

TEST(AviIdx1, VideoIndexStopsAtTotalFrames) {
  AviRecipe recipe = ThreeFrames();
  recipe.totalFrames = 2;
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  EXPECT_EQ(file.frameCount, 2);
}

TEST(AviIdx1, AHugeTotalFramesAllocatesOnlyWhatIsThere) {
  AviRecipe recipe = ThreeFrames();
  recipe.totalFrames = 0xFFFFFFFFu;
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  EXPECT_EQ(file.frameCount, 3);
  EXPECT_LE(file.index.video.capacity(), 3u);
}

TEST(AviIdx1, NoTotalFramesTakesTheChunksThatAreThere) {
  AviRecipe recipe = ThreeFrames();
  recipe.totalFrames = 0;
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  EXPECT_EQ(file.frameCount, 3);
}

// More sound chunks than video frames, as real files have: all of them are indexed.
TEST(AviIdx1, AudioIndexHoldsEveryAudioChunk) {
  AviRecipe recipe = ThreeFrames();
  recipe.audio = true;
  for (int i = 0; i < 10; ++i) recipe.audioChunks.push_back(test::Ramp(20, static_cast<uint8_t>(20 * i)));
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  EXPECT_EQ(file.frameCount, 3);
  EXPECT_EQ(file.audioChunkCount, 10);
  EXPECT_EQ(file.index.audio.back().total, 180u);
}

// ---- Index rebuilt from movi ---------------------------------------------------------------------

TEST(AviMoviWalk, WithoutIdx1TheChunksInNestedListsAreIndexed) {
  AviRecipe recipe = ThreeFrames();
  recipe.index = AviIndexForm::kNone;
  recipe.nestInList = true;
  recipe.audio = true;
  recipe.audioChunks = {test::Ramp(33, 0), test::Ramp(17, 33)};  // odd sizes: padded chunks
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  const Dumped d = ParseWithDump(bytes, &file);
  ASSERT_TRUE(d.ok);
  EXPECT_NE(d.text.find("no idx1. Building index from movi LIST.\n"), std::string::npos) << d.text;
  ASSERT_EQ(file.frameCount, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ReadFrame(file, bytes, i), recipe.frames[i]) << "frame " << i;
  ASSERT_EQ(file.audioChunkCount, 2);
  // The real sizes, not the padded ones, so no pad byte gets into the sound.
  EXPECT_EQ(file.index.audio[0].size, 33u);
  EXPECT_EQ(file.index.audio[1].total, 33u);
}

TEST(AviMoviWalk, WithoutIdx1PlainMoviIsIndexed) {
  AviRecipe recipe = ThreeFrames();
  recipe.index = AviIndexForm::kNone;
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  ASSERT_EQ(file.frameCount, 3);
  EXPECT_EQ(ReadFrame(file, bytes, 2), recipe.frames[2]);
}

TEST(AviMoviWalk, ChunksPastTheEndOfATruncatedFileAreLeftOut) {
  AviRecipe recipe = ThreeFrames();
  recipe.index = AviIndexForm::kNone;
  auto bytes = BuildAvi(recipe);
  bytes.resize(bytes.size() - 10);  // into the last frame's data
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  EXPECT_EQ(file.frameCount, 2);
  EXPECT_EQ(ReadFrame(file, bytes, 1), recipe.frames[1]);
}

// ---- The sound of a frame -----------------------------------------------------------------------

// 8000 Hz, mono, 16 bits: 16000 bytes a second; 5 ms a frame: 80 bytes a frame.
AviRecipe SoundRecipe(const std::vector<size_t>& chunkSizes) {
  AviRecipe recipe = ThreeFrames();
  recipe.microSecPerFrame = 5000;
  recipe.audio = true;
  uint8_t next = 0;
  for (size_t n : chunkSizes) {
    recipe.audioChunks.push_back(test::Ramp(n, next));
    next = static_cast<uint8_t>(next + n);
  }
  return recipe;
}

std::vector<uint8_t> FrameSound(AviFile& file, const std::vector<uint8_t>& bytes, int frame) {
  MemoryByteSource in(bytes.data(), bytes.size());
  std::vector<uint8_t> out(AviAudioCapacity(file), 0);
  const uint32_t n = AviReadFrameAudio(file, in, frame, out.data(), static_cast<uint32_t>(out.size()));
  out.resize(n);
  return out;
}

TEST(AviSound, BytesPerFrameFromTheAverageRate) {
  const auto bytes = BuildAvi(SoundRecipe({100, 60, 150}));
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  EXPECT_EQ(file.audioBytesPerFrame, 80u);
  EXPECT_EQ(file.channels, 1);
  EXPECT_EQ(file.samplesPerSecond, 8000);
  EXPECT_EQ(file.bitsPerSample, 16);
  EXPECT_EQ(file.audioFormatTag, 1);
}

TEST(AviSound, ARangeAcrossTwoChunksTakesTheTailOfOneAndTheHeadOfTheNext) {
  const auto bytes = BuildAvi(SoundRecipe({100, 60, 150}));
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  // Frame 1 is bytes 80..159: 20 from the first chunk, 60 from the second.
  EXPECT_EQ(FrameSound(file, bytes, 1), test::Ramp(80, 80));
  // Frame 2 is bytes 160..239, inside the third chunk.
  EXPECT_EQ(FrameSound(file, bytes, 2), test::Ramp(80, 160));
}

TEST(AviSound, SequentialAndRandomReadsAgree) {
  const auto bytes = BuildAvi(SoundRecipe({100, 60, 150, 7, 3, 200}));
  AviFile sequential, random;
  ASSERT_TRUE(Parse(bytes, &sequential));
  ASSERT_TRUE(Parse(bytes, &random));
  std::vector<std::vector<uint8_t>> inOrder;
  for (int f = 0; f < 6; ++f) inOrder.push_back(FrameSound(sequential, bytes, f));
  for (int f : {5, 2, 0, 4, 1, 3}) EXPECT_EQ(FrameSound(random, bytes, f), inOrder[f]) << "frame " << f;
  for (int f = 0; f < 6; ++f) EXPECT_EQ(inOrder[f], test::Ramp(80, static_cast<uint8_t>(80 * f))) << "frame " << f;
}

TEST(AviSound, ARangeOverSeveralSmallChunks) {
  const auto bytes = BuildAvi(SoundRecipe({30, 20, 40, 50}));
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  EXPECT_EQ(FrameSound(file, bytes, 0), test::Ramp(80, 0));
  // The sound ends at byte 140: silence after it.
  std::vector<uint8_t> tail = test::Ramp(60, 80);
  tail.resize(80, 0);
  EXPECT_EQ(FrameSound(file, bytes, 1), tail);
}

TEST(AviSound, RangesStayOnWholeSamplesWhenTheRateDoesNotDivide) {
  // 22050 Hz mono 16-bit at 33,333 us: 1469.98 bytes a frame, truncated to 1469.
  AviRecipe recipe = ThreeFrames();
  recipe.microSecPerFrame = 33333;
  recipe.audio = true;
  recipe.sampleRate = 22050;
  for (int i = 0; i < 6; ++i) recipe.audioChunks.push_back(test::Ramp(2000, static_cast<uint8_t>(i)));
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  EXPECT_EQ(file.audioBytesPerFrame, 1469u);
  uint64_t expectedStart = 0;
  for (int f = 0; f < 8; ++f) {
    const AviAudioRange r = AviFrameAudioRange(file, f);
    EXPECT_EQ(r.start, expectedStart) << "frame " << f;
    EXPECT_EQ(r.start % 2, 0u) << "frame " << f;
    EXPECT_EQ(r.end % 2, 0u) << "frame " << f;
    EXPECT_LE(r.end - r.start, AviAudioCapacity(file));
    expectedStart = r.end;
  }
  // Over many frames the sound keeps the real rate: 1000 frames are 1,469,985 bytes less a part
  // of a sample.
  EXPECT_EQ(AviFrameAudioRange(file, 1000).start, 1469984u);
}

TEST(AviSound, BytesPerFrameIn64BitArithmetic) {
  AviRecipe recipe = ThreeFrames();
  recipe.microSecPerFrame = 100000;
  recipe.audio = true;
  recipe.sampleRate = 25000000;  // 100,000,000 bytes a second: the product passes 32 bits
  recipe.channels = 2;
  recipe.audioChunks = {test::Ramp(16, 0)};
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  EXPECT_EQ(file.audioBytesPerFrame, 10000000u);
}

TEST(AviSound, NoSoundWithoutAudioChunks) {
  AviRecipe recipe = ThreeFrames();
  recipe.audio = true;  // a stream header, but no chunks
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  EXPECT_EQ(file.hasAudio, 1);
  EXPECT_EQ(file.audioChunkCount, 0);
  EXPECT_EQ(AviAudioCapacity(file), 0u);
  EXPECT_TRUE(FrameSound(file, bytes, 0).empty());
}

// ---- Video header ------------------------------------------------------------------------------

TEST(AviVideoHeader, NegativeHeightMeansTopDownRows) {
  AviRecipe recipe = ThreeFrames();
  recipe.height = -3;
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  EXPECT_EQ(file.height, 3);
  EXPECT_TRUE(file.topDown);
  EXPECT_EQ(file.width, 7);
  EXPECT_EQ(file.bitCount, 24);
  EXPECT_EQ(file.microSecPerFrame, 40000u);
}

TEST(AviVideoHeader, PaletteOfTheGivenCount) {
  AviRecipe recipe = ThreeFrames();
  recipe.bitCount = 8;
  recipe.palette = {0x112233, 0x445566, 0x778899, 0xAABBCC};
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  ASSERT_TRUE(file.hasPalette);
  uint32_t rgb[256];
  AviPaletteRgb(file, rgb);
  EXPECT_EQ(rgb[0], 0x112233u);
  EXPECT_EQ(rgb[3], 0xAABBCCu);
  EXPECT_EQ(rgb[4], 0u);
}

TEST(AviVideoHeader, NoCountAtEightBitsTakesTheWholeTable) {
  AviRecipe recipe = ThreeFrames();
  recipe.bitCount = 8;
  for (uint32_t i = 0; i < 256; ++i) recipe.palette.push_back(i * 0x010101u);
  recipe.coloursUsed = 0;
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  uint32_t rgb[256];
  AviPaletteRgb(file, rgb);
  EXPECT_EQ(rgb[255], 0xFFFFFFu);
  EXPECT_EQ(rgb[128], 0x808080u);
}

TEST(AviVideoHeader, APaletteCountBeyondTheHeaderReadsOnlyWhatIsThere) {
  AviRecipe recipe = ThreeFrames();
  recipe.bitCount = 8;
  recipe.palette = {0x010203, 0x040506};
  recipe.coloursUsed = 256;
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  uint32_t rgb[256];
  AviPaletteRgb(file, rgb);
  EXPECT_EQ(rgb[1], 0x040506u);
  EXPECT_EQ(rgb[2], 0u);
}

// ---- Rejected files and the dump -----------------------------------------------------------------

TEST(AviDump, NamesWhatItFinds) {
  AviRecipe recipe = ThreeFrames();
  recipe.junkAtTop = true;
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  const Dumped d = ParseWithDump(bytes, &file, "clip.avi");
  ASSERT_TRUE(d.ok);
  const std::string head = "Contents of file clip.avi (" + std::to_string(bytes.size()) + " bytes):\n\n" +
                           "Riff of type AVI    size " + std::to_string(bytes.size() - 8) + " bytes.\n";
  EXPECT_EQ(d.text.substr(0, head.size()), head) << d.text;
  EXPECT_NE(d.text.find("LIST hdrl   size "), std::string::npos) << d.text;
  EXPECT_NE(d.text.find("LIST strl   size "), std::string::npos) << d.text;
  EXPECT_NE(d.text.find("LIST movi   size "), std::string::npos) << d.text;
  EXPECT_NE(d.text.find("Unexpected tag JUNK   size 12 bytes.\n"), std::string::npos) << d.text;
  EXPECT_NE(d.text.find("idx1 chunk, 3 elements.\n"), std::string::npos) << d.text;
}

TEST(AviDump, NoMoviListIsRejected) {
  AviRecipe recipe = ThreeFrames();
  recipe.withMovi = false;
  recipe.index = AviIndexForm::kNone;
  const auto bytes = BuildAvi(recipe);
  AviFile file;
  const Dumped d = ParseWithDump(bytes, &file);
  EXPECT_FALSE(d.ok);
  EXPECT_NE(d.text.find("No movi LIST.\n"), std::string::npos) << d.text;
}

TEST(AviDump, NotRiffAviIsRejected) {
  for (const std::string& head : {std::string("RIFX\x10\0\0\0AVI ", 12), std::string("RIFF\x10\0\0\0WAVE", 12),
                                  std::string("RIFF"), std::string()}) {
    std::vector<uint8_t> bytes(head.begin(), head.end());
    bytes.resize(std::max<size_t>(bytes.size(), head.empty() ? 0 : 24), 0);
    AviFile file;
    const Dumped d = ParseWithDump(bytes, &file);
    EXPECT_FALSE(d.ok);
    EXPECT_NE(d.text.find("Not a RIFF file.\n"), std::string::npos) << d.text;
    MemoryByteSource in(bytes.data(), bytes.size());
    EXPECT_FALSE(AviIsRiffAvi(in));
  }
  const auto good = BuildAvi(ThreeFrames());
  MemoryByteSource in(good.data(), good.size());
  EXPECT_TRUE(AviIsRiffAvi(in));
}

// ---- Sizes that lie ------------------------------------------------------------------------------

void Patch32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
size_t Find(const std::vector<uint8_t>& b, const char* tag, size_t from = 0) {
  for (size_t i = from; i + 4 <= b.size(); ++i)
    if (std::memcmp(b.data() + i, tag, 4) == 0) return i;
  return std::string::npos;
}

TEST(AviHostile, HugeChunkSizesAreBoundedByTheFile) {
  const auto good = BuildAvi(ThreeFrames());
  for (const char* tag : {"avih", "strh", "strf", "hdrl", "00dc", "idx1", "movi"}) {
    SCOPED_TRACE(tag);
    auto bytes = good;
    size_t at = Find(bytes, tag);
    ASSERT_NE(at, std::string::npos);
    // The size word: after the tag for chunks, before the list type for lists.
    const bool list = std::string(tag) == "hdrl" || std::string(tag) == "movi";
    Patch32(bytes, list ? at - 4 : at + 4, 0xFFFFFFF0u);
    AviFile file;
    Parse(bytes, &file);
    EXPECT_LE(file.index.videoStrf.size(), 4u + kAviMaxHeaderBlock);
    EXPECT_LE(file.largestFrame, bytes.size());
    for (int i = 0; i < file.frameCount; ++i) ReadFrame(file, bytes, i);
  }
}

TEST(AviHostile, Idx1EntriesPointingOutsideTheFileDoNotRead) {
  auto bytes = BuildAvi(ThreeFrames());
  const size_t idx1 = Find(bytes, "idx1");
  ASSERT_NE(idx1, std::string::npos);
  Patch32(bytes, idx1 + 8 + 16 + 8, 0x7FFFFFF0u);   // second entry's offset
  Patch32(bytes, idx1 + 8 + 32 + 12, 0xFFFFFF00u);  // third entry's size
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  ASSERT_EQ(file.frameCount, 3);
  EXPECT_FALSE(ReadFrame(file, bytes, 0).empty());
  EXPECT_TRUE(ReadFrame(file, bytes, 1).empty());
  EXPECT_TRUE(ReadFrame(file, bytes, 2).empty());
  EXPECT_LE(file.largestFrame, bytes.size());
}

TEST(AviHostile, TruncatedEverywhereNeverReadsOutside) {
  AviRecipe recipe = ThreeFrames();
  recipe.audio = true;
  recipe.audioChunks = {test::Ramp(64, 0), test::Ramp(64, 64), test::Ramp(64, 128)};
  const auto whole = BuildAvi(recipe);
  for (size_t cut = 0; cut < whole.size(); cut += 7) {
    std::vector<uint8_t> bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut));
    AviFile file;
    if (!Parse(bytes, &file)) continue;
    for (int i = 0; i < file.frameCount; ++i) ReadFrame(file, bytes, i);
    for (int i = 0; i < 5; ++i) FrameSound(file, bytes, i);
  }
}

TEST(AviHostile, OddStreamHeadersAreSkipped) {
  auto bytes = BuildAvi(ThreeFrames());
  const size_t vids = Find(bytes, "vids");
  ASSERT_NE(vids, std::string::npos);
  std::memcpy(bytes.data() + vids, "txts", 4);
  AviFile file;
  ASSERT_TRUE(Parse(bytes, &file));
  EXPECT_EQ(file.hasVideo, 0);
  EXPECT_EQ(file.frameCount, 0);
}

}  // namespace
}  // namespace crv
