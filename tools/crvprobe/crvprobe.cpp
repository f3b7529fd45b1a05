// crvprobe: what the programs on the device screen show, for scripts that drive them.
//
//   crvprobe [--desktop NAME] windows [CLASS]
//   crvprobe [--desktop NAME] wait CLASS [TEXT [SECONDS]]
//   crvprobe [--desktop NAME] wait-gone CLASS [SECONDS]
//   crvprobe [--desktop NAME] send HWND|CLASS MESSAGE WPARAM LPARAM
//   crvprobe [--desktop NAME] menu
//   crvprobe [--desktop NAME] focus
//   crvprobe reg KEY VALUE
//
// The window commands look at the Wine virtual desktop NAME (default "CRV", the device
// screen), whichever desktop the probe itself was started on (--desktop "" keeps that one).
// One line per window:
//
//   window: 0x00020050 parent: 0x00010020 owner: 0x00000000 pid: 42 class: "NAME"
//     visible: 1 enabled: 1 rect: L T R B client: L T R B text: "TEXT"      (all on one line)
//
// rect is the window's and client its client area's, both in screen coordinates. Class and
// text are quoted, with \" \\ \n \r \t and \uXXXX (anything else outside printable ASCII)
// escaped. `windows` lists every window and its descendants (or those of CLASS); `wait` waits
// (default 20 s) for a visible window of CLASS (with exactly TEXT unless TEXT is empty or "*")
// and prints it; `wait-gone` waits until no visible window of CLASS is left. `send` posts
// MESSAGE to HWND or to the first visible window of CLASS; numbers are decimal or 0x hex.
// `menu` lists the items of the open popup menus (windows of class "#32768"), the oldest menu
// first (index 0; a submenu comes after the menu it opened from), each as
//
//   menu: INDEX window: 0xHWND rect: L T R B items: N
//   item: INDEX ITEM rect: L T R B grayed: 0|1 checked: 0|1 submenu: 0|1 text: "TEXT"
//
// with the item rectangles in screen coordinates and the texts with their "&" marks; a
// separator has the text "". It needs crvprobe_hook.dll beside crvprobe.exe (menu_report.h).
// `focus` prints where the keys go: the foreground window and, in its thread, the active and
// the focus window ("foreground: 0xHWND active: 0xHWND focus: 0xHWND"; 0 for none).
// `reg` prints `type:` and `value:` of a value under HKEY_LOCAL_MACHINE: a DWORD in decimal,
// a string as it is (UTF-8), anything else as hex bytes.
//
// Exit status: 0 found / done, 1 nothing matched, timed out, no menu open or no such value, 2
// for a usage error, a desktop that cannot be opened or a missing hook library.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/crvprobe/menu_report.h"

