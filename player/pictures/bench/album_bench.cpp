// The album with 200 camera-sized JPEGs (half 2048 x 1536, half 4000 x 3000) on a portrait
// 240 x 320 screen, against libjpeg-turbo in the same run:
//
//  - BM_AlbumThumbnails: the time until every thumbnail is in. The album is filled with
//    AddPath on the folder, then a ThumbnailLoader on a thread of its own makes the
//    thumbnails one after the other, as the album view's loader thread does, fitted into the
//    thumbnail box of the portrait screen's cell (names shown); "Load large images in reduced
//    size" off (reduced:0) and on (reduced:1). Meanwhile this thread plays the window thread:
//    every millisecond it takes the album's lock, as painting and taps do, and answers the
//    loader's per-item reports (each also under the lock, as the cell's repaint is). The
//    counters give the longest and the 99th-percentile wait for the lock (wait_*) and from a
//    report's posting to its answer (report_*). The reference is libjpeg-turbo decoding the
//    album's distinct files at full size, and DCT-scaled to 1/8, once each per iteration,
//    counted for every album file that is a copy of them.
//  - BM_ViewPicture: from "View" to the picture on screen for one 4000 x 3000 JPEG: the
//    picture view's load through an ImageHolder (load flag 2 when reduced loading is on, 0
//    when off), its layout fitted into the 240 x 268 view and the screen renderer's drawing;
//    against libjpeg-turbo's full-size decode of the same file into RGB rows.
//
// The pictures are written by ImageMagick's convert the first time (four of them; the others
// are links to them) into $TMPDIR/crv-album-bench (/tmp without TMPDIR) and kept there for
// the next runs. Ratios are reference time / our time (above 1: ours is faster).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <jpeglib.h>

#include "player/media/alloc_hooks.h"
#include "player/media/source_state.h"
#include "player/pictures/album_grid.h"
#include "player/pictures/formats/picture_sources.h"
#include "player/pictures/image_holder.h"
#include "player/pictures/picture_album.h"
#include "player/pictures/picture_view_state.h"
#include "player/pictures/screen_renderer.h"
#include "player/pictures/thumbnail_loader.h"

using namespace crv;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// The portrait device: its screen, the client area the frame gives the album and the picture
// view (less the navigation bar and the soft keys), the system's scroll bar width and the
// file-name band (8 points at 96 dpi).
constexpr int32_t kScreenWidth = 240, kScreenHeight = 320;
constexpr int32_t kClientWidth = 240, kClientHeight = 268;
constexpr int32_t kScrollBarWidth = 16;
constexpr int32_t kDpi = 96;
constexpr int32_t kNamePoints = 8;
constexpr int kAlbumPictures = 200;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }
double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// ---- The album folder ---------------------------------------------------------------------

// The distinct pictures; album file i is a link to (or copy of) source i % 4.
struct Source {
  const char* args;  // convert's arguments before the output name
  int32_t width, height;
};
const Source kSources[] = {
    {"-size 2048x1536 plasma:fractal -attenuate 0.4 +noise Gaussian -quality 88", 2048, 1536},
    {"-size 4000x3000 plasma:fractal -attenuate 0.4 +noise Gaussian -quality 88", 4000, 3000},
    {"-size 2048x1536 gradient:navy-orange -swirl 150 -attenuate 0.5 +noise Gaussian -quality 85", 2048, 1536},
    {"-size 4000x3000 gradient:navy-orange -swirl 150 -attenuate 0.5 +noise Gaussian -quality 85", 4000, 3000},
};
constexpr int kSourceCount = 4;

std::string NameOf(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "photo%03d.jpg", i);
  return name;
}

struct AlbumFolder {
  bool ready = false;
  fs::path native;
  u16 device;  // with backslashes, as the album takes it
  uint64_t bytes = 0;
};

u16 Device(u16 path) {
  for (auto& c : path)
    if (c == u'/') c = u'\\';
  return path;
}
u16 Native(u16 path) {
  for (auto& c : path)
    if (c == u'\\') c = u'/';
  return path;
}

