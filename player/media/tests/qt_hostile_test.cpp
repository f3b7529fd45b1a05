// The atom reader on hand-built movies: the time table and palette rules, sample location
// through the tables, and broken or hostile files, which must fail cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "player/media/qt_file.h"
#include "player/media/tests/qt_builder.h"

namespace crv {
namespace {

using test::Bytes;
using test::TrackSpec;

// Ten frames of 4 bytes each, two chunks: frames 0-5 at data offset 0, 6-9 at 100.
TrackSpec TenFrames() {
  TrackSpec t;
  t.stts = {{10, 60}};
  t.stsc = {{1, 6, 1}, {2, 4, 1}};
  t.sizes = {4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
  t.stco = {0, 100};
  return t;
}

bool Opens(const Bytes& movie, QtFile* file) {
  // The source must outlive the file: kept until the next movie is opened.
  static Bytes kept;
  static std::unique_ptr<MemoryByteSource> source;
  file->movie.reset();
  kept = movie;
  source = std::make_unique<MemoryByteSource>(kept.data(), kept.size());
  return QtOpenFile(source.get(), "test.mov", file);
}

TEST(QtReader, OneLongEntryGivesWholeSeconds) {
  TrackSpec t;
  t.stts = {{100, 600}};
  t.stsc = {{1, 100, 1}};
  t.constant_size = 1;
  t.stco = {0};
  QtFile file;
  ASSERT_TRUE(Opens(test::BuildMovie(Bytes(100, 0), {t}), &file));
  ASSERT_EQ(file.frame_count, 100);
  ASSERT_EQ(file.times.size(), 100u);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(file.times[i].start, int64_t{1000000} * i);
    EXPECT_EQ(file.times[i].duration, 1000000);
  }
  EXPECT_EQ(file.microseconds_per_frame, 0);
  EXPECT_DOUBLE_EQ(file.movie->FrameRate(), 1.0);
  // Silent: the video position alone, whatever the compression.
  EXPECT_DOUBLE_EQ(QtElapsedSeconds(file, 8000, 0), 0.0);
  EXPECT_DOUBLE_EQ(QtElapsedSeconds(file, 0, 42), 42.0);
  file.compression[0] = 'S', file.compression[1] = 'V', file.compression[2] = 'Q', file.compression[3] = '1';
  EXPECT_DOUBLE_EQ(QtElapsedSeconds(file, 0, 42), 42.0);
}

TEST(QtReader, TruncatedDurationsAccumulate) {
  // 1001 units at 30000 is 33366.67 us: starts add the truncated durations.
  const auto times = QtBuildFrameTimes({{2, 1001}, {1, 2002}}, 30000, 4);
  ASSERT_EQ(times.size(), 4u);
  EXPECT_EQ(times[1].start, 33366);
  EXPECT_EQ(times[2].start, 66732);
  EXPECT_EQ(times[2].duration, 66733);
  EXPECT_EQ(times[3].duration, 66733);  // past the table: the last duration again
  EXPECT_EQ(times[3].start, 133465);
}

TEST(QtReader, EightBitWithoutTableGetsSystemPalette) {
  QtFile file;
  ASSERT_TRUE(Opens(test::BuildMovie(Bytes(200, 0), {TenFrames()}), &file));
  ASSERT_TRUE(file.has_palette);
  EXPECT_EQ(file.palette[0], 0xFFFFFFu);
  EXPECT_EQ(file.palette[1], 0xFFFFCCu);
  EXPECT_EQ(file.palette[6], 0xFFCCFFu);
  EXPECT_EQ(file.palette[214], 0x000033u);
  EXPECT_EQ(file.palette[215], 0xEE0000u);
  EXPECT_EQ(file.palette[225], 0x00EE00u);
  EXPECT_EQ(file.palette[235], 0x0000EEu);
  EXPECT_EQ(file.palette[245], 0xEEEEEEu);
  EXPECT_EQ(file.palette[254], 0x111111u);
  EXPECT_EQ(file.palette[255], 0x000000u);
  EXPECT_EQ(std::string(file.compression, 4), "raw ");
  EXPECT_EQ(file.bit_count, 8);
}

TEST(QtReader, OwnColourTableAndDeepVideo) {
  TrackSpec t = TenFrames();
  t.colour_table_id = 0;
  Bytes ctab;
  test::PutBe32(&ctab, 0);
  test::PutBe16(&ctab, 0x8000);
  test::PutBe16(&ctab, 1);  // two entries
  for (uint32_t v : {0x1234u, 0xABCDu}) {
    test::PutBe16(&ctab, 0);
    test::PutBe16(&ctab, v);
    test::PutBe16(&ctab, v >> 1);
    test::PutBe16(&ctab, v >> 2);
  }
  t.colour_table = ctab;
  QtFile file;
  ASSERT_TRUE(Opens(test::BuildMovie(Bytes(200, 0), {t}), &file));
  EXPECT_EQ(file.palette[0], 0x120904u);
  EXPECT_EQ(file.palette[1], 0xAB552Au);
  EXPECT_EQ(file.palette[2], 0u);

  t = TenFrames();
  t.depth = 24;
  ASSERT_TRUE(Opens(test::BuildMovie(Bytes(200, 0), {t}), &file));
  EXPECT_FALSE(file.has_palette);
}

TEST(QtReader, SamplesLocatedThroughChunks) {
  QtFile file;
  ASSERT_TRUE(Opens(test::BuildMovie(Bytes(200, 0), {TenFrames()}), &file));
  QtMovieReader& movie = *file.movie;
  ASSERT_EQ(movie.FrameCount(), 10u);
  uint64_t expect = 8;
  for (uint32_t n = 0; n < 10; ++n) {
    if (n == 6) expect = 108;
    QtSampleSpan span;
    ASSERT_TRUE(movie.LocateSample(n, &span));
    EXPECT_EQ(span.offset, expect) << n;
    EXPECT_EQ(span.size, 4 + n);
    expect += span.size;
  }
  EXPECT_EQ(movie.LargestFrameSize(), 13u);
  QtSampleSpan span;
  EXPECT_FALSE(movie.LocateSample(10, &span));
  // Reading goes on from the sought sample and refuses a buffer that is too small.
  uint8_t buffer[16];
  uint32_t size = 0;
  ASSERT_TRUE(movie.SeekToSample(8));
  EXPECT_FALSE(movie.ReadSample(buffer, 11, &size));
  ASSERT_TRUE(movie.ReadSample(buffer, sizeof buffer, &size));
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(movie.CurrentSample(), 9u);
  EXPECT_FALSE(movie.SeekToSample(10));
}

TEST(QtReader, TopLevelWalk) {
  const Bytes moov = test::BuildMovie(Bytes(200, 0), {TenFrames()});
  // "wide", a 64-bit sized "mdat" and an unknown atom before the movie.
  const Bytes movie = test::Concat({test::Atom("ftyp", Bytes(12, 0)), test::Atom("wide", {}),
                                    test::WideAtom("mdat", Bytes(40, 7), 56), test::Atom("free", Bytes(3, 0)), moov});
  MemoryByteSource source(movie.data(), movie.size());
  QtAtom atom;
  ASSERT_TRUE(QtFindMovieAtom(source, &atom));
  EXPECT_EQ(atom.type, QtType("moov"));
  EXPECT_EQ(atom.End(), movie.size());
  // Without "moov" there is no movie, and nothing past the end of a broken header is read.
  const Bytes none = test::Concat({test::Atom("wide", {}), test::Atom("mdat", Bytes(40, 0))});
  MemoryByteSource no_movie(none.data(), none.size());
  EXPECT_FALSE(QtIsMovie(no_movie));
  QtFile file;
  EXPECT_FALSE(Opens(none, &file));
  EXPECT_EQ(file.movie, nullptr);
}

TEST(QtReader, HeaderSizesAreChecked) {
  const Bytes payload(8, 0);
  QtAtom atom;
  for (uint64_t size : {uint64_t{0xFFFFFFFFFFFFFFFF}, uint64_t{0x8000000000000000}, uint64_t{15}, uint64_t{25}}) {
    const Bytes b = test::WideAtom("moov", payload, size);
    MemoryByteSource source(b.data(), b.size());
    EXPECT_FALSE(QtReadAtomHeader(source, 0, b.size(), &atom)) << size;
  }
  // A 32-bit size past the end, below the header, and a header cut short.
  Bytes b = test::Atom("moov", payload);
  b[3] = 17;
  MemoryByteSource past(b.data(), b.size());
  EXPECT_FALSE(QtReadAtomHeader(past, 0, b.size(), &atom));
  b[3] = 7;
  EXPECT_FALSE(QtReadAtomHeader(past, 0, b.size(), &atom));
  MemoryByteSource short_source(b.data(), 6);
  EXPECT_FALSE(QtReadAtomHeader(short_source, 0, 6, &atom));
  // Size 0 runs to the end of what holds it.
  b[3] = 0;
  ASSERT_TRUE(QtReadAtomHeader(past, 0, b.size(), &atom));
  EXPECT_EQ(atom.size, b.size());
}

// "moov" holding `leaf` with `payload`, nested in the atoms of `path` (outermost first).
Bytes MovieWith(const std::vector<const char*>& path, const char* leaf, const Bytes& payload) {
  Bytes atom = test::Atom(leaf, payload);
  for (auto it = path.rbegin(); it != path.rend(); ++it) atom = test::Atom(*it, atom);
  return test::Atom("moov", atom);
}

TEST(QtReader, HeaderFieldsMustLieInsideTheirPayload) {
  struct Case {
    std::vector<const char*> path;
    const char* leaf;
    uint8_t version;
    size_t smallest;  // the payload that holds every field the reader takes
  } cases[] = {
      {{}, "mvhd", 1, 32},
      {{}, "mvhd", 0, 20},
      {{"trak", "mdia"}, "mdhd", 1, 32},
      {{"trak", "mdia"}, "mdhd", 0, 20},
      {{"trak"}, "tkhd", 1, 96},
      {{"trak"}, "tkhd", 0, 84},
      {{"trak", "mdia"}, "hdlr", 0, 12},
      {{"trak", "edts"}, "elst", 1, 8},
      {{"trak", "mdia", "minf", "stbl"}, "stsd", 0, 8},
      {{"trak", "mdia", "minf", "stbl"}, "stsz", 0, 12},
  };
  for (const Case& c : cases) {
    // Every payload short of the fields is refused, including the ones whose fields would run
    // only a few bytes past the end (the source holds exactly the movie, nothing after it).
    for (size_t n = 1; n <= c.smallest; ++n) {
      Bytes payload(n, 0);
      payload[0] = c.version;
      const Bytes movie = MovieWith(c.path, c.leaf, payload);
      MemoryByteSource source(movie.data(), movie.size());
      QtMovie read;
      EXPECT_EQ(QtReadMovie(source, &read), n == c.smallest) << c.leaf << " version " << int{c.version} << ", " << n;
    }
  }
  // The 64-bit duration of version 1 is read whole.
  Bytes mvhd(20, 0);
  mvhd[0] = 1;
  test::PutBe32(&mvhd, 600);
  test::PutBe64(&mvhd, 0x123456789ABCull);
  const Bytes movie = MovieWith({}, "mvhd", mvhd);
  MemoryByteSource source(movie.data(), movie.size());
  QtMovie read;
  ASSERT_TRUE(QtReadMovie(source, &read));
  EXPECT_EQ(read.time_scale, 600u);
  EXPECT_EQ(read.duration, 0x123456789ABCull);
}

// Patches a big-endian word of the first `type` atom's payload at `at`.
void Patch(Bytes* movie, const char* type, size_t at, uint32_t value) {
  for (size_t i = 4; i + 4 <= movie->size(); ++i) {
    if (std::equal(type, type + 4, movie->begin() + i)) {
      Bytes word;
      test::PutBe32(&word, value);
      std::copy(word.begin(), word.end(), movie->begin() + i + 4 + at);
      return;
    }
  }
  FAIL() << type;
}

TEST(QtReader, HostileTablesFailCleanly) {
  const Bytes good = test::BuildMovie(Bytes(200, 0), {TenFrames()});
  QtFile file;
  ASSERT_TRUE(Opens(good, &file));
  struct Case {
    const char* type;
    size_t at;
    uint32_t value;
  } cases[] = {
      {"stts", 4, 0xFFFFFFFF},  // entry counts far beyond their atoms
      {"stsc", 4, 0x20000000},
      {"stsz", 8, 0x40000000},
      {"stco", 4, 0xFFFFFFF0},
      {"stsd", 4, 0x7FFFFFFF},
      {"stsc", 8, 3},           // the first entry's chunk past "stco"
      {"stsc", 20, 9},          // the second entry's chunk past "stco"
      {"stsc", 20, 1},          // entries out of order
      {"stsc", 8, 0},           // chunk 0
      {"stsc", 24, 1},          // the chunks hold fewer samples than "stsz" names
      {"stsz", 8, 11},          // more sizes named than the list holds
  };
  for (const Case& c : cases) {
    Bytes bad = good;
    Patch(&bad, c.type, c.at, c.value);
    EXPECT_FALSE(Opens(bad, &file)) << c.type << " +" << c.at;
  }
  // A constant sample size whose samples cannot all fit in the file.
  Bytes bad = good;
  Patch(&bad, "stsz", 4, 0x10000000);
  EXPECT_FALSE(Opens(bad, &file));
  // A child atom larger than its parent.
  bad = good;
  Patch(&bad, "stbl", 0, 0x7FFFFFF0);
  EXPECT_FALSE(Opens(bad, &file));
}

TEST(QtReader, SamplesPastTheFileAreNotRead) {
  TrackSpec t = TenFrames();
  t.stco = {0, 0x7FFFFF00};
  t.sizes[9] = 0xFFFFFFFF;
  QtFile file;
  ASSERT_TRUE(Opens(test::BuildMovie(Bytes(200, 0), {t}), &file));
  QtSampleSpan span;
  EXPECT_TRUE(file.movie->LocateSample(5, &span));
  EXPECT_FALSE(file.movie->LocateSample(6, &span));
  EXPECT_EQ(file.movie->FrameSize(9), 0u);
  uint8_t buffer[64];
  uint32_t size;
  ASSERT_TRUE(file.movie->SeekToSample(7));
  EXPECT_FALSE(file.movie->ReadSample(buffer, sizeof buffer, &size));
}

TEST(QtReader, EveryPrefixOpensOrFails) {
  const Bytes good = test::BuildMovie(Bytes(64, 0), {TenFrames()});
  for (size_t n = 0; n < good.size(); ++n) {
    const Bytes cut(good.begin(), good.begin() + n);
    MemoryByteSource source(cut.data(), cut.size());
    QtFile file;
    if (QtOpenFile(&source, "cut", &file)) {
      for (uint32_t i = 0; i < file.movie->FrameCount(); ++i) file.movie->FrameSize(i);
    }
  }
}

}  // namespace
}  // namespace crv
