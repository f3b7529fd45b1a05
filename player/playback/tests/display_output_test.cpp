// The display output on Wine's DirectDraw in the test session's X display: what the blit
// writes into the primary surface is read back from the screen through GDI.
#include "player/playback/display_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace crv;

namespace {

constexpr uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F, kWhite = 0xFFFF;

COLORREF Screen(uint16_t p) {
  const int r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
  return RGB((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

COLORREF PixelOnScreen(int x, int y) {
  HDC dc = GetDC(nullptr);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(nullptr, dc);
  return c;
}

// What the screen shows settles shortly after the surface is unlocked.
COLORREF WaitForPixel(int x, int y, COLORREF expected) {
  COLORREF c = PixelOnScreen(x, y);
  for (int i = 0; i < 100 && c != expected; ++i) {
    Sleep(20);
    c = PixelOnScreen(x, y);
  }
  return c;
}

// The frame buffer in four quadrants: red top-left, green top-right, blue bottom-left, white
// bottom-right.
void FillQuadrants() {
  FrameBuffer& fb = TheFrameBuffer();
  for (int y = 0; y < fb.Height(); ++y)
    for (int x = 0; x < fb.Width(); ++x) {
      const bool right = x >= fb.Width() / 2, bottom = y >= fb.Height() / 2;
      fb.Pixels()[y * fb.Width() + x] = bottom ? (right ? kWhite : kBlue) : (right ? kGreen : kRed);
    }
}

class DisplayOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"CRV_DISPLAY_TEST_VIEW";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"video", WS_POPUP | WS_VISIBLE, 0, 0,
                              GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                              nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
    UpdateWindow(window_);
    Pump();
  }
  void TearDown() override {
    out_.DestroySurface();
    FreeBuffers();
    TheFrameBuffer().Set24BitMode(false);
    DestroyWindow(window_);
  }
  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  HWND window_ = nullptr;
  DisplayOutput out_;
};

}  // namespace

TEST(GameApi, DisplayPropertiesDescribeThePrimaryDisplay) {
  const GXDisplayProperties p = GXGetDisplayProperties();
  EXPECT_EQ(p.cxWidth, DWORD(GetSystemMetrics(SM_CXSCREEN)));
  EXPECT_EQ(p.cyHeight, DWORD(GetSystemMetrics(SM_CYSCREEN)));
  HDC dc = GetDC(nullptr);
  const int bits = GetDeviceCaps(dc, BITSPIXEL);
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(p.cBPP, bits);
  EXPECT_EQ(p.cbxPitch, (bits + 7) / 8);
  EXPECT_EQ(p.cbyPitch, long(p.cxWidth) * p.cbxPitch);
  EXPECT_TRUE(p.ffFormat & kfDirect);
  if (bits == 16) {
    EXPECT_TRUE(p.ffFormat & kfDirect565);
  }
  if (bits == 32) {
    EXPECT_TRUE(p.ffFormat & kfDirect888);
  }
  EXPECT_FALSE(p.ffFormat & kfLandscape) << "described unrotated";
}

TEST_F(DisplayOutputTest, BindWindowCopiesTheDisplayProperties) {
  EXPECT_EQ(out_.BindWindow(window_), 1);
  EXPECT_EQ(out_.BoundWindow(), window_);
  EXPECT_EQ(out_.DisplayProperties().cxWidth, DWORD(GetSystemMetrics(SM_CXSCREEN)));
  EXPECT_EQ(out_.DisplayProperties().cyHeight, DWORD(GetSystemMetrics(SM_CYSCREEN)));
}

TEST_F(DisplayOutputTest, FramesReachTheScreenScaledThroughThePrimarySurface) {
  ASSERT_TRUE(out_.CreateSurface(window_)) << "Wine's DirectDraw gave no primary surface";
  out_.BindWindow(window_);
  const RECT source{0, 0, 176, 144};
  const RECT target{20, 30, 260, 226};  // 240 x 196: steps 750 and 752
  EXPECT_FALSE(out_.Blit(&source, &target, nullptr, 0)) << "no frame buffer yet";
  ASSERT_TRUE(AllocateFrameBuffer(176, 144));
  FillQuadrants();
  ASSERT_TRUE(out_.Blit(&source, &target, nullptr, 0));
  EXPECT_EQ(WaitForPixel(20, 30, Screen(kRed)), Screen(kRed));
  // Source column 88 (the first green one) is reached at target column 121 (121 x 750 >> 10 =
  // 88; 120 gives 87); row 72 at target row 99 (99 x 752 >> 10 = 72).
  EXPECT_EQ(PixelOnScreen(20 + 120, 30), Screen(kRed));
  EXPECT_EQ(PixelOnScreen(20 + 121, 30), Screen(kGreen));
  EXPECT_EQ(PixelOnScreen(20, 30 + 98), Screen(kRed));
  EXPECT_EQ(PixelOnScreen(20, 30 + 99), Screen(kBlue));
  EXPECT_EQ(PixelOnScreen(259, 225), Screen(kWhite));
  EXPECT_EQ(PixelOnScreen(260, 225), RGB(0, 0, 0)) << "nothing right of the target";
  EXPECT_EQ(PixelOnScreen(19, 30), RGB(0, 0, 0)) << "nothing left of it";
  EXPECT_FALSE(out_.Blit(nullptr, &target, nullptr, 0)) << "read-ahead without a picture";
}

TEST_F(DisplayOutputTest, TurnedPictureAndTurnedDisplayAreUpright) {
  ASSERT_TRUE(out_.CreateSurface(window_));
  ASSERT_TRUE(AllocateFrameBuffer(64, 48));
  FillQuadrants();
  const RECT source{0, 0, 64, 48};
  // Turned into a 48 x 64 target: the picture's top edge runs down the target's right edge.
  const RECT target{300, 100, 348, 164};
  ASSERT_TRUE(out_.Blit(&source, &target, nullptr, kStepTurned));
  EXPECT_EQ(WaitForPixel(347, 100, Screen(kRed)), Screen(kRed)) << "top-left of the picture: target top-right";
  EXPECT_EQ(PixelOnScreen(347, 163), Screen(kGreen)) << "top-right: bottom-right";
  EXPECT_EQ(PixelOnScreen(300, 100), Screen(kBlue)) << "bottom-left: top-left";
  EXPECT_EQ(PixelOnScreen(300, 163), Screen(kWhite)) << "bottom-right: bottom-left";

  // A display turned by DMDO_90 on this square screen: the surface keeps the panel's layout,
  // so screen (x, y) lies at panel (W - 1 - y, x).
  const int w = GetSystemMetrics(SM_CXSCREEN);
  ASSERT_EQ(w, GetSystemMetrics(SM_CYSCREEN)) << "the session's screen is square";
  out_.SetDisplayOrientation(DMDO_90);
  const RECT screenTarget{400, 10, 464, 58};
  ASSERT_TRUE(out_.Blit(&source, &screenTarget, nullptr, 0));
  EXPECT_EQ(WaitForPixel(w - 1 - 10, 400, Screen(kRed)), Screen(kRed));
  EXPECT_EQ(PixelOnScreen(w - 1 - 10, 463), Screen(kGreen));
  EXPECT_EQ(PixelOnScreen(w - 1 - 57, 400), Screen(kBlue));
  out_.SetDisplayOrientation(DMDO_DEFAULT);
}

TEST_F(DisplayOutputTest, AdjustmentTableAndOverlayAreApplied) {
  ASSERT_TRUE(out_.CreateSurface(window_));
  ASSERT_TRUE(AllocateFrameBuffer(176, 144));
  FillQuadrants();
  std::vector<uint16_t> table(65536, kBlue);
  out_.SetAdjustmentTable(table.data());
  std::vector<uint16_t> overlay(kOverlayWidth * kOverlayHeight, kWhite);
  overlay[0] = 0x2104;
  const RECT source{0, 0, 176, 144};
  const RECT target{0, 300, 240, 496};
  ASSERT_TRUE(out_.Blit(&source, &target, overlay.data(), 0));
  EXPECT_EQ(WaitForPixel(0, 300, Screen(kBlue)), Screen(kBlue)) << "red through the table";
  EXPECT_EQ(PixelOnScreen(239, 495), Screen(kBlue)) << "white through the table";
  const int ox = (240 - kOverlayWidth) / 2, oy = 300 + 196 - kOverlayHeight - kOverlayMargin;
  EXPECT_EQ(PixelOnScreen(ox, oy), Screen(0x2104)) << "the overlay is drawn as it is";
  EXPECT_EQ(PixelOnScreen(ox + 50, oy + 10), Screen(kWhite));
  out_.SetAdjustmentTable(nullptr);
  ASSERT_TRUE(out_.Blit(&source, &target, nullptr, 0));
  EXPECT_EQ(WaitForPixel(0, 300, Screen(kRed)), Screen(kRed)) << "no table: copied unchanged";
}

TEST_F(DisplayOutputTest, AClearedAreaShowsNothingOfTheEarlierPicture) {
  ASSERT_TRUE(out_.CreateSurface(window_));
  ASSERT_TRUE(AllocateFrameBuffer(64, 48));
  FillQuadrants();
  const RECT source{0, 0, 64, 48};
  const RECT large{10, 10, 250, 190};
  ASSERT_TRUE(out_.Blit(&source, &large, nullptr, 0));
  ASSERT_EQ(WaitForPixel(12, 12, Screen(kRed)), Screen(kRed));
  ASSERT_TRUE(out_.Clear(large));
  const RECT small{100, 80, 164, 128};
  ASSERT_TRUE(out_.Blit(&source, &small, nullptr, 0));
  EXPECT_EQ(WaitForPixel(100, 80, Screen(kRed)), Screen(kRed));
  EXPECT_EQ(PixelOnScreen(163, 127), Screen(kWhite));
  EXPECT_EQ(WaitForPixel(12, 12, RGB(0, 0, 0)), RGB(0, 0, 0)) << "the earlier, larger picture stayed";
  EXPECT_EQ(PixelOnScreen(249, 189), RGB(0, 0, 0));
  EXPECT_EQ(PixelOnScreen(99, 80), RGB(0, 0, 0));
  EXPECT_EQ(PixelOnScreen(164, 127), RGB(0, 0, 0));
  const RECT offScreen{5000, 5000, 5010, 5010};
  EXPECT_FALSE(out_.Clear(offScreen));
}

TEST_F(DisplayOutputTest, NothingIsDrawnWithoutSurfaceOrIn24BitMode) {
  ASSERT_TRUE(AllocateFrameBuffer(32, 32));
  const RECT source{0, 0, 32, 32}, target{0, 0, 32, 32};
  EXPECT_FALSE(out_.Blit(&source, &target, nullptr, 0)) << "no surface";
  ASSERT_TRUE(out_.CreateSurface(window_));
  EXPECT_TRUE(out_.HasSurface());
  EXPECT_TRUE(out_.Blit(&source, &target, nullptr, 0));
  TheFrameBuffer().Set24BitMode(true);
  ASSERT_TRUE(AllocateFrameBuffer(32, 32));
  EXPECT_EQ(TheFrameBuffer().SizeInBytes(), 32u * 32 * 3);
  EXPECT_FALSE(out_.Blit(&source, &target, nullptr, 0)) << "a 24-bit capture is not a screen frame";
  TheFrameBuffer().Set24BitMode(false);
  out_.DestroySurface();
  EXPECT_FALSE(out_.HasSurface());
  out_.DestroySurface();  // twice is harmless
}

namespace {

struct SeenBox {
  std::wstring caption, text;
  int boxes = 0;
};
SeenBox g_seen;
HHOOK g_hook = nullptr;

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    wchar_t cls[16];
    GetClassNameW(box, cls, 16);
    if (lstrcmpW(cls, L"#32770") == 0) {
      wchar_t text[512];
      GetWindowTextW(box, text, 512);
      g_seen.caption = text;
      GetDlgItemTextW(box, 0xFFFF, text, 512);
      g_seen.text = text;
      ++g_seen.boxes;
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

}  // namespace

TEST(FrameBufferNotice, FailedAllocationShowsTheInitializationError) {
  g_hook = SetWindowsHookExW(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());
  ASSERT_NE(g_hook, nullptr);
  EXPECT_FALSE(AllocateFrameBuffer(100000, 100000));
  UnhookWindowsHookEx(g_hook);
  EXPECT_EQ(g_seen.boxes, 1);
  EXPECT_EQ(g_seen.caption, L"Error");
  EXPECT_EQ(g_seen.text, L"MPEG initialization failed");
  EXPECT_EQ(TheFrameBuffer().Pixels(), nullptr);
}
