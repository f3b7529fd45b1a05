#include "player/base/api_helpers.h"
#include "player/base/api_wnd.h"

#include <cstdarg>
#include <cwchar>
#include <string>

namespace crv {

const wchar_t* LoadResString(UINT id, wchar_t* buffer, int capacity, HINSTANCE instance) {
  static wchar_t shared[256];
  if (!buffer) {
    buffer = shared;
    capacity = 256;
  }
  if (!instance) instance = GetModuleHandleW(nullptr);  // the program's own resources
  buffer[0] = 0;
  LoadStringW(instance, id, buffer, capacity);
  return buffer;
}

int ShowResMessage(HWND window, HINSTANCE instance, UINT flags, UINT captionId, UINT formatId, ...) {
  wchar_t format[512], caption[128], text[1024];
  LoadResString(formatId, format, 512, instance);
  LoadResString(captionId ? captionId : 412, caption, 128, instance);
  if (!caption[0]) lstrcpyW(caption, L"ERROR");
  va_list args;
  va_start(args, formatId);
  _vsnwprintf(text, 1023, format, args);
  va_end(args);
  text[1023] = 0;
  return MessageBoxW(window, text, caption, flags);
}

bool RegisterFrameworkClass(HINSTANCE instance, const wchar_t* name, UINT style, HBRUSH background) {
  WNDCLASSW wc{};
  if (GetClassInfoW(instance, name, &wc)) return true;
  wc.style = style;
  wc.lpfnWndProc = SharedWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the main loop
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

BOOL OpenHelp(HWND, const wchar_t* file, const wchar_t* topic) {
  std::wstring args = L"file:";
  args += file ? file : L"";
  if (topic && topic[0]) {
    args += L"#";
    args += topic;
  }
  // The viewer lives in the device's Windows folder or, on the emulated device, beside us.
  wchar_t viewer[MAX_PATH];
  ProgramFolder(viewer, MAX_PATH);
  lstrcatW(viewer, L"PegHelp.exe");
  if (GetFileAttributesW(viewer) == INVALID_FILE_ATTRIBUTES) lstrcpyW(viewer, L"\\Windows\\PegHelp.exe");
  std::wstring commandLine = L"\"" + std::wstring(viewer) + L"\" " + args;
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(viewer, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return FALSE;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return TRUE;
}

void ProgramFolder(wchar_t* buffer, DWORD capacity) {
  DWORD n = GetModuleFileNameW(nullptr, buffer, capacity);
  while (n > 0 && buffer[n - 1] != L'\\' && buffer[n - 1] != L'/') --n;
  buffer[n] = 0;
}

}  // namespace crv
