#include "player/playback/skin_layout.h"

#include <string>

namespace crv {
namespace {

enum class Field { VideoWithTitle, VideoWithoutTitle, SeekBar, Title, Status, Time, Volume };
enum class Picture { Panel, Pushed, Disabled, Thumb };

// [shape][0 = 96 dpi, 1 = 192 dpi]
struct Tables {
  SkinLayout layouts[3][2];
};

SkinRect& FieldRect(SkinLayout& layout, Field field) {
  switch (field) {
    case Field::VideoWithTitle: return layout.videoWithTitle;
    case Field::VideoWithoutTitle: return layout.videoWithoutTitle;
    case Field::SeekBar: return layout.seekBar;
    case Field::Title: return layout.title;
    case Field::Status: return layout.status;
    case Field::Time: return layout.time;
    case Field::Volume: return layout.volume;
  }
  return layout.seekBar;
}

void SetSize(SkinLayout& layout, Picture picture, int width, int height) {
  switch (picture) {
    case Picture::Panel: layout.width = width, layout.height = height; break;
    case Picture::Pushed: layout.pushedWidth = width, layout.pushedHeight = height; break;
    case Picture::Disabled: layout.disabledWidth = width, layout.disabledHeight = height; break;
    case Picture::Thumb: layout.thumbWidth = width, layout.thumbHeight = height; break;
  }
}

SkinRect Scaled(SkinRect r, int k) { return {r.left * k, r.top * k, r.right * k, r.bottom * k}; }

// A 96 row fills both tables (192 doubled); a 192 row, later in the file, overrides one value.
template <typename Set>
void Put(SkinLayout (&pair)[2], int dpi, Set set) {
  if (dpi == 96) {
    set(pair[0], 1);
    set(pair[1], 2);
  } else {
    set(pair[1], 1);
  }
}

Tables Build() {
  Tables tables{};
  auto shapeOf = [&tables](SkinShape shape) -> SkinLayout(&)[2] {
    return tables.layouts[static_cast<int>(shape)];
  };
// Each row becomes one Put; `k` is the row's scale for the table being filled.
#define SKIN_PUT(shape, dpi, body) Put(shapeOf(SkinShape::shape), dpi, [](SkinLayout& x, int k) { body; });
#define SKIN_SIZE(shape, dpi, picture, w, h) SKIN_PUT(shape, dpi, SetSize(x, Picture::picture, w * k, h * k))
#define SKIN_RECT(shape, dpi, field, l, t, r, b) \
  SKIN_PUT(shape, dpi, FieldRect(x, Field::field) = Scaled({l, t, r, b}, k))
#define SKIN_BUTTON(shape, dpi, button, l, t, r, b) \
  SKIN_PUT(shape, dpi, x.buttons[kSkin##button] = Scaled({l, t, r, b}, k))
#define SKIN_PUSHED(shape, dpi, button, l, t, r, b) \
  SKIN_PUT(shape, dpi, x.pushedFaces[kSkin##button] = Scaled({l, t, r, b}, k))
#define SKIN_PLAY_PAUSE(shape, dpi, face, l, t, r, b) \
  SKIN_PUT(shape, dpi, x.playPauseFaces[face - 1] = Scaled({l, t, r, b}, k))
#define SKIN_DISABLED(shape, dpi, button, l, t, r, b) \
  SKIN_PUT(shape, dpi, x.disabledFaces[kSkin##button] = Scaled({l, t, r, b}, k))
#include "player/playback/skin_layout.def"
#undef SKIN_PUT
#undef SKIN_SIZE
#undef SKIN_RECT
#undef SKIN_BUTTON
#undef SKIN_PUSHED
#undef SKIN_PLAY_PAUSE
#undef SKIN_DISABLED
  // Pressing play/pause from rest shows face 3.
  for (auto& pair : tables.layouts)
    for (SkinLayout& layout : pair) layout.pushedFaces[kSkinPlayPause] = layout.playPauseFaces[2];
  return tables;
}

std::u16string Widened(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace

SkinShape SkinShapeOf(int screenWidth, int screenHeight) {
  if (screenWidth > screenHeight) return SkinShape::Landscape;
  if (screenWidth < screenHeight) return SkinShape::Portrait;
  return SkinShape::Square;
}

const SkinLayout& SkinLayoutFor(SkinShape shape, bool dpi96) {
  static const Tables tables = Build();
  return tables.layouts[static_cast<int>(shape)][dpi96 ? 0 : 1];
}

SkinFiles SkinFilesFor(SkinShape shape, int dpi) {
  const std::string d = dpi == 96 ? "96" : "192";
  const char* background = shape == SkinShape::Landscape ? "landscape" : shape == SkinShape::Portrait ? "portrait" : "square";
  const char* faces = shape == SkinShape::Portrait ? "P" : "SQ";
  const std::string folder = "\\Windows\\";
  return {Widened(folder + background + d + ".gif"), Widened(folder + "pushed" + faces + d + ".gif"),
          Widened(folder + "disabled" + faces + d + ".gif"), Widened(folder + "SeekThumb" + d + "S.gif")};
}

}  // namespace crv