// Made once a process, kept across runs: a folder with the stamp is used as it is.
const AlbumFolder& Folder() {
  static AlbumFolder folder;
  static bool tried = false;
  if (tried) return folder;
  tried = true;
  const char* tmp = std::getenv("TMPDIR");
  folder.native = fs::path(tmp && *tmp ? tmp : "/tmp") / "crv-album-bench";
  const fs::path stamp = folder.native / "complete";
  std::error_code ec;
  if (!fs::exists(stamp, ec)) {
    fs::remove_all(folder.native, ec);
    if (!fs::create_directories(folder.native, ec)) return folder;
    std::fprintf(stderr, "writing the album's pictures into %s ...\n", folder.native.c_str());
    for (int s = 0; s < kSourceCount; ++s) {
      const std::string command = "cd '" + folder.native.string() + "' && convert " + kSources[s].args + " " +
                                  NameOf(s) + " > /dev/null 2>&1";
      if (std::system(command.c_str()) != 0) return folder;
    }
    for (int i = kSourceCount; i < kAlbumPictures; ++i) {
      const fs::path from = folder.native / NameOf(i % kSourceCount), to = folder.native / NameOf(i);
      fs::create_hard_link(from, to, ec);
      if (ec && !fs::copy_file(from, to, ec)) return folder;
    }
    std::ofstream(stamp) << "made by crv_album_bench\n";
  }
  for (int i = 0; i < kAlbumPictures; ++i) {
    const uintmax_t size = fs::file_size(folder.native / NameOf(i), ec);
    if (ec) return folder;
    folder.bytes += size;
  }
  folder.device = Device(folder.native.u16string());
  folder.ready = true;
  return folder;
}

// ---- The player's side ----------------------------------------------------------------------

ReaderRegistry& Registry() {
  static ReaderRegistry registry{nullptr};  // the built-in entry only
  static bool built = false;
  if (!built) {
    RegisterPictureSources();
    SetMediaMode(false);
    registry.Build();
    built = true;
  }
  return registry;
}

// The album view's grid for the album on the portrait screen.
AlbumGrid PortraitGrid(int32_t count) {
  AlbumGrid grid;
  grid.Layout({kClientWidth, kClientHeight}, {kScreenWidth, kScreenHeight}, count, kScrollBarWidth);
  return grid;
}

FitSize ThumbnailBox(int32_t count) {
  return PortraitGrid(count).ThumbnailBox(kScrollBarWidth, PointsToPixels(kNamePoints, kDpi));
}

// ---- libjpeg-turbo --------------------------------------------------------------------------

struct JpegTrap {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};
[[noreturn]] void JpegJump(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegTrap*>(cinfo->err)->jump, 1); }
void JpegQuiet(j_common_ptr) {}

// Decodes the file scaled by num/8 into RGB rows in `rows` (kept across calls, so that a
// decode run again does not pay for its pages). False on any error.
bool LibjpegDecode(const std::string& path, int scaleNum, std::vector<JSAMPLE>& rows) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  jpeg_decompress_struct cinfo;
  JpegTrap trap;
  cinfo.err = jpeg_std_error(&trap.mgr);
  trap.mgr.error_exit = JpegJump;
  trap.mgr.output_message = JpegQuiet;
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  cinfo.scale_num = static_cast<unsigned>(scaleNum);
  cinfo.scale_denom = 8;
  jpeg_start_decompress(&cinfo);
  const size_t rowBytes = size_t{cinfo.output_width} * static_cast<size_t>(cinfo.output_components);
  const size_t need = rowBytes * cinfo.output_height;
  if (rows.size() < need) rows.resize(need);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = rows.data() + size_t{cinfo.output_scanline} * rowBytes;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(f);
  return true;
}

// ---- Results --------------------------------------------------------------------------------

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t rank = static_cast<size_t>(std::ceil(fraction * static_cast<double>(values.size())));
  return values[std::min(values.size() - 1, rank > 0 ? rank - 1 : 0)];
}

std::map<std::string, std::vector<std::string>>& Table() {
  static std::map<std::string, std::vector<std::string>> table;
  return table;
}

// ---- 1 and 2. Every thumbnail in, and the window thread meanwhile ----------------------------

// The loader's reports as the window's message queue holds them: when each was posted.
class PostedReports {
 public:
  void Post() {
    std::lock_guard<std::mutex> hold(mutex_);
    posted_.push_back(Clock::now());
  }
  std::vector<Clock::time_point> Take() {
    std::lock_guard<std::mutex> hold(mutex_);
    std::vector<Clock::time_point> taken;
    taken.swap(posted_);
    return taken;
  }

 private:
  std::mutex mutex_;
  std::vector<Clock::time_point> posted_;
};

