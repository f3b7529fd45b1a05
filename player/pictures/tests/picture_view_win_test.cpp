// The picture view on the real platform (Wine): a picture file loaded through the item's
// holder, drawn through the renderer into a window and read back with GetPixel; the stylus,
// the overlay toolbar and the menu state through the window's own messages.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "player/base/win16.h"
#include "player/pictures/album_item.h"
#include "player/pictures/formats/picture_sources.h"
#include "player/pictures/picture_view.h"
#include "player/pictures/reader_registry.h"

using namespace crv;

namespace {

constexpr int kViewWidth = 240, kViewHeight = 320;
constexpr int kPictureWidth = 64, kPictureHeight = 48;
constexpr COLORREF kTopLeft = RGB(255, 0, 0), kTopRight = RGB(0, 255, 0);
constexpr COLORREF kBottomLeft = RGB(0, 0, 255), kBottomRight = RGB(255, 255, 0);
constexpr COLORREF kMiddle = RGB(255, 255, 255);
constexpr COLORREF kBackground = RGB(0, 64, 0);

// Four quadrants with a white 8 x 8 block in the middle.
COLORREF PictureColour(int x, int y) {
  if (x >= 28 && x < 36 && y >= 20 && y < 28) return kMiddle;
  const bool right = x >= kPictureWidth / 2, bottom = y >= kPictureHeight / 2;
  return bottom ? (right ? kBottomRight : kBottomLeft) : (right ? kTopRight : kTopLeft);
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A 24-bit bottom-up BMP of the picture above.
std::vector<uint8_t> PictureBmp() {
  const uint32_t rowBytes = (kPictureWidth * 3 + 3) & ~3u, imageBytes = rowBytes * kPictureHeight;
  std::vector<uint8_t> out = {'B', 'M'};
  PutLe(out, 54 + imageBytes, 4);
  PutLe(out, 0, 4);
  PutLe(out, 54, 4);
  for (uint32_t v : {40u, uint32_t{kPictureWidth}, uint32_t{kPictureHeight}}) PutLe(out, v, 4);
  PutLe(out, 1, 2);
  PutLe(out, 24, 2);
  for (uint32_t v : {0u, imageBytes, 2835u, 2835u, 0u, 0u}) PutLe(out, v, 4);
  for (int y = kPictureHeight - 1; y >= 0; --y) {
    for (int x = 0; x < kPictureWidth; ++x) {
      const COLORREF c = PictureColour(x, y);
      out.insert(out.end(), {GetBValue(c), GetGValue(c), GetRValue(c)});
    }
    out.resize(out.size() + rowBytes - kPictureWidth * 3, 0);
  }
  return out;
}

void WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(written, bytes.size());
}

// What reaches the frame's place: commands and double taps.
struct ParentLog {
  std::vector<UINT> commands;
  int doubleTaps = 0;
};
ParentLog parentLog;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) parentLog.commands.push_back(LOWORD(wParam));
  if (message == WM_LBUTTONDBLCLK) ++parentLog.doubleTaps;
  return DefWindowProcW(window, message, wParam, lParam);
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

class PictureViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterPictureSources();
    ChangeMediaMode(false);
  }
  static void TearDownTestSuite() { ProcessReaderRegistry().Clear(); }

  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"crv_picture_view_" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder_.c_str(), nullptr);
    WriteWholeFile(folder_ + L"quadrants.bmp", PictureBmp());
    WriteWholeFile(folder_ + L"broken.bmp", {'B', 'M', 'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'});
    picture_.SetPath(U((folder_ + L"quadrants.bmp").c_str()));
    broken_.SetPath(U((folder_ + L"broken.bmp").c_str()));

    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CRV_PICTURE_VIEW_TEST_FRAME";
    RegisterClassW(&wc);
    parent_ = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"frame", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                              0, 0, kViewWidth, kViewHeight, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(parent_, nullptr);
    const RECT rect{0, 0, kViewWidth, kViewHeight};
    ASSERT_TRUE(view_.Create(parent_, rect, wc.hInstance));
    view_.SetBackground(kBackground);
    PictureViewOptions options;
    options.opening.zoomToFit = true;
    view_.SetOptions(options);
    parentLog = {};
    Pump();
  }

  void TearDown() override {
    DestroyWindow(parent_);
    Pump();
    DeleteFileW((folder_ + L"quadrants.bmp").c_str());
    DeleteFileW((folder_ + L"broken.bmp").c_str());
    RemoveDirectoryW(folder_.c_str());
  }

  COLORREF Pixel(int x, int y) {
    Pump();
    UpdateWindow(view_.Handle());
    HDC dc = GetDC(view_.Handle());
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(view_.Handle(), dc);
    return colour;
  }

  template <typename Wanted>
  int CountPixels(const RECT& area, Wanted wanted) {
    Pump();
    UpdateWindow(view_.Handle());
    HDC dc = GetDC(view_.Handle());
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x) count += wanted(GetPixel(dc, x, y)) ? 1 : 0;
    ReleaseDC(view_.Handle(), dc);
    return count;
  }

  std::wstring folder_;
  AlbumItem picture_;  // before the view: the view points at them until it goes
  AlbumItem broken_;
  HWND parent_ = nullptr;
  RImgCtrl view_;
};

}  // namespace

