// Test pictures: files that ImageMagick's convert writes at test time, its own decoding of
// them as RGB bytes, and the sources' results read back as RGB.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "player/media/img_fmt_base.h"

namespace crv::testing_support {

// A fresh folder for one test program's files.
const std::string& PictureDir();
// Runs convert with the arguments (shell words); false when it fails or is missing.
bool Convert(const std::string& args);
bool HaveConvert();

struct Rgb {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // top-down RGB
};
// ImageMagick's decoding of `file` ("name.gif[2]" for one image of several).
Rgb ReferenceRgb(const std::string& file, const std::string& options = "");
void ExpectSamePicture(const Rgb& want, const Rgb& got, const std::string& what);
std::string Path(const std::string& name);
// The record's picture as top-down RGB (palette looked up).
Rgb RecordRgb(const tagRDIBIMG& record);

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadWholeFile(const std::string& path);

// Loads the file through a new source of type S with the given load flags; the abort flag
// is left as the caller set it.
template <class S>
int32_t LoadWith(S& source, const std::string& path, uint32_t flags = 0);
int32_t LoadSource(ImgFmtBase& source, const std::string& path, uint32_t flags);
template <class S>
int32_t LoadWith(S& source, const std::string& path, uint32_t flags) {
  return LoadSource(source, path, flags);
}

}  // namespace crv::testing_support