namespace {

constexpr DWORD kPollMs = 100;
constexpr int kDefaultWaitSeconds = 20;
constexpr int kMaxTextChars = 1024;
// Registry data beyond this is not a setting of ours: refuse it rather than allocate it.
constexpr DWORD kMaxRegBytes = 64 * 1024;
// A menu's thread answers at once unless it is stuck; then the probe says so rather than wait.
constexpr UINT kMenuReplyMs = 5000;

struct WindowInfo {
  HWND hwnd = nullptr;
  HWND parent = nullptr;
  HWND owner = nullptr;
  DWORD pid = 0;
  std::wstring cls;
  bool visible = false;
  bool enabled = false;
  RECT rect{};
  RECT client{};
  std::wstring text;
};

int Usage() {
  std::fprintf(stderr,
               "usage: crvprobe [--desktop NAME] windows [CLASS]\n"
               "       crvprobe [--desktop NAME] wait CLASS [TEXT [SECONDS]]\n"
               "       crvprobe [--desktop NAME] wait-gone CLASS [SECONDS]\n"
               "       crvprobe [--desktop NAME] send HWND|CLASS MESSAGE WPARAM LPARAM\n"
               "       crvprobe [--desktop NAME] menu\n"
               "       crvprobe [--desktop NAME] focus\n"
               "       crvprobe reg KEY VALUE\n");
  return 2;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

// Quoted and escaped, so that a line stays one line whatever the text holds.
std::string Quoted(const std::wstring& text) {
  std::string out = "\"";
  char buffer[8];
  for (wchar_t c : text) {
    switch (c) {
      case L'"': out += "\\\""; break;
      case L'\\': out += "\\\\"; break;
      case L'\n': out += "\\n"; break;
      case L'\r': out += "\\r"; break;
      case L'\t': out += "\\t"; break;
      default:
        if (c >= 0x20 && c < 0x7f) {
          out += static_cast<char>(c);
        } else {
          std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
          out += buffer;
        }
    }
  }
  return out + "\"";
}

void Print(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// Decimal or 0x hexadecimal, the whole argument; false otherwise.
bool ParseNumber(const wchar_t* text, uint64_t* value) {
  int base = 10;
  if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
    base = 16;
    text += 2;
  }
  if (!*text) return false;
  uint64_t v = 0;
  for (; *text; ++text) {
    int digit;
    if (*text >= L'0' && *text <= L'9') digit = *text - L'0';
    else if (base == 16 && *text >= L'a' && *text <= L'f') digit = *text - L'a' + 10;
    else if (base == 16 && *text >= L'A' && *text <= L'F') digit = *text - L'A' + 10;
    else return false;
    if (v > (UINT64_MAX - digit) / base) return false;
    v = v * base + digit;
  }
  *value = v;
  return true;
}

// The device screen is a desktop of its own: switch this thread to it before touching any
// window (a thread that owns windows cannot switch).
bool EnterDesktop(const std::wstring& name) {
  if (name.empty()) return true;
  HDESK desk = OpenDesktopW(name.c_str(), 0, FALSE, GENERIC_ALL);
  if (!desk) {
    std::fprintf(stderr, "crvprobe: no desktop \"%s\" (is the device running?)\n", Utf8(name).c_str());
    return false;
  }
  if (!SetThreadDesktop(desk)) {
    std::fprintf(stderr, "crvprobe: cannot switch to desktop \"%s\" (error %lu)\n", Utf8(name).c_str(),
                 GetLastError());
    return false;
  }
  return true;
}

WindowInfo Describe(HWND hwnd) {
  WindowInfo w;
  w.hwnd = hwnd;
  w.parent = GetAncestor(hwnd, GA_PARENT);
  w.owner = GetWindow(hwnd, GW_OWNER);
  GetWindowThreadProcessId(hwnd, &w.pid);
  wchar_t buffer[kMaxTextChars + 1] = L"";
  int n = GetClassNameW(hwnd, buffer, 256);
  w.cls.assign(buffer, n > 0 ? n : 0);
  // Another process's window: its stored caption, read without sending it a message.
  n = GetWindowTextW(hwnd, buffer, kMaxTextChars + 1);
  w.text.assign(buffer, n > 0 ? n : 0);
  w.visible = IsWindowVisible(hwnd) != FALSE;
  w.enabled = IsWindowEnabled(hwnd) != FALSE;
  GetWindowRect(hwnd, &w.rect);
  GetClientRect(hwnd, &w.client);
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&w.client), 2);
  return w;
}

BOOL CALLBACK AddChild(HWND hwnd, LPARAM list) {
  reinterpret_cast<std::vector<WindowInfo>*>(list)->push_back(Describe(hwnd));
  return TRUE;
}

BOOL CALLBACK AddTopLevel(HWND hwnd, LPARAM list) {
  reinterpret_cast<std::vector<WindowInfo>*>(list)->push_back(Describe(hwnd));
  EnumChildWindows(hwnd, AddChild, list);  // every descendant, depth first
  return TRUE;
}

std::vector<WindowInfo> AllWindows() {
  std::vector<WindowInfo> list;
  EnumWindows(AddTopLevel, reinterpret_cast<LPARAM>(&list));
  return list;
}

