// Native file calls: the handle is a FILE* opened in binary mode.
#include <cstdio>
#include "player/base/text16.h"
#include "player/media/stream_file.h"

namespace crv {

RFileHandle StreamFileOpen(const std::u16string& path) { return std::fopen(ToUtf8(path).c_str(), "rb"); }

void StreamFileClose(RFileHandle file) {
  if (file) std::fclose(static_cast<FILE*>(file));
}

bool StreamFileRead(RFileHandle file, void* destination, uint32_t count, uint32_t* read) {
  *read = 0;
  if (!file) return false;
  FILE* f = static_cast<FILE*>(file);
  if (count == 0) return true;
  const size_t got = std::fread(destination, 1, count, f);
  *read = static_cast<uint32_t>(got);
  if (got < count && std::ferror(f)) {
    std::clearerr(f);
    return false;
  }
  return true;
}

int64_t StreamFileSeek(RFileHandle file, int64_t offset, int origin) {
  if (!file || origin < 0 || origin > 2) return -1;
  static const int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  FILE* f = static_cast<FILE*>(file);
  if (fseeko(f, static_cast<off_t>(offset), kWhence[origin]) != 0) return -1;
  return static_cast<int64_t>(ftello(f));
}

int64_t StreamFileSize(RFileHandle file) {
  if (!file) return -1;
  FILE* f = static_cast<FILE*>(file);
  const off_t here = ftello(f);
  if (here < 0 || fseeko(f, 0, SEEK_END) != 0) return -1;
  const off_t end = ftello(f);
  fseeko(f, here, SEEK_SET);
  return static_cast<int64_t>(end);
}

}  // namespace crv
