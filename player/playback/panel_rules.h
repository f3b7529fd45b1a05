// The player panel's rules apart from any window: the time text, the volume steps, which
// engine plays a file, the navigation buttons' states, the play/pause button's pushed face and
// the seek thumb's place. Platform-free, tested natively.
#pragma once
#include <cstdint>
#include <string>

namespace crv {

// Engines of the panel.
enum PanelEngine : int {
  kEngineBuiltIn = 0,  // the video view
  kEngineHosted = 1,   // the hosted Windows Media control
  kEngineNone = 2,
};

// Skin button states.
constexpr int kButtonNormal = 0;
constexpr int kButtonPushed = 1;
constexpr int kButtonDisabled = 2;
// The play/pause button's seven states.
constexpr int kPlayPauseNormal = 0;
constexpr int kPlayPausePlayingMpeg = 1;
constexpr int kPlayPausePlaying = 2;
constexpr int kPlayPausePlayPushed = 3;
constexpr int kPlayPausePausePushedHosted = 4;
constexpr int kPlayPausePausePushed = 5;
constexpr int kPlayPauseDisabled = 6;

// "00:00" below a second, "mm:ss" below an hour, "hh:mm:ss" to 99 hours, "N/A" beyond.
std::u16string FormatTime(int64_t seconds);

constexpr int kVolumeStep = 5;
// The volume after one step up or down, within 0..100.
int StepVolume(int volume, bool up);

// The engine a file's extension chooses: the Windows Media group for the hosted control, the
// program's own types for the video view, nothing else.
PanelEngine ChooseEngine(const std::u16string& path);

// Next and previous after a step in a list of `count` entries at `current`: one entry disables
// both; the first entry enables next only, the last previous only; otherwise both.
struct NavigationButtons {
  bool next = false;
  bool previous = false;
};
NavigationButtons NavigationFor(int current, int count);

// The face the play/pause button shows while pressed: play pushed when idle, pause pushed
// (built-in or hosted) while playing.
int PressedPlayPauseFace(PanelEngine engine, bool playing);
// What releasing it does: true to play (the play face was pushed), false to pause.
bool ReleasePlays(int pressedFace);

// The thumb's left edge for a pointer at `x` while dragging (centred on the pointer) or for a
// progress position (from the bar's left), kept inside the bar.
int ThumbLeftForPointer(int x, int barLeft, int barRight, int thumbWidth);
int ThumbLeftForProgress(int position, int barLeft, int barRight, int thumbWidth);
// The thumb's position in the bar (0 .. bar width - thumb width).
int ThumbPosition(int thumbLeft, int barLeft);

}  // namespace crv
