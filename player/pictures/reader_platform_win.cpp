// The readers' Windows parts: the image plug-ins "RImg*.dll" in a folder (the running
// program's own by default), loaded with LoadLibrary, their exports found with
// GetProcAddress; and the picture file opened without sharing.
#include <windows.h>

#include <utility>

#include "player/base/win16.h"
#include "player/pictures/image_holder.h"
#include "player/pictures/reader_registry.h"

namespace crv {
namespace {

std::u16string ProgramFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::u16string folder(U(path), n);
  const size_t slash = folder.find_last_of(u"\\/");
  return slash == std::u16string::npos ? std::u16string() : folder.substr(0, slash + 1);
}

class DllReaderPlugins : public ReaderPluginLoader {
 public:
  // An empty folder means the program's own, looked up at each scan.
  explicit DllReaderPlugins(std::u16string folder) : folder_(std::move(folder)) {}

  std::vector<std::u16string> Candidates() override {
    std::vector<std::u16string> found;
    std::u16string folder = folder_.empty() ? ProgramFolder() : folder_;
    if (folder.empty()) return found;
    if (folder.back() != u'\\' && folder.back() != u'/') folder.push_back(u'\\');
    const std::u16string pattern = folder + u"RImg*.dll";
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(W(pattern.c_str()), &data);
    if (find == INVALID_HANDLE_VALUE) return found;
    do {
      if (data.cFileName[0] == L'.' || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
      found.push_back(folder + U(data.cFileName));
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
  }

  void* Load(const std::u16string& path) override { return LoadLibraryW(W(path.c_str())); }

  void* Find(void* library, const char* name) override {
    return library ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name)) : nullptr;
  }

  void Release(void* library) override {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
  }

 private:
  std::u16string folder_;
};

}  // namespace

ReaderPluginLoader& SystemReaderPluginLoader() {
  static DllReaderPlugins loader{std::u16string()};
  return loader;
}

ReaderPluginLoader* NewFolderReaderPluginLoader(const std::u16string& folder) { return new DllReaderPlugins(folder); }

// Others may read the file meanwhile: the MPEG source's library opens it again by its path.
RFileHandle OpenPictureFile(const std::u16string& path) {
  HANDLE file = CreateFileW(W(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

}  // namespace crv
