#include "player/playback/frame_blit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace crv;

namespace {

// A plain picture of 16-bit pixels, row by row.
struct Image {
  int w = 0, h = 0;
  std::vector<uint16_t> px;
  Image(int width, int height, uint16_t fill = 0) : w(width), h(height), px(size_t(width) * height, fill) {}
  uint16_t& at(int x, int y) { return px[size_t(y) * w + x]; }
  uint16_t at(int x, int y) const { return px[size_t(y) * w + x]; }
};

// Every pixel different: the frame's own coordinates.
Image Numbered(int w, int h) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.at(x, y) = uint16_t(1 + x + y * w);
  return img;
}

// The picture turned a quarter anticlockwise: its right edge becomes its top edge.
Image TurnAnticlockwise(const Image& in) {
  Image out(in.h, in.w);
  for (int y = 0; y < out.h; ++y)
    for (int x = 0; x < out.w; ++x) out.at(x, y) = in.at(in.w - 1 - y, x);
  return out;
}

Image Turn(const Image& in, int quartersAnticlockwise) {
  Image out = in;
  for (int i = 0; i < quartersAnticlockwise; ++i) out = TurnAnticlockwise(out);
  return out;
}

Image Crop(const Image& in, const BlitRect& r) {
  Image out(r.right - r.left, r.bottom - r.top);
  for (int y = 0; y < out.h; ++y)
    for (int x = 0; x < out.w; ++x) out.at(x, y) = in.at(r.left + x, r.top + y);
  return out;
}

// A 5-6-5 surface block with a guard border around it and padding at the end of every row,
// so writes outside the surface are caught.
struct TestSurface {
  static constexpr int kGuardRows = 3;
  static constexpr int kPad = 5;  // pixels of padding per row
  static constexpr uint16_t kGuard = 0xBEEF;
  int w, h;
  std::vector<uint16_t> mem;
  TestSurface(int width, int height)
      : w(width), h(height), mem(size_t(width + kPad) * (height + 2 * kGuardRows), kGuard) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) Pixel(x, y) = 0;
  }
  uint16_t& Pixel(int x, int y) { return mem[size_t(y + kGuardRows) * (w + kPad) + x]; }
  BlitSurface Surface() {
    BlitSurface s;
    s.pixels = reinterpret_cast<uint8_t*>(&Pixel(0, 0));
    s.pitch = ptrdiff_t(w + kPad) * 2;
    s.width = w;
    s.height = h;
    return s;
  }
  Image Panel() {
    Image img(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) img.at(x, y) = Pixel(x, y);
    return img;
  }
  // Guard rows and row padding untouched.
  bool GuardsIntact() const {
    for (int y = 0; y < h + 2 * kGuardRows; ++y)
      for (int x = 0; x < w + kPad; ++x) {
        const bool inside = y >= kGuardRows && y < h + kGuardRows && x < w;
        if (!inside && mem[size_t(y) * (w + kPad) + x] != kGuard) return false;
      }
    return true;
  }
};

int QuartersFor(int orientation) {
  switch (orientation) {
    case kDisplayOrientation90: return 1;
    case kDisplayOrientation180: return 2;
    case kDisplayOrientation270: return 3;
    default: return 0;
  }
}

// What the screen shows, from the panel memory: a display turned by DMDO_90 shows the panel
// turned a quarter anticlockwise, and so on.
Image ScreenFromPanel(const Image& panel, int orientation) { return Turn(panel, QuartersFor(orientation)); }

// The nearest-neighbour picture the blit should produce, upright.
Image Scaled(const Image& frame, int w, int h) {
  Image out(w, h);
  const int sx = frame.w * 1024 / w, sy = frame.h * 1024 / h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out.at(x, y) = frame.at((x * sx) >> 10, (y * sy) >> 10);
  return out;
}

BlitJob JobFor(const Image& frame, BlitRect target) {
  BlitJob job;
  job.frame = frame.px.data();
  job.frameWidth = frame.w;
  job.frameHeight = frame.h;
  job.source = BlitRect{0, 0, frame.w, frame.h};
  job.target = target;
  return job;
}

// The smallest part of the surface memory holding every written (non-zero) pixel.
BlitRect WrittenBounds(TestSurface& s) {
  BlitRect r{s.w, s.h, 0, 0};
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x)
      if (s.Pixel(x, y) != 0) r = BlitRect{std::min(r.left, x), std::min(r.top, y), std::max(r.right, x + 1),
                                           std::max(r.bottom, y + 1)};
  return r;
}