void BM_AlbumThumbnails(benchmark::State& state) {
  const bool reduced = state.range(0) != 0;
  const AlbumFolder& folder = Folder();
  if (!folder.ready) {
    state.SkipWithError("could not write the album's pictures (convert)");
    return;
  }
  OverrideScreenSize(kScreenWidth, kScreenHeight);
  ReaderRegistry& registry = Registry();
  const AlbumGrid grid = PortraitGrid(kAlbumPictures);
  ThumbnailSettings settings;
  settings.loadReduced = reduced;
  settings.box = ThumbnailBox(kAlbumPictures);

  std::vector<double> waits, reports;
  double ours = 0, addPath = 0, fullRef = 0, dct8Ref = 0;
  int32_t made = 0, failed = 0, count = 0;
  std::vector<JSAMPLE> rows;
  for (auto _ : state) {
    PictureAlbum album(registry);
    ThumbnailLoader loader(album, registry);
    loader.SetPathMapper(&Native);
    loader.SetSettings(settings);
    PostedReports queue;
    std::atomic<bool> loaderDone{false};

    const auto start = Clock::now();
    count = album.AddPath(folder.device, false, false);
    addPath += Since(start);
    loader.StartFrom(grid.FirstVisible());
    // The album view's loader thread: one item after the other, a report for each.
    std::thread worker([&] {
      const ThumbnailLoader::StopTest stop = [] { return false; };
      for (;;) {
        const ThumbnailResult result = loader.LoadNext(stop);
        if (result.outcome == ThumbnailOutcome::kAborted || result.outcome == ThumbnailOutcome::kNoneLeft) break;
        if (result.index >= 0) queue.Post();
      }
      loaderDone = true;
    });
    // The window thread: a tick every millisecond that takes the lock as painting the visible
    // cells does, then the reports that came in, each answered under the lock.
    int32_t shown = 0;
    auto tick = Clock::now();
    for (;;) {
      const bool finished = loaderDone.load();  // before the reports: none can come after it
      const auto asked = Clock::now();
      {
        std::lock_guard<AlbumLock> hold(album.Lock());
        waits.push_back(Ms(Clock::now() - asked));
        for (int32_t i = grid.FirstVisible(); i < grid.EndVisible(); ++i)
          if (const AlbumItem* item = album.Item(i)) shown += item->Thumbnail().Empty() ? 0 : 1;
      }
      for (const Clock::time_point posted : queue.Take()) {
        std::lock_guard<AlbumLock> hold(album.Lock());
        reports.push_back(Ms(Clock::now() - posted));
      }
      if (finished) break;
      tick += std::chrono::milliseconds(1);
      std::this_thread::sleep_until(tick);
    }
    worker.join();
    const double s = Since(start);
    state.SetIterationTime(s);
    ours += s;
    benchmark::DoNotOptimize(shown);

    made = failed = 0;
    for (const auto& item : album.Items()) {
      if (!item->Thumbnail().Empty()) ++made;
      else if (item->LoadState() == kItemFailed) ++failed;
    }

    // The reference: each distinct file decoded once, counted for all its copies.
    for (int src = 0; src < kSourceCount; ++src) {
      const std::string path = (folder.native / NameOf(src)).string();
      const double copies = static_cast<double>((kAlbumPictures - src + kSourceCount - 1) / kSourceCount);
      auto t = Clock::now();
      benchmark::DoNotOptimize(LibjpegDecode(path, 8, rows));
      fullRef += Since(t) * copies;
      t = Clock::now();
      benchmark::DoNotOptimize(LibjpegDecode(path, 1, rows));
      dct8Ref += Since(t) * copies;
    }
  }
  if (count != kAlbumPictures || made != kAlbumPictures) {
    state.SkipWithError(("album of " + std::to_string(count) + " items, " + std::to_string(made) + " thumbnails, " +
                         std::to_string(failed) + " failed")
                            .c_str());
    return;
  }
  const double n = static_cast<double>(std::max<int64_t>(state.iterations(), 1));
  state.counters["pictures"] = count;
  state.counters["box_w"] = settings.box.width;
  state.counters["box_h"] = settings.box.height;
  state.counters["mean_file_kb"] = static_cast<double>(folder.bytes) / kAlbumPictures / 1024;
  state.counters["ours_ms"] = ours / n * 1e3;
  state.counters["addpath_ms"] = addPath / n * 1e3;
  state.counters["per_picture_ms"] = ours / n * 1e3 / kAlbumPictures;
  state.counters["libjpeg_full_ms"] = fullRef / n * 1e3;
  state.counters["libjpeg_full_ratio"] = ours > 0 ? fullRef / ours : 0;
  state.counters["libjpeg_dct1of8_ms"] = dct8Ref / n * 1e3;
  state.counters["libjpeg_dct1of8_ratio"] = ours > 0 ? dct8Ref / ours : 0;
  const double maxWait = waits.empty() ? 0 : *std::max_element(waits.begin(), waits.end());
  const double maxReport = reports.empty() ? 0 : *std::max_element(reports.begin(), reports.end());
  state.counters["max_wait_ms"] = maxWait;
  state.counters["p99_wait_ms"] = Percentile(waits, 0.99);
  state.counters["max_report_ms"] = maxReport;
  state.counters["p99_report_ms"] = Percentile(reports, 0.99);

  char line[256];
  std::vector<std::string>& lines = Table()[std::string("thumbnails, reduced ") + (reduced ? "on" : "off")];
  lines.clear();
  std::snprintf(line, sizeof line, "all %d in %.0f ms (AddPath %.0f ms); libjpeg full %.2fx, 1/8 %.2fx",
                kAlbumPictures, ours / n * 1e3, addPath / n * 1e3, ours > 0 ? fullRef / ours : 0,
                ours > 0 ? dct8Ref / ours : 0);
  lines.push_back(line);
  std::snprintf(line, sizeof line, "window thread: lock wait max %.3f ms, p99 %.3f ms; report max %.2f ms, p99 %.2f ms",
                maxWait, Percentile(waits, 0.99), maxReport, Percentile(reports, 0.99));
  lines.push_back(line);
}

