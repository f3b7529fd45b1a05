// The QuickTime source in the Windows build: H.263 and Sorenson Video 1 movies (written beside
// this program by the ffmpeg tool at build time) decoded through "codecs.dll" frame by frame and
// set against libavcodec's own decoding of the same samples; and a movie played to its end on
// the session's real wave-out device, the sound leading the picture.
#include <windows.h>
#include <mmsystem.h>

#include "player/media/qt_player_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "player/base/text16.h"
#include "player/media/builtin_entry.h"
#include "player/media/source_state.h"
#include "player/media/stream_file.h"
#include "player/media/video_playback.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace crv {
namespace {

// The folder of this program, where the build put the movies and the codec libraries.
std::string BesideProgram(const char* name) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring file(path, n);
  file = file.substr(0, file.find_last_of(L"\\/") + 1);
  char utf8[MAX_PATH * 3];
  if (!WideCharToMultiByte(CP_UTF8, 0, file.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr)) return "";
  return std::string(utf8) + name;
}

bool Exists(const std::string& path) {
  return GetFileAttributesW(reinterpret_cast<const wchar_t*>(FromUtf8(path).c_str())) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::vector<uint8_t>> ReferenceFrames(const std::string& path, int width, int height) {
  std::vector<std::vector<uint8_t>> out;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return out;
  if (avformat_find_stream_info(format, nullptr) < 0) {
    avformat_close_input(&format);
    return out;
  }
  const int video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const AVCodec* codec = video >= 0 ? avcodec_find_decoder(format->streams[video]->codecpar->codec_id) : nullptr;
  AVCodecContext* c = codec ? avcodec_alloc_context3(codec) : nullptr;
  if (!c || avcodec_parameters_to_context(c, format->streams[video]->codecpar) < 0 ||
      avcodec_open2(c, codec, nullptr) < 0) {
    avcodec_free_context(&c);
    avformat_close_input(&format);
    return out;
  }
  c->thread_count = 1;
  AVPacket* p = av_packet_alloc();
  AVFrame* f = av_frame_alloc();
  auto take = [&] {
    while (avcodec_receive_frame(c, f) >= 0) {
      SwsContext* sws = sws_getContext(f->width, f->height, static_cast<AVPixelFormat>(f->format), width, height,
                                       AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
      const int row = width * 3;
      const int aligned = (row + 63) & ~63;
      std::vector<uint8_t> top_down(static_cast<size_t>(aligned) * height + 64);
      uint8_t* planes[4] = {top_down.data(), nullptr, nullptr, nullptr};
      int strides[4] = {aligned, 0, 0, 0};
      if (sws) sws_scale(sws, f->data, f->linesize, 0, f->height, planes, strides);
      sws_freeContext(sws);
      std::vector<uint8_t> bgr(static_cast<size_t>(row) * height);
      for (int y = 0; y < height; ++y)
        std::memcpy(&bgr[static_cast<size_t>(height - 1 - y) * row], &top_down[static_cast<size_t>(y) * aligned], row);
      out.push_back(std::move(bgr));
      av_frame_unref(f);
    }
  };
  while (av_read_frame(format, p) >= 0) {
    if (p->stream_index == video) {
      avcodec_send_packet(c, p);
      take();
    }
    av_packet_unref(p);
  }
  avcodec_send_packet(c, nullptr);
  take();
  av_frame_free(&f);
  av_packet_free(&p);
  avcodec_free_context(&c);
  avformat_close_input(&format);
  return out;
}

struct Loaded {
  tagRDIBIMG record;
  RFileHandle file = nullptr;
  int32_t result = -99;
  explicit Loaded(const std::string& path) {
    std::memset(&record, 0, sizeof record);
    ResetRecord(record);
    SetMediaMode(true);
    RegisterQtSource();
    CopyTo(record.path, kRecordPathChars, FromUtf8(path));
    file = StreamFileOpen(FromUtf8(path));
    result = RLoadImage(file, &record, 0, kLoadReduceLarge);
  }
  ~Loaded() {
    if (record.frames && record.frames->Close) record.frames->Close();
    ReleaseRecord(record);
    StreamFileClose(file);
  }
};

void ExpectLibraryFrames(const char* name, const char* code, int width, int height) {
  av_log_set_level(AV_LOG_FATAL);
  const std::string path = BesideProgram(name);
  if (!Exists(path)) GTEST_SKIP() << name << " was not written (no ffmpeg tool at build time)";
  const auto reference = ReferenceFrames(path, width, height);
  ASSERT_GE(reference.size(), 5u);
  Loaded l(path);
  ASSERT_EQ(l.result, kResultOk) << "codecs.dll beside the program";
  ASSERT_NE(l.record.frames, nullptr);
  RFrameTable* t = l.record.frames;
  ASSERT_EQ(t->width, static_cast<uint32_t>(width));
  ASSERT_EQ(t->height, static_cast<uint32_t>(height));
  VideoFacts facts;
  ASSERT_TRUE(QueryVideoFacts(kVideoQuickTime, &facts));
  EXPECT_STREQ(facts.codec, code);
  EXPECT_EQ(facts.frames, static_cast<int32_t>(reference.size()));
  EXPECT_EQ(facts.audio_format_tag, 0x11);

  RFrameSlot* slot = Slot(t, 0);
  const size_t stride = static_cast<size_t>(DibRowBytes(24, width));
  std::vector<uint8_t> buffer(slot->bytes);
  slot->buffer = buffer.data();
  for (size_t i = 0; i < reference.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "frame " << i);
    ASSERT_EQ(t->GetFrame(l.file, t, 0, 0), 0);
    int largest = 0;
    double sum = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width * 3; ++x) {
        const int e = std::abs(buffer[y * stride + x] - reference[i][static_cast<size_t>(y) * width * 3 + x]);
        largest = std::max(largest, e);
        sum += e;
      }
    EXPECT_LE(largest, 8);
    EXPECT_LT(sum / (width * height * 3.0), 1.5);
    if (i == 0) {
      EXPECT_EQ(std::memcmp(l.record.pixels, buffer.data(), buffer.size()), 0) << "the poster";
    }
  }
  EXPECT_EQ(t->GetFrame(l.file, t, 0, 0), -1);
  slot->buffer = nullptr;
}

