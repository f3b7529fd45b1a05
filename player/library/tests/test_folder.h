// A real temporary folder for the library tests, named in lower case (locations are stored
// lower-cased and the native file system is case-sensitive), given as a device path with
// backslashes.
#pragma once
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include "player/library/media_item.h"

namespace crv {
namespace testing_support {

class TestFolder {
 public:
  TestFolder() {
    namespace fs = std::filesystem;
    fs::path base = fs::temp_directory_path();
    for (char c : base.string())
      if (std::isupper(static_cast<unsigned char>(c))) base = "/tmp";
    std::random_device rd;
    std::error_code ec;
    do native_ = base / ("crv-library-test-" + std::to_string(rd()));
    while (!fs::create_directory(native_, ec));
  }
  ~TestFolder() {
    std::error_code ec;
    std::filesystem::remove_all(native_, ec);
  }

  // The folder itself (with a trailing backslash), or a path inside it.
  u16 Path(const u16& relative = u16()) const {
    u16 p = native_.u16string() + u'\\' + relative;
    for (auto& c : p)
      if (c == u'/') c = u'\\';
    return p;
  }
  std::string Utf8(const u16& relative = u16()) const { return ToUtf8(Path(relative)); }
  std::filesystem::path Native(const u16& relative) const {
    u16 r(relative);
    for (auto& c : r)
      if (c == u'\\') c = u'/';
    return native_ / r;  // from UTF-16: a narrow string would be the ANSI code page on Windows
  }
  // Creates the file (and its folders); returns its device path.
  u16 Write(const u16& relative, const std::string& content = std::string()) const {
    std::filesystem::create_directories(Native(relative).parent_path());
    std::ofstream(Native(relative), std::ios::binary) << content;
    return Path(relative);
  }
  std::string Read(const u16& relative) const {
    std::ifstream in(Native(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool Exists(const u16& relative) const { return std::filesystem::exists(Native(relative)); }
  // A record of a newly created file in the folder.
  CMediaItem Item(const u16& relative, const u16& title = u16()) const {
    CMediaItem item;
    item.SetLocation(Write(relative));
    item.SetTitle(title);
    return item;
  }

 private:
  std::filesystem::path native_;
};

}  // namespace testing_support
}  // namespace crv
