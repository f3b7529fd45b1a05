#include "player/media/tests/avi_builder.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "player/base/bytes.h"
#include "player/media/avi_source.h"
#include "player/media/builtin_entry.h"
#include "player/media/source_state.h"
#include "player/media/stream_file.h"

namespace crv::test {

namespace {

void PutTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

// Starts a chunk (or with `type` a list); returns where its size goes.
size_t Begin(std::vector<uint8_t>& out, const char* id, const char* type = nullptr) {
  PutTag(out, id);
  const size_t at = out.size();
  AppendLe32(out, 0);
  if (type) PutTag(out, type);
  return at;
}
void End(std::vector<uint8_t>& out, size_t at) {
  PutLe32(&out[at], static_cast<uint32_t>(out.size() - at - 4));
  if (out.size() & 1) out.push_back(0);
}

struct IndexEntry {
  char id[5];
  uint32_t offset;  // of the chunk header in the file
  uint32_t size;
};

void Chunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& data,
           std::vector<IndexEntry>* index) {
  IndexEntry e{};
  std::memcpy(e.id, id, 4);
  e.offset = static_cast<uint32_t>(out.size());
  e.size = static_cast<uint32_t>(data.size());
  index->push_back(e);
  const size_t at = Begin(out, id);
  out.insert(out.end(), data.begin(), data.end());
  End(out, at);
}

}  // namespace

std::vector<uint8_t> BuildAvi(const AviRecipe& recipe) {
  std::vector<uint8_t> out;
  const size_t riff = Begin(out, "RIFF", "AVI ");
  const uint32_t frames = static_cast<uint32_t>(recipe.frames.size());
  const uint32_t total = recipe.totalFrames >= 0 ? static_cast<uint32_t>(recipe.totalFrames) : frames;
  const uint32_t pixelsHigh = static_cast<uint32_t>(recipe.height < 0 ? -recipe.height : recipe.height);

  const size_t hdrl = Begin(out, "LIST", "hdrl");
  {
    const size_t avih = Begin(out, "avih");
    AppendLe32(out, recipe.microSecPerFrame);
    AppendLe32(out, 0);            // max bytes per second
    AppendLe32(out, 0);            // padding granularity
    AppendLe32(out, 0x10);         // flags: has index
    AppendLe32(out, total);
    AppendLe32(out, 0);            // initial frames
    AppendLe32(out, recipe.audio ? 2 : 1);
    AppendLe32(out, 0);            // suggested buffer size
    AppendLe32(out, static_cast<uint32_t>(recipe.width));
    AppendLe32(out, pixelsHigh);
    for (int i = 0; i < 4; ++i) AppendLe32(out, 0);
    End(out, avih);

    const size_t strl = Begin(out, "LIST", "strl");
    const size_t strh = Begin(out, "strh");
    PutTag(out, "vids");
    out.insert(out.end(), recipe.compression, recipe.compression + 4);
    for (int i = 0; i < 3; ++i) AppendLe32(out, 0);
    AppendLe32(out, recipe.microSecPerFrame);  // scale
    AppendLe32(out, 1000000);                // rate
    AppendLe32(out, 0);
    AppendLe32(out, frames);
    for (int i = 0; i < 5; ++i) AppendLe32(out, 0);
    End(out, strh);
    const size_t strf = Begin(out, "strf");
    AppendLe32(out, 40);
    AppendLe32(out, static_cast<uint32_t>(recipe.width));
    AppendLe32(out, static_cast<uint32_t>(recipe.height));
    AppendLe16(out, 1);
    AppendLe16(out, recipe.bitCount);
    out.insert(out.end(), recipe.compression, recipe.compression + 4);
    AppendLe32(out, 0);
    AppendLe32(out, 0);
    AppendLe32(out, 0);
    AppendLe32(out, recipe.coloursUsed >= 0 ? static_cast<uint32_t>(recipe.coloursUsed)
                                     : static_cast<uint32_t>(recipe.palette.size()));
    AppendLe32(out, 0);
    for (uint32_t c : recipe.palette) AppendLe32(out, c);
    End(out, strf);
    End(out, strl);

    if (recipe.audio) {
      const size_t astrl = Begin(out, "LIST", "strl");
      const uint32_t align = recipe.channels * recipe.bitsPerSample / 8u;
      const size_t ah = Begin(out, "strh");
      PutTag(out, "auds");
      AppendLe32(out, 0);
      for (int i = 0; i < 3; ++i) AppendLe32(out, 0);
      AppendLe32(out, align);
      AppendLe32(out, recipe.sampleRate * align);
      for (int i = 0; i < 7; ++i) AppendLe32(out, 0);
      End(out, ah);
      const size_t af = Begin(out, "strf");
      AppendLe16(out, 1);
      AppendLe16(out, recipe.channels);
      AppendLe32(out, recipe.sampleRate);
      AppendLe32(out, recipe.sampleRate * align);
      AppendLe16(out, align);
      AppendLe16(out, recipe.bitsPerSample);
      End(out, af);
      End(out, astrl);
    }
  }
  End(out, hdrl);

  if (recipe.junkAtTop) {
    const size_t junk = Begin(out, "JUNK");
    out.insert(out.end(), 12, 0);
    End(out, junk);
  }

  std::vector<IndexEntry> index;
  size_t movi = 0;
  if (recipe.withMovi) {
    movi = out.size();
    const size_t moviSize = Begin(out, "LIST", "movi");
    const size_t items = std::max(recipe.frames.size(), recipe.audio ? recipe.audioChunks.size() : 0);
    for (size_t i = 0; i < items; ++i) {
      size_t rec = 0;
      if (recipe.nestInList) rec = Begin(out, "LIST", "rec ");
      if (recipe.audio && i < recipe.audioChunks.size()) Chunk(out, "01wb", recipe.audioChunks[i], &index);
      if (i < recipe.frames.size()) Chunk(out, "00dc", recipe.frames[i], &index);
      if (recipe.nestInList) End(out, rec);
    }
    End(out, moviSize);
  }

  if (recipe.index != AviIndexForm::kNone) {
    const size_t idx1 = Begin(out, "idx1");
    for (const IndexEntry& e : index) {
      PutTag(out, e.id);
      AppendLe32(out, 0x10);
      // Relative offsets count from the "movi" word of the list.
      AppendLe32(out, recipe.index == AviIndexForm::kRelative ? e.offset - static_cast<uint32_t>(movi + 8) : e.offset);
      AppendLe32(out, e.size);
    }
    End(out, idx1);
  }
  End(out, riff);
  return out;
}

