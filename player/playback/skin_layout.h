// The player panel's skin layout: per screen shape and resolution, the size of each skin
// picture and the place of every field, button and button face. The values live in
// skin_layout.def, which also drives the drawing of the pictures, so the two cannot drift.
// Platform-free, so the table is checked natively.
#pragma once
#include <string>

namespace crv {

enum class SkinShape { Landscape, Portrait, Square };

// Wider than tall, taller than wide, or square.
SkinShape SkinShapeOf(int screenWidth, int screenHeight);

enum SkinButton {
  kSkinPrevious,
  kSkinPlayPause,
  kSkinNext,
  kSkinVolumeDown,
  kSkinMute,
  kSkinVolumeUp,
  kSkinFullScreen,
  kSkinOpenUrl,
  kSkinButtonCount
};

// Right and bottom exclusive.
struct SkinRect {
  int left, top, right, bottom;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

struct SkinLayout {
  int width, height;          // the background picture's size (the panel's drawn area)
  SkinRect videoWithTitle;    // video area when HideTitle is 1
  SkinRect videoWithoutTitle; // HideTitle 0
  SkinRect seekBar;
  int thumbWidth, thumbHeight;  // the seek thumb picture's size
  SkinRect title, status, time, volume;
  SkinRect buttons[kSkinButtonCount];        // each button's place in the panel
  SkinRect pushedFaces[kSkinButtonCount];    // its face in the pushed picture (play/pause: face 3)
  SkinRect playPauseFaces[5];                // play/pause faces 1..5 in the pushed picture
  SkinRect disabledFaces[kSkinButtonCount];  // its face in the disabled picture
  int pushedWidth, pushedHeight, disabledWidth, disabledHeight;  // picture sizes
};

// `dpi96` true for 96 dpi, false for any other resolution (the 192-dpi table).
const SkinLayout& SkinLayoutFor(SkinShape shape, bool dpi96);

// The four pictures in "\Windows" for a shape and a horizontal resolution (96, or 192 for any
// other value), e.g. u"\\Windows\\landscape96.gif".
struct SkinFiles {
  std::u16string background, pushed, disabled, thumb;
};
SkinFiles SkinFilesFor(SkinShape shape, int dpi);

}  // namespace crv
