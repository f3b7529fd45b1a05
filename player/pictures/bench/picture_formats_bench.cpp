// The JPEG and GIF sources against the reference libraries, in one run, on files that
// ImageMagick's convert writes into a folder of their own when the run starts:
//
//  - a 4000 x 3000 JPEG loaded for a 240 x 320 screen with load flag 2 (reduce large
//    pictures), which gives a bitmap of twice the screen's box: our source against
//    libjpeg-turbo decoding the same file at full size into a full-size bitmap, at full size
//    with its rows placed into a bitmap of the box (what our source does, with the base's
//    column and row maps), and with its DCT scaling to the nearest size not below the box,
//    then placed into the box the same way;
//  - 80 x 66 album thumbnails of 50 camera-sized JPEGs: our source with the fitting flag that
//    gives the smallest bitmap (flag 4, the screen's box), then the screen renderer's
//    nearest-neighbour drawing into the thumbnail box; against libjpeg-turbo at full size
//    placed into the same screen box, DCT-scaled to the nearest size not below the screen
//    box, and DCT-scaled to the nearest size not below the thumbnail, each with the same
//    drawing;
//  - our GIF source against giflib's DGifSlurp and the copy of the shown (last) image into
//    the same 8-bit bottom-up rows with its palette, on a large photo-like GIF and an
//    animated one.
//
// Every benchmark times our path as its manual time and the reference paths in the same
// iterations; the counters give each path's milliseconds per iteration and the ratios
// reference time / our time (above 1: ours is faster). A table at the end repeats them. The
// reference bitmaps are made once and reused (a fresh 36 MB bitmap per decode would mostly
// measure page faults); our source makes its bitmap through the allocation hooks every load,
// as in the player.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>

#include "player/media/alloc_hooks.h"
#include "player/media/img_fmt_base.h"
#include "player/media/source_state.h"
#include "player/media/stream_file.h"
#include "player/pictures/formats/gif_source.h"
#include "player/pictures/formats/jpeg_source.h"
#include "player/pictures/screen_renderer.h"

using namespace crv;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kScreenWidth = 240, kScreenHeight = 320;
constexpr int32_t kThumbWidth = 80, kThumbHeight = 66;
constexpr int kCameraPictures = 50;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// ---- The input files --------------------------------------------------------------------

std::string& Folder() {
  static std::string folder;
  return folder;
}

std::string PathOf(const std::string& name) { return Folder() + "/" + name; }

