#include "player/playback/wmp_version.h"

namespace crv {
namespace wmp {

namespace {
// A longer run of digits than any real version must not overflow the value.
constexpr int kMaxVersion = 1000000;
}  // namespace

int ParsePlayerVersion(const char16_t* version) {
  if (!version) return 1;
  const char16_t* dot = version;
  while (*dot && *dot != u'.') ++dot;
  if (!*dot) return 1;
  int value = 0;
  for (const char16_t* digit = dot + 1; *digit >= u'0' && *digit <= u'9'; ++digit) {
    value = value * 10 + (*digit - u'0');
    if (value >= kMaxVersion) return kMaxVersion;
  }
  return value;
}

const char16_t* UiModeForVersion(int version) { return version > 1 ? u"none" : u"full"; }

}  // namespace wmp
}  // namespace crv
