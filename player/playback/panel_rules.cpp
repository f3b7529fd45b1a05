#include "player/playback/panel_rules.h"

#include <algorithm>
#include <cstdio>

#include "player/base/file_kind.h"
#include "player/base/text16.h"

namespace crv {

std::u16string FormatTime(int64_t seconds) {
  char text[16];
  if (seconds < 1) return u"00:00";
  if (seconds < 3600) {
    std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(seconds / 60), static_cast<int>(seconds % 60));
  } else if (seconds < 100 * 3600) {
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  } else {
    return u"N/A";
  }
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

int StepVolume(int volume, bool up) { return std::clamp(volume + (up ? kVolumeStep : -kVolumeStep), 0, 100); }

PanelEngine ChooseEngine(const std::u16string& path) {
  // A link file names a movie on the web that the player's own sources read.
  if (EndsWithNoCase(path, u".url") || EndsWithNoCase(path, u".rvl")) return kEngineBuiltIn;
  switch (ClassifyGroup(path)) {
    case FileGroup::MediaPlatform: return kEngineHosted;
    case FileGroup::MediaOwn: return kEngineBuiltIn;
    default: return kEngineNone;
  }
}

NavigationButtons NavigationFor(int current, int count) {
  if (count <= 1) return {false, false};
  if (current <= 0) return {true, false};
  if (current >= count - 1) return {false, true};
  return {true, true};
}

int PressedPlayPauseFace(PanelEngine engine, bool playing) {
  if (!playing) return kPlayPausePlayPushed;
  return engine == kEngineHosted ? kPlayPausePausePushedHosted : kPlayPausePausePushed;
}

bool ReleasePlays(int pressedFace) { return pressedFace == kPlayPausePlayPushed; }

int ThumbLeftForPointer(int x, int barLeft, int barRight, int thumbWidth) {
  return std::clamp(x - thumbWidth / 2, barLeft, std::max(barLeft, barRight - thumbWidth));
}

int ThumbLeftForProgress(int position, int barLeft, int barRight, int thumbWidth) {
  return barLeft + std::clamp(position, 0, std::max(0, barRight - barLeft - thumbWidth));
}

int ThumbPosition(int thumbLeft, int barLeft) { return std::max(0, thumbLeft - barLeft); }

}  // namespace crv