bool Convert(const std::string& args) {
  const std::string command = "cd '" + Folder() + "' && convert " + args + " > /dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

struct Inputs {
  bool largeJpeg = false;
  std::vector<std::string> cameras;
  bool photoGif = false;
  bool animatedGif = false;
};

// Written once; a missing tool leaves the cases that need the files skipped.
const Inputs& WriteInputs() {
  static Inputs inputs;
  static bool written = false;
  if (written) return inputs;
  written = true;
  char pattern[] = "/tmp/crv-picture-bench-XXXXXX";
  if (!mkdtemp(pattern)) return inputs;
  Folder() = pattern;
  std::fprintf(stderr, "writing the pictures into %s ...\n", pattern);
  // Photo-like: smooth shapes with sensor-like noise on top.
  inputs.largeJpeg = Convert("-size 4000x3000 plasma:fractal -attenuate 0.4 +noise Gaussian -quality 88 large.jpg");
  // Five different scenes; each picture is one of them shifted, tinted and saved at its own quality.
  const char* scenes[] = {
      "-size 2048x1536 plasma:fractal -attenuate 0.5 +noise Gaussian",
      "-size 2048x1536 plasma:red-blue -attenuate 0.3 +noise Gaussian",
      "rose: -resize 2048x1536! -attenuate 0.6 +noise Gaussian",
      "-size 2048x1536 pattern:checkerboard -blur 0x1 -attenuate 0.3 +noise Gaussian",
      "-size 1536x2048 gradient:navy-orange -swirl 180 -rotate 90 -attenuate 0.4 +noise Gaussian",
  };
  bool scenesMade = true;
  for (int s = 0; s < 5; ++s) scenesMade &= Convert(std::string(scenes[s]) + " scene" + std::to_string(s) + ".ppm");
  for (int i = 0; scenesMade && i < kCameraPictures; ++i) {
    const std::string name = "camera" + std::to_string(i) + ".jpg";
    const std::string args = "scene" + std::to_string(i % 5) + ".ppm -roll +" + std::to_string(i * 37) + "+" +
                             std::to_string(i * 23) + " -modulate 100," + std::to_string(80 + i % 5 * 10) + "," +
                             std::to_string(60 + i * 7 % 80) + " -sampling-factor " + (i % 3 ? "2x2" : "2x1") +
                             " -quality " + std::to_string(75 + i % 4 * 6) + (i % 7 == 3 ? " -interlace JPEG " : " ") +
                             name;
    if (!Convert(args)) {
      inputs.cameras.clear();
      break;
    }
    inputs.cameras.push_back(PathOf(name));
  }
  inputs.photoGif = Convert("-size 1600x1200 plasma:fractal -attenuate 0.3 +noise Gaussian -colors 256 photo.gif");
  // Twelve whole frames of their own content.
  std::string frames = "-delay 8 -size 400x300";
  for (int i = 0; i < 12; ++i) frames += " plasma:fractal";
  inputs.animatedGif = Convert(frames + " -colors 256 animated.gif");
  for (int s = 0; s < 5; ++s) std::remove(PathOf("scene" + std::to_string(s) + ".ppm").c_str());
  return inputs;
}

void RemoveInputs() {
  if (Folder().empty()) return;
  const std::string command = "rm -rf '" + Folder() + "'";
  std::system(command.c_str());
}

// ---- Our sources --------------------------------------------------------------------------

std::u16string Utf16(const std::string& path) { return std::u16string(path.begin(), path.end()); }

// Opens, loads and closes, as the player's built-in entry does (the load flags process-wide).
int32_t LoadOurs(ImgFmtBase& source, const std::string& path, uint32_t flags) {
  RFileHandle file = StreamFileOpen(Utf16(path));
  if (!file) return kResultCannotOpen;
  SetCurrentLoadFlags(flags);
  const int32_t result = source.Load(file, flags);
  StreamFileClose(file);
  SetCurrentLoadFlags(0);
  return result;
}

// ---- Reference pictures in the record's layout ------------------------------------------

// A bottom-up bitmap with 4-byte rows as a record the renderer can draw.
struct Bitmap {
  // Kept across calls: the same size again reuses the pixels as they are, so that a reference
  // decode that is run again does not pay for its bitmap's pages each time.
  void Make(int32_t width, int32_t height, uint32_t bits) {
    if (!info.empty() && Header()->width == width && Header()->height == height && Header()->bitCount == bits) return;
    info.assign(BitmapInfoBytes(bits), 0);
    auto* h = Header();
    h->size = 40;
    h->width = width;
    h->height = height;
    h->planes = 1;
    h->bitCount = static_cast<uint16_t>(bits);
    h->sizeImage = static_cast<uint32_t>(DibImageBytes(*h));
    h->clrUsed = PaletteEntries(bits);
    pixels.assign(h->sizeImage, 0);
    rowBytes = static_cast<size_t>(DibRowBytes(bits, static_cast<uint64_t>(width)));
    std::memset(&record, 0, sizeof(record));
    ResetRecord(record);
    record.info = h;
    record.pixels = pixels.data();
  }
  RBitmapInfoHeader* Header() { return reinterpret_cast<RBitmapInfoHeader*>(info.data()); }
  uint8_t* Row(int32_t topDownY) { return pixels.data() + static_cast<size_t>(Header()->height - 1 - topDownY) * rowBytes; }

  std::vector<uint8_t> info;
  std::vector<uint8_t> pixels;
  size_t rowBytes = 0;
  tagRDIBIMG record;
};

// ---- libjpeg-turbo ------------------------------------------------------------------------

struct JpegTrap {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};
[[noreturn]] void JpegJump(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegTrap*>(cinfo->err)->jump, 1); }
void JpegQuiet(j_common_ptr) {}

