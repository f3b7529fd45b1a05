#include "player/base/device_fs.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace crv {
namespace device_fs {
namespace {

std::atomic<long long> failWriteAfterBytes{-1};

// The folder standing for the device root "\" (empty: the platform's own root).
u16& DeviceRoot() {
  static u16 root;
  return root;
}

// A path that starts at the device root ("\x", not "\\server") inside the set root folder.
u16 Rooted(const u16& path) {
  const u16& root = DeviceRoot();
  if (root.empty() || path.empty() || path[0] != u'\\' || (path.size() > 1 && path[1] == u'\\')) return path;
  return root + path;
}

#ifdef _WIN32
std::wstring Wide(const u16& path) {
  const u16 rooted = Rooted(path);
  return std::wstring(rooted.begin(), rooted.end());
}

std::FILE* OpenFile(const u16& path, bool write) {
  return _wfopen(Wide(path).c_str(), write ? L"wb" : L"rb");
}
std::FILE* OpenUnshared(const u16& path) { return _wfsopen(Wide(path).c_str(), L"rb", _SH_DENYRW); }
void RemoveFile(const u16& path) { _wremove(Wide(path).c_str()); }
bool FlushToDisk(std::FILE* f) { return _commit(_fileno(f)) == 0; }
bool MoveOver(const u16& from, const u16& to) {
  return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
bool SeekTo(std::FILE* f, uint64_t offset) { return _fseeki64(f, static_cast<long long>(offset), SEEK_SET) == 0; }
long long SizeOf(std::FILE* f) { return _fseeki64(f, 0, SEEK_END) == 0 ? _ftelli64(f) : -1; }
#else
// Under a set root the device's file names are found without regard to case, as the device's
// file system does: each part of the path takes the spelling found in its folder.
std::string FindWithoutCase(const std::string& folder, const u16& name) {
  const std::string exact = ToUtf8(name);
  struct stat st;
  if (stat((folder + "/" + exact).c_str(), &st) == 0) return exact;
  std::string found = exact;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* d = readdir(dir)) {
      if (EqualsNoCase(FromUtf8(d->d_name), name)) {
        found = d->d_name;
        break;
      }
    }
    closedir(dir);
  }
  return found;
}

std::string Native(const u16& path) {
  const u16& root = DeviceRoot();
  if (Rooted(path) != path) {
    std::string native = ToUtf8(root);
    size_t start = 1;
    while (start <= path.size()) {
      size_t end = path.find(u'\\', start);
      if (end == u16::npos) end = path.size();
      if (end > start) native += "/" + FindWithoutCase(native, path.substr(start, end - start));
      start = end + 1;
    }
    return native;
  }
  u16 p(path);
  for (auto& c : p)
    if (c == u'\\') c = u'/';
  return ToUtf8(p);
}

std::FILE* OpenFile(const u16& path, bool write) {
  return std::fopen(Native(path).c_str(), write ? "wb" : "rb");
}
std::FILE* OpenUnshared(const u16& path) { return OpenFile(path, false); }
void RemoveFile(const u16& path) { std::remove(Native(path).c_str()); }
bool FlushToDisk(std::FILE* f) { return fsync(fileno(f)) == 0; }
bool MoveOver(const u16& from, const u16& to) {
  return std::rename(Native(from).c_str(), Native(to).c_str()) == 0;
}
bool SeekTo(std::FILE* f, uint64_t offset) { return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0; }
long long SizeOf(std::FILE* f) { return fseeko(f, 0, SEEK_END) == 0 ? static_cast<long long>(ftello(f)) : -1; }

// A FILETIME from a modification time: 100 ns units since 1601, 11644473600 s before 1970.
uint64_t FileTimeOf(const struct stat& st) {
  const long long seconds = static_cast<long long>(st.st_mtim.tv_sec) + 11644473600LL;
  if (seconds < 0) return 0;
  return static_cast<uint64_t>(seconds) * 10000000u + static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100u;
}
#endif

bool HasNul(const u16& path) { return path.find(u'\0') != u16::npos; }

// The file's bytes through one FILE, read at any offset.
class FileByteSource final : public ByteSource {
 public:
  FileByteSource(std::FILE* file, uint64_t size) : file_(file), size_(size) {}
  ~FileByteSource() override { std::fclose(file_); }
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* destination, size_t count) override {
    if (offset >= size_ || !destination || count == 0) return 0;
    if (count > size_ - offset) count = static_cast<size_t>(size_ - offset);
    if (!SeekTo(file_, offset)) return 0;
    return std::fread(destination, 1, count, file_);
  }

 private:
  std::FILE* file_;
  uint64_t size_;
};

#ifndef _WIN32
// Wildcard match of a whole name: '*' any run, '?' one character, without regard to case.
bool MatchesPattern(const u16& name, const u16& pattern) {
  if (pattern == u"*" || pattern == u"*.*") return true;
  size_t n = 0, p = 0, starAt = u16::npos, resumeAt = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      starAt = p++;
      resumeAt = n;
    } else if (starAt != u16::npos) {
      p = starAt + 1;
      n = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}
#endif

}  // namespace

