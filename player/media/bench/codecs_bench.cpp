// The player's decoders against libavcodec on the same packets, in one run: each benchmark
// decodes a whole movie with both and reports libavcodec's time over ours as "speed_ratio"
// (above 1: ours is faster). The movies are written by the ffmpeg tool when the run starts.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>

#include "player/media/codec_layer.h"
#include "player/media/tests/codec_test_movies.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

using Clock = std::chrono::steady_clock;

double LibavcodecSeconds(const crv::test::Movie& movie) {
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
  const auto start = Clock::now();
  for (size_t i = 0; i < padded.size(); ++i) {
    pkt->data = padded[i].data();
    pkt->size = static_cast<int>(movie.packets[i].size());
    avcodec_send_packet(ctx, pkt);
    avcodec_receive_frame(ctx, frame);
    av_frame_unref(frame);
  }
  const double s = std::chrono::duration<double>(Clock::now() - start).count();
  pkt->data = nullptr;
  av_packet_free(&pkt);
  av_frame_free(&frame);
  avcodec_free_context(&ctx);
  return s;
}

void Run(benchmark::State& state, const char* file, const char* args) {
  const std::string path = crv::test::WriteMovie(file, std::string("-f lavfi -i testsrc2=size=320x240:rate=25 -frames:v 50 ") + args);
  crv::test::Movie movie;
  if (path.empty() || !crv::test::ReadMovie(path, &movie)) {
    state.SkipWithError("could not write the movie (ffmpeg tool)");
    return;
  }
  crv::CodecLayer layer;
  std::vector<uint8_t> out(static_cast<size_t>(movie.width) * movie.height * 2);
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    int w = movie.width, h = movie.height;
    layer.Setup(movie.code, &w, &h, movie.depth, movie.palette.empty() ? nullptr : movie.palette.data(), nullptr);
    const auto start = Clock::now();
    for (const auto& p : movie.packets) benchmark::DoNotOptimize(layer.Decode(p.data(), p.size(), out.data(), false));
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(s);
    ours += s;
    theirs += LibavcodecSeconds(movie);
  }
  state.counters["frames"] = static_cast<double>(movie.packets.size());
  state.counters["speed_ratio"] = ours > 0 ? theirs / ours : 0;
}

void BM_QtRle(benchmark::State& s) { Run(s, "b_qtrle.mov", "-c:v qtrle -pix_fmt rgb24"); }
void BM_Rpza(benchmark::State& s) { Run(s, "b_rpza.mov", "-s 128x96 -c:v rpza -pix_fmt rgb555le"); }
void BM_Cinepak(benchmark::State& s) { Run(s, "b_cinepak.avi", "-c:v cinepak"); }
void BM_MsVideo1(benchmark::State& s) { Run(s, "b_msvc.avi", "-c:v msvideo1"); }
void BM_Mjpeg(benchmark::State& s) { Run(s, "b_mjpeg.avi", "-c:v mjpeg -pix_fmt yuvj420p"); }

BENCHMARK(BM_QtRle)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rpza)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cinepak)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MsVideo1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mjpeg)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