// The picture lies centred at zoom 1.0 (fitting never enlarges) in the background colour; the
// rotation and the zoom commands move its pixels as the renderer's turning rule and the
// centre-keeping zoom say; the menu follows the item.
TEST_F(PictureViewTest, DrawsTurnsAndZoomsThePicture) {
  ASSERT_TRUE(view_.SetItem(&picture_, true));
  EXPECT_TRUE(view_.HasPicture());
  EXPECT_EQ(view_.Item(), &picture_);
  EXPECT_EQ(picture_.Fixed().width, uint32_t{kPictureWidth});
  EXPECT_EQ(picture_.LoadState(), kItemLoaded);
  const int left = (kViewWidth - kPictureWidth) / 2, top = (kViewHeight - kPictureHeight) / 2;
  EXPECT_EQ(Pixel(kViewWidth / 2, kViewHeight / 2), kMiddle);
  EXPECT_EQ(Pixel(left, top), kTopLeft);
  EXPECT_EQ(Pixel(left + kPictureWidth - 1, top + kPictureHeight - 1), kBottomRight);
  EXPECT_EQ(Pixel(left - 1, top), kBackground);
  EXPECT_EQ(Pixel(5, 5), kBackground);

  // A clockwise quarter turn: the bottom-left pixel goes to the top-left corner, the
  // top-left one to the top-right corner.
  view_.Rotate(90);
  const RenderRect turned = view_.State().DrawDestination();
  EXPECT_EQ(turned.width, kPictureHeight);
  EXPECT_EQ(turned.height, kPictureWidth);
  EXPECT_EQ(Pixel(turned.x, turned.y), kBottomLeft);
  EXPECT_EQ(Pixel(turned.x + turned.width - 1, turned.y), kTopLeft);
  EXPECT_EQ(Pixel(turned.x, turned.y + turned.height - 1), kBottomRight);
  EXPECT_EQ(Pixel(kViewWidth / 2, kViewHeight / 2), kMiddle);

  HMENU menu = CreatePopupMenu(), rotations = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, kCmdZoomToFit, L"Zoom To Fit");
  AppendMenuW(menu, MF_STRING, kCmdZoom100, L"100%");
  AppendMenuW(rotations, MF_STRING, kCmdRotate90, L"Rotate +90");
  AppendMenuW(rotations, MF_STRING, kCmdRotateMinus90, L"Rotate -90");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(rotations), L"Rotate");
  view_.CheckMenu(menu);
  EXPECT_TRUE(GetMenuState(menu, kCmdRotate90, MF_BYCOMMAND) & MF_CHECKED) << "ticks reach submenus";
  EXPECT_FALSE(GetMenuState(menu, kCmdRotateMinus90, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_TRUE(GetMenuState(menu, kCmdZoomToFit, MF_BYCOMMAND) & MF_CHECKED);

  EXPECT_TRUE(view_.ClaimCommand(kCmdZoomIn));
  EXPECT_TRUE(view_.ClaimCommand(kCmdZoomIn));
  EXPECT_FLOAT_EQ(picture_.Fixed().Zoom(), 1.3225f);
  EXPECT_EQ(Pixel(kViewWidth / 2, kViewHeight / 2), kMiddle);
  EXPECT_TRUE(view_.ToolbarVisible());
  view_.CheckMenu(menu);
  EXPECT_FALSE(GetMenuState(menu, kCmdZoomToFit, MF_BYCOMMAND) & MF_CHECKED);
  DestroyMenu(menu);

  // The rotate commands are the frame's to route; the page commands of a one-page picture
  // are the view's, and disabled.
  EXPECT_FALSE(view_.ClaimCommand(kCmdRotate90));
  EXPECT_EQ(view_.GetCommandState(kCmdNextPage), 0);
  EXPECT_EQ(view_.GetCommandState(kCmdSaveAs), 1);
  EXPECT_EQ(view_.GetCommandState(32791), -1);
}

// A file that does not load leaves the view empty: the icon without its magenta, and the
// result's text in red under it. The commands that need a picture do nothing.
TEST_F(PictureViewTest, FailedLoadShowsItsText) {
  EXPECT_FALSE(view_.SetItem(&broken_, true));
  EXPECT_FALSE(view_.HasPicture());
  EXPECT_GT(view_.Status(), 0);
  ASSERT_NE(ResultText(view_.Status()), nullptr);
  EXPECT_EQ(broken_.LoadState(), kItemFailed);

  const int iconLeft = (kViewWidth - 36) / 2, iconTop = (kViewHeight - 46) / 2;
  const RECT icon{iconLeft, iconTop, iconLeft + 36, iconTop + 46};
  EXPECT_EQ(CountPixels(icon, [](COLORREF c) { return c == RGB(255, 0, 255); }), 0);
  EXPECT_GT(CountPixels(icon, [](COLORREF c) { return c != kBackground; }), 0) << "the icon is drawn";
  // Red text, perhaps smoothed into the background at its edges.
  const RECT text{0, iconTop + 46, kViewWidth, kViewHeight};
  EXPECT_GT(CountPixels(text, [](COLORREF c) { return GetRValue(c) > 127 && GetBValue(c) < 64; }), 20);

  const float zoom = broken_.Fixed().Zoom();
  EXPECT_TRUE(view_.ClaimCommand(kCmdZoomIn)) << "claimed, with a beep";
  EXPECT_EQ(broken_.Fixed().Zoom(), zoom);
  EXPECT_FALSE(view_.ToolbarVisible());
  EXPECT_EQ(view_.GetCommandState(kCmdSaveAs), 0);
}

// A picture larger than the view follows the stylus with it captured, within the view's
// edges; a double tap goes to the frame unless a zoom rectangle is shown; a tap on the
// toolbar sends its command to the frame.
TEST_F(PictureViewTest, StylusAndToolbarReachTheirTargets) {
  ASSERT_TRUE(view_.SetItem(&picture_, true));
  EXPECT_TRUE(view_.ClaimCommand(kCmdZoom400));  // 256 x 192: wider than the view
  const int32_t before = picture_.Fixed().OffsetX();
  EXPECT_EQ(before, kViewWidth / 2 - (kPictureWidth / 2) * 4);
  HWND view = view_.Handle();
  SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, Point(100, 100));
  EXPECT_EQ(GetCapture(), view);
  SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, Point(70, 100));
  EXPECT_EQ(picture_.Fixed().OffsetX(), kViewWidth - kPictureWidth * 4) << "stops at the right edge";
  SendMessageW(view, WM_LBUTTONUP, 0, Point(70, 100));
  EXPECT_NE(GetCapture(), view);
  EXPECT_EQ(Pixel(kViewWidth - 1, (kViewHeight - kPictureHeight * 4) / 2), kTopRight);

  SendMessageW(view, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(10, 10));
  EXPECT_EQ(parentLog.doubleTaps, 1);
  EXPECT_TRUE(view_.ClaimCommand(kCmdZoomRectMedium));
  SendMessageW(view, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(10, 10));
  SendMessageW(view, WM_LBUTTONUP, 0, Point(10, 10));
  EXPECT_EQ(parentLog.doubleTaps, 1);
  EXPECT_FALSE(view_.State().ZoomRectShown()) << "a press outside removes it";

  EXPECT_TRUE(view_.ClaimCommand(kCmdZoom100));  // the drag hid the toolbar; a zoom shows it
  ASSERT_TRUE(view_.ToolbarVisible());
  HWND bar = view_.ToolbarWindow();
  RECT barRect, viewRect;
  GetWindowRect(bar, &barRect);
  GetWindowRect(view, &viewRect);
  EXPECT_EQ(barRect.top - viewRect.top, 2);
  EXPECT_EQ(viewRect.right - barRect.right, 2);
  RECT client;
  GetClientRect(bar, &client);
  const int buttonSize = (client.right - 2) / PictureToolBar::ButtonCount();
  const LPARAM firstButton = Point(1 + buttonSize / 2, client.bottom / 2);
  SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, firstButton);
  SendMessageW(bar, WM_LBUTTONUP, 0, firstButton);
  Pump();
  ASSERT_EQ(parentLog.commands.size(), 1u);
  EXPECT_EQ(parentLog.commands[0], PictureToolBar::ButtonCommand(0));
}