TEST(QtPlayerWindows, H263ThroughTheCodecLibrary) {
  ExpectLibraryFrames("crv_qt_source_h263.mov", "h263", 176, 144);
}

TEST(QtPlayerWindows, SorensonThroughTheCodecLibrary) {
  ExpectLibraryFrames("crv_qt_source_svq1.mov", "SVQ1", 64, 48);
}

// Played like the view plays it, on the session's wave device (a null sink: buffers finish at
// the real rate): the sound leads and the end comes as frame count - 2, then the limit.
TEST(QtPlayerWindows, PlaysToTheEndOnTheWaveDevice) {
  const std::string path = BesideProgram("crv_qt_source_play.mov");
  if (!Exists(path)) GTEST_SKIP() << "the movie was not written (no ffmpeg tool at build time)";
  if (waveOutGetNumDevs() == 0) {
    if (std::getenv("PULSE_SERVER")) FAIL() << "the session's sound server offers no device";
    GTEST_SKIP() << "no sound server in this session";
  }
  Loaded l(path);
  ASSERT_EQ(l.result, kResultOk);
  RFrameTable* t = l.record.frames;
  ASSERT_EQ(t->Start(l.file, nullptr, l.record.path, 0), 0);
  ASSERT_TRUE(CurrentPlaybackAudio().IsPrepared()) << "the device took 16-bit mono";
  const int count = QtFrameCount();
  ASSERT_EQ(count, 20);
  const RRect source{0, 0, 64, 48}, target{0, 0, 64, 48};
  std::vector<int> returned;
  int current = 0;
  const DWORD start = GetTickCount();
  while (current != count - 1 && GetTickCount() - start < 20000) {
    const int next = t->Step(nullptr, current, &source, &target, 0);
    ASSERT_GE(next, 0);
    if (returned.empty() || returned.back() != next) returned.push_back(next);
    current = next;
    Sleep(2);
  }
  ASSERT_EQ(current, count - 1) << "reached the frame limit";
  ASSERT_GE(returned.size(), 3u);
  EXPECT_EQ(returned[returned.size() - 2], count - 2);
  EXPECT_TRUE(std::is_sorted(returned.begin(), returned.end())) << "the picture never goes back";
  EXPECT_GT(QtPlaybackElapsedSeconds(), 0.5);
  EXPECT_EQ(t->Close(), 0);
  EXPECT_FALSE(CurrentPlaybackAudio().IsPrepared());
}

}  // namespace
}  // namespace crv
