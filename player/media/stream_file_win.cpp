// Windows file calls: the handle is a file HANDLE.
#include <windows.h>
#include "player/base/win16.h"
#include "player/media/stream_file.h"

namespace crv {
namespace {

bool Usable(RFileHandle file) { return file && file != INVALID_HANDLE_VALUE; }

}  // namespace

RFileHandle StreamFileOpen(const std::u16string& path) {
  HANDLE file = CreateFileW(W(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

void StreamFileClose(RFileHandle file) {
  if (Usable(file)) CloseHandle(file);
}

bool StreamFileRead(RFileHandle file, void* destination, uint32_t count, uint32_t* read) {
  *read = 0;
  if (!Usable(file)) return false;
  DWORD got = 0;
  if (!ReadFile(file, destination, count, &got, nullptr)) return false;
  *read = got;
  return true;
}

int64_t StreamFileSeek(RFileHandle file, int64_t offset, int origin) {
  if (!Usable(file) || origin < 0 || origin > 2) return -1;
  static const DWORD kMethod[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
  LARGE_INTEGER move, now;
  move.QuadPart = offset;
  if (!SetFilePointerEx(file, move, &now, kMethod[origin])) return -1;
  return now.QuadPart;
}

int64_t StreamFileSize(RFileHandle file) {
  LARGE_INTEGER size;
  if (!Usable(file) || !GetFileSizeEx(file, &size)) return -1;
  return size.QuadPart;
}

}  // namespace crv
