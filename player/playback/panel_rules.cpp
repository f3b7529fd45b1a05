#include "player/playback/panel_rules.h"

#include <algorithm>
#include <cstdio>


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

namespace {

const char16_t* const kHostedExtensions[] = {u".asf", u".wmv", u".asx", u".mp3", u".wav", u".wax", u".wm", u".wma",
                                             u".wmp", u".wmx", u".wsx", u".wvx", u".3gp", u".mp4", u".m4v"};
const char16_t* const kBuiltInExtensions[] = {u".mpe", u".mpg", u".mpeg", u".avi", u".mov", u".qt", u".hvpl"};

// The extension with its dot, in lower case; empty without one in the file name.
std::u16string ExtensionOf(const std::u16string& path) {
  const size_t dot = path.find_last_of(u'.');
  const size_t slash = path.find_last_of(u"\\/");
  if (dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash)) return {};
  std::u16string ext = path.substr(dot);
  for (char16_t& c : ext)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return ext;
}

}  // namespace

PanelEngine ChooseEngine(const std::u16string& path) {
  const std::u16string ext = ExtensionOf(path);
  if (ext.empty()) return kEngineNone;
  for (const char16_t* e : kHostedExtensions)
    if (ext == e) return kEngineHosted;
  for (const char16_t* e : kBuiltInExtensions)
    if (ext == e) return kEngineBuiltIn;
  return kEngineNone;
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
