// A real temporary folder for the library tests, in a base folder without capitals (locations
// are stored lower-cased and the native file system is case-sensitive), given as a device path
// with backslashes.
#pragma once
#include <string>
#include "player/base/tests/temp_folder.h"
#include "player/library/media_item.h"

namespace crv {
namespace testing_support {

class TestFolder : public TempFolder {
 public:
  TestFolder() : TempFolder("crv-library-test", true) {}

  // The folder itself (with a trailing backslash), or a path inside it.
  u16 Path(const u16& relative = u16()) const { return TempFolder::Path() + u'\\' + relative; }
  std::string Utf8(const u16& relative = u16()) const { return ToUtf8(Path(relative)); }
  u16 Write(const u16& relative, const std::string& content = std::string()) const {
    WriteText(relative, content);
    return Path(relative);
  }
  std::string Read(const u16& relative) const { return ReadText(relative); }
  // A record of a newly created file in the folder.
  CMediaItem Item(const u16& relative, const u16& title = u16()) const {
    CMediaItem item;
    item.SetLocation(Write(relative));
    item.SetTitle(title);
    return item;
  }
};

}  // namespace testing_support
}  // namespace crv