std::string Line(const WindowInfo& w) {
  char head[256];
  std::snprintf(head, sizeof head, "window: 0x%08lx parent: 0x%08lx owner: 0x%08lx pid: %lu class: ",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w.hwnd)),
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w.parent)),
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w.owner)), static_cast<unsigned long>(w.pid));
  char tail[192];
  std::snprintf(tail, sizeof tail, " visible: %d enabled: %d rect: %ld %ld %ld %ld client: %ld %ld %ld %ld text: ",
                w.visible ? 1 : 0, w.enabled ? 1 : 0, w.rect.left, w.rect.top, w.rect.right, w.rect.bottom,
                w.client.left, w.client.top, w.client.right, w.client.bottom);
  return head + Quoted(w.cls) + tail + Quoted(w.text);
}

bool SameClass(const WindowInfo& w, const std::wstring& cls) { return lstrcmpiW(w.cls.c_str(), cls.c_str()) == 0; }

// The first visible window of the class (with that text, when text is given), or null.
const WindowInfo* FindVisible(const std::vector<WindowInfo>& list, const std::wstring& cls, const std::wstring* text) {
  for (const WindowInfo& w : list)
    if (w.visible && SameClass(w, cls) && (!text || w.text == *text)) return &w;
  return nullptr;
}

int Windows(int argc, wchar_t** argv) {
  if (argc > 1) return Usage();
  int shown = 0;
  for (const WindowInfo& w : AllWindows()) {
    if (argc == 1 && !SameClass(w, argv[0])) continue;
    Print(Line(w));
    ++shown;
  }
  return shown > 0 ? 0 : 1;
}

bool ParseSeconds(const wchar_t* text, int* seconds) {
  uint64_t v;
  if (!ParseNumber(text, &v) || v > 3600) return false;
  *seconds = static_cast<int>(v);
  return true;
}

int Wait(int argc, wchar_t** argv) {
  if (argc < 1 || argc > 3) return Usage();
  std::wstring cls = argv[0];
  std::wstring text = argc >= 2 ? argv[1] : L"";
  bool anyText = text.empty() || text == L"*";
  int seconds = kDefaultWaitSeconds;
  if (argc == 3 && !ParseSeconds(argv[2], &seconds)) return Usage();
  ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
  for (;;) {
    std::vector<WindowInfo> list = AllWindows();
    if (const WindowInfo* w = FindVisible(list, cls, anyText ? nullptr : &text)) {
      Print(Line(*w));
      return 0;
    }
    if (GetTickCount64() >= deadline) break;
    Sleep(kPollMs);
  }
  std::fprintf(stderr, "crvprobe: no visible %s window%s%s after %d s\n", Utf8(cls).c_str(),
               anyText ? "" : " with the text ", anyText ? "" : Quoted(text).c_str(), seconds);
  return 1;
}

int WaitGone(int argc, wchar_t** argv) {
  if (argc < 1 || argc > 2) return Usage();
  std::wstring cls = argv[0];
  int seconds = kDefaultWaitSeconds;
  if (argc == 2 && !ParseSeconds(argv[1], &seconds)) return Usage();
  ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
  for (;;) {
    std::vector<WindowInfo> list = AllWindows();
    const WindowInfo* w = FindVisible(list, cls, nullptr);
    if (!w) {
      Print("gone: " + Quoted(cls));
      return 0;
    }
    if (GetTickCount64() >= deadline) {
      std::fprintf(stderr, "crvprobe: still there after %d s: %s\n", seconds, Line(*w).c_str());
      return 1;
    }
    Sleep(kPollMs);
  }
}

int Send(int argc, wchar_t** argv) {
  if (argc != 4) return Usage();
  uint64_t message, wParam, lParam, handle;
  if (!ParseNumber(argv[1], &message) || message > 0xFFFFFFFFu || !ParseNumber(argv[2], &wParam) ||
      wParam > 0xFFFFFFFFu || !ParseNumber(argv[3], &lParam) || lParam > 0xFFFFFFFFu)
    return Usage();
  HWND target = nullptr;
  if (ParseNumber(argv[0], &handle)) {
    target = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
    if (!IsWindow(target)) {
      std::fprintf(stderr, "crvprobe: no window %s\n", Utf8(argv[0]).c_str());
      return 1;
    }
  } else {
    std::vector<WindowInfo> list = AllWindows();
    const WindowInfo* w = FindVisible(list, argv[0], nullptr);
    if (!w) {
      std::fprintf(stderr, "crvprobe: no visible %s window\n", Utf8(argv[0]).c_str());
      return 1;
    }
    target = w->hwnd;
  }
  if (!PostMessageW(target, static_cast<UINT>(message), static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam))) {
    std::fprintf(stderr, "crvprobe: PostMessage failed (error %lu)\n", GetLastError());
    return 1;
  }
  char line[96];
  std::snprintf(line, sizeof line, "posted: 0x%08lx %lu %lu %lu",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(target)), static_cast<unsigned long>(message),
                static_cast<unsigned long>(wParam), static_cast<unsigned long>(lParam));
  Print(line);
  return 0;
}