// The DCT scale numerator (over 8) whose output is the smallest not below `minWidth` x
// `minHeight`, as the library itself computes the scaled sizes; 8 when none below full size does.
int ScaleFor(const std::string& path, int32_t minWidth, int32_t minHeight, int32_t* fullWidth = nullptr,
             int32_t* fullHeight = nullptr) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  jpeg_decompress_struct cinfo;
  JpegTrap trap;
  cinfo.err = jpeg_std_error(&trap.mgr);
  trap.mgr.error_exit = JpegJump;
  trap.mgr.output_message = JpegQuiet;
  int chosen = 0;
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return 0;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  if (fullWidth) *fullWidth = static_cast<int32_t>(cinfo.image_width);
  if (fullHeight) *fullHeight = static_cast<int32_t>(cinfo.image_height);
  for (int num = 1; num <= 8 && !chosen; ++num) {
    cinfo.scale_num = static_cast<unsigned>(num);
    cinfo.scale_denom = 8;
    jpeg_calc_output_dimensions(&cinfo);
    if (static_cast<int32_t>(cinfo.output_width) >= minWidth && static_cast<int32_t>(cinfo.output_height) >= minHeight)
      chosen = num;
  }
  jpeg_destroy_decompress(&cinfo);
  std::fclose(f);
  return chosen ? chosen : 8;
}

// Decodes `path` scaled by num/8 into `out` as 24-bit (or 8-bit grey) bottom-up rows. With a
// box, the decoded rows are placed into a bitmap of the box's size by nearest neighbour, as
// the base places a reduced picture's rows (every source row onto its mapped row).
bool LibjpegDecode(const std::string& path, int scaleNum, Bitmap* out, int32_t boxWidth = 0, int32_t boxHeight = 0) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  jpeg_decompress_struct cinfo;
  JpegTrap trap;
  cinfo.err = jpeg_std_error(&trap.mgr);
  trap.mgr.error_exit = JpegJump;
  trap.mgr.output_message = JpegQuiet;
  std::vector<int32_t> columns;
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  const bool grey = cinfo.num_components == 1;
  cinfo.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
  cinfo.scale_num = static_cast<unsigned>(scaleNum);
  cinfo.scale_denom = 8;
  jpeg_start_decompress(&cinfo);
  const auto w = static_cast<int32_t>(cinfo.output_width), h = static_cast<int32_t>(cinfo.output_height);
  const int bytes = grey ? 1 : 3;
  const bool fit = boxWidth > 0 && boxHeight > 0 && (boxWidth < w || boxHeight < h);
  const int32_t outW = fit ? boxWidth : w, outH = fit ? boxHeight : h;
  out->Make(outW, outH, grey ? 8 : 24);
  std::vector<JSAMPLE> lineBuffer;
  if (fit) {
    lineBuffer.resize(static_cast<size_t>(w) * bytes);
    columns.resize(static_cast<size_t>(outW));
    // The base's maps: columns by a 10-bit fixed step, the last one the last column; rows by
    // the ratio of the heights.
    const uint64_t step = uint64_t{static_cast<uint32_t>(w)} * 1024 / static_cast<uint32_t>(outW);
    for (int32_t i = 0; i < outW; ++i)
      columns[static_cast<size_t>(i)] = static_cast<int32_t>(std::min<uint64_t>((uint64_t{static_cast<uint32_t>(i)} * step) >> 10, static_cast<uint64_t>(w - 1)));
    columns[static_cast<size_t>(outW - 1)] = w - 1;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    const auto y = static_cast<int32_t>(cinfo.output_scanline);
    if (!fit) {
      JSAMPROW row = out->Row(y);
      jpeg_read_scanlines(&cinfo, &row, 1);
      continue;
    }
    JSAMPROW row = lineBuffer.data();
    jpeg_read_scanlines(&cinfo, &row, 1);
    // The row map runs in memory order (0 = the bottom row), as the base's does.
    const int32_t memoryRow = h - 1 - y;
    uint8_t* target = out->pixels.data() +
                      static_cast<size_t>(std::min<int64_t>(int64_t{memoryRow} * outH / h, outH - 1)) * out->rowBytes;
    if (bytes == 3) {
      for (int32_t i = 0; i < outW; ++i) std::memcpy(target + 3 * i, row + 3 * columns[static_cast<size_t>(i)], 3);
    } else {
      for (int32_t i = 0; i < outW; ++i) target[i] = row[columns[static_cast<size_t>(i)]];
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(f);
  return true;
}

// ---- giflib -------------------------------------------------------------------------------

// The shown (last) image as an 8-bit bottom-up bitmap with its palette, as our source leaves it.
bool GiflibDecode(const std::string& path, Bitmap* out) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) return false;
  if (DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1) {
    DGifCloseFile(gif, &error);
    return false;
  }
  const SavedImage& image = gif->SavedImages[gif->ImageCount - 1];
  const int32_t w = image.ImageDesc.Width, h = image.ImageDesc.Height;
  out->Make(w, h, 8);
  const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
  RRgbQuad* table = ColourTable(out->Header());
  for (int i = 0; map && i < map->ColorCount && i < 256; ++i)
    table[i] = {map->Colors[i].Blue, map->Colors[i].Green, map->Colors[i].Red, 0};
  // DGifSlurp has already put interlaced rows in picture order.
  for (int32_t y = 0; y < h; ++y) std::memcpy(out->Row(y), image.RasterBits + static_cast<size_t>(y) * w, static_cast<size_t>(w));
  DGifCloseFile(gif, &error);
  return true;
}

