// A real temporary folder for tests that work on files, removed with everything in it at the
// end. The code under test names files by device path (backslashes); the test writes and reads
// them through the native path.
#pragma once
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>
#include "player/base/text16.h"

namespace crv {
namespace testing_support {

class TempFolder {
 public:
  // A new folder "<prefix>-<random>" in the system's temporary folder. With `lowerCaseBase`
  // the base folder holds no capital (some stores keep paths lower-cased, and the native file
  // system is case-sensitive): /tmp when the system's own folder has one.
  explicit TempFolder(const std::string& prefix, bool lowerCaseBase = false) {
    namespace fs = std::filesystem;
    fs::path base = fs::temp_directory_path();
    if (lowerCaseBase)
      for (char c : base.string())
        if (std::isupper(static_cast<unsigned char>(c))) base = "/tmp";
    std::random_device random;
    std::error_code ec;
    do native_ = base / (prefix + "-" + std::to_string(random()));
    while (!fs::create_directory(native_, ec));
  }
  ~TempFolder() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::permissions(native_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(native_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder itself (no trailing backslash), or a path inside it, as a device path.
  u16 Path(const u16& relative = u16()) const {
    u16 path = native_.u16string() + (relative.empty() ? u"" : u"\\" + relative);
    for (auto& c : path)
      if (c == u'/') c = u'\\';
    return path;
  }
  // A path inside the folder as the native file system names it (from UTF-16: a narrow
  // string would be read in the ANSI code page on Windows).
  std::filesystem::path Native(const u16& relative) const {
    u16 r(relative);
    for (auto& c : r)
      if (c == u'\\') c = u'/';
    return native_ / r;
  }
  const std::filesystem::path& Native() const { return native_; }

  // Creates the file (and its folders); returns its device path.
  u16 WriteText(const u16& relative, const std::string& bytes = std::string()) const {
    std::filesystem::create_directories(Native(relative).parent_path());
    std::ofstream(Native(relative), std::ios::binary) << bytes;
    return Path(relative);
  }
  u16 Write(const u16& relative, const std::vector<uint8_t>& bytes) const {
    return WriteText(relative, std::string(bytes.begin(), bytes.end()));
  }
  std::string ReadText(const u16& relative) const {
    std::ifstream in(Native(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::vector<uint8_t> Read(const u16& relative) const {
    const std::string bytes = ReadText(relative);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
  }
  bool Exists(const u16& relative) const { return std::filesystem::exists(Native(relative)); }

 private:
  std::filesystem::path native_;
};

}  // namespace testing_support
}  // namespace crv
