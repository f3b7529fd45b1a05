#include "player/media/mpeg_library_win.h"

#include <windows.h>

#include <utility>

#include "player/base/win16.h"

namespace crv {

namespace {

// "codecs.dat" in the folder of the program's executable.
std::u16string BesideProgram() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  while (n > 0 && path[n - 1] != L'\\' && path[n - 1] != L'/') --n;
  return std::u16string(U(path), n) + u"codecs.dat";
}

}  // namespace

WinMpegLibraryLoader::WinMpegLibraryLoader(std::u16string tempFolder, std::u16string libraryFile)
    : tempFolder_(std::move(tempFolder)), libraryFile_(std::move(libraryFile)) {}

std::u16string WinMpegLibraryLoader::CreateTempName() {
  wchar_t name[MAX_PATH];
  if (!GetTempFileNameW(W(tempFolder_.c_str()), L"_w~", 0, name)) return {};
  return std::u16string(U(name));
}

bool WinMpegLibraryLoader::ReadLibraryFile(std::vector<uint8_t>* bytes) {
  bytes->clear();
  const std::u16string path = libraryFile_.empty() ? BesideProgram() : libraryFile_;
  if (path.empty()) return false;
  HANDLE file = CreateFileW(W(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart > 0 &&
            static_cast<uint64_t>(size.QuadPart) <= kMaxMpegLibraryBytes;
  if (ok) {
    bytes->resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (ok && done < bytes->size()) {
      DWORD got = 0;
      ok = ReadFile(file, bytes->data() + done, static_cast<DWORD>(bytes->size() - done), &got, nullptr) && got > 0;
      done += got;
    }
  }
  CloseHandle(file);
  if (!ok) bytes->clear();
  return ok;
}

bool WinMpegLibraryLoader::WriteTempFile(const std::u16string& path, const uint8_t* bytes, size_t count) {
  HANDLE file = CreateFileW(W(path.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  size_t done = 0;
  while (ok && done < count) {
    DWORD wrote = 0;
    ok = ::WriteFile(file, bytes + done, static_cast<DWORD>(count - done), &wrote, nullptr) && wrote > 0;
    done += wrote;
  }
  // A file whose last bytes never reached the disk is as short as a failed write.
  if (!CloseHandle(file)) ok = false;
  // Replacing the file made by the temporary name need not take the attributes over (Wine
  // keeps the old ones): they are set again.
  SetFileAttributesW(W(path.c_str()), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  return ok && done == count;
}

void* WinMpegLibraryLoader::OpenModule(const std::u16string& path) { return LoadLibraryW(W(path.c_str())); }

void* WinMpegLibraryLoader::FindEntry(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void WinMpegLibraryLoader::CloseModule(void* module) {
  if (module) FreeLibrary(static_cast<HMODULE>(module));
}

void WinMpegLibraryLoader::RemoveTempFile(const std::u16string& path) {
  // Hidden and system files delete as any other; read-only would not.
  SetFileAttributesW(W(path.c_str()), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(W(path.c_str()));
}

MpegLibraryLoader& SystemMpegLibraryLoader() {
  static WinMpegLibraryLoader loader;
  return loader;
}

}  // namespace crv
