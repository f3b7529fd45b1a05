// The frame and the device: full screen, the screenshot on the Action button, the camera.
#include <cstdio>
#include <vector>

#include "platform/shell/shell_dialogs.h"
#include "player/app/frame_wnd.h"
#include "player/base/api_helpers.h"
#include "player/base/bytes.h"
#include "player/base/win16.h"
#include "player/resources/resource_ids.h"

namespace crv {
namespace {

// The Action button's virtual key.
constexpr UINT kActionKey = 13;
constexpr int kMaxScreenshots = 999;

// The first "\My Documents\sshot%03u.bmp" that cannot be opened, or an empty name when all
// 999 exist.
u16 FreeScreenshotName() {
  for (int n = 1; n <= kMaxScreenshots; ++n) {
    wchar_t name[MAX_PATH];
    wsprintfW(name, L"\\My Documents\\sshot%03u.bmp", n);
    HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return U(name);
    CloseHandle(file);
  }
  return u16();
}

// The whole screen as a 24-bit bottom-up BMP file.
bool WriteScreenBitmap(const u16& path) {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool written = false;
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(height);
    std::vector<uint8_t> header;
    header.push_back('B');
    header.push_back('M');
    AppendLe32(header, 54 + imageBytes);
    AppendLe32(header, 0);
    AppendLe32(header, 54);
    AppendLe32(header, 40);
    AppendLe32(header, static_cast<uint32_t>(width));
    AppendLe32(header, static_cast<uint32_t>(height));
    AppendLe16(header, 1);
    AppendLe16(header, 24);
    for (int i = 0; i < 6; ++i) AppendLe32(header, 0);
    HANDLE file = CreateFileW(W(path.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD done = 0, done2 = 0;
      written = WriteFile(file, header.data(), static_cast<DWORD>(header.size()), &done, nullptr) &&
                WriteFile(file, bits, imageBytes, &done2, nullptr) && done2 == imageBytes;
      CloseHandle(file);
      if (!written) DeleteFileW(W(path.c_str()));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return written;
}

}  // namespace

// ---- Full screen ---------------------------------------------------------------------------

void FrameWnd::ToggleFullScreen() {
  if (fullScreen_) {
    LeaveFullScreen();
    return;
  }
  fullScreen_ = true;
  SHFullScreen(window_, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
  if (menuBar_) ShowWindow(menuBar_, SW_HIDE);
  MoveWindow(window_, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), TRUE);
  LayOutView();
}

void FrameWnd::LeaveFullScreen() {
  if (!fullScreen_) return;
  fullScreen_ = false;
  SHFullScreen(window_, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON);
  if (menuBar_) ShowWindow(menuBar_, SW_SHOW);
  RECT area;
  SHGetVisibleDesktop(&area);
  MoveWindow(window_, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
  LayOutView();
}

// ---- Screenshot ----------------------------------------------------------------------------

void FrameWnd::AskForScreenshot() {
  wchar_t text[256];
  LoadResString(IDS_SCREENSHOT_HINT, text, 256, instance_);
  MessageBoxW(window_, text, L"Information", MB_OK | MB_ICONINFORMATION);
  RegisterHotKey(window_, kScreenshotHotKey, 0, kActionKey);
}

// The Action button after "Save Screenshot...": the screen into the next free
// "sshot%03u.bmp", which then joins the album.
void FrameWnd::CaptureScreen() {
  UnregisterHotKey(window_, kScreenshotHotKey);
  const u16 name = FreeScreenshotName();
  if (name.empty() || !WriteScreenBitmap(name)) return;
  SetForegroundWindow(window_);
  OpenPath(name, true, false);
}

// ---- Camera --------------------------------------------------------------------------------

// The shell's "Camera" state value under "System\State\Hardware"; 0 without one.
int FrameWnd::CameraState() const {
  HKEY key = nullptr;
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\State\\Hardware", 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  if (RegQueryValueExW(key, L"Camera", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    value = 0;
  RegCloseKey(key);
  return static_cast<int>(value);
}

void FrameWnd::RunCamera() {
  StopThumbnails();
  cameraRunning_ = true;
  SHCAMERACAPTURE capture{};
  capture.cbSize = sizeof capture;
  capture.hwndOwner = window_;
  const HRESULT result = SHCameraCapture(&capture);
  cameraRunning_ = false;
  if (result == S_OK) {
    OpenPath(U(capture.szFile), true, false);
    return;
  }
  if (result == S_FALSE) return;  // cancelled
  const UINT textId = result == E_OUTOFMEMORY   ? IDS_CAMERA_NO_MEMORY
                      : result == E_INVALIDARG ? IDS_CAMERA_BAD_ARGUMENT
                                               : IDS_CAMERA_UNKNOWN;
  wchar_t format[128], text[160];
  LoadResString(textId, format, 128, instance_);
  wsprintfW(text, format, static_cast<unsigned>(result));
  MessageBoxW(window_, text, L"Error", MB_OK | MB_ICONSTOP);
}

}  // namespace crv
