// Converting a 30-second 320 x 240 movie (Motion JPEG and 16-bit stereo PCM in AVI) with each
// preset, against the ffmpeg program doing the same conversion in the same run: the same
// codecs, frame size, quantiser, key frame distance and sound format. Prints seconds (best of
// three) and the ratio ours / ffmpeg's.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "converter/conversion.h"
#include "converter/ffmpeg_engine.h"
#include "converter/tests/movie_tools.h"

using namespace conv;
namespace fs = std::filesystem;

namespace {

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <typename F>
double BestOfThree(F&& run) {
  double best = 1e30;
  for (int i = 0; i < 3; ++i) {
    auto start = std::chrono::steady_clock::now();
    if (!run()) return -1.0;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (seconds < best) best = seconds;
  }
  return best;
}

}  // namespace

int main() {
  fs::path dir = fs::temp_directory_path() / ("crv-converter-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string source = (dir / "source.avi").string();
  if (!conv_test::MakeSource(conv_test::Source::kMjpegAvi, source, 30.0, 320, 240)) {
    std::fprintf(stderr, "ffmpeg could not write the source movie\n");
    return 1;
  }
  fs::path presets(CRV_CONVERTER_PRESETS);
  struct Preset {
    const char* name;
    int32_t choice;
    const char* ffmpegVideo;  // the same video settings for the ffmpeg program
  } presetsToRun[] = {
      {"H.263", kChoiceH263,
       "-c:v h263 -vf scale=176:132,pad=176:144:0:4 -q:v 5 -g 24 -bf 0"},
      {"Sorenson 3 (written as Sorenson Video 1)", kChoiceSorenson3, "-c:v svq1 -q:v 5 -g 24"},
  };
  std::printf("Converting a 30 s 320x240 MJPEG + PCM movie, best of 3 runs\n");
  std::printf("%-42s %10s %10s %8s %12s %12s\n", "preset", "ours (s)", "ffmpeg (s)", "ratio", "ours (KB)",
              "ffmpeg (KB)");
  int status = 0;
  for (const Preset& p : presetsToRun) {
    FfmpegMovieEngine engine;
    Converter converter(engine, ReadFile(presets / "h263.qtac"), ReadFile(presets / "sorenson3.qtac"));
    converter.sameFolder = false;
    converter.outputFolder = FromUtf8((dir / "ours").string());
    fs::create_directories(dir / "ours");
    converter.codecChoice = p.choice;
    if (!converter.StartEngine() || converter.PrepareExport() != kPrepared) return 1;
    double ours = BestOfThree([&] {
      fs::remove(dir / "ours" / "source.mov");
      return converter.ConvertOneFile(FromUtf8(source), nullptr) == kConverted;
    });
    std::string theirsOut = (dir / "ffmpeg.mov").string();
    std::string command = std::string(CRV_FFMPEG) + " -nostdin -hide_banner -loglevel error -y -threads 1 -i '" +
                          source + "' " + p.ffmpegVideo + " -threads 1" +
                          " -c:a adpcm_ima_qt -ar 22050 -ac 1 -movflags +faststart -f mov '" + theirsOut + "'";
    double theirs = BestOfThree([&] { return conv_test::Run(command); });
    if (ours < 0 || theirs < 0) {
      std::printf("%-42s failed\n", p.name);
      status = 1;
      continue;
    }
    std::printf("%-42s %10.3f %10.3f %8.2f %12ju %12ju\n", p.name, ours, theirs, ours / theirs,
                static_cast<uintmax_t>(fs::file_size(dir / "ours" / "source.mov") / 1024),
                static_cast<uintmax_t>(fs::file_size(theirsOut) / 1024));
  }
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  return status;
}
