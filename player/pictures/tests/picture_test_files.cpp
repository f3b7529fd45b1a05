#include "player/pictures/tests/picture_test_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <iterator>
#include "player/base/text16.h"
#include "player/media/source_state.h"
#include "player/media/stream_file.h"
#include <gtest/gtest.h>

namespace crv::testing_support {

const std::string& PictureDir() {
  static const std::string dir = [] {
    std::error_code error;
    const std::filesystem::path made = std::filesystem::temp_directory_path(error) /
                                       ("crv-pictures-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(made, error);
    return made.generic_string();
  }();
  return dir;
}

// Under Wine the host's tools are out of reach: the comparisons with ImageMagick skip.
bool HaveConvert() {
#ifdef _WIN32
  return false;
#else
  return std::system("command -v convert > /dev/null 2>&1") == 0;
#endif
}

bool Convert(const std::string& args) {
  const std::string command = "cd '" + PictureDir() + "' && convert " + args + " > /dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Rgb ReferenceRgb(const std::string& file, const std::string& options) {
  Rgb out;
  const std::string ppm = PictureDir() + "/reference.ppm";
  // Into a file rather than a pipe: a plain P6 file with 8-bit samples.
  if (!Convert("'" + file + "' " + options + " -strip -depth 8 -type TrueColor PPM:'" + ppm + "'")) return out;
  const std::vector<uint8_t> bytes = ReadWholeFile(ppm);
  int width = 0, height = 0, maximum = 0, used = 0;
  if (std::sscanf(reinterpret_cast<const char*>(bytes.data()), "P6 %d %d %d%n", &width, &height, &maximum, &used) != 3)
    return out;
  const size_t start = static_cast<size_t>(used) + 1;
  if (bytes.size() < start + static_cast<size_t>(width) * height * 3) return out;
  out.width = width;
  out.height = height;
  out.pixels.assign(bytes.begin() + static_cast<long>(start), bytes.begin() + static_cast<long>(start) + width * height * 3);
  return out;
}

Rgb RecordRgb(const tagRDIBIMG& record) {
  Rgb out;
  if (!record.info || !record.pixels) return out;
  const RBitmapInfoHeader& h = *record.info;
  out.width = h.width;
  out.height = h.height;
  const uint64_t rowBytes = DibRowBytes(h.bitCount, static_cast<uint64_t>(h.width));
  const RRgbQuad* table = ColourTable(&h);
  for (int32_t y = 0; y < h.height; ++y) {
    const uint8_t* row = record.pixels + (h.height - 1 - y) * rowBytes;
    for (int32_t x = 0; x < h.width; ++x) {
      if (h.bitCount >= 24) {
        const uint8_t* p = row + x * (h.bitCount / 8);
        out.pixels.insert(out.pixels.end(), {p[2], p[1], p[0]});
        continue;
      }
      const uint32_t bit = static_cast<uint32_t>(x) * h.bitCount;
      const uint32_t index = (row[bit / 8] >> (8 - h.bitCount - bit % 8)) & ((1u << h.bitCount) - 1);
      const RRgbQuad& c = table[index];
      out.pixels.insert(out.pixels.end(), {c.red, c.green, c.blue});
    }
  }
  return out;
}

std::string Path(const std::string& name) { return PictureDir() + "/" + name; }

void ExpectSamePicture(const Rgb& want, const Rgb& got, const std::string& what) {
  ASSERT_EQ(want.width, got.width) << what;
  ASSERT_EQ(want.height, got.height) << what;
  ASSERT_FALSE(want.pixels.empty()) << what;
  for (size_t i = 0; i < want.pixels.size(); ++i)
    ASSERT_EQ(int(want.pixels[i]), int(got.pixels[i]))
        << what << ": pixel " << (i / 3) % want.width << "," << (i / 3) / want.width << " channel " << i % 3;
}

int32_t LoadSource(ImgFmtBase& source, const std::string& path, uint32_t flags) {
  RFileHandle file = StreamFileOpen(FromUtf8(path));
  if (!file) return kResultCannotOpen;
  SetCurrentLoadFlags(flags);
  const int32_t result = source.Load(file, flags);
  StreamFileClose(file);
  SetCurrentLoadFlags(0);
  return result;
}

}  // namespace crv::testing_support