// The target's surface bounds are exactly what the blit wrote, and clearing the target takes
// away all of it and nothing else.
void ExpectClearingTakesBackWhatWasWritten(const BlitJob& job, TestSurface& s, const std::string& what) {
  BlitRect bounds;
  ASSERT_TRUE(TargetSurfaceBounds(job, s.w, s.h, &bounds)) << what;
  const BlitRect written = WrittenBounds(s);
  EXPECT_EQ(bounds.left, written.left) << what;
  EXPECT_EQ(bounds.top, written.top) << what;
  EXPECT_EQ(bounds.right, written.right) << what;
  EXPECT_EQ(bounds.bottom, written.bottom) << what;
  ASSERT_TRUE(ClearTarget(job, s.Surface())) << what;
  EXPECT_EQ(WrittenBounds(s).right, 0) << what << ": something is left after clearing";
  EXPECT_TRUE(s.GuardsIntact()) << what;
}

}  // namespace

TEST(FrameBlit, QcifIntoTheViewUsesSteps750And752) {
  EXPECT_EQ(ScaleStep(176, 240), 750);
  EXPECT_EQ(ScaleStep(144, 196), 752);
  const Image frame = Numbered(176, 144);
  TestSurface surface(240, 320);
  const BlitRect target{0, 40, 240, 236};
  BlitPlan plan;
  ASSERT_TRUE(PlanBlit(JobFor(frame, target), surface.Surface(), &plan));
  EXPECT_EQ(plan.stepX, 750);
  EXPECT_EQ(plan.stepY, 752);
  ASSERT_TRUE(BlitFrame(JobFor(frame, target), surface.Surface()));
  const Image shown = Crop(surface.Panel(), target);
  EXPECT_EQ(shown.at(1, 0), frame.at(0, 0)) << "750/1024 of a pixel: column 1 still shows column 0";
  EXPECT_EQ(shown.at(2, 0), frame.at(1, 0));
  EXPECT_EQ(shown.at(239, 195), frame.at(175, 143)) << "the last target pixel reaches the last source pixel";
  EXPECT_EQ(shown.at(0, 3), frame.at(0, 2)) << "row 3: 3 x 752 >> 10 = 2";
  EXPECT_EQ(shown.px, Scaled(frame, 240, 196).px);
  EXPECT_EQ(surface.Pixel(0, 39), 0) << "nothing above the target";
  EXPECT_EQ(surface.Pixel(0, 236), 0) << "nothing below it";
  EXPECT_TRUE(surface.GuardsIntact());
}

TEST(FrameBlit, AnchorsOfTheTurnedAndRotatedCases) {
  // A 2 x 1 frame (left red, right blue), shown 1:1.
  Image frame(2, 1);
  frame.at(0, 0) = 0xF800;
  frame.at(1, 0) = 0x001F;
  {
    // Turned on a portrait screen: the frame's top edge runs down the target's right edge.
    TestSurface s(240, 320);
    BlitJob job = JobFor(frame, BlitRect{10, 20, 11, 22});
    job.turned = true;
    ASSERT_TRUE(BlitFrame(job, s.Surface()));
    EXPECT_EQ(s.Pixel(10, 20), 0xF800);
    EXPECT_EQ(s.Pixel(10, 21), 0x001F);
  }
  {
    // A display turned by DMDO_90 on a 240 x 320 panel: the screen is 320 x 240, and its
    // top-left corner is the panel's top-right one.
    TestSurface s(240, 320);
    BlitJob job = JobFor(frame, BlitRect{0, 0, 2, 1});
    job.orientation = kDisplayOrientation90;
    job.panelLayout = true;
    ASSERT_TRUE(BlitFrame(job, s.Surface()));
    EXPECT_EQ(s.Pixel(239, 0), 0xF800);
    EXPECT_EQ(s.Pixel(239, 1), 0x001F);
  }
  {
    TestSurface s(240, 320);
    BlitJob job = JobFor(frame, BlitRect{0, 0, 2, 1});
    job.orientation = kDisplayOrientation270;
    job.panelLayout = true;
    ASSERT_TRUE(BlitFrame(job, s.Surface()));
    EXPECT_EQ(s.Pixel(0, 319), 0xF800);
    EXPECT_EQ(s.Pixel(0, 318), 0x001F);
  }
  {
    TestSurface s(240, 320);
    BlitJob job = JobFor(frame, BlitRect{0, 0, 2, 1});
    job.orientation = kDisplayOrientation180;
    job.panelLayout = true;
    ASSERT_TRUE(BlitFrame(job, s.Surface()));
    EXPECT_EQ(s.Pixel(239, 319), 0xF800);
    EXPECT_EQ(s.Pixel(238, 319), 0x001F);
  }
  {
    // A surface that already follows the rotation ignores the orientation.
    TestSurface s(320, 240);
    BlitJob job = JobFor(frame, BlitRect{0, 0, 2, 1});
    job.orientation = kDisplayOrientation90;
    ASSERT_TRUE(BlitFrame(job, s.Surface()));
    EXPECT_EQ(s.Pixel(0, 0), 0xF800);
    EXPECT_EQ(s.Pixel(1, 0), 0x001F);
  }
}