std::vector<uint8_t> PatternDib24(int width, int height, int seed) {
  const size_t row = static_cast<size_t>(DibRowBytes(24, static_cast<uint32_t>(width)));
  std::vector<uint8_t> out(row * static_cast<size_t>(height), 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c)
        out[row * y + 3 * x + c] = static_cast<uint8_t>(seed * 37 + x * 11 + y * 23 + c * 71);
  return out;
}

std::vector<uint8_t> Ramp(size_t count, uint8_t first) {
  std::vector<uint8_t> out(count);
  for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(first + i);
  return out;
}

namespace {
struct TempFolder {
  std::filesystem::path path;
  TempFolder() {
    std::random_device random;
    path = std::filesystem::temp_directory_path() / ("crv_avi_" + std::to_string(random()));
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};
}  // namespace

std::string TestDir() {
  static const TempFolder folder;
  return folder.path.string();
}

std::string WriteTestFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = (std::filesystem::path(TestDir()) / name).string();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return "";
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  std::fclose(f);
  return ok ? path : "";
}

std::u16string WidePath(const std::string& path) { return std::filesystem::path(path).u16string(); }

OpenedMovie::~OpenedMovie() {
  RDeleteImage(&record, nullptr);
  if (file) StreamFileClose(file);
}

void LoadMovie(const std::string& path, OpenedMovie* movie) {
  RegisterAviSource();
  SetMediaMode(true);
  const std::u16string wide = WidePath(path);
  movie->file = StreamFileOpen(wide);
  std::memset(&movie->record, 0, sizeof movie->record);
  ResetRecord(movie->record);
  const size_t n = std::min(wide.size(), kRecordPathChars - 1);
  std::memcpy(movie->record.path, wide.data(), n * sizeof(char16_t));
  movie->record.path[n] = 0;
  movie->result = RLoadImage(movie->file, &movie->record, 0, kLoadReduceLarge);
}

}  // namespace crv::test