// ---- Results for the table at the end ------------------------------------------------------

struct Line {
  std::string reference;
  double oursMs;
  double theirsMs;
};
std::map<std::string, std::vector<Line>>& Results() {
  static std::map<std::string, std::vector<Line>> results;
  return results;
}

// Per-iteration milliseconds and the ratio reference / ours as counters and table lines.
void Report(benchmark::State& state, const std::string& name, double ours,
            const std::vector<std::pair<std::string, double>>& references) {
  const double n = static_cast<double>(std::max<int64_t>(state.iterations(), 1));
  state.counters["ours_ms"] = ours / n * 1e3;
  std::vector<Line>& lines = Results()[name];
  lines.clear();
  for (const auto& [label, seconds] : references) {
    state.counters[label + "_ms"] = seconds / n * 1e3;
    state.counters[label + "_ratio"] = ours > 0 ? seconds / ours : 0;
    lines.push_back({label, ours / n * 1e3, seconds / n * 1e3});
  }
}

// The largest difference of one byte between two bitmaps of the same size and depth; -1 when
// their sizes differ.
int MaxDifference(const tagRDIBIMG& a, const tagRDIBIMG& b) {
  if (!a.info || !b.info || a.info->width != b.info->width || a.info->height != b.info->height ||
      a.info->bitCount != b.info->bitCount)
    return -1;
  const uint64_t bytes = DibImageBytes(*a.info);
  int worst = 0;
  for (uint64_t i = 0; i < bytes; ++i) worst = std::max(worst, std::abs(a.pixels[i] - b.pixels[i]));
  return worst;
}

// ---- 1. A large JPEG fitted for the screen ------------------------------------------------

void BM_JpegLargeFitted(benchmark::State& state) {
  const Inputs& in = WriteInputs();
  if (!in.largeJpeg) {
    state.SkipWithError("could not write large.jpg (convert)");
    return;
  }
  OverrideScreenSize(kScreenWidth, kScreenHeight);
  const std::string path = PathOf("large.jpg");
  int32_t w = 0, h = 0;
  ScaleFor(path, 1, 1, &w, &h);
  // The box of load flag 2 for this picture: twice the screen.
  const FitBox box = FitToScreenBox(w, h, 2, kScreenWidth, kScreenHeight);
  const int num = ScaleFor(path, box.width, box.height);
  Bitmap full, fullFit, scaled;
  {
    ImgFmtJPG probe;
    if (LoadOurs(probe, path, kLoadReduceLarge) != kResultOk) {
      state.SkipWithError("our JPEG source failed");
      return;
    }
    if (probe.Record().info->width != box.width || probe.Record().info->height != box.height) {
      state.SkipWithError("our bitmap is not the fitted box");
      return;
    }
    // The same library and the same maps: our bitmap should be exactly the library's rows placed.
    if (!LibjpegDecode(path, 8, &fullFit, box.width, box.height)) {
      state.SkipWithError("libjpeg failed");
      return;
    }
    state.counters["ours_vs_libjpeg_full_fit_maxdiff"] = MaxDifference(probe.Record(), fullFit.record);
  }
  double ours = 0, fullTime = 0, fullFitTime = 0, scaledTime = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    {
      ImgFmtJPG source;
      benchmark::DoNotOptimize(LoadOurs(source, path, kLoadReduceLarge));
      benchmark::DoNotOptimize(source.Record().pixels[0]);
    }
    const double s = Since(start);
    state.SetIterationTime(s);
    ours += s;
    start = Clock::now();
    benchmark::DoNotOptimize(LibjpegDecode(path, 8, &full));
    fullTime += Since(start);
    start = Clock::now();
    benchmark::DoNotOptimize(LibjpegDecode(path, 8, &fullFit, box.width, box.height));
    fullFitTime += Since(start);
    start = Clock::now();
    benchmark::DoNotOptimize(LibjpegDecode(path, num, &scaled, box.width, box.height));
    scaledTime += Since(start);
  }
  state.counters["box_w"] = box.width;
  state.counters["box_h"] = box.height;
  state.counters["dct_num_of_8"] = num;
  Report(state, "JPEG 4000x3000 flag 2 (box " + std::to_string(box.width) + "x" + std::to_string(box.height) + ")",
         ours,
         {{"libjpeg_full", fullTime},
          {"libjpeg_full_fit", fullFitTime},
          {"libjpeg_dct" + std::to_string(num) + "of8_fit", scaledTime}});
}