// Every screen shape, landscape step flag and display orientation: the person looking at
// the screen (turning the handheld with the picture when it is turned) sees the frame upright,
// scaled into the target, exactly where the target is.
TEST(FrameBlit, EveryShapeFlagAndOrientationIsUpright) {
  struct Shape { const char* name; int w, h; };
  const Shape shapes[] = {{"portrait", 240, 320}, {"landscape", 320, 240}, {"square", 240, 240},
                          {"portrait-vga", 480, 640}};
  const int orientations[] = {kDisplayOrientation0, kDisplayOrientation90, kDisplayOrientation180,
                              kDisplayOrientation270};
  const Image frame = Numbered(37, 23);
  int checked = 0;
  for (const Shape& shape : shapes)
    for (bool turned : {false, true})
      for (int orientation : orientations)
        for (bool panelLayout : {false, true}) {
          // Without panel layout the surface follows the rotation: it is the screen.
          const bool swapped = panelLayout && (orientation == kDisplayOrientation90 ||
                                               orientation == kDisplayOrientation270);
          // The panel is the shape; the screen is what the rotation makes of it.
          const int screenW = swapped ? shape.h : shape.w, screenH = swapped ? shape.w : shape.h;
          // Upright picture 60 x 45 (a scale up from 37 x 23), placed off-centre.
          const int pw = 60, ph = 45;
          const int tw = turned ? ph : pw, th = turned ? pw : ph;
          const BlitRect target{screenW - tw - 7, 11, screenW - 7, 11 + th};
          TestSurface s(shape.w, shape.h);
          BlitJob job = JobFor(frame, target);
          job.turned = turned;
          job.orientation = orientation;
          job.panelLayout = panelLayout;
          const std::string what = std::string(shape.name) + (turned ? " turned" : " upright") +
                                   " orientation " + std::to_string(orientation) +
                                   (panelLayout ? " panel layout" : " rotated surface");
          ASSERT_TRUE(BlitFrame(job, s.Surface())) << what;
          const Image screen = panelLayout ? ScreenFromPanel(s.Panel(), orientation) : s.Panel();
          ASSERT_EQ(screen.w, screenW) << what;
          ASSERT_EQ(screen.h, screenH) << what;
          Image seen = Crop(screen, target);
          if (turned) seen = TurnAnticlockwise(seen);
          EXPECT_EQ(seen.px, Scaled(frame, pw, ph).px) << what;
          // Nothing outside the target.
          int outside = 0;
          for (int y = 0; y < screen.h; ++y)
            for (int x = 0; x < screen.w; ++x)
              if ((x < target.left || x >= target.right || y < target.top || y >= target.bottom) &&
                  screen.at(x, y) != 0)
                ++outside;
          EXPECT_EQ(outside, 0) << what;
          EXPECT_TRUE(s.GuardsIntact()) << what;
          ExpectClearingTakesBackWhatWasWritten(job, s, what);
          ++checked;
        }
  EXPECT_EQ(checked, 4 * 2 * 4 * 2);
}

