#include <windows.h>

#include "player/media/codec_library.h"

namespace crv {
namespace {

class DllCodecLibraries : public CodecLibraryLoader {
 public:
  void* Load(const char16_t* name, CodecLibraryEntries* entries) override {
    HMODULE module = LoadLibraryW(reinterpret_cast<const wchar_t*>(name));
    if (!module) return nullptr;
    entries->init = reinterpret_cast<decltype(entries->init)>(
        reinterpret_cast<void*>(GetProcAddress(module, "init")));
    entries->finish = reinterpret_cast<decltype(entries->finish)>(
        reinterpret_cast<void*>(GetProcAddress(module, "finish")));
    entries->decode = reinterpret_cast<decltype(entries->decode)>(
        reinterpret_cast<void*>(GetProcAddress(module, "decode")));
    if (!entries->init || !entries->finish || !entries->decode) {
      FreeLibrary(module);
      *entries = CodecLibraryEntries{};
      return nullptr;
    }
    return module;
  }
  void Release(void* handle) override {
    if (handle) FreeLibrary(static_cast<HMODULE>(handle));
  }
};

}  // namespace

CodecLibraryLoader& SystemCodecLibraryLoader() {
  static DllCodecLibraries loader;
  return loader;
}

}  // namespace crv
