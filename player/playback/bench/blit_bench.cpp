// The display blit against libswscale's nearest-neighbour scaling (SWS_POINT) from 5-6-5 to
// the same surface format, in one run, on a screen-sized block of memory standing in for the
// locked primary surface. Each case counts destination pixels per second ("px/s"); the table at
// the end gives megapixels per second and the ratio blit / libswscale, with and without the
// contrast/brightness table. libswscale cannot turn a picture, so the quarter-turn case is set
// against an unturned scale with the same number of destination pixels; nor has it a
// translation table, so both table cases are compared with the same plain scale.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/log.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "player/playback/frame_blit.h"

using namespace crv;

namespace {

struct Case {
  const char* name;
  int srcW, srcH;
  int screenW, screenH;
  BlitRect target;
  bool turned;
  int bits;  // surface: 16 (5-6-5, the handheld's) or 32 (XRGB, Wine's)
};

const Case kCases[] = {
    {"565 176x144 to 240x196", 176, 144, 240, 320, {0, 62, 240, 258}, false, 16},
    {"565 320x240 to 480x640 turned", 320, 240, 480, 640, {0, 0, 480, 640}, true, 16},
    {"xrgb 176x144 to 240x196", 176, 144, 240, 320, {0, 62, 240, 258}, false, 32},
    {"xrgb 320x240 to 480x640 turned", 320, 240, 480, 640, {0, 0, 480, 640}, true, 32},
};

int OutW(const Case& c) { return c.turned ? c.target.bottom - c.target.top : c.target.right - c.target.left; }
int OutH(const Case& c) { return c.turned ? c.target.right - c.target.left : c.target.bottom - c.target.top; }

std::vector<uint16_t> Frame(const Case& c) {
  std::vector<uint16_t> px(size_t(c.srcW) * c.srcH);
  uint32_t seed = 12345;
  for (auto& p : px) p = static_cast<uint16_t>((seed = seed * 1103515245u + 12345u) >> 16);
  return px;
}

// A contrast-like translation, as the adjustment would build it.
const std::vector<uint16_t>& Table() {
  static const std::vector<uint16_t> table = [] {
    std::vector<uint16_t> t(65536);
    for (uint32_t i = 0; i < t.size(); ++i) {
      uint32_t r = (i >> 11) & 31, g = (i >> 5) & 63, b = i & 31;
      r = r * 3 / 4 + 4, g = g * 3 / 4 + 8, b = b * 3 / 4 + 4;
      t[i] = static_cast<uint16_t>((r << 11) | (g << 5) | b);
    }
    return t;
  }();
  return table;
}

void SetRate(benchmark::State& state, const Case& c) {
  state.counters["px/s"] = benchmark::Counter(double(OutW(c)) * OutH(c), benchmark::Counter::kIsIterationInvariantRate);
}

void RunBlit(benchmark::State& state, const Case& c, bool adjust) {
  const std::vector<uint16_t> frame = Frame(c);
  const int bytes = c.bits / 8;
  std::vector<uint8_t> memory(size_t(c.screenW) * c.screenH * bytes);
  BlitSurface surface;
  surface.pixels = memory.data();
  surface.pitch = ptrdiff_t(c.screenW) * bytes;
  surface.width = c.screenW;
  surface.height = c.screenH;
  if (c.bits == 32) surface.format = SurfaceFormat{32, 0xFF0000, 0xFF00, 0xFF};
  BlitJob job;
  job.frame = frame.data();
  job.frameWidth = c.srcW;
  job.frameHeight = c.srcH;
  job.source = BlitRect{0, 0, c.srcW, c.srcH};
  job.target = c.target;
  job.turned = c.turned;
  job.adjust = adjust ? Table().data() : nullptr;
  for (auto _ : state) {
    BlitFrame(job, surface);
    benchmark::DoNotOptimize(memory.data());
    benchmark::ClobberMemory();
  }
  SetRate(state, c);
}

void RunSwscale(benchmark::State& state, const Case& c) {
  const std::vector<uint16_t> frame = Frame(c);
  const int outW = c.turned ? OutH(c) : OutW(c), outH = c.turned ? OutW(c) : OutH(c);
  const AVPixelFormat out = c.bits == 32 ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_RGB565LE;
  SwsContext* sws = sws_getContext(c.srcW, c.srcH, AV_PIX_FMT_RGB565LE, outW, outH, out, SWS_POINT,
                                   nullptr, nullptr, nullptr);
  if (!sws) {
    state.SkipWithError("no swscale context");
    return;
  }
  const int bytes = c.bits / 8;
  std::vector<uint8_t> memory(size_t(c.screenW) * c.screenH * bytes);
  // Into the surface at the target's place, rows of the surface's pitch.
  const int pitch = c.screenW * bytes;
  uint8_t* dst[4] = {memory.data() + size_t(c.target.top) * pitch + size_t(c.target.left) * bytes, nullptr,
                     nullptr, nullptr};
  const int dstStride[4] = {c.turned ? outW * bytes : pitch, 0, 0, 0};
  const uint8_t* src[4] = {reinterpret_cast<const uint8_t*>(frame.data()), nullptr, nullptr, nullptr};
  const int srcStride[4] = {c.srcW * 2, 0, 0, 0};
  for (auto _ : state) {
    sws_scale(sws, src, srcStride, 0, c.srcH, dst, dstStride);
    benchmark::DoNotOptimize(memory.data());
    benchmark::ClobberMemory();
  }
  sws_freeContext(sws);
  SetRate(state, c);
}

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(isatty(1) ? OO_Defaults : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      auto it = run.counters.find("px/s");
      if (it != run.counters.end()) rates_[run.benchmark_name()] = it->second.value / 1e6;
    }
  }
  void PrintRatios() const {
    std::printf("\n%-32s %9s %11s %14s %13s %11s\n", "case", "blit MP/s", "+table MP/s", "swscale MP/s",
                "ratio", "ratio+table");
    for (const Case& c : kCases) {
      auto plain = rates_.find(std::string("blit/") + c.name);
      auto table = rates_.find(std::string("blit+table/") + c.name);
      auto theirs = rates_.find(std::string("swscale/") + c.name);
      if (plain == rates_.end() || table == rates_.end() || theirs == rates_.end() || theirs->second <= 0)
        continue;
      std::printf("%-32s %9.1f %11.1f %14.1f %12.2fx %10.2fx\n", c.name, plain->second, table->second,
                  theirs->second, plain->second / theirs->second, table->second / theirs->second);
    }
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  av_log_set_level(AV_LOG_ERROR);  // no notes about chroma interpolation in the table
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark((std::string("blit/") + c.name).c_str(), RunBlit, c, false);
    benchmark::RegisterBenchmark((std::string("blit+table/") + c.name).c_str(), RunBlit, c, true);
    benchmark::RegisterBenchmark((std::string("swscale/") + c.name).c_str(), RunSwscale, c);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
