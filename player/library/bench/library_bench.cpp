// Timings of the media library on a 10,000-item library: load (with the file-exists check of
// every entry), each view of the library dialog, and save.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include "player/library/media_library.h"

using namespace crv;

namespace {

constexpr int kItems = 10000;

// A temporary program folder with 10,000 empty media files and their library file.
class BenchLibrary {
 public:
  BenchLibrary() {
    namespace fs = std::filesystem;
    native_ = fs::path("/tmp") / ("crv-library-bench-" + std::to_string(::getpid()));
    fs::create_directories(native_ / "music");
    folder_ = FromUtf8(native_.string());
    for (auto& c : folder_)
      if (c == u'/') c = u'\\';
    folder_ += u'\\';
    CMediaLibrary library;
    for (int i = 0; i < kItems; ++i) {
      const std::string name = "track" + std::to_string(i) + (i % 10 == 0 ? ".avi" : ".mp3");
      std::ofstream(native_ / "music" / name).put('x');
      CMediaItem item;
      item.SetLocation(folder_ + u"music\\" + FromUtf8(name));
      item.SetTitle(FromUtf8("Title " + std::to_string((i * 7919) % kItems)));
      const int artist = i % 500;
      item.SetArtist(FromUtf8((artist % 2 ? "ARTIST " : "Artist ") + std::to_string(artist / 2)));
      item.SetAlbum(FromUtf8("Album " + std::to_string(i % 1000)));
      item.SetGenre(FromUtf8("Genre " + std::to_string(i % 20)));
      library.Add(item);
    }
    library.Save(folder_);
  }
  ~BenchLibrary() {
    std::error_code ec;
    std::filesystem::remove_all(native_, ec);
  }
  const u16& Folder() const { return folder_; }

 private:
  std::filesystem::path native_;
  u16 folder_;
};

BenchLibrary& Shared() {
  static BenchLibrary lib;
  return lib;
}

void BM_Load(benchmark::State& state) {
  const u16& folder = Shared().Folder();
  for (auto _ : state) {
    CMediaLibrary library;
    library.Load(folder);
    if (library.Count() != kItems) state.SkipWithError("items lost");
    benchmark::DoNotOptimize(library.Count());
  }
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

void BM_ViewAllMusic(benchmark::State& state) {
  CMediaLibrary library;
  library.Load(Shared().Folder());
  MediaItemList out;
  for (auto _ : state) {
    library.ItemsOfType(kMediaMusic, out);
    benchmark::DoNotOptimize(out.size());
  }
  state.counters["items"] = static_cast<double>(out.size());
}
BENCHMARK(BM_ViewAllMusic)->Unit(benchmark::kMillisecond);

void BM_ViewDistinctArtists(benchmark::State& state) {
  CMediaLibrary library;
  library.Load(Shared().Folder());
  std::vector<u16> out;
  for (auto _ : state) {
    out.clear();
    library.DistinctArtists(kMediaMusic, out);
    benchmark::DoNotOptimize(out.size());
  }
  state.counters["artists"] = static_cast<double>(out.size());
}
BENCHMARK(BM_ViewDistinctArtists)->Unit(benchmark::kMillisecond);

void BM_ViewItemsByArtist(benchmark::State& state) {
  CMediaLibrary library;
  library.Load(Shared().Folder());
  MediaItemList out;
  for (auto _ : state) {
    library.ItemsByArtist(kMediaMusic, u"artist 7", out);
    benchmark::DoNotOptimize(out.size());
  }
  state.counters["items"] = static_cast<double>(out.size());
}
BENCHMARK(BM_ViewItemsByArtist)->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State& state) {
  CMediaLibrary library;
  library.Load(Shared().Folder());
  for (auto _ : state) {
    if (!library.Save(Shared().Folder())) state.SkipWithError("save failed");
  }
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
