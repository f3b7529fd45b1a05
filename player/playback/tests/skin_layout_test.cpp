#include "player/playback/skin_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace crv;

namespace {

constexpr SkinShape kShapes[] = {SkinShape::Landscape, SkinShape::Portrait, SkinShape::Square};

std::string Str(const SkinRect& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ")-(" + std::to_string(r.right) + ", " +
         std::to_string(r.bottom) + ")";
}

bool Overlap(const SkinRect& a, const SkinRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Inside(const SkinRect& r, int width, int height) {
  return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height && r.Width() > 0 && r.Height() > 0;
}

using Named = std::vector<std::pair<std::string, SkinRect>>;

Named PanelRects(const SkinLayout& l) {
  Named rects{{"video with title", l.videoWithTitle}, {"video without title", l.videoWithoutTitle},
              {"seek bar", l.seekBar}, {"title", l.title}, {"status", l.status}, {"time", l.time},
              {"volume", l.volume}};
  for (int b = 0; b < kSkinButtonCount; ++b) rects.push_back({"button " + std::to_string(b), l.buttons[b]});
  return rects;
}

Named PushedRects(const SkinLayout& l) {
  Named rects;
  for (int b = 0; b < kSkinButtonCount; ++b)
    if (b != kSkinPlayPause) rects.push_back({"pushed " + std::to_string(b), l.pushedFaces[b]});
  for (int f = 0; f < 5; ++f) rects.push_back({"play/pause face " + std::to_string(f + 1), l.playPauseFaces[f]});
  return rects;
}

Named DisabledRects(const SkinLayout& l) {
  Named rects;
  for (int b = 0; b < kSkinButtonCount; ++b) rects.push_back({"disabled " + std::to_string(b), l.disabledFaces[b]});
  return rects;
}

void ExpectDisjoint(const Named& rects, const std::string& where) {
  for (size_t i = 0; i < rects.size(); ++i)
    for (size_t j = i + 1; j < rects.size(); ++j)
      EXPECT_FALSE(Overlap(rects[i].second, rects[j].second)) << where << ": " << rects[i].first << " and "
                                                             << rects[j].first;
}

}  // namespace

TEST(SkinLayout, FixedRowsHold) {
  const SkinLayout& wide = SkinLayoutFor(SkinShape::Landscape, false);
  EXPECT_EQ(Str(wide.seekBar), "(114, 284)-(526, 304)");
  EXPECT_EQ(wide.thumbWidth, 40);
  EXPECT_EQ(wide.thumbHeight, 20);
  EXPECT_EQ(Str(wide.title), "(16, 2)-(624, 28)");

  struct Video {
    SkinShape shape;
    bool dpi96;
    const char* withTitle;
    const char* withoutTitle;
  };
  const Video videos[] = {
      {SkinShape::Landscape, true, "(8, 30)-(312, 135)", "(0, 0)-(320, 140)"},
      {SkinShape::Landscape, false, "(16, 60)-(624, 270)", "(0, 0)-(640, 280)"},
      {SkinShape::Portrait, true, "(5, 37)-(235, 192)", "(0, 0)-(240, 202)"},
      {SkinShape::Portrait, false, "(10, 74)-(470, 384)", "(0, 0)-(480, 403)"},
      {SkinShape::Square, true, "(5, 35)-(235, 134)", "(0, 0)-(240, 140)"},
      {SkinShape::Square, false, "(10, 70)-(470, 268)", "(0, 0)-(480, 280)"},
  };
  for (const Video& v : videos) {
    const SkinLayout& l = SkinLayoutFor(v.shape, v.dpi96);
    EXPECT_EQ(Str(l.videoWithTitle), v.withTitle);
    EXPECT_EQ(Str(l.videoWithoutTitle), v.withoutTitle);
  }
}

// The panel is the frame's view between the task bar and the soft-key bar.
TEST(SkinLayout, PanelSizesFitTheScreens) {
  const SkinLayout& portrait = SkinLayoutFor(SkinShape::Portrait, true);
  const SkinLayout& landscape = SkinLayoutFor(SkinShape::Landscape, true);
  const SkinLayout& square = SkinLayoutFor(SkinShape::Square, false);
  EXPECT_EQ(std::make_pair(portrait.width, portrait.height), std::make_pair(240, 268));
  EXPECT_EQ(std::make_pair(landscape.width, landscape.height), std::make_pair(320, 188));
  EXPECT_EQ(std::make_pair(square.width, square.height), std::make_pair(480, 376));
}

TEST(SkinLayout, EveryRectangleLiesInsideItsPictureAndNothingCollides) {
  for (SkinShape shape : kShapes) {
    for (bool dpi96 : {true, false}) {
      const SkinLayout& l = SkinLayoutFor(shape, dpi96);
      const std::string where = "shape " + std::to_string(static_cast<int>(shape)) + (dpi96 ? " 96" : " 192");
      const int scale = dpi96 ? 1 : 2;
      for (const auto& [name, r] : PanelRects(l)) EXPECT_TRUE(Inside(r, l.width, l.height)) << where << " " << name;
      for (const auto& [name, r] : PushedRects(l))
        EXPECT_TRUE(Inside(r, l.pushedWidth, l.pushedHeight)) << where << " " << name;
      for (const auto& [name, r] : DisabledRects(l))
        EXPECT_TRUE(Inside(r, l.disabledWidth, l.disabledHeight)) << where << " " << name;

      // The thumb travels along the bar: (bar width - thumb width) divides positions.
      EXPECT_LT(l.thumbWidth, l.seekBar.Width()) << where;
      EXPECT_LE(l.thumbHeight, l.seekBar.Height()) << where;

      // Buttons, the seek row and the title lines: apart from each other and from the video
      // (the video without title may cover the title lines, nothing else).
      Named lower{{"seek bar", l.seekBar}, {"time", l.time}, {"volume", l.volume}};
      for (int b = 0; b < kSkinButtonCount; ++b) {
        lower.push_back({"button " + std::to_string(b), l.buttons[b]});
        EXPECT_GE(l.buttons[b].Width(), 24 * scale) << where << " button " << b;
        EXPECT_GE(l.buttons[b].Height(), 24 * scale) << where << " button " << b;
      }
      Named all = lower;
      all.insert(all.end(), {{"title", l.title}, {"status", l.status}, {"video with title", l.videoWithTitle}});
      ExpectDisjoint(all, where);
      for (const auto& [name, r] : lower)
        EXPECT_FALSE(Overlap(r, l.videoWithoutTitle)) << where << " " << name << " under the full video";

      // Faces are drawn 1:1 over their buttons, and no two share pixels.
      for (int b = 0; b < kSkinButtonCount; ++b) {
        EXPECT_EQ(l.pushedFaces[b].Width(), l.buttons[b].Width()) << where << " " << b;
        EXPECT_EQ(l.pushedFaces[b].Height(), l.buttons[b].Height()) << where << " " << b;
        EXPECT_EQ(l.disabledFaces[b].Width(), l.buttons[b].Width()) << where << " " << b;
        EXPECT_EQ(l.disabledFaces[b].Height(), l.buttons[b].Height()) << where << " " << b;
      }
      for (const SkinRect& f : l.playPauseFaces) {
        EXPECT_EQ(f.Width(), l.buttons[kSkinPlayPause].Width()) << where;
        EXPECT_EQ(f.Height(), l.buttons[kSkinPlayPause].Height()) << where;
      }
      EXPECT_EQ(Str(l.pushedFaces[kSkinPlayPause]), Str(l.playPauseFaces[2])) << where << " play pushed is face 3";
      ExpectDisjoint(PushedRects(l), where);
      ExpectDisjoint(DisabledRects(l), where);
    }
  }
}

// One pushed and one disabled picture serve both shapes, one thumb picture every shape.
TEST(SkinLayout, SharedPicturesAgree) {
  for (bool dpi96 : {true, false}) {
    const SkinLayout& wide = SkinLayoutFor(SkinShape::Landscape, dpi96);
    const SkinLayout& square = SkinLayoutFor(SkinShape::Square, dpi96);
    EXPECT_EQ(std::make_pair(wide.pushedWidth, wide.pushedHeight), std::make_pair(square.pushedWidth, square.pushedHeight));
    EXPECT_EQ(std::make_pair(wide.disabledWidth, wide.disabledHeight),
              std::make_pair(square.disabledWidth, square.disabledHeight));
    const Named a = PushedRects(wide), b = PushedRects(square), c = DisabledRects(wide), d = DisabledRects(square);
    for (size_t i = 0; i < a.size(); ++i) EXPECT_EQ(Str(a[i].second), Str(b[i].second)) << a[i].first;
    for (size_t i = 0; i < c.size(); ++i) EXPECT_EQ(Str(c[i].second), Str(d[i].second)) << c[i].first;
    for (SkinShape shape : kShapes) {
      EXPECT_EQ(SkinLayoutFor(shape, dpi96).thumbWidth, wide.thumbWidth);
      EXPECT_EQ(SkinLayoutFor(shape, dpi96).thumbHeight, wide.thumbHeight);
    }
  }
}

TEST(SkinLayout, HighResolutionDoublesEveryValue) {
  auto doubled = [](SkinRect r) { return SkinRect{2 * r.left, 2 * r.top, 2 * r.right, 2 * r.bottom}; };
  for (SkinShape shape : kShapes) {
    const SkinLayout& low = SkinLayoutFor(shape, true);
    const SkinLayout& high = SkinLayoutFor(shape, false);
    EXPECT_EQ(high.width, 2 * low.width);
    EXPECT_EQ(high.height, 2 * low.height);
    EXPECT_EQ(high.thumbWidth, 2 * low.thumbWidth);
    EXPECT_EQ(high.pushedWidth, 2 * low.pushedWidth);
    EXPECT_EQ(high.disabledHeight, 2 * low.disabledHeight);
    const Named all[][2] = {{PanelRects(low), PanelRects(high)},
                            {PushedRects(low), PushedRects(high)},
                            {DisabledRects(low), DisabledRects(high)}};
    for (const auto& pair : all) {
      for (size_t i = 0; i < pair[0].size(); ++i) {
        SkinRect expected = doubled(pair[0][i].second);
        if (shape == SkinShape::Portrait && pair[0][i].first == "video without title") expected.bottom = 403;
        EXPECT_EQ(Str(pair[1][i].second), Str(expected)) << static_cast<int>(shape) << " " << pair[0][i].first;
      }
    }
  }
}

TEST(SkinLayout, ShapeAndFileNames) {
  EXPECT_EQ(SkinShapeOf(320, 240), SkinShape::Landscape);
  EXPECT_EQ(SkinShapeOf(240, 320), SkinShape::Portrait);
  EXPECT_EQ(SkinShapeOf(240, 240), SkinShape::Square);

  SkinFiles wide = SkinFilesFor(SkinShape::Landscape, 96);
  EXPECT_EQ(wide.background, u"\\Windows\\landscape96.gif");
  EXPECT_EQ(wide.pushed, u"\\Windows\\pushedSQ96.gif");
  EXPECT_EQ(wide.disabled, u"\\Windows\\disabledSQ96.gif");
  EXPECT_EQ(wide.thumb, u"\\Windows\\SeekThumb96S.gif");
  SkinFiles tall = SkinFilesFor(SkinShape::Portrait, 192);
  EXPECT_EQ(tall.background, u"\\Windows\\portrait192.gif");
  EXPECT_EQ(tall.pushed, u"\\Windows\\pushedP192.gif");
  EXPECT_EQ(tall.disabled, u"\\Windows\\disabledP192.gif");
  EXPECT_EQ(tall.thumb, u"\\Windows\\SeekThumb192S.gif");
  SkinFiles square = SkinFilesFor(SkinShape::Square, 131);  // any other resolution takes the large set
  EXPECT_EQ(square.background, u"\\Windows\\square192.gif");
  EXPECT_EQ(square.pushed, u"\\Windows\\pushedSQ192.gif");
}