// ---- 2. Album thumbnails ------------------------------------------------------------------

// The thumbnail box for a picture: fitted into 80 x 66, never enlarged.
RenderRect ThumbRect(int32_t width, int32_t height) {
  if (width <= kThumbWidth && height <= kThumbHeight) return {0, 0, width, height};
  const double s = std::min(static_cast<double>(kThumbWidth) / width, static_cast<double>(kThumbHeight) / height);
  return {0, 0, std::max(1, static_cast<int32_t>(width * s)), std::max(1, static_cast<int32_t>(height * s))};
}

bool DrawThumb(ScreenRenderer& renderer, const tagRDIBIMG& picture) {
  const int32_t w = picture.info->width, h = picture.info->height;
  return renderer.Draw(picture, {0, 0, w, h}, ThumbRect(w, h), 0);
}

void BM_JpegThumbnails(benchmark::State& state) {
  const Inputs& in = WriteInputs();
  if (in.cameras.empty()) {
    state.SkipWithError("could not write the camera pictures (convert)");
    return;
  }
  OverrideScreenSize(kScreenWidth, kScreenHeight);
  ScreenRenderer renderer;  // the thumbnail box lies inside the screen
  if (!renderer.Create()) {
    state.SkipWithError("no screen bitmap");
    return;
  }
  // The smallest bitmap the load flags give is the screen's box (flag 4); the DCT scales are
  // chosen per file, once, outside the timing.
  struct Plan {
    std::string path;
    FitBox screen;  // our bitmap
    int thumbNum;   // nearest not below the thumbnail
    int screenNum;  // nearest not below our screen-sized bitmap
  };
  std::vector<Plan> plans;
  double bytes = 0;
  int worst = 0;
  Bitmap bitmap;
  for (const std::string& path : in.cameras) {
    int32_t w = 0, h = 0;
    ScaleFor(path, 1, 1, &w, &h);
    const RenderRect thumb = ThumbRect(w, h);
    const FitBox screen = FitToScreenBox(w, h, 1, kScreenWidth, kScreenHeight);
    plans.push_back({path, screen, ScaleFor(path, thumb.width, thumb.height), ScaleFor(path, screen.width, screen.height)});
    ImgFmtJPG probe;
    if (LoadOurs(probe, path, kLoadFitScreen) != kResultOk || probe.Record().info->width != screen.width ||
        !DrawThumb(renderer, probe.Record())) {
      state.SkipWithError("our JPEG source failed");
      return;
    }
    // Our screen-sized bitmap is the library's full-size rows placed by the base's maps.
    if (!LibjpegDecode(path, 8, &bitmap, screen.width, screen.height)) {
      state.SkipWithError("libjpeg failed");
      return;
    }
    const int difference = MaxDifference(probe.Record(), bitmap.record);
    worst = difference < 0 || worst < 0 ? -1 : std::max(worst, difference);
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
      std::fseek(f, 0, SEEK_END);
      bytes += static_cast<double>(std::ftell(f));
      std::fclose(f);
    }
  }
  state.counters["ours_vs_libjpeg_full_fit_maxdiff"] = worst;
  double ours = 0, fullFit = 0, toScreen = 0, toThumb = 0;
  // Picture by picture, every path in turn, so that a change of the machine's load falls on
  // all of them alike.
  for (auto _ : state) {
    double iteration = 0;
    for (const Plan& p : plans) {
      auto start = Clock::now();
      {
        ImgFmtJPG source;
        LoadOurs(source, p.path, kLoadFitScreen);
        benchmark::DoNotOptimize(DrawThumb(renderer, source.Record()));
      }
      iteration += Since(start);
      start = Clock::now();
      LibjpegDecode(p.path, 8, &bitmap, p.screen.width, p.screen.height);
      benchmark::DoNotOptimize(DrawThumb(renderer, bitmap.record));
      fullFit += Since(start);
      start = Clock::now();
      LibjpegDecode(p.path, p.screenNum, &bitmap);
      benchmark::DoNotOptimize(DrawThumb(renderer, bitmap.record));
      toScreen += Since(start);
      start = Clock::now();
      LibjpegDecode(p.path, p.thumbNum, &bitmap);
      benchmark::DoNotOptimize(DrawThumb(renderer, bitmap.record));
      toThumb += Since(start);
    }
    state.SetIterationTime(iteration);
    ours += iteration;
    benchmark::DoNotOptimize(renderer.PixelAt(0, 0));
  }
  state.counters["pictures"] = static_cast<double>(plans.size());
  state.counters["mean_file_kb"] = bytes / static_cast<double>(plans.size()) / 1024;
  state.counters["dct_thumb_num_of_8"] = plans[0].thumbNum;
  state.counters["dct_screen_num_of_8"] = plans[0].screenNum;
  Report(state, std::to_string(plans.size()) + " thumbnails 80x66 of 2048x1536 (ours: flag 4)", ours,
         {{"libjpeg_full_fit", fullFit}, {"libjpeg_dct_screen", toScreen}, {"libjpeg_dct_thumb", toThumb}});
}

