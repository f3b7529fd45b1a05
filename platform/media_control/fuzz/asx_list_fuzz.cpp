// libFuzzer target for the playlist files the media control expands (ASX and its kin, and
// the "[Reference]" form). Whatever parses must keep within the entry cap, and every entry
// resolved against a device path and a web address must stay a path or address of its own
// kind: never empty for a non-empty href, never climbing above the device's root.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/media_control/asx_list.h"

using namespace crv::mediactl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<AsxEntry> entries;
  if (!ParseAsxList(data, size, entries)) {
    if (!entries.empty()) abort();
    return 0;
  }
  if (entries.size() > kMaxAsxEntries) abort();
  for (const AsxEntry& entry : entries) {
    const std::u16string local = ResolveAsxEntry(u"\\My Documents\\list.asx", entry.href);
    if (!entry.href.empty() && local.empty()) abort();
    if (local.find(u"\\..\\") != std::u16string::npos) abort();
    ResolveAsxEntry(u"http://host/dir/list.asx", entry.href);
    IsAsxPath(local);
  }
  return 0;
}
