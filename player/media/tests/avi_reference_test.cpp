// ImgFmtAVI over movies the ffmpeg tool writes at test time: every frame that the table's
// GetFrame gives (slot 0, in turn, through RLoadFrame) against libavcodec's decoding of the
// same file in the bitmap's layout, exactly; the sound of the frames against libavformat's
// audio packets; the facts against libavformat's stream parameters.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "player/base/bytes.h"
#include "player/media/avi_file.h"
#include "player/media/avi_source.h"
#include "player/media/builtin_entry.h"
#include "player/media/format_tables.h"
#include "player/media/tests/avi_builder.h"
#include "player/media/tests/codec_test_movies.h"
#include "player/media/video_facts.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace crv {
namespace {

bool HaveFfmpeg() { return std::system("ffmpeg -version > /dev/null 2>&1") == 0; }

std::string Args(const std::string& size, const std::string& video, bool sound) {
  std::string a = "-f lavfi -i testsrc2=size=" + size + ":rate=10 ";
  if (sound) a += "-f lavfi -i sine=frequency=440:sample_rate=22050 ";
  a += "-frames:v 8 " + video;
  if (sound) a += " -c:a pcm_s16le -ac 1";
  return a;
}

// libavcodec's bottom-up packed rows as bitmap rows padded to 4 bytes.
std::vector<uint8_t> PadRows(const std::vector<uint8_t>& packed, int width, int height) {
  const size_t row = static_cast<size_t>(width) * 3, dib = DibRowBytes(24, static_cast<uint32_t>(width));
  std::vector<uint8_t> out(dib * static_cast<size_t>(height), 0);
  for (int y = 0; y < height; ++y) std::memcpy(&out[dib * y], &packed[row * y], row);
  return out;
}

struct Sound {
  std::vector<uint8_t> bytes;
  int packets = 0;
  int channels = 0, rate = 0, bits = 0;
  unsigned tag = 0;
};
Sound ReadSound(const std::string& path) {
  Sound s;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return s;
  if (avformat_find_stream_info(format, nullptr) >= 0) {
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index >= 0) {
      const AVCodecParameters* par = format->streams[index]->codecpar;
      s.channels = par->ch_layout.nb_channels;
      s.rate = par->sample_rate;
      s.bits = par->bits_per_coded_sample;
      s.tag = par->codec_tag;
      AVPacket* packet = av_packet_alloc();
      while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index) {
          s.bytes.insert(s.bytes.end(), packet->data, packet->data + packet->size);
          ++s.packets;
        }
        av_packet_unref(packet);
      }
      av_packet_free(&packet);
    }
  }
  avformat_close_input(&format);
  return s;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Case {
  const char* name;
  const char* file;
  std::string args;
  bool palette_via_565;
  const char* code;  // the FourCC the facts report ("" for uncompressed)
};

class AviReferenceTest : public ::testing::TestWithParam<Case> {};

TEST_P(AviReferenceTest, FramesMatchLibavcodec) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg tool";
  const Case& c = GetParam();
  const std::string path = test::WriteMovie(c.file, c.args);
  ASSERT_FALSE(path.empty()) << c.args;
  test::Movie movie;
  test::ReferenceFrames ref;
  ASSERT_TRUE(test::ReadAndDecode(path, c.palette_via_565, &movie, &ref));

  test::OpenedMovie m;
  test::LoadMovie(path, &m);
  ASSERT_EQ(m.result, 0);
  ASSERT_EQ(m.record.frames->width, static_cast<uint32_t>(movie.width));
  ASSERT_EQ(m.record.frames->height, static_cast<uint32_t>(movie.height));
  const size_t bytes = static_cast<size_t>(DibImageBytes(*m.record.info));
  // Motion JPEG's decoder rounds differently from libavcodec's: a few levels at most.
  const bool lossy = std::string(c.code) == "MJPG";
  auto expect_frame = [&](size_t i) {
    const std::vector<uint8_t> got(m.record.pixels, m.record.pixels + bytes);
    const std::vector<uint8_t> want = PadRows(ref.bgr24[i], movie.width, movie.height);
    if (lossy) {
      EXPECT_LE(test::FrameDistance(got, want, true).max, 4) << "frame " << i;
    } else {
      EXPECT_EQ(test::CountDifferences(got, want), 0u) << "frame " << i;
    }
  };
  expect_frame(0);  // the poster is frame 0
  for (size_t i = 0; i < ref.bgr24.size(); ++i) {
    ASSERT_EQ(RLoadFrame(m.file, &m.record, 0, nullptr, 0), 0) << "frame " << i;
    expect_frame(i);
  }
  AviClose();

  VideoFacts facts;
  ASSERT_TRUE(QueryVideoFacts(kVideoAvi, &facts));
  EXPECT_EQ(facts.frames, static_cast<int32_t>(movie.packets.size()));
  EXPECT_STREQ(facts.codec, c.code);
}

