// Natively there is no MPEG library to load: every delivery fails at its first step, and
// MPEG files give result 8 (tests install a loader of their own).
#include "player/media/mpeg_library.h"

namespace crv {
namespace {

class NoMpegLibrary final : public MpegLibraryLoader {
 public:
  std::u16string CreateTempName() override { return {}; }
  bool ReadLibraryFile(std::vector<uint8_t>*) override { return false; }
  bool WriteTempFile(const std::u16string&, const uint8_t*, size_t) override { return false; }
  void* OpenModule(const std::u16string&) override { return nullptr; }
  void* FindEntry(void*, const char*) override { return nullptr; }
  void CloseModule(void*) override {}
  void RemoveTempFile(const std::u16string&) override {}
};

}  // namespace

MpegLibraryLoader& SystemMpegLibraryLoader() {
  static NoMpegLibrary loader;
  return loader;
}

}  // namespace crv
