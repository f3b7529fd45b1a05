// A web page's bytes as the Open URL command reads them: its link tags rewritten, its links
// scanned against a base address, and each link's download name; every name found must be a
// plain name (no separator, no "..").
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "player/share/web_address.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string page(reinterpret_cast<const char*>(data), size < crv::kPageBytes ? size : crv::kPageBytes);
  crv::NormaliseLinkTags(page);
  for (const auto& link : crv::ScanPageLinks(u"http://127.0.0.1/dir/", page)) {
    const crv::u16 name = crv::DownloadFileName(link.address);
    if (name.find_first_of(u"/\\:") != crv::u16::npos || name == u"." || name == u"..") std::abort();
  }
  return 0;
}