// ---- 3. GIF ------------------------------------------------------------------------------

void RunGif(benchmark::State& state, const char* file, bool available, const std::string& name) {
  WriteInputs();
  if (!available) {
    state.SkipWithError("could not write the GIF (convert)");
    return;
  }
  const std::string path = PathOf(file);
  {
    ImgFmtGIF probe;
    Bitmap reference;
    if (LoadOurs(probe, path, 0) != kResultOk || !GiflibDecode(path, &reference)) {
      state.SkipWithError("a decoder failed");
      return;
    }
    if (probe.Record().info->width != reference.Header()->width ||
        probe.Record().info->height != reference.Header()->height ||
        std::memcmp(probe.Record().pixels, reference.pixels.data(), reference.pixels.size()) != 0) {
      state.SkipWithError("our pixels differ from giflib's");
      return;
    }
  }
  double ours = 0, theirs = 0;
  Bitmap bitmap;
  for (auto _ : state) {
    auto start = Clock::now();
    {
      ImgFmtGIF source;
      benchmark::DoNotOptimize(LoadOurs(source, path, 0));
      benchmark::DoNotOptimize(source.Record().pixels[0]);
    }
    const double s = Since(start);
    state.SetIterationTime(s);
    ours += s;
    start = Clock::now();
    benchmark::DoNotOptimize(GiflibDecode(path, &bitmap));
    theirs += Since(start);
  }
  Report(state, name, ours, {{"giflib", theirs}});
}

void BM_GifPhoto(benchmark::State& state) {
  RunGif(state, "photo.gif", WriteInputs().photoGif, "GIF 1600x1200, 256 colours");
}
void BM_GifAnimated(benchmark::State& state) {
  RunGif(state, "animated.gif", WriteInputs().animatedGif, "GIF 400x300, 12 frames");
}

BENCHMARK(BM_JpegLargeFitted)->UseManualTime()->Unit(benchmark::kMillisecond);
// About four seconds an iteration: three are enough.
BENCHMARK(BM_JpegThumbnails)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GifPhoto)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GifAnimated)->UseManualTime()->Unit(benchmark::kMillisecond);

void PrintTable() {
  if (Results().empty()) return;
  std::printf("\n%-52s %-22s %10s %10s %8s\n", "case", "reference", "ours ms", "ref ms", "ref/ours");
  for (const auto& [name, lines] : Results())
    for (const Line& l : lines)
      std::printf("%-52s %-22s %10.2f %10.2f %7.2fx\n", name.c_str(), l.reference.c_str(), l.oursMs, l.theirsMs,
                  l.oursMs > 0 ? l.theirsMs / l.oursMs : 0);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  PrintTable();
  benchmark::Shutdown();
  OverrideScreenSize(0, 0);
  RemoveInputs();
  return 0;
}