// The item report of one popup menu window, read by the hook library inside the menu's
// process (see menu_report.h); false when the window did not answer.
bool ReadMenu(HWND popup, HMODULE hookLibrary, HOOKPROC hookProc, UINT message, crvprobe::MenuReport* out) {
  DWORD thread = GetWindowThreadProcessId(popup, nullptr);
  if (!thread) return false;
  wchar_t name[64];
  crvprobe::MenuReportName(GetCurrentProcessId(), name, 64);
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(crvprobe::MenuReport), name);
  if (!mapping) return false;
  bool read = false;
  if (auto* report = static_cast<crvprobe::MenuReport*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(crvprobe::MenuReport)))) {
    ZeroMemory(report, sizeof *report);
    if (HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, hookProc, hookLibrary, thread)) {
      DWORD_PTR answer = 0;
      SendMessageTimeoutW(popup, message, GetCurrentProcessId(), 0, SMTO_ABORTIFHUNG, kMenuReplyMs, &answer);
      UnhookWindowsHookEx(hook);
      if (InterlockedCompareExchange(&report->done, 0, 0) == 1) {
        *out = *report;
        read = true;
      }
    } else {
      std::fprintf(stderr, "crvprobe: cannot hook the menu's thread (error %lu)\n", GetLastError());
    }
    UnmapViewOfFile(report);
  }
  CloseHandle(mapping);
  return read;
}

std::string RectText(const RECT& r) {
  char text[64];
  std::snprintf(text, sizeof text, "%ld %ld %ld %ld", r.left, r.top, r.right, r.bottom);
  return text;
}

int Menu(int argc, wchar_t**) {
  if (argc != 0) return Usage();
  // Newer popups lie above the ones they opened from: reversed z-order is opening order.
  std::vector<WindowInfo> popups;
  for (const WindowInfo& w : AllWindows())
    if (w.visible && SameClass(w, L"#32768")) popups.push_back(w);
  std::reverse(popups.begin(), popups.end());
  if (popups.empty()) {
    std::fprintf(stderr, "crvprobe: no menu is open\n");
    return 1;
  }
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring library(path, n < MAX_PATH ? n : 0);
  library = library.substr(0, library.find_last_of(L"\\/") + 1) + crvprobe::kMenuHookLibrary;
  HMODULE hookLibrary = LoadLibraryW(library.c_str());
  void* proc = hookLibrary ? reinterpret_cast<void*>(GetProcAddress(hookLibrary, crvprobe::kMenuHookProc)) : nullptr;
  auto hookProc = reinterpret_cast<HOOKPROC>(proc);
  UINT message = RegisterWindowMessageW(crvprobe::kMenuReportMessage);
  if (!hookProc || !message) {
    std::fprintf(stderr, "crvprobe: cannot load %s (error %lu)\n", Utf8(library).c_str(), GetLastError());
    return 2;
  }
  crvprobe::MenuReport report;
  int index = 0;
  for (const WindowInfo& w : popups) {
    // A menu that closed meanwhile is no longer open: leave it out.
    if (!ReadMenu(w.hwnd, hookLibrary, hookProc, message, &report)) {
      if (IsWindowVisible(w.hwnd)) std::fprintf(stderr, "crvprobe: the menu 0x%08lx did not answer\n",
                                                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w.hwnd)));
      continue;
    }
    char head[128];
    std::snprintf(head, sizeof head, "menu: %d window: 0x%08lx rect: ", index,
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w.hwnd)));
    Print(head + RectText(w.rect) + " items: " + std::to_string(report.total));
    for (int i = 0; i < report.count; ++i) {
      const crvprobe::MenuItemReport& item = report.items[i];
      std::wstring text(item.text, wcsnlen(item.text, crvprobe::kMaxMenuText));
      char flags[96];
      std::snprintf(flags, sizeof flags, " grayed: %d checked: %d submenu: %d text: ", (item.state & MFS_GRAYED) ? 1 : 0,
                    (item.state & MFS_CHECKED) ? 1 : 0, item.submenu ? 1 : 0);
      Print("item: " + std::to_string(index) + " " + std::to_string(i) + " rect: " + RectText(item.rect) + flags +
            Quoted(text));
    }
    ++index;
  }
  FreeLibrary(hookLibrary);
  if (index == 0) {
    std::fprintf(stderr, "crvprobe: no menu is open\n");
    return 1;
  }
  return 0;
}

