// crvplay FILE [WIDTH HEIGHT [REPORT]]: plays FILE to its end in a video view of WIDTH x HEIGHT
// (default 240 x 180) and prints, as "key: value" lines, what the playback did; with REPORT the
// lines go into that file too (a program started in the device's screen has no console).
#include <windows.h>

#include <cstdio>
#include <string>

#include "player/base/win16.h"
#include "player/media/avi_source.h"
#include "player/media/format_tables.h"
#include "player/media/mpeg_source.h"
#include "player/media/qt_player_source.h"
#include "player/media/source_state.h"
#include "player/media/video_facts.h"
#include "player/media/video_playback.h"
#include "player/pictures/reader_registry.h"
#include "player/playback/video_view.h"

namespace {

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeHost(HINSTANCE instance, int width, int height) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = L"CRVPLAY_HOST";
  RegisterClassW(&wc);
  return CreateWindowExW(0, wc.lpszClassName, L"crvplay", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                         instance, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  using namespace crv;
  if (argc < 2) {
    std::fprintf(stderr, "usage: crvplay FILE [WIDTH HEIGHT]\n");
    return 2;
  }
  const int width = argc >= 4 ? _wtoi(argv[2]) : 240;
  const int height = argc >= 4 ? _wtoi(argv[3]) : 180;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterAviSource();
  RegisterQtSource();
  RegisterMpegSource();
  ChangeMediaMode(true);
  LoadMpegLibrary();

  HWND host = MakeHost(instance, width, height);
  CVideoView view;
  const RECT area{0, 0, width, height};
  if (!host || !view.Create(host, area, instance)) {
    std::fprintf(stderr, "crvplay: no window\n");
    return 1;
  }
  ShowWindow(view.Handle(), SW_SHOW);
  const std::u16string path = U(argv[1]);
  if (!view.Open(path.c_str())) {
    std::printf("result: %d\n", static_cast<int>(view.LastResult()));
    return 1;
  }
  VideoFacts facts;
  const int format = FindFormatIndex(path.c_str(), FormatRows(FormatTable::Video));
  const bool haveFacts = QueryVideoFacts(format, &facts);
  const int64_t lengthMs = view.DurationMs();

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  view.Play();
  QueryPerformanceCounter(&end);
  const double wallMs = 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart;

  const PlaybackStats& stats = TheVideoPlayback().Stats();
  FILE* report = argc >= 5 ? _wfopen(argv[4], L"w") : nullptr;
  auto say = [&](const char* format, auto... values) {
    std::printf(format, values...);
    if (report) std::fprintf(report, format, values...);
  };
  const int frames = haveFacts ? facts.frames : 0;
  const double frameMs = frames > 0 ? static_cast<double>(lengthMs) / frames : 0;
  say("result: 0\n");
  say("frames: %d\n", frames);
  say("length_ms: %lld\n", static_cast<long long>(lengthMs));
  say("wall_ms: %.0f\n", wallMs);
  say("frames_due: %d\n", frames);
  say("frames_shown: %d\n", stats.shown);
  say("frames_passed_over: %d\n", stats.skipped);
  say("frames_not_shown: %d\n", frames > stats.shown ? frames - stats.shown : 0);
  if (stats.audibleAtEnd >= 0)
    say("av_offset_ms: %.1f\n", (stats.lastShown - stats.audibleAtEnd) * frameMs);
  else
    say("av_offset_ms: none (no sound)\n");
  if (stats.shown > 0) {
    say("decode_ms_per_frame: %.3f\n", stats.decodeMicroseconds / 1000.0 / stats.shown);
    say("blit_ms_per_frame: %.3f\n", stats.showMicroseconds / 1000.0 / stats.shown);
  }
  if (report) std::fclose(report);
  DestroyWindow(host);
  UnloadMpegLibrary();
  return 0;
}