TEST(FrameBlit, TargetsPartlyOffTheScreenAreClippedNotSquashed) {
  const Image frame = Numbered(50, 40);
  for (bool turned : {false, true})
    for (int orientation : {kDisplayOrientation0, kDisplayOrientation90, kDisplayOrientation270}) {
      const bool panel = orientation != kDisplayOrientation0;
      TestSurface s(64, 48);
      const int screenW = panel ? 48 : 64, screenH = panel ? 64 : 48;
      const int tw = turned ? 40 : 50, th = turned ? 50 : 40;
      // Off the left and the bottom edge.
      const BlitRect target{-9, screenH - th + 13, -9 + tw, screenH + 13};
      BlitJob job = JobFor(frame, target);
      job.turned = turned;
      job.orientation = orientation;
      job.panelLayout = panel;
      ASSERT_TRUE(BlitFrame(job, s.Surface()));
      EXPECT_TRUE(s.GuardsIntact()) << turned << orientation;
      const Image screen = panel ? ScreenFromPanel(s.Panel(), orientation) : s.Panel();
      // The visible part shows the 1:1 picture shifted by the clipped amount.
      // The picture as it lies in the target: turned clockwise (three quarters anticlockwise).
      const Image whole = turned ? Turn(frame, 3) : frame;
      int wrong = 0;
      for (int y = std::max(target.top, 0); y < std::min(target.bottom, screenH); ++y)
        for (int x = std::max(target.left, 0); x < std::min(target.right, screenW); ++x)
          if (screen.at(x, y) != whole.at(x - target.left, y - target.top)) ++wrong;
      EXPECT_EQ(wrong, 0) << turned << orientation;
      ExpectClearingTakesBackWhatWasWritten(job, s, "clipped " + std::to_string(turned) + std::to_string(orientation));
    }
  // Entirely off the screen: nothing to draw.
  TestSurface s(64, 48);
  EXPECT_FALSE(BlitFrame(JobFor(frame, BlitRect{64, 0, 114, 40}), s.Surface()));
  EXPECT_TRUE(s.GuardsIntact());
  BlitRect bounds;
  EXPECT_FALSE(TargetSurfaceBounds(JobFor(frame, BlitRect{64, 0, 114, 40}), s.w, s.h, &bounds));
  EXPECT_FALSE(ClearTarget(JobFor(frame, BlitRect{64, 0, 114, 40}), s.Surface()));
}

TEST(FrameBlit, AdjustmentTableTranslatesEveryPixelAndNoTableCopies) {
  const Image frame = Numbered(30, 20);
  std::vector<uint16_t> table(65536);
  for (size_t i = 0; i < table.size(); ++i) table[i] = uint16_t(~i);
  TestSurface plain(64, 64), adjusted(64, 64);
  BlitJob job = JobFor(frame, BlitRect{3, 4, 33, 24});
  ASSERT_TRUE(BlitFrame(job, plain.Surface()));
  job.adjust = table.data();
  ASSERT_TRUE(BlitFrame(job, adjusted.Surface()));
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) {
      ASSERT_EQ(plain.Pixel(3 + x, 4 + y), frame.at(x, y)) << "without a table the pixels are copied";
      ASSERT_EQ(adjusted.Pixel(3 + x, 4 + y), uint16_t(~frame.at(x, y)));
    }
}

TEST(FrameBlit, OverlaySitsCentredAtTheBottomAndTurnsWithThePicture) {
  const Image frame(176, 144, 0x1234);
  Image overlay(kOverlayWidth, kOverlayHeight, 0xFFFF);
  overlay.at(0, 0) = 0x2104;
  overlay.at(kOverlayWidth - 1, kOverlayHeight - 1) = 0x000F;
  std::vector<uint16_t> table(65536, 0x0001);  // the overlay is not adjusted
  {
    TestSurface s(240, 320);
    BlitJob job = JobFor(frame, BlitRect{0, 40, 240, 236});
    job.overlay = overlay.px.data();
    job.adjust = table.data();
    ASSERT_TRUE(BlitFrame(job, s.Surface()));
    const int ox = (240 - 104) / 2, oy = 40 + 196 - 20 - kOverlayMargin;
    EXPECT_EQ(s.Pixel(ox, oy), 0x2104);
    EXPECT_EQ(s.Pixel(ox + 1, oy), 0xFFFF);
    EXPECT_EQ(s.Pixel(ox + 103, oy + 19), 0x000F);
    EXPECT_EQ(s.Pixel(ox - 1, oy), 0x0001) << "the video around it goes through the table";
    EXPECT_EQ(s.Pixel(ox + 104, oy + 19), 0x0001);
  }
  {
    // Turned: the overlay lies along the bottom of the picture as the person sees it.
    TestSurface s(240, 320);
    const BlitRect target{20, 0, 216, 240};  // the picture is 240 wide, 196 high, turned
    BlitJob job = JobFor(frame, target);
    job.turned = true;
    job.overlay = overlay.px.data();
    ASSERT_TRUE(BlitFrame(job, s.Surface()));
    const Image seen = TurnAnticlockwise(Crop(s.Panel(), target));
    const int ox = (240 - 104) / 2, oy = 196 - 20 - kOverlayMargin;
    EXPECT_EQ(seen.at(ox, oy), 0x2104);
    EXPECT_EQ(seen.at(ox + 103, oy + 19), 0x000F);
    EXPECT_EQ(seen.at(ox - 1, oy), 0x1234);
  }
  {
    // A picture smaller than the overlay: clipped to the picture, nothing outside.
    TestSurface s(240, 320);
    BlitJob job = JobFor(frame, BlitRect{100, 100, 150, 110});
    job.overlay = overlay.px.data();
    ASSERT_TRUE(BlitFrame(job, s.Surface()));
    EXPECT_EQ(s.Pixel(99, 100), 0);
    EXPECT_EQ(s.Pixel(150, 100), 0);
    EXPECT_EQ(s.Pixel(100, 110), 0);
    EXPECT_TRUE(s.GuardsIntact());
  }
}

