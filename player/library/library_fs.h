// The library's file-system seam: the few file operations that the media library and the
// playlists need, on UTF-16 paths. Everything platform-bound of this folder lives in
// library_fs.cpp.
//
// Paths are device paths with backslashes ("\Storage Card\Music\x.mp3"). Outside Windows
// every backslash is taken as a '/' for the native call, so the same path rules (title after
// the last backslash, lower-cased locations) apply unchanged in the native tests.
#pragma once
#include <cstddef>
#include <string>
#include "player/base/text16.h"

namespace crv {
namespace library_fs {

// True when the file's attributes can be read (a file or a folder of that name exists).
bool FileExists(const u16& path);

// Reads the whole file into `bytes`. Fails (and leaves `bytes` empty) when the file cannot be
// opened or read, or holds more than `max_bytes` bytes.
bool ReadFileBounded(const u16& path, size_t max_bytes, std::string& bytes);

// Writes `bytes` to "<path>.new", flushes it to the disk and then puts it in place of `path`
// in one step (rename over it; MoveFileExW with MOVEFILE_REPLACE_EXISTING on Windows). When
// any step fails the new file is removed and the old file at `path` is left as it was.
bool ReplaceFileContents(const u16& path, const std::string& bytes);

// The name of the file written beside `path` before it replaces `path`.
u16 NewFileBeside(const u16& path);

// Test hook: makes the next writes of ReplaceFileContents fail after `bytes` bytes reached
// the new file (as a full disk would). A negative value (the default) turns it off.
void SetWriteFailureAfterForTesting(long long bytes);

}  // namespace library_fs
}  // namespace crv
