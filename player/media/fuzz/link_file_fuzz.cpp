// A link file's bytes: the address read from them is shorter than the file, holds no line end
// or NUL, and names a source only by its extension.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "player/media/http_link.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string address;
  if (!crv::ReadLinkAddress(reinterpret_cast<const char*>(data), size, address)) {
    if (size <= crv::kMaxLinkFileBytes) std::abort();
    return 0;
  }
  if (address.size() > size || address.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) std::abort();
  const crv::LinkedMovie movie = crv::LinkedMovieOf(address);
  if (movie != crv::LinkedMovie::kNone && address.rfind('.') == std::string::npos) std::abort();
  return 0;
}
