#include "player/media/http_link.h"

#include <cstring>

namespace crv {

bool ReadLinkAddress(const char* data, size_t size, std::string& address) {
  address.clear();
  if (size > kMaxLinkFileBytes || (size && !data)) return false;
  address.assign(data, size);
  address.resize(std::strlen(address.c_str()));  // 8-bit text ends at a NUL
  const size_t cr = address.find('\r');
  if (cr != std::string::npos) address.resize(cr);
  const size_t lf = address.find('\n');
  if (lf != std::string::npos) address.resize(lf);
  return true;
}

LinkedMovie LinkedMovieOf(const std::string& address) {
  const size_t dot = address.rfind('.');
  if (dot == std::string::npos) return LinkedMovie::kNone;
  std::string extension = address.substr(dot);
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  if (extension == ".avi") return LinkedMovie::kAvi;
  if (extension == ".mov" || extension == ".qt") return LinkedMovie::kQuickTime;
  return LinkedMovie::kNone;
}

}  // namespace crv
