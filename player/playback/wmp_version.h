// How the hosted media control's version string decides the panel's layout and the control's
// own user interface. Platform-free so the rule can be checked without the control.
#pragma once

namespace crv {
namespace wmp {

// The number after the first "." of the control's version string ("10.3.0.3700" gives 3).
// No string or no "." gives 1; a "." followed by no digit gives 0. Capped at 1000000.
int ParsePlayerVersion(const char16_t* version);

// Above 1 the panel draws every control itself and the control shows none of its own
// ("none"); otherwise the control keeps its full interface ("full").
const char16_t* UiModeForVersion(int version);

}  // namespace wmp
}  // namespace crv