int Focus(int argc, wchar_t**) {
  if (argc != 0) return Usage();
  HWND foreground = GetForegroundWindow();
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (foreground) GetGUIThreadInfo(GetWindowThreadProcessId(foreground, nullptr), &info);
  char line[128];
  std::snprintf(line, sizeof line, "foreground: 0x%08lx active: 0x%08lx focus: 0x%08lx",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(foreground)),
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(info.hwndActive)),
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(info.hwndFocus)));
  Print(line);
  return 0;
}

int Reg(int argc, wchar_t** argv) {
  if (argc != 2) return Usage();
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, argv[0], 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    std::fprintf(stderr, "crvprobe: no key HKEY_LOCAL_MACHINE\\%s\n", Utf8(argv[0]).c_str());
    return 1;
  }
  DWORD type = 0, size = 0;
  LONG rc = RegQueryValueExW(key, argv[1], nullptr, &type, nullptr, &size);
  std::vector<BYTE> data;
  if (rc == ERROR_SUCCESS && size <= kMaxRegBytes) {
    // Two spare zero bytes: a stored string need not carry its terminator.
    data.assign(size + 2, 0);
    rc = RegQueryValueExW(key, argv[1], nullptr, &type, data.data(), &size);
  } else if (rc == ERROR_SUCCESS) {
    rc = ERROR_MORE_DATA;
  }
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) {
    std::fprintf(stderr, "crvprobe: no value %s (error %ld)\n", Utf8(argv[1]).c_str(), rc);
    return 1;
  }
  std::string value;
  if ((type == REG_DWORD && size == 4) || (type == REG_QWORD && size == 8)) {
    uint64_t v = 0;
    for (DWORD i = size; i-- > 0;) v = v << 8 | data[i];
    value = std::to_string(v);
    Print(type == REG_DWORD ? "type: dword" : "type: qword");
  } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()));
    value = Utf8(text);
    Print("type: string");
  } else {
    char hex[4];
    for (DWORD i = 0; i < size; ++i) {
      std::snprintf(hex, sizeof hex, i ? " %02x" : "%02x", data[i]);
      value += hex;
    }
    Print("type: binary");
  }
  Print("value: " + value);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Plain "\n" line ends: the scripts read this output on Linux.
  _setmode(_fileno(stdout), _O_BINARY);
  int i = 1;
  std::wstring desktop = L"CRV";
  if (i + 1 < argc && lstrcmpW(argv[i], L"--desktop") == 0) {
    desktop = argv[i + 1];
    i += 2;
  }
  if (i >= argc) return Usage();
  std::wstring command = argv[i++];
  int rest = argc - i;
  wchar_t** args = argv + i;
  if (command == L"reg") return Reg(rest, args);
  int (*run)(int, wchar_t**) = nullptr;
  if (command == L"windows") run = Windows;
  else if (command == L"wait") run = Wait;
  else if (command == L"wait-gone") run = WaitGone;
  else if (command == L"send") run = Send;
  else if (command == L"menu") run = Menu;
  else if (command == L"focus") run = Focus;
  else return Usage();
  if (!EnterDesktop(desktop)) return 2;
  return run(rest, args);
}
