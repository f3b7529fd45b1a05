#include "player/media/codec_library.h"

namespace crv {
namespace {

class NoCodecLibraries : public CodecLibraryLoader {
 public:
  void* Load(const char16_t*, CodecLibraryEntries*) override { return nullptr; }
  void Release(void*) override {}
};

}  // namespace

CodecLibraryLoader& SystemCodecLibraryLoader() {
  static NoCodecLibraries loader;
  return loader;
}

}  // namespace crv