bool FileExists(const u16& path) {
  if (path.empty() || HasNul(path)) return false;
#ifdef _WIN32
  return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
#else
  struct stat st;
  return stat(Native(path).c_str(), &st) == 0;
#endif
}

bool IsFolder(const u16& path) {
  if (path.empty() || HasNul(path)) return false;
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
  struct stat st;
  return stat(Native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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

std::unique_ptr<ByteSource> OpenForReading(const u16& path) {
  if (path.empty() || HasNul(path) || IsFolder(path)) return nullptr;
  std::FILE* f = OpenUnshared(path);
  if (!f) return nullptr;
  const long long size = SizeOf(f);
  if (size < 0) {
    std::fclose(f);
    return nullptr;
  }
  return std::make_unique<FileByteSource>(f, static_cast<uint64_t>(size));
}

u16 NewFileBeside(const u16& path) { return path + u".new"; }

ReplaceOutcome ReplaceFileWith(const u16& path, const void* data, size_t size) {
  if (path.empty() || HasNul(path)) return ReplaceOutcome::kNotCreated;
  const u16 fresh = NewFileBeside(path);
  std::FILE* f = OpenFile(fresh, true);
  if (!f) return ReplaceOutcome::kNotCreated;
  size_t to_write = size;
  const long long limit = failWriteAfterBytes.load();
  bool ok = true;
  if (limit >= 0 && static_cast<unsigned long long>(limit) < to_write) {
    to_write = static_cast<size_t>(limit);
    ok = false;
  }
  if (to_write > 0 && std::fwrite(data, 1, to_write, f) != to_write) ok = false;
  if (std::fflush(f) != 0) ok = false;
  if (ok && !FlushToDisk(f)) ok = false;
  if (std::fclose(f) != 0) ok = false;
  if (!ok) {
    RemoveFile(fresh);
    return ReplaceOutcome::kNotWritten;
  }
  if (!MoveOver(fresh, path)) {
    RemoveFile(fresh);
    return ReplaceOutcome::kNotReplaced;
  }
  return ReplaceOutcome::kReplaced;
}

bool ReplaceFileContents(const u16& path, const std::string& bytes) {
  return ReplaceFileWith(path, bytes.data(), bytes.size()) == ReplaceOutcome::kReplaced;
}

bool ClearReadOnly(const u16& path) {
  if (path.empty() || HasNul(path)) return false;
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (!(attributes & FILE_ATTRIBUTE_READONLY)) return true;
  return SetFileAttributesW(Wide(path).c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) != 0;
#else
  struct stat st;
  if (stat(Native(path).c_str(), &st) != 0) return true;
  if (st.st_mode & S_IWUSR) return true;
  return chmod(Native(path).c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
#endif
}

std::vector<FolderEntry> ListMatches(const u16& pattern) {
  std::vector<FolderEntry> entries;
  if (pattern.empty() || HasNul(pattern)) return entries;
#ifdef _WIN32
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(Wide(pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    const u16 name(reinterpret_cast<const char16_t*>(found.cFileName));
    if (name == u"." || name == u"..") continue;
    FolderEntry entry;
    entry.name = name;
    entry.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.hidden = (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    entry.size = entry.isFolder ? 0 : (uint64_t{found.nFileSizeHigh} << 32 | found.nFileSizeLow);
    entry.lastWriteTime =
        uint64_t{found.ftLastWriteTime.dwHighDateTime} << 32 | found.ftLastWriteTime.dwLowDateTime;
    entries.push_back(std::move(entry));
  } while (FindNextFileW(search, &found));
  FindClose(search);
#else
  const size_t slash = pattern.find_last_of(u"\\/");
  const u16 folder = slash == u16::npos ? u16(u".") : slash == 0 ? u16(u"/") : pattern.substr(0, slash);
  const u16 namePattern = slash == u16::npos ? pattern : pattern.substr(slash + 1);
  if (namePattern.empty()) return entries;
  DIR* dir = opendir(Native(folder).c_str());
  if (!dir) return entries;
  const std::string prefix = Native(folder) + "/";
  while (const dirent* d = readdir(dir)) {
    const std::string raw(d->d_name);
    if (raw == "." || raw == "..") continue;
    const u16 name = FromUtf8(raw);
    if (!MatchesPattern(name, namePattern)) continue;
    struct stat st;
    if (stat((prefix + raw).c_str(), &st) != 0) continue;
    FolderEntry entry;
    entry.name = name;
    entry.isFolder = S_ISDIR(st.st_mode);
    entry.hidden = raw[0] == '.';
    entry.size = entry.isFolder ? 0 : static_cast<uint64_t>(st.st_size);
    entry.lastWriteTime = FileTimeOf(st);
    entries.push_back(std::move(entry));
  }
  closedir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
#endif
  return entries;
}

void SetDeviceRoot(const u16& folder) {
  u16 root = folder;
  while (!root.empty() && (root.back() == u'\\' || root.back() == u'/')) root.pop_back();
  DeviceRoot() = root;
}

void SetWriteFailureAfterForTesting(long long bytes) { failWriteAfterBytes.store(bytes); }

}  // namespace device_fs
}  // namespace crv
