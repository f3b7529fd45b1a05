// The player's decoders against libavcodec on the same packets, in one run. Each benchmark
// decodes a whole movie three ways and reports frames per second for each and two ratios
// (above 1: ours is faster):
//   ratio_bare  libavcodec's decode alone, stopping at its own pixel format;
//   ratio_565   libavcodec's decode plus libswscale's conversion to the 5-6-5 pictures the
//               player shows, which is the work ours does.
// Two pictures per codec, so that no decoder is tuned to one: ffmpeg's testsrc2 pattern and a
// natural-looking zoom into the Mandelbrot set. The movies are written by the ffmpeg tool when
// the run starts.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <string>

#include "player/media/codec_layer.h"
#include "player/media/tests/codec_test_movies.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

namespace {

using Clock = std::chrono::steady_clock;

// Seconds libavcodec takes for the whole movie, with the conversion to 5-6-5 when asked.
double LibavcodecSeconds(const crv::test::Movie& movie, bool to565) {
  const AVCodec* codec = avcodec_find_decoder(movie.codec);
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  ctx->width = movie.width;
  ctx->height = movie.height;
  ctx->bits_per_coded_sample = movie.depth;
  ctx->thread_count = 1;
  avcodec_open2(ctx, codec, nullptr);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  std::vector<std::vector<uint8_t>> padded;
  for (const auto& p : movie.packets) {
    padded.push_back(p);
    padded.back().resize(p.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  }
  SwsContext* scaler = nullptr;
  std::vector<uint8_t> out(static_cast<size_t>(movie.width) * movie.height * 2 + 64);
  uint8_t* planes[4] = {out.data(), nullptr, nullptr, nullptr};
  int strides[4] = {movie.width * 2, 0, 0, 0};
  const auto start = Clock::now();
  for (size_t i = 0; i < padded.size(); ++i) {
    pkt->data = padded[i].data();
    pkt->size = static_cast<int>(movie.packets[i].size());
    avcodec_send_packet(ctx, pkt);
    if (avcodec_receive_frame(ctx, frame) >= 0 && to565) {
      scaler = sws_getCachedContext(scaler, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                    movie.width, movie.height, AV_PIX_FMT_RGB565LE, SWS_POINT, nullptr, nullptr,
                                    nullptr);
      if (scaler) sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
    }
    av_frame_unref(frame);
  }
  const double s = std::chrono::duration<double>(Clock::now() - start).count();
  sws_freeContext(scaler);
  pkt->data = nullptr;
  av_packet_free(&pkt);
  av_frame_free(&frame);
  avcodec_free_context(&ctx);
  return s;
}

constexpr const char* kTestPattern = "-f lavfi -i testsrc2=size=320x240:rate=25 -frames:v 50 ";
constexpr const char* kMandelbrot = "-f lavfi -i mandelbrot=size=320x240:rate=25 -frames:v 50 ";

void Run(benchmark::State& state, const char* file, const char* source, const char* args) {
  const std::string path = crv::test::WriteMovie(file, std::string(source) + args);
  crv::test::Movie movie;
  if (path.empty() || !crv::test::ReadMovie(path, &movie)) {
    state.SkipWithError("could not write the movie (ffmpeg tool)");
    return;
  }
  crv::CodecLayer layer;
  std::vector<uint8_t> out(static_cast<size_t>(movie.width) * movie.height * 2);
  double ours = 0, bare = 0, with565 = 0;
  for (auto _ : state) {
    int w = movie.width, h = movie.height;
    layer.Setup(movie.code, &w, &h, movie.depth, movie.palette.empty() ? nullptr : movie.palette.data(), nullptr);
    const auto start = Clock::now();
    for (const auto& p : movie.packets) benchmark::DoNotOptimize(layer.Decode(p.data(), p.size(), out.data(), false));
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(s);
    ours += s;
    bare += LibavcodecSeconds(movie, false);
    with565 += LibavcodecSeconds(movie, true);
  }
  const double frames = static_cast<double>(movie.packets.size()) * static_cast<double>(state.iterations());
  state.counters["frames"] = static_cast<double>(movie.packets.size());
  state.counters["ours_fps"] = ours > 0 ? frames / ours : 0;
  state.counters["lavc_fps"] = bare > 0 ? frames / bare : 0;
  state.counters["lavc565_fps"] = with565 > 0 ? frames / with565 : 0;
  state.counters["ratio_bare"] = ours > 0 ? bare / ours : 0;
  state.counters["ratio_565"] = ours > 0 ? with565 / ours : 0;
}

struct Codec {
  const char* name;
  const char* args;
};
const Codec kCodecs[] = {
    {"QtRle", "-c:v qtrle -pix_fmt rgb24"},
    {"Rpza", "-s 128x96 -c:v rpza -pix_fmt rgb555le"},
    {"Cinepak", "-c:v cinepak"},
    {"MsVideo1", "-c:v msvideo1"},
    {"Mjpeg", "-c:v mjpeg -pix_fmt yuvj420p"},
};

const char* Extension(const std::string& name) { return name == "QtRle" || name == "Rpza" ? ".mov" : ".avi"; }

int RegisterAll() {
  for (const Codec& c : kCodecs)
    for (const bool natural : {false, true}) {
      const std::string name = std::string("BM_") + c.name + (natural ? "/mandelbrot" : "/testsrc2");
      const std::string file = std::string("b_") + c.name + (natural ? "_m" : "_t") + Extension(c.name);
      const char* source = natural ? kMandelbrot : kTestPattern;
      const char* args = c.args;
      benchmark::RegisterBenchmark(name.c_str(), [file, source, args](benchmark::State& s) {
        Run(s, file.c_str(), source, args);
      })->UseManualTime()->Unit(benchmark::kMillisecond);
    }
  return 0;
}
const int registered = RegisterAll();

}  // namespace

BENCHMARK_MAIN();