TEST(FrameBlit, ConvertsToTheSurfaceFormat) {
  SurfaceFormat xrgb{32, 0xFF0000, 0xFF00, 0xFF};
  EXPECT_EQ(ConvertPixel565(0xF800, xrgb), 0xFF0000u);
  EXPECT_EQ(ConvertPixel565(0x07E0, xrgb), 0x00FF00u);
  EXPECT_EQ(ConvertPixel565(0x001F, xrgb), 0x0000FFu);
  EXPECT_EQ(ConvertPixel565(0xFFFF, xrgb), 0xFFFFFFu);
  EXPECT_EQ(ConvertPixel565(0x8410, xrgb), 0x848284u) << "mid grey: top bits repeated into the low ones";
  SurfaceFormat x555{16, 0x7C00, 0x03E0, 0x001F};
  EXPECT_EQ(ConvertPixel565(0xF800, x555), 0x7C00u);
  EXPECT_EQ(ConvertPixel565(0x07E0, x555), 0x03E0u);
  SurfaceFormat bgr24{24, 0xFF, 0xFF00, 0xFF0000};
  EXPECT_EQ(ConvertPixel565(0xF800, bgr24), 0x0000FFu);

  // The fast 32-bit path and the generic one agree with the single-pixel conversion.
  const Image frame = Numbered(200, 100);
  for (const SurfaceFormat& f : {xrgb, SurfaceFormat{32, 0xFF, 0xFF00, 0xFF0000}, bgr24, x555}) {
    const int bytes = f.bitsPerPixel / 8;
    std::vector<uint8_t> mem(size_t(200) * 100 * bytes, 0);
    BlitSurface s;
    s.pixels = mem.data();
    s.pitch = 200 * bytes;
    s.width = 200;
    s.height = 100;
    s.format = f;
    ASSERT_TRUE(BlitFrame(JobFor(frame, BlitRect{0, 0, 200, 100}), s));
    int wrong = 0;
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 200; ++x) {
        uint32_t v = 0;
        std::memcpy(&v, &mem[(size_t(y) * 200 + x) * bytes], bytes);
        if (v != ConvertPixel565(frame.at(x, y), f)) ++wrong;
      }
    EXPECT_EQ(wrong, 0) << f.bitsPerPixel << " " << f.redMask;
  }
}

TEST(FrameBlit, NothingToDrawIsReportedAndLeavesTheSurfaceAlone) {
  const Image frame = Numbered(16, 16);
  TestSurface s(32, 32);
  BlitJob job = JobFor(frame, BlitRect{0, 0, 16, 16});
  job.source = BlitRect{20, 0, 30, 16};
  EXPECT_FALSE(BlitFrame(job, s.Surface())) << "source outside the frame";
  job.source = BlitRect{0, 0, 16, 16};
  job.target = BlitRect{5, 5, 5, 10};
  EXPECT_FALSE(BlitFrame(job, s.Surface())) << "empty target";
  job.target = BlitRect{0, 0, 16, 16};
  job.frame = nullptr;
  EXPECT_FALSE(BlitFrame(job, s.Surface())) << "no frame buffer";
  job.frame = frame.px.data();
  BlitSurface eight = s.Surface();
  eight.format.bitsPerPixel = 8;
  EXPECT_FALSE(BlitFrame(job, eight)) << "a palette surface is not written";
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) ASSERT_EQ(s.Pixel(x, y), 0);
  // A source rectangle reaching past the frame is cut to it.
  job.source = BlitRect{-4, 8, 100, 100};
  job.target = BlitRect{0, 0, 16, 8};
  ASSERT_TRUE(BlitFrame(job, s.Surface()));
  EXPECT_EQ(s.Pixel(0, 0), frame.at(0, 8));
  EXPECT_EQ(s.Pixel(15, 7), frame.at(15, 15));
  EXPECT_TRUE(s.GuardsIntact());
}
