// The run-time loaded codec libraries "codecs.dll" and "codecs3.dll": three entries by the
// names "init", "finish" and "decode". The loader is a seam so that the codec layer stays
// platform-free: Windows loads the file by its bare name, the native build has none (tests
// give their own).
#pragma once
#include <cstdint>

namespace crv {

struct CodecLibraryEntries {
  // 0 = ready.
  int (*init)(uint32_t code, int width, int height) = nullptr;
  int (*finish)(uint32_t code) = nullptr;
  // Fills `out` with width x height pixels: 5-6-5, or with `bgr24` set 24-bit top-down rows.
  int (*decode)(const void* data, int size, void* out, int width, int height, int bgr24) = nullptr;
};

class CodecLibraryLoader {
 public:
  virtual ~CodecLibraryLoader() = default;
  // Loads the library by its bare file name and finds its three entries; null when the file
  // cannot be loaded or lacks an entry.
  virtual void* Load(const char16_t* name, CodecLibraryEntries* entries) = 0;
  virtual void Release(void* handle) = 0;
};

// LoadLibraryW on Windows; natively a loader that finds nothing.
CodecLibraryLoader& SystemCodecLibraryLoader();

}  // namespace crv
