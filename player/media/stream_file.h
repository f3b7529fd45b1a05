// The platform's file calls under a local-file stream: a HANDLE with ReadFile and
// SetFilePointerEx in the Windows build (stream_file_win.cpp), a FILE* natively
// (stream_file_native.cpp). The stream only reads and moves the pointer; whoever opened the
// file closes it.
#pragma once
#include <cstdint>
#include <string>
#include "player/media/frame_record.h"

namespace crv {

// Opens an existing file for reading (shared for reading); null when it cannot be opened.
RFileHandle StreamFileOpen(const std::u16string& path);
void StreamFileClose(RFileHandle file);

// Reads up to `count` bytes; false on a platform error. Fewer bytes than asked at the end.
bool StreamFileRead(RFileHandle file, void* destination, uint32_t count, uint32_t* read);
// Origin 0 start, 1 current, 2 end. The new position, or -1.
int64_t StreamFileSeek(RFileHandle file, int64_t offset, int origin);
// The file's size in bytes, or -1.
int64_t StreamFileSize(RFileHandle file);

}  // namespace crv
