// The real MPEG library: "codecs.dat" beside this program delivered by the player's own loader
// into a folder of the test, then MPEG-1 files the ffmpeg tool wrote beside it at build time
// probed (against libavcodec's own first picture), played to their end on the session's wave
// device, positioned, and damaged files refused.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "player/base/text16.h"
#include "player/base/win16.h"
#include "player/media/builtin_entry.h"
#include "player/media/format_tables.h"
#include "player/media/img_fmt_base.h"
#include "player/media/mpeg_library_win.h"
#include "player/media/mpeg_source.h"
#include "player/media/source_state.h"
#include "player/media/tests/playback_fakes.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace crv {
namespace {

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring file(path, n);
  return file.substr(0, file.find_last_of(L"\\/") + 1);
}

std::string Utf8(const std::wstring& text) { return ToUtf8(std::u16string(U(text.c_str()))); }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<uint8_t> ReadAll(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(file, nullptr));
  DWORD got = 0;
  if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) got = 0;
  bytes.resize(got);
  CloseHandle(file);
  return bytes;
}

void WriteAll(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD wrote = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
  CloseHandle(file);
}

// libavcodec's first clean picture of the file as width x height 5-6-5 pixels (empty when none).
std::vector<uint16_t> ReferenceFirstPicture(const std::string& path, int width, int height) {
  std::vector<uint16_t> out;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return out;
  avformat_find_stream_info(format, nullptr);
  const int video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const AVCodec* codec = video >= 0 ? avcodec_find_decoder(format->streams[video]->codecpar->codec_id) : nullptr;
  AVCodecContext* c = codec ? avcodec_alloc_context3(codec) : nullptr;
  if (c && avcodec_parameters_to_context(c, format->streams[video]->codecpar) >= 0 &&
      avcodec_open2(c, codec, nullptr) >= 0) {
    AVPacket* p = av_packet_alloc();
    AVFrame* f = av_frame_alloc();
    while (out.empty() && av_read_frame(format, p) >= 0) {
      if (p->stream_index == video && avcodec_send_packet(c, p) >= 0) {
        while (out.empty() && avcodec_receive_frame(c, f) >= 0) {
          if (f->decode_error_flags) continue;
          SwsContext* sws = sws_getContext(f->width, f->height, static_cast<AVPixelFormat>(f->format), width, height,
                                           AV_PIX_FMT_RGB565LE, SWS_BILINEAR, nullptr, nullptr, nullptr);
          const int stride = (width * 2 + 63) & ~63;
          std::vector<uint8_t> rows(static_cast<size_t>(stride) * (height + 1));
          uint8_t* planes[4] = {rows.data(), nullptr, nullptr, nullptr};
          int strides[4] = {stride, 0, 0, 0};
          if (sws && sws_scale(sws, f->data, f->linesize, 0, f->height, planes, strides) == height) {
            out.resize(static_cast<size_t>(width) * height);
            for (int y = 0; y < height; ++y)
              std::memcpy(out.data() + static_cast<size_t>(y) * width, rows.data() + static_cast<size_t>(y) * stride,
                          static_cast<size_t>(width) * 2);
          }
          sws_freeContext(sws);
        }
      }
      av_packet_unref(p);
    }
    av_frame_free(&f);
    av_packet_free(&p);
  }
  avcodec_free_context(&c);
  avformat_close_input(&format);
  return out;
}

struct PlayResult {
  bool ended = false;
  int blits = 0;
  DWORD elapsedMs = 0;
};

// The view's MPEG loop: Step every 100 ms, the thread's messages dispatched, until the end
// message or the time limit.
PlayResult PlayToEnd(const test::FakeDevices& devices, DWORD limitMs) {
  PlayResult result;
  const DWORD start = GetTickCount();
  while (!result.ended && GetTickCount() - start < limitMs) {
    MpegStep(nullptr, 0, nullptr, nullptr, 0);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == kMpegEndMessage) result.ended = true;
      else DispatchMessageW(&message);
    }
    Sleep(100);
  }
  result.elapsedMs = GetTickCount() - start;
  result.blits = devices.display.blits;
  return result;
}

class MpegLibraryWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    av_log_set_level(AV_LOG_QUIET);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"crv_mpeg_" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder_.c_str(), nullptr);
    loader_ = std::make_unique<WinMpegLibraryLoader>(std::u16string(U(folder_.c_str())));
    if (!Exists(ProgramFolder() + L"codecs.dat")) GTEST_SKIP() << "no codecs.dat (no python3 at build time)";
    ASSERT_EQ(LoadMpegLibraryWith(*loader_), 0) << "codecs.dat beside the test program";
    RegisterMpegSource();
    SetMediaMode(true);
    ResetRecord(record_);
    SetMpegViewGeometry(MpegViewGeometry{RRect{0, 0, 320, 240}, RRect{0, 0, 240, 180}, 0, false});
  }
  void TearDown() override {
    ReleaseRecord(record_);
    MpegClose();
    UnloadMpegLibrary();
    RegisterSource(FormatTable::Video, kVideoMpeg, nullptr);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder_ + L"*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = folder_ + found.cFileName;
        SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(name.c_str());
      } while (FindNextFileW(find, &found));
      FindClose(find);
    }
    RemoveDirectoryW(folder_.c_str());
  }

  // A file the build wrote beside this program; the test is skipped without it.
  std::wstring Movie(const wchar_t* name) { return ProgramFolder() + name; }

  int32_t Load(const std::wstring& path) {
    ReleaseRecord(record_);
    CopyTo(record_.path, kRecordPathChars, U(path.c_str()));
    return RLoadImage(nullptr, &record_, 0, kLoadReduceLarge);
  }
  uint32_t SizeWord() const { return record_.frames->height << 16 | record_.frames->width; }

  // Whether a file in the test folder keeps the hidden attribute once set.
  bool FileSystemKeepsHiddenFlag() const {
    const std::wstring probe = folder_ + L"attribute-probe.txt";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    const DWORD attributes = GetFileAttributesW(probe.c_str());
    SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(probe.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN);
  }

  std::wstring folder_;
  std::unique_ptr<WinMpegLibraryLoader> loader_;
  tagRDIBIMG record_{};
};

#define REQUIRE_MOVIE(path)                                                        \
  if (!Exists(path)) GTEST_SKIP() << "no ffmpeg at build time: " << Utf8(path)

TEST_F(MpegLibraryWindows, TheDeliveredLibraryIsAHiddenSystemFileThatGoesWithUnloading) {
  const std::u16string name = MpegLibraryTempName();
  const std::u16string folder(U(folder_.c_str()));
  ASSERT_EQ(name.compare(0, folder.size(), folder), 0);
  EXPECT_EQ(name.compare(folder.size(), 3, u"_w~"), 0);
  const DWORD attributes = GetFileAttributesW(W(name.c_str()));
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  // Wine keeps these two only where the Unix file system takes extended attributes.
  if (FileSystemKeepsHiddenFlag()) {
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_SYSTEM);
  }
  EXPECT_TRUE(IsWindow(static_cast<HWND>(LoadedMpegEntries()->messageWindow())));

  UnloadMpegLibrary();
  EXPECT_FALSE(MpegLibraryLoaded());
  EXPECT_EQ(GetFileAttributesW(W(name.c_str())), INVALID_FILE_ATTRIBUTES);
  // And once more, as when the panel is made again.
  EXPECT_EQ(LoadMpegLibraryWith(*loader_), 0);
}

TEST_F(MpegLibraryWindows, TheFirstPictureIsTheDecodersFirstPicture) {
  const std::wstring path = Movie(L"crv_mpeg_sound.mpg");
  REQUIRE_MOVIE(path);
  ASSERT_EQ(Load(path), 0);
  ASSERT_NE(record_.frames, nullptr);
  ASSERT_EQ(record_.frames->width, 320u);
  ASSERT_EQ(record_.frames->height, 240u);

  const std::vector<uint16_t> reference = ReferenceFirstPicture(Utf8(path), 320, 240);
  ASSERT_EQ(reference.size(), 320u * 240u);
  ASSERT_GT(std::set<uint16_t>(reference.begin(), reference.end()).size(), 20u) << "a picture, not a plain colour";
  std::vector<uint8_t> expected(DibRowBytes(24, 320) * 240);
  Rgb565ToDib24(reference.data(), 320, 320, 240, expected.data());
  int worst = 0;
  for (size_t i = 0; i < expected.size(); ++i) worst = std::max(worst, std::abs(expected[i] - record_.pixels[i]));
  EXPECT_LE(worst, 8);
}

TEST_F(MpegLibraryWindows, PlaysToTheEndOnTheWaveDeviceAndPostsTheEndMessage) {
  const std::wstring path = Movie(L"crv_mpeg_sound.mpg");
  REQUIRE_MOVIE(path);
  test::FakeDevices devices(false);
  ASSERT_EQ(Load(path), 0);
  ASSERT_EQ(MpegStart(nullptr, nullptr, U(path.c_str()), SizeWord()), 0);
  MpegSetVolume(30, false);
  MpegBeforePlay();
  const PlayResult result = PlayToEnd(devices, 9000);
  EXPECT_TRUE(result.ended);
  // Three seconds of pictures, paced by the sound: not over at once, not late.
  EXPECT_GE(result.elapsedMs, 2500u);
  EXPECT_LE(result.elapsedMs, 7000u);
  EXPECT_GE(result.blits, 15);
  EXPECT_TRUE(MpegFrameShown());

  // The snapshot after playback: the picture last shown.
  EXPECT_EQ(RLoadFrame(nullptr, &record_, 0, nullptr, 0), 0);
  MpegPlaybackEnded();
  MpegClose();
}

