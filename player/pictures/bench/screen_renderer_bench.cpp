// The screen renderer against libswscale's nearest-neighbour scaling (SWS_POINT) to the same
// pixel format, in one run: the same bottom-up source picture, the same screen bitmap as the
// target. Each case counts destination pixels per second ("px/s"); the table at the end gives
// megapixels per second and the ratio renderer / libswscale per case.
//
// libswscale cannot turn a picture, so the quarter-turn case is set against an unturned scale
// with the same number of destination pixels.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unistd.h>
#include <string>
#include <vector>
#include "player/media/alloc_hooks.h"
#include "player/pictures/screen_renderer.h"

using namespace crv;

namespace {

struct Case {
  const char* name;
  int32_t screenW, screenH;
  int32_t srcW, srcH;
  uint32_t bits;
  int32_t dstW, dstH;  // the renderer's destination (after turning)
  int32_t rotation;
};

const Case kCases[] = {
    {"bgr24 640x480 to 240x180", 240, 320, 640, 480, 24, 240, 180, 0},
    {"bgr24 176x144 to 240x196", 240, 320, 176, 144, 24, 240, 196, 0},
    {"bgr24 1600x1200 to 480x360", 480, 640, 1600, 1200, 24, 480, 360, 0},
    {"bgr24 640x480 to 240x320 at 90", 480, 640, 640, 480, 24, 240, 320, 90},
    {"pal8 640x480 to 240x180", 240, 320, 640, 480, 8, 240, 180, 0},
    {"mono 640x480 to 240x180", 240, 320, 640, 480, 1, 240, 180, 0},
};

// A picture record as a source leaves it: header, colour table, bottom-up pixels.
struct Picture {
  explicit Picture(const Case& c) {
    const size_t infoBytes = BitmapInfoBytes(c.bits);
    info.resize(infoBytes);
    auto* h = reinterpret_cast<RBitmapInfoHeader*>(info.data());
    h->size = 40;
    h->width = c.srcW;
    h->height = c.srcH;
    h->planes = 1;
    h->bitCount = static_cast<uint16_t>(c.bits);
    h->sizeImage = static_cast<uint32_t>(DibImageBytes(*h));
    h->clrUsed = PaletteEntries(c.bits);
    for (uint32_t i = 0; i < h->clrUsed; ++i)
      ColourTable(h)[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 3), 0xFF};
    if (c.bits == 1) {  // black and white, as libswscale's MONOBLACK reads the bits
      ColourTable(h)[0] = {0, 0, 0, 0};
      ColourTable(h)[1] = {255, 255, 255, 0};
    }
    pixels.resize(h->sizeImage);
    uint32_t seed = 12345;
    for (auto& p : pixels) p = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    std::memset(&record, 0, sizeof(record));
    ResetRecord(record);
    record.info = h;
    record.pixels = pixels.data();
    rowBytes = static_cast<int>(DibRowBytes(c.bits, c.srcW));
  }
  std::vector<uint8_t> info;
  std::vector<uint8_t> pixels;
  tagRDIBIMG record;
  int rowBytes;
};

void SetRate(benchmark::State& state, const Case& c) {
  state.counters["px/s"] = benchmark::Counter(c.dstW * static_cast<double>(c.dstH),
                                              benchmark::Counter::kIsIterationInvariantRate);
}

void RunRenderer(benchmark::State& state, const Case& c) {
  OverrideScreenSize(c.screenW, c.screenH);
  ScreenRenderer renderer;
  if (!renderer.Create()) {
    state.SkipWithError("no screen bitmap");
    return;
  }
  Picture picture(c);
  const RenderRect source{0, 0, c.srcW, c.srcH};
  const RenderRect destination{0, 0, c.dstW, c.dstH};
  for (auto _ : state) {
    renderer.Draw(picture.record, source, destination, c.rotation);
    benchmark::DoNotOptimize(renderer.PixelAt(0, 0));
    benchmark::ClobberMemory();
  }
  SetRate(state, c);
}

void RunSwscale(benchmark::State& state, const Case& c) {
  OverrideScreenSize(c.screenW, c.screenH);
  ScreenRenderer renderer;  // the same target bitmap as the renderer's
  if (!renderer.Create()) {
    state.SkipWithError("no screen bitmap");
    return;
  }
  Picture picture(c);
  // The unturned scale with the same destination pixel count.
  const bool quarter = c.rotation == 90 || c.rotation == 270 || c.rotation == -90 || c.rotation == -270;
  const int outW = quarter ? c.dstH : c.dstW, outH = quarter ? c.dstW : c.dstH;
  const AVPixelFormat in = c.bits == 8 ? AV_PIX_FMT_PAL8 : c.bits == 1 ? AV_PIX_FMT_MONOBLACK : AV_PIX_FMT_BGR24;
  SwsContext* sws = sws_getContext(c.srcW, c.srcH, in, outW, outH, AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr);
  if (!sws || outW > renderer.Width() || outH > renderer.Height()) {
    state.SkipWithError("no swscale context");
    sws_freeContext(sws);
    return;
  }
  // Bottom-up rows on both sides: start at the top row, step backwards.
  const uint8_t* src[4] = {picture.pixels.data() + static_cast<size_t>(c.srcH - 1) * picture.rowBytes,
                           c.bits == 8 ? picture.info.data() + 40 : nullptr, nullptr, nullptr};
  const int srcStride[4] = {-picture.rowBytes, 0, 0, 0};
  uint8_t* top = const_cast<uint8_t*>(renderer.PixelAt(0, 0));
  uint8_t* dst[4] = {top, nullptr, nullptr, nullptr};
  const int dstStride[4] = {-static_cast<int>(renderer.RowBytes()), 0, 0, 0};
  if (sws_scale(sws, src, srcStride, 0, c.srcH, dst, dstStride) != outH) {
    state.SkipWithError("swscale did not scale");
    sws_freeContext(sws);
    return;
  }
  for (auto _ : state) {
    sws_scale(sws, src, srcStride, 0, c.srcH, dst, dstStride);
    benchmark::DoNotOptimize(top[0]);
    benchmark::ClobberMemory();
  }
  sws_freeContext(sws);
  SetRate(state, c);
}

// The console output as usual, and the rates kept for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal.
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
    std::printf("\n%-34s %14s %14s %8s\n", "case", "renderer MP/s", "swscale MP/s", "ratio");
    for (const Case& c : kCases) {
      auto ours = rates_.find(std::string("renderer/") + c.name);
      auto theirs = rates_.find(std::string("swscale/") + c.name);
      if (ours == rates_.end() || theirs == rates_.end() || theirs->second <= 0) continue;
      std::printf("%-34s %14.1f %14.1f %7.2fx\n", c.name, ours->second, theirs->second, ours->second / theirs->second);
    }
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark((std::string("renderer/") + c.name).c_str(), RunRenderer, c);
    benchmark::RegisterBenchmark((std::string("swscale/") + c.name).c_str(), RunSwscale, c);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  OverrideScreenSize(0, 0);
  return 0;
}
