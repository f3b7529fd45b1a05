// The device's file-system seam: the few file operations that the media library, the
// playlists and the album need, on UTF-16 paths. Everything platform-bound about files in the
// folders above lives in device_fs.cpp.
//
// Paths are device paths with backslashes ("\Storage Card\Music\x.mp3"). Outside Windows
// every backslash is taken as a '/' for the native call, so the same path rules (file name
// after the last backslash, lower-cased locations) apply unchanged in the native tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "player/base/byte_source.h"
#include "player/base/text16.h"

namespace crv {
namespace device_fs {

// True when the file's attributes can be read (a file or a folder of that name exists).
bool FileExists(const u16& path);
// True when `path` names a folder.
bool IsFolder(const u16& path);

// Reads the whole file into `bytes`. Fails (and leaves `bytes` empty) when the file cannot be
// opened or read, or holds more than `max_bytes` bytes.
bool ReadFileBounded(const u16& path, size_t max_bytes, std::string& bytes);

// An existing file opened for reading, not shared with writers, as a ByteSource whose size is
// the file's size when it was opened; null when it cannot be opened. Closed when destroyed.
std::unique_ptr<ByteSource> OpenForReading(const u16& path);

// How ReplaceFileWith ended. Whatever the outcome, the old file at the path is whole.
enum class ReplaceOutcome {
  kReplaced,     // the new contents are in place
  kNotCreated,   // the new file beside it could not be created
  kNotWritten,   // writing or flushing the new file failed (a full card)
  kNotReplaced,  // the new file could not be put in place of the old one
};

// Writes the bytes to "<path>.new", flushes them to the disk and then puts that file in place
// of `path` in one step (rename over it; MoveFileExW with MOVEFILE_REPLACE_EXISTING on
// Windows). When any step fails the new file is removed and the old file at `path` is left
// as it was.
ReplaceOutcome ReplaceFileWith(const u16& path, const void* data, size_t size);
// The same, true when replaced.
bool ReplaceFileContents(const u16& path, const std::string& bytes);

// The name of the file written beside `path` before it replaces `path`.
u16 NewFileBeside(const u16& path);

// Makes an existing file writable again (the read-only attribute on Windows, the owner's
// write permission natively). True when it is, or when there is no such file.
bool ClearReadOnly(const u16& path);

// One entry of a folder listing.
struct FolderEntry {
  u16 name;                    // without the folder
  bool isFolder = false;
  bool hidden = false;         // the hidden attribute on Windows; natively a name starting with '.'
  uint64_t size = 0;           // bytes; 0 for a folder
  uint64_t lastWriteTime = 0;  // a Windows FILETIME: 100 ns units since 1601-01-01 UTC
};

// The entries that match `pattern` ("\My Documents\*", "\Pics\*.jpg", or one file's path):
// '*' stands for any run of characters and '?' for one, compared without regard to case;
// "*.*" matches every name. "." and ".." are never listed. An empty list when the folder
// cannot be read. Natively the entries come sorted by name (the platform's own order on
// Windows).
std::vector<FolderEntry> ListMatches(const u16& pattern);

// Makes `folder` stand for the device root: paths that start at "\" ("\My Documents\x.mp3",
// not "\\server\share") are taken inside it, and natively their names are then found without
// regard to case, as on the device. Empty (the default): the platform's own root. For the
// decode tool and the tests, which look at a device folder from outside; set once, before use.
void SetDeviceRoot(const u16& folder);

// Test hook: makes the next writes of ReplaceFileWith fail after `bytes` bytes reached the new
// file (as a full disk would). A negative value (the default) turns it off.
void SetWriteFailureAfterForTesting(long long bytes);

}  // namespace device_fs
}  // namespace crv
