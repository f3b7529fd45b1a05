#include "player/library/library_fs.h"

#include <atomic>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace crv {
namespace library_fs {
namespace {

std::atomic<long long> g_fail_after{-1};

#ifdef _WIN32
const wchar_t* Wide(const u16& path) { return reinterpret_cast<const wchar_t*>(path.c_str()); }

std::FILE* OpenFile(const u16& path, bool write) {
  return _wfopen(Wide(path), write ? L"wb" : L"rb");
}
void RemoveFile(const u16& path) { _wremove(Wide(path)); }
bool FlushToDisk(std::FILE* f) { return _commit(_fileno(f)) == 0; }
bool MoveOver(const u16& from, const u16& to) {
  return MoveFileExW(Wide(from), Wide(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
#else
std::string Native(const u16& path) {
  u16 p(path);
  for (auto& c : p)
    if (c == u'\\') c = u'/';
  return ToUtf8(p);
}

std::FILE* OpenFile(const u16& path, bool write) {
  return std::fopen(Native(path).c_str(), write ? "wb" : "rb");
}
void RemoveFile(const u16& path) { std::remove(Native(path).c_str()); }
bool FlushToDisk(std::FILE* f) { return fsync(fileno(f)) == 0; }
bool MoveOver(const u16& from, const u16& to) {
  return std::rename(Native(from).c_str(), Native(to).c_str()) == 0;
}
#endif

bool HasNul(const u16& path) { return path.find(u'\0') != u16::npos; }

}  // namespace

bool FileExists(const u16& path) {
  if (path.empty() || HasNul(path)) return false;
#ifdef _WIN32
  return GetFileAttributesW(Wide(path)) != INVALID_FILE_ATTRIBUTES;
#else
  struct stat st;
  return stat(Native(path).c_str(), &st) == 0;
#endif
}

bool ReadFileBounded(const u16& path, size_t max_bytes, std::string& bytes) {
  bytes.clear();
  if (path.empty() || HasNul(path)) return false;
  std::FILE* f = OpenFile(path, false);
  if (!f) return false;
  bool ok = true;
  char chunk[16384];
  for (;;) {
    size_t n = std::fread(chunk, 1, sizeof chunk, f);
    if (n > 0) {
      if (bytes.size() + n > max_bytes) {
        ok = false;
        break;
      }
      bytes.append(chunk, n);
    }
    if (n < sizeof chunk) {
      if (std::ferror(f)) ok = false;
      break;
    }
  }
  std::fclose(f);
  if (!ok) bytes.clear();
  return ok;
}

u16 NewFileBeside(const u16& path) { return path + u".new"; }

bool ReplaceFileContents(const u16& path, const std::string& bytes) {
  if (path.empty() || HasNul(path)) return false;
  const u16 fresh = NewFileBeside(path);
  std::FILE* f = OpenFile(fresh, true);
  if (!f) return false;
  size_t to_write = bytes.size();
  const long long limit = g_fail_after.load();
  bool ok = true;
  if (limit >= 0 && static_cast<unsigned long long>(limit) < to_write) {
    to_write = static_cast<size_t>(limit);
    ok = false;
  }
  if (to_write > 0 && std::fwrite(bytes.data(), 1, to_write, f) != to_write) ok = false;
  if (std::fflush(f) != 0) ok = false;
  if (ok && !FlushToDisk(f)) ok = false;
  if (std::fclose(f) != 0) ok = false;
  if (ok) ok = MoveOver(fresh, path);
  if (!ok) RemoveFile(fresh);
  return ok;
}

void SetWriteFailureAfterForTesting(long long bytes) { g_fail_after.store(bytes); }

}  // namespace library_fs
}  // namespace crv