// ---- 3. From "View" to the picture on screen ---------------------------------------------------

void BM_ViewPicture(benchmark::State& state) {
  const bool reduced = state.range(0) != 0;
  const AlbumFolder& folder = Folder();
  if (!folder.ready) {
    state.SkipWithError("could not write the album's pictures (convert)");
    return;
  }
  OverrideScreenSize(kScreenWidth, kScreenHeight);
  ReaderRegistry& registry = Registry();
  const std::string path = (folder.native / NameOf(1)).string();  // 4000 x 3000
  const u16 nativePath = fs::path(path).u16string();
  const uint32_t flags = reduced ? uint32_t{kLoadReduceLarge} : 0u;
  ScreenRenderer renderer;  // the view's, made once
  if (!renderer.Create()) {
    state.SkipWithError("no screen bitmap");
    return;
  }
  std::vector<JSAMPLE> rows;
  if (!LibjpegDecode(path, 8, rows)) {
    state.SkipWithError("libjpeg failed");
    return;
  }
  double ours = 0, reference = 0;
  int32_t bitmapW = 0, bitmapH = 0;
  RenderRect shown{0, 0, 0, 0};
  bool drawn = true;
  for (auto _ : state) {
    auto start = Clock::now();
    auto holder = std::make_unique<ImageHolder>(registry);
    if (!holder->Load(nativePath.c_str(), flags)) {
      state.SkipWithError("our load failed");
      return;
    }
    const tagRDIBIMG& record = holder->Record();
    AlbumItemFixed item;
    InitialiseViewState(item, ViewOpening{});
    PictureViewState view;
    view.SetViewSize(kClientWidth, kClientHeight);
    view.Bind(&item, record.info->width, std::abs(record.info->height), record.frameCount);
    const RRect& area = view.PictureRect();
    renderer.Fill({area.left, area.top, area.right - area.left, area.bottom - area.top}, 0);
    drawn &= renderer.Draw(record, view.DrawSource(), view.DrawDestination(), view.Rotation());
    benchmark::DoNotOptimize(renderer.PixelAt(kClientWidth / 2, kClientHeight / 2));
    const double s = Since(start);
    state.SetIterationTime(s);
    ours += s;
    bitmapW = record.info->width;
    bitmapH = std::abs(record.info->height);
    shown = view.DrawDestination();
    holder.reset();  // the picture stays with its item in the player: not timed

    start = Clock::now();
    benchmark::DoNotOptimize(LibjpegDecode(path, 8, rows));
    reference += Since(start);
  }
  if (!drawn) {
    state.SkipWithError("the renderer did not draw the picture");
    return;
  }
  const double n = static_cast<double>(std::max<int64_t>(state.iterations(), 1));
  state.counters["load_flags"] = flags;
  state.counters["bitmap_w"] = bitmapW;
  state.counters["bitmap_h"] = bitmapH;
  state.counters["shown_w"] = shown.width;
  state.counters["shown_h"] = shown.height;
  state.counters["ours_ms"] = ours / n * 1e3;
  state.counters["libjpeg_full_ms"] = reference / n * 1e3;
  state.counters["libjpeg_full_ratio"] = ours > 0 ? reference / ours : 0;

  char line[256];
  std::snprintf(line, sizeof line, "%.1f ms (bitmap %dx%d, shown %dx%d); libjpeg full decode %.1f ms, %.2fx",
                ours / n * 1e3, bitmapW, bitmapH, shown.width, shown.height, reference / n * 1e3,
                ours > 0 ? reference / ours : 0);
  Table()[std::string("view 4000x3000, flags ") + std::to_string(flags)] = {line};
}

// A pass over the album takes several seconds: two are enough.
BENCHMARK(BM_AlbumThumbnails)->ArgName("reduced")->Arg(0)->Arg(1)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewPicture)->ArgName("reduced")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void PrintTable() {
  if (Table().empty()) return;
  std::printf("\n");
  for (const auto& [name, lines] : Table())
    for (const std::string& l : lines) std::printf("%-30s %s\n", name.c_str(), l.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  PrintTable();
  benchmark::Shutdown();
  OverrideScreenSize(0, 0);
  return 0;
}