TEST_P(AviReferenceTest, SoundOfTheFramesIsTheAudioStream) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg tool";
  const Case& c = GetParam();
  const std::string path = test::WriteMovie(std::string("snd_") + c.file, c.args);
  ASSERT_FALSE(path.empty());
  const Sound sound = ReadSound(path);
  ASSERT_GT(sound.packets, 0);
  const std::vector<uint8_t> bytes = FileBytes(path);
  MemoryByteSource in(bytes.data(), bytes.size());
  AviFile file;
  ASSERT_TRUE(AviParse(in, "snd.avi", nullptr, &file));
  EXPECT_EQ(file.audioChunkCount, sound.packets);
  EXPECT_EQ(file.channels, sound.channels);
  EXPECT_EQ(file.samplesPerSecond, sound.rate);
  EXPECT_EQ(file.bitsPerSample, sound.bits);
  EXPECT_EQ(file.audioFormatTag, sound.tag);
  EXPECT_EQ(file.audioBytesPerFrame, 4410u);  // 44,100 bytes a second, 100 ms a frame
  // Every frame's range, frame after frame, joined: the audio stream.
  std::vector<uint8_t> joined;
  std::vector<uint8_t> buffer(AviAudioCapacity(file));
  const int frames = static_cast<int>(sound.bytes.size() / file.audioBytesPerFrame);
  for (int f = 0; f < frames; ++f) {
    const uint32_t n = AviReadFrameAudio(file, in, f, buffer.data(), static_cast<uint32_t>(buffer.size()));
    joined.insert(joined.end(), buffer.begin(), buffer.begin() + n);
  }
  ASSERT_LE(joined.size(), sound.bytes.size());
  EXPECT_EQ(joined, std::vector<uint8_t>(sound.bytes.begin(), sound.bytes.begin() + static_cast<ptrdiff_t>(joined.size())));

  VideoFacts facts;
  test::OpenedMovie m;
  test::LoadMovie(path, &m);
  ASSERT_EQ(m.result, 0);
  ASSERT_TRUE(QueryVideoFacts(kVideoAvi, &facts));
  EXPECT_TRUE(facts.has_audio);
  EXPECT_EQ(facts.audio_format_tag, 1);
  EXPECT_EQ(facts.audio_channels, 1);
  EXPECT_EQ(facts.audio_rate, 22050u);
  EXPECT_EQ(facts.audio_bits, 16);
}

std::vector<Case> Cases() {
  return {
      {"Cinepak", "cinepak.avi", Args("64x48", "-c:v cinepak", true), false, "cvid"},
      {"MsVideo1", "msvc.avi", Args("64x48", "-c:v msvideo1", true), true, "MSVC"},
      {"Bgr24BottomUp", "dib24.avi", Args("33x10", "-c:v rawvideo -pix_fmt bgr24 -flipped_raw_rgb 1", true), false, ""},
      {"Bgr24TopDown", "dib24_td.avi", Args("33x10", "-c:v rawvideo -pix_fmt bgr24", true), false, ""},
      {"Pal8BottomUp", "dib8.avi", Args("33x10", "-c:v rawvideo -pix_fmt pal8 -flipped_raw_rgb 1", true), false, ""},
      {"Pal8TopDown", "dib8_td.avi", Args("64x48", "-c:v rawvideo -pix_fmt pal8", true), false, ""},
      {"Mjpeg", "mjpeg.avi", Args("64x48", "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p", true), false, "MJPG"},
  };
}

INSTANTIATE_TEST_SUITE_P(Movies, AviReferenceTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// A movie without sound plays clock-led; its facts say so.
TEST(AviReferenceSilent, NoSoundFacts) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg tool";
  const std::string path = test::WriteMovie("silent.avi", Args("32x32", "-c:v cinepak", false));
  ASSERT_FALSE(path.empty());
  test::OpenedMovie m;
  test::LoadMovie(path, &m);
  ASSERT_EQ(m.result, 0);
  VideoFacts facts;
  ASSERT_TRUE(QueryVideoFacts(kVideoAvi, &facts));
  EXPECT_FALSE(facts.has_audio);
  EXPECT_EQ(facts.frames, 8);
  EXPECT_EQ(CurrentAviFile().microSecPerFrame, 100000u);
}

// ffmpeg's files carry an idx1 with offsets counting from the movi list; the same file with
// its idx1 removed is indexed from movi with the same entries.
TEST(AviReferenceIndex, Idx1AndTheMoviWalkAgree) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg tool";
  const std::string path = test::WriteMovie("index.avi", Args("32x32", "-c:v cinepak", true));
  ASSERT_FALSE(path.empty());
  std::vector<uint8_t> bytes = FileBytes(path);
  MemoryByteSource in(bytes.data(), bytes.size());
  AviFile withIndex;
  ASSERT_TRUE(AviParse(in, "index.avi", nullptr, &withIndex));
  // Rename the idx1 chunk so the parser does not know it.
  for (size_t i = 12; i + 8 <= bytes.size();) {
    const uint32_t size = Le32(&bytes[i + 4]);
    if (std::memcmp(&bytes[i], "idx1", 4) == 0) std::memcpy(&bytes[i], "JUNK", 4);
    i += 8 + size + (size & 1);
  }
  MemoryByteSource renamed(bytes.data(), bytes.size());
  AviFile walked;
  ASSERT_TRUE(AviParse(renamed, "index.avi", nullptr, &walked));
  ASSERT_EQ(walked.index.video.size(), withIndex.index.video.size());
  ASSERT_EQ(walked.index.audio.size(), withIndex.index.audio.size());
  for (size_t i = 0; i < walked.index.video.size(); ++i) {
    EXPECT_EQ(walked.index.video[i].offset, withIndex.index.video[i].offset) << i;
    EXPECT_EQ(walked.index.video[i].size, withIndex.index.video[i].size) << i;
  }
  for (size_t i = 0; i < walked.index.audio.size(); ++i)
    EXPECT_EQ(walked.index.audio[i].total, withIndex.index.audio[i].total) << i;
}

}  // namespace
}  // namespace crv
