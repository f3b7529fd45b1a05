// Timings of the media library on a 10,000-item library: load (with the file-exists check of
// every entry), each view of the library dialog, and save; and the library update over a
// device of 10,000 media files in nested folders, with and without reading their tags.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include "player/library/library_update.h"
#include "player/library/media_library.h"
#include "player/library/media_tags.h"

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

// A device of 10,000 media files, 20 folders of 10 folders of 50 files, and a few others that
// the update passes over. Each media file is a copy of one small MP3 with tags (the ffmpeg
// tool writes it), or an empty file when the tool is missing.
class BenchDevice {
 public:
  BenchDevice() {
    namespace fs = std::filesystem;
    native_ = fs::path("/tmp") / ("crv-update-bench-" + std::to_string(::getpid()));
    fs::create_directories(native_);
    const fs::path song = native_ / "song.mp3";
    const std::string command = "ffmpeg -v error -y -f lavfi -i sine=duration=0.2 -c:a libmp3lame -metadata "
                                "artist=Someone -metadata album=Something -metadata genre=Blues '" +
                                song.string() + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) std::ofstream(song).put('x');
    for (int a = 0; a < 20; ++a)
      for (int b = 0; b < 10; ++b) {
        const fs::path folder = native_ / "device" / ("folder" + std::to_string(a)) / ("sub" + std::to_string(b));
        fs::create_directories(folder);
        for (int c = 0; c < 50; ++c)
          fs::copy_file(song, folder / ("track" + std::to_string(c) + (c % 10 == 0 ? ".avi" : ".mp3")));
        std::ofstream(folder / "cover.jpg").put('x');
      }
    root_ = FromUtf8((native_ / "device").string());
    for (auto& c : root_)
      if (c == u'/') c = u'\\';
  }
  ~BenchDevice() {
    std::error_code ec;
    std::filesystem::remove_all(native_, ec);
  }
  const u16& Root() const { return root_; }

 private:
  std::filesystem::path native_;
  u16 root_;
};

struct NoProgress : LibraryUpdate::Progress {
  void StartBar(int) override {}
  void StepBar() override {}
  void ShowCounter(const u16&) override {}
  void ShowPhase(const u16&) override {}
};

void BM_UpdateDevice(benchmark::State& state) {
  static BenchDevice device;
  const bool tags = state.range(0) != 0;
  NoProgress progress;
  int added = 0;
  for (auto _ : state) {
    CMediaLibrary library;
    LibraryUpdate update(library, u"\\Windows", progress, tags ? LibraryUpdate::TagReader(ReadTagsInto) : nullptr);
    update.Run(device.Root());
    added = library.Count();
  }
  state.counters["files"] = added;
  if (added != 10000) state.SkipWithError("not every file was added");
}
BENCHMARK(BM_UpdateDevice)->Arg(0)->Arg(1)->ArgName("tags")->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
