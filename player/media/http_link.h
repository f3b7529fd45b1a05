// The link files of the HTTP source (".url", ".rvl"): the address of a movie on a web server,
// and which of the player's movie sources reads it.
#pragma once
#include <cstddef>
#include <string>

namespace crv {

constexpr size_t kMaxLinkFileBytes = 259;  // a link file is shorter than 260 bytes

enum class LinkedMovie { kNone, kAvi, kQuickTime };

// The address in a link file's bytes: the whole file, ended at its first carriage return and
// then at its first line feed (an embedded NUL ends it too). False for a file of 260 bytes or
// more.
bool ReadLinkAddress(const char* data, size_t size, std::string& address);
// By the address's extension (from its last "."), without case: ".avi" the AVI source, ".mov"
// and ".qt" the QuickTime source, anything else none.
LinkedMovie LinkedMovieOf(const std::string& address);

}  // namespace crv
