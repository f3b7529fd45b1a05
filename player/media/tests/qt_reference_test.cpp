// The atom reader against libavformat and libavcodec on movies the ffmpeg tool writes at test
// time: the same samples at the same places, the same frame times, and exactly the samples
// libavcodec decodes from the first channel of the sound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "player/media/qt_file.h"
#include "player/media/tests/codec_test_movies.h"
#include "player/media/tests/qt_builder.h"

namespace crv {
namespace {

using test::MovieDir;
using test::WriteMovie;

std::string WriteBytes(const std::string& name, const test::Bytes& bytes) {
  const std::string path = MovieDir() + "/" + name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return path;
}

struct Opened {
  std::vector<uint8_t> bytes;
  std::unique_ptr<MemoryByteSource> source;
  QtFile file;
};

bool OpenMovie(const std::string& path, Opened* o) {
  std::ifstream in(path, std::ios::binary);
  o->bytes.assign(std::istreambuf_iterator<char>(in), {});
  o->source = std::make_unique<MemoryByteSource>(o->bytes.data(), o->bytes.size());
  return QtOpenFile(o->source.get(), path.c_str(), &o->file);
}

// Samples, frame times and sound against the reference.
void ExpectMatches(const std::string& path, const char* code) {
  ASSERT_FALSE(path.empty()) << "ffmpeg could not write the movie";
  test::StreamReference ref;
  ASSERT_TRUE(test::ReadStreamReference(path, &ref));
  Opened o;
  ASSERT_TRUE(OpenMovie(path, &o));
  const QtFile& f = o.file;
  EXPECT_EQ(std::string(f.compression, 4), code);
  char tag[4];
  for (int i = 0; i < 4; ++i) tag[i] = static_cast<char>(ref.tag >> (8 * i));
  EXPECT_EQ(std::string(tag, 4), code);
  EXPECT_EQ(f.width, ref.width);
  EXPECT_EQ(f.height, ref.height);
  ASSERT_GE(ref.pos.size(), 3u);
  ASSERT_EQ(f.frame_count, static_cast<int>(ref.pos.size()));
  ASSERT_EQ(f.times.size(), ref.pos.size());
  ASSERT_EQ(f.movie->Video()->time_scale, static_cast<uint32_t>(ref.time_base.den));
  ASSERT_EQ(ref.time_base.num, 1);
  int64_t start = 0;
  uint32_t largest = 0;
  for (size_t n = 0; n < ref.pos.size(); ++n) {
    QtSampleSpan span;
    ASSERT_TRUE(f.movie->LocateSample(static_cast<uint32_t>(n), &span)) << n;
    EXPECT_EQ(span.offset, static_cast<uint64_t>(ref.pos[n])) << n;
    EXPECT_EQ(span.size, static_cast<uint32_t>(ref.size[n])) << n;
    EXPECT_EQ(f.times[n].duration, ref.duration[n] * 1000000 / ref.time_base.den) << n;
    EXPECT_EQ(f.times[n].start, start) << n;
    start += f.times[n].duration;
    largest = std::max(largest, static_cast<uint32_t>(ref.size[n]));
    if (n > 0) {
      EXPECT_EQ(ref.dts[n] - ref.dts[n - 1], ref.duration[n - 1]) << n;
    }
  }
  EXPECT_EQ(f.movie->LargestFrameSize(), largest);
  ASSERT_EQ(f.has_audio != 0, ref.has_audio);
  if (!ref.has_audio) return;
  ASSERT_GT(ref.audio.size(), 1000u);
  EXPECT_EQ(f.sample_rate, ref.rate);
  EXPECT_EQ(QtAudioFormat(f).average_bytes_per_second, 2u * ref.rate);
  ASSERT_EQ(f.audio_length, ref.audio.size());
  QtAudioTrack* audio = o.file.movie->Audio();
  std::vector<int16_t> mine(ref.audio.size() + 100, 1);
  // In uneven pieces, as frames ask for them.
  audio->SetPosition(0);
  size_t done = 0;
  for (uint32_t piece = 1; done < ref.audio.size(); piece = piece * 3 + 7) {
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(piece, ref.audio.size() - done));
    ASSERT_EQ(audio->Decode(mine.data() + done, n), n);
    done += n;
  }
  EXPECT_EQ(audio->Decode(mine.data() + done, 100), 0u);  // past the end: silence
  EXPECT_EQ(mine[done + 99], 0);
  mine.resize(ref.audio.size());
  size_t first_difference = 0;
  while (first_difference < mine.size() && mine[first_difference] == ref.audio[first_difference]) ++first_difference;
  EXPECT_EQ(first_difference, mine.size()) << "first differing sample";
}

const char* kVideo = "-f lavfi -i testsrc=size=64x48:rate=10:duration=2 ";
// Two different channels, so that taking the first one is checked.
const char* kStereo = "-f lavfi -i aevalsrc='0.6*sin(440*2*PI*t)|0.3*sin(300*2*PI*t)':s=22050:d=2 ";
const char* kMono = "-f lavfi -i sine=frequency=523:sample_rate=16000:duration=2 ";

TEST(QtReference, AnimationWithImaStereo) {
  ExpectMatches(WriteMovie("qtrle.mov", std::string(kVideo) + kStereo + "-c:v qtrle -c:a adpcm_ima_qt"), "rle ");
}

TEST(QtReference, RoadPizza) {
  ExpectMatches(WriteMovie("rpza.mov", std::string(kVideo) + "-c:v rpza"), "rpza");
}

TEST(QtReference, CinepakWithEightBitStereo) {
  ExpectMatches(WriteMovie("cvid.mov", std::string(kVideo) + kStereo + "-ar 11025 -c:v cinepak -c:a pcm_u8"), "cvid");
}

TEST(QtReference, SorensonWithIma) {
  ExpectMatches(WriteMovie("svq1.mov", std::string(kVideo) + kMono + "-c:v svq1 -c:a adpcm_ima_qt"), "SVQ1");
}

TEST(QtReference, H263WithIma) {
  ExpectMatches(WriteMovie("h263.mov",
                           "-f lavfi -i testsrc=size=176x144:rate=15:duration=2 " + std::string(kMono) +
                               "-c:v h263 -c:a adpcm_ima_qt"),
                "h263");
}

TEST(QtReference, MovieFirst) {
  const std::string path =
      WriteMovie("faststart.mov", std::string(kVideo) + kStereo + "-c:v qtrle -c:a adpcm_ima_qt -movflags faststart");
  ASSERT_FALSE(path.empty());
  Opened o;
  ASSERT_TRUE(OpenMovie(path, &o));
  QtAtom moov;
  ASSERT_TRUE(QtFindMovieAtom(*o.source, &moov));
  QtSampleSpan first;
  ASSERT_TRUE(o.file.movie->LocateSample(0, &first));
  EXPECT_LT(moov.offset, first.offset);
  ExpectMatches(path, "rle ");
}

TEST(QtReference, VariableFrameDurations) {
  const std::string path = WriteMovie(
      "vfr.mov", std::string(kVideo) +
                     "-vf \"setpts='if(lt(N,5),N*0.1,0.5+(N-5)*0.25)/TB'\" -vsync vfr -video_track_timescale 1000 "
                     "-c:v qtrle");
  ASSERT_FALSE(path.empty());
  Opened o;
  ASSERT_TRUE(OpenMovie(path, &o));
  EXPECT_GE(o.file.movie->Video()->tables.times.size(), 2u);
  ExpectMatches(path, "rle ");
}

// A hand-made movie: 8-bit raw video without a colour table (libavformat gives it its default
// Macintosh palette) and 16-bit stereo "raw " sound in two chunks.
TEST(QtReference, SystemPaletteAndSixteenBitSound) {
  test::TrackSpec video;
  video.stts = {{3, 60}};
  video.stsc = {{1, 1, 1}};
  video.sizes = {128, 128, 128};
  video.stco = {0, 128, 256};
  test::TrackSpec sound;
  sound.video = false;
  sound.format = "raw ";
  sound.time_scale = 8000;
  sound.rate = 8000;
  sound.channels = 2;
  sound.bits = 16;
  sound.stts = {{1500, 1}};
  sound.constant_size = 1;
  sound.stsc = {{1, 1000, 1}, {2, 500, 1}};
  sound.stco = {384, 384 + 4000};
  test::Bytes data(384 + 6000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  const std::string path = WriteBytes("pal.mov", test::BuildMovie(data, {video, sound}));
  ExpectMatches(path, "raw ");
  test::StreamReference ref;
  ASSERT_TRUE(test::ReadStreamReference(path, &ref));
  Opened o;
  ASSERT_TRUE(OpenMovie(path, &o));
  ASSERT_EQ(ref.palette.size(), 256u);
  ASSERT_TRUE(o.file.has_palette);
  EXPECT_EQ(std::vector<uint32_t>(o.file.palette, o.file.palette + 256), ref.palette);
  EXPECT_EQ(o.file.audio_bits, 16);
  EXPECT_EQ(o.file.audio_channels, 2);
  // 1500 samples in all; a frame (1/10 s) is 800 samples of 2 bytes.
  EXPECT_EQ(o.file.audio_length, 1500u);
  ASSERT_EQ(QtAudioBufferBytes(o.file), 2u * 800);
  std::vector<int16_t> buffer(800, 1);
  EXPECT_EQ(QtFrameAudio(o.file, 0, buffer.data(), 1600), 1600u);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), ref.audio.begin()));
  EXPECT_EQ(QtFrameAudio(o.file, 1, buffer.data(), 1600), 1600u);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 700, ref.audio.begin() + 800));
  EXPECT_TRUE(std::all_of(buffer.begin() + 700, buffer.end(), [](int16_t v) { return v == 0; }));  // past the end
  EXPECT_EQ(QtFrameAudio(o.file, 1, buffer.data(), 100), 100u);  // held to the capacity
  EXPECT_EQ(buffer[49], ref.audio[849]);
  // The larger of the two positions: 1200 samples (0.15 s) against 1 frame (0.1 s) and 2.
  EXPECT_DOUBLE_EQ(QtElapsedSeconds(o.file, 1200, 1), 0.15);
  EXPECT_DOUBLE_EQ(QtElapsedSeconds(o.file, 1200, 2), 0.2);
  EXPECT_EQ(QtFrameAudio(o.file, 3, buffer.data(), 100), 0u);
}

}  // namespace
}  // namespace crv