TEST_F(MpegLibraryWindows, AStreamWithoutSoundPlaysToItsEndByTheClock) {
  const std::wstring path = Movie(L"crv_mpeg_silent.mpg");
  REQUIRE_MOVIE(path);
  test::FakeDevices devices(false);
  ASSERT_EQ(Load(path), 0);
  ASSERT_EQ(record_.frames->width, 176u);
  SetMpegViewGeometry(MpegViewGeometry{RRect{0, 0, 176, 144}, RRect{0, 0, 176, 144}, 90, false});
  ASSERT_EQ(MpegStart(nullptr, nullptr, U(path.c_str()), SizeWord()), 0);
  MpegBeforePlay();
  const PlayResult result = PlayToEnd(devices, 8000);
  EXPECT_TRUE(result.ended);
  EXPECT_GE(result.elapsedMs, 1500u);
  EXPECT_GE(result.blits, 10);
  EXPECT_EQ(devices.display.lastFlags, uint32_t{kStepTurned});
  MpegPlaybackEnded();
}

TEST_F(MpegLibraryWindows, SeekingLandsOnTheSecondAskedForAndPlaysOnFromThere) {
  const std::wstring path = Movie(L"crv_mpeg_sound.mpg");
  REQUIRE_MOVIE(path);
  test::FakeDevices devices(false);
  ASSERT_EQ(Load(path), 0);
  ASSERT_EQ(MpegStart(nullptr, nullptr, U(path.c_str()), SizeWord()), 0);
  MpegBeforePlay();
  // The position conversion: half the range is half the stream's three seconds.
  EXPECT_NEAR(MpegPositionMs(1, 2), 1500, 100);

  // Before the first Step: playback starts there, so it ends in about a second.
  EXPECT_NEAR(MpegSeekMs(2000), 2, 1);
  PlayResult rest = PlayToEnd(devices, 6000);
  EXPECT_TRUE(rest.ended);
  EXPECT_LT(rest.elapsedMs, 2500u);
  MpegPlaybackEnded();

  // While playing.
  MpegBeforePlay();
  for (int i = 0; i < 3; ++i) MpegStep(nullptr, 0, nullptr, nullptr, 0);
  EXPECT_NEAR(MpegSeekMs(1000), 1, 1);
  const int blits = devices.display.blits;
  Sleep(150);
  MpegStep(nullptr, 0, nullptr, nullptr, 0);
  EXPECT_GT(devices.display.blits, blits);

  // A stopped stream shows nothing more and never reports an end.
  MpegStop();
  const PlayResult stopped = PlayToEnd(devices, 600);
  EXPECT_FALSE(stopped.ended);
  MpegPlaybackEnded();
}

TEST_F(MpegLibraryWindows, DamagedFilesAreRefusedAndTheLibraryCarriesOn) {
  const std::wstring good = Movie(L"crv_mpeg_sound.mpg");
  REQUIRE_MOVIE(good);
  const std::vector<uint8_t> bytes = ReadAll(good);
  ASSERT_GT(bytes.size(), 4096u);
  std::mt19937 random(5);
  std::vector<uint8_t> noise(65536);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
  const struct {
    const wchar_t* name;
    std::vector<uint8_t> bytes;
  } damaged[] = {
      {L"noise.mpg", noise},
      {L"cut_header.mpg", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 100)},
      {L"cut_picture.mpg", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 2000)},
      {L"empty.mpg", {}},
      {L"text.mpg", std::vector<uint8_t>{'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'}},
  };
  for (const auto& file : damaged) {
    WriteAll(folder_ + file.name, file.bytes);
    EXPECT_EQ(Load(folder_ + file.name), kResultBadData) << Utf8(file.name);
  }
  EXPECT_EQ(Load(folder_ + L"missing.mpg"), kResultBadData);
  const MpegEntries* library = LoadedMpegEntries();
  EXPECT_EQ(library->probe(nullptr, nullptr), 0u);
  EXPECT_EQ(library->probe(std::string(5000, 'a').c_str(), nullptr), 0u);
  EXPECT_EQ(Load(good), 0);
}

}  // namespace
}  // namespace crv
