// The renderer on the real platform: its bitmap is a GDI DIB section, and what GDI sees
// through the memory DC is what the renderer writes, at the same screen positions.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>
#include "player/media/alloc_hooks.h"
#include "player/pictures/screen_renderer.h"

using namespace crv;

TEST(RendererOnGdi, MemoryDcSeesThePixelsUpright) {
  OverrideScreenSize(0, 0);
  ScreenRenderer r;
  ASSERT_TRUE(r.Create());
  EXPECT_EQ(r.Width(), GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(r.Height(), GetSystemMetrics(SM_CYSCREEN));
  BITMAP bm{};
  ASSERT_NE(GetObjectW(static_cast<HBITMAP>(r.Bitmap()), sizeof(bm), &bm), 0);
  EXPECT_EQ(bm.bmBitsPixel, 24);

  // A 2 x 2 picture: red top-left, blue bottom-right (bottom-up rows of 8 bytes).
  std::vector<uint8_t> info(44, 0), pixels(16, 0);
  auto* h = reinterpret_cast<RBitmapInfoHeader*>(info.data());
  h->size = 40;
  h->width = 2;
  h->height = 2;
  h->planes = 1;
  h->bitCount = 24;
  pixels[8 + 2] = 0xFF;  // top row, first pixel: red
  pixels[3] = 0xFF;      // bottom row, second pixel: blue
  tagRDIBIMG picture;
  std::memset(&picture, 0, sizeof(picture));
  ResetRecord(picture);
  picture.info = h;
  picture.pixels = pixels.data();

  HDC dc = static_cast<HDC>(r.MemoryDC());
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(r.MemoryDC(), dc) << "made once";
  r.Fill({10, 20, 2, 2}, RGB(0, 128, 0));
  ASSERT_TRUE(r.Draw(picture, {0, 0, 2, 2}, {10, 20, 2, 2}, 0));
  EXPECT_EQ(GetPixel(dc, 10, 20), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 11, 21), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 128, 0));

  // GDI's drawing lands where the renderer reads it.
  SetPixel(dc, 3, 4, RGB(1, 2, 3));
  GdiFlush();
  const uint8_t* p = r.PixelAt(3, 4);
  EXPECT_EQ(p[0], 3);
  EXPECT_EQ(p[2], 1);
  r.Destroy();
  EXPECT_EQ(r.MemoryDC(), nullptr);
}
