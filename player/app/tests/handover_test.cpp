// The real player program started twice on one device: the second start hands its file
// to the running window and ends; the settings carry the path and its kind.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const wchar_t kOptions[] = L"Software\\Halvren\\Corvane Cinema\\Options";
const wchar_t kFrameClass[] = L"CORVANE_PICVIEW_CLASS";

std::wstring PlayerPath() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  while (n > 0 && path[n - 1] != L'\\') --n;
  path[n] = 0;
  return std::wstring(path) + L"CRV.exe";
}

void SetDword(const wchar_t* name, DWORD value) {
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, kOptions, name, REG_DWORD, &value, sizeof value);
}
DWORD GetDword(const wchar_t* name, DWORD fallback = 0xDEAD) {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kOptions, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return fallback;
  return value;
}
void SetString(const wchar_t* name, const wchar_t* text) {
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, kOptions, name, REG_SZ, text, (lstrlenW(text) + 1) * sizeof(wchar_t));
}
std::wstring GetString(const wchar_t* name) {
  wchar_t text[MAX_PATH] = L"";
  DWORD size = sizeof text;
  RegGetValueW(HKEY_LOCAL_MACHINE, kOptions, name, RRF_RT_REG_SZ, nullptr, text, &size);
  return text;
}

void Pump(DWORD ms) {
  DWORD end = GetTickCount() + ms;
  MSG msg;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

// Starts the player with `arguments` as its raw command line; returns the process.
HANDLE StartPlayer(const std::wstring& arguments) {
  std::wstring exe = PlayerPath();
  std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

// Waits for the process while keeping this thread's windows responsive.
DWORD WaitForExit(HANDLE process, DWORD ms = 30000) {
  DWORD end = GetTickCount() + ms;
  while (WaitForSingleObject(process, 0) == WAIT_TIMEOUT && static_cast<LONG>(end - GetTickCount()) > 0) Pump(50);
  DWORD code = 0xBAD;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return code;
}

std::wstring MakeFile(const wchar_t* name, const std::vector<uint8_t>& bytes = {}) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  std::wstring path = std::wstring(folder) + name;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return path;
}

// A 1 x 1 24-bit BMP: a picture the player opens.
std::vector<uint8_t> OnePixelBmp() {
  std::vector<uint8_t> bmp = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0,
                              1, 0, 24, 0};
  bmp.resize(54, 0);
  bmp.insert(bmp.end(), {10, 20, 30, 0});
  return bmp;
}

// A stand-in for the running player: a window of the player's class that records the
// hand-over messages it receives.
struct FakeRunningPlayer {
  static UINT lastMessage;
  static LPARAM lastLParam;
  static int count;
  HWND window = nullptr;

  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == 0x471 || m == 0x532) {
      lastMessage = m;
      lastLParam = lp;
      ++count;
      return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
  }
  FakeRunningPlayer() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kFrameClass;
    RegisterClassW(&wc);
    window = CreateWindowExW(0, kFrameClass, L"Corvane Cinema", WS_POPUP | WS_VISIBLE, 0, 26, 100, 100, nullptr,
                             nullptr, wc.hInstance, nullptr);
    lastMessage = 0;
    lastLParam = -1;
    count = 0;
  }
  ~FakeRunningPlayer() {
    DestroyWindow(window);
    UnregisterClassW(kFrameClass, GetModuleHandleW(nullptr));
  }
};
UINT FakeRunningPlayer::lastMessage;
LPARAM FakeRunningPlayer::lastLParam;
int FakeRunningPlayer::count;

}  // namespace

TEST(HandOver, PictureGoesToTheRunningWindowAsOpenImage) {
  FakeRunningPlayer running;
  SetDword(L"ExtType", 0);
  std::wstring jpg = MakeFile(L"handover.jpg");
  EXPECT_EQ(WaitForExit(StartPlayer(jpg)), 0u);
  Pump(300);
  EXPECT_EQ(FakeRunningPlayer::count, 1);
  EXPECT_EQ(FakeRunningPlayer::lastMessage, 0x471u);
  EXPECT_EQ(FakeRunningPlayer::lastLParam, 0);
  EXPECT_EQ(GetString(L"FileName"), jpg);
  EXPECT_EQ(GetDword(L"ExtType"), 1u);
  EXPECT_EQ(FindWindowW(kFrameClass, nullptr), running.window) << "no second frame was created";
}

TEST(HandOver, MediaGoesAsOpenMedia) {
  FakeRunningPlayer running;
  std::wstring wmv = MakeFile(L"HandOver Clip.WMV");  // spaces and upper case: the whole line is the path
  EXPECT_EQ(WaitForExit(StartPlayer(wmv)), 0u);
  Pump(300);
  EXPECT_EQ(FakeRunningPlayer::lastMessage, 0x532u);
  EXPECT_EQ(GetString(L"FileName"), wmv);
  EXPECT_EQ(GetDword(L"ExtType"), 2u);
}

TEST(HandOver, UnknownKindOrMissingFileOnlyRaisesTheRunningWindow) {
  FakeRunningPlayer running;
  SetString(L"FileName", L"\\My Documents\\kept.jpg");
  SetDword(L"ExtType", 1);
  HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  for (const std::wstring& arguments : {MakeFile(L"song.m4a"), std::wstring(L"C:\\no\\such\\picture.jpg")}) {
    SetForegroundWindow(other);
    Pump(100);
    EXPECT_EQ(WaitForExit(StartPlayer(arguments)), 0u);
    Pump(300);
    EXPECT_EQ(FakeRunningPlayer::count, 0) << "nothing is posted for " << std::string(arguments.begin(), arguments.end());
    EXPECT_EQ(GetDword(L"ExtType"), 1u) << "ExtType unchanged";
    EXPECT_EQ(GetString(L"FileName"), L"\\My Documents\\kept.jpg");
    EXPECT_EQ(GetForegroundWindow(), running.window) << "the running window is raised";
  }
  DestroyWindow(other);
}

namespace {

HWND WaitForFrame(DWORD ms = 30000) {
  DWORD end = GetTickCount() + ms;
  HWND frame = nullptr;
  while (!(frame = FindWindowW(kFrameClass, nullptr)) && static_cast<LONG>(end - GetTickCount()) > 0) Pump(100);
  return frame;
}

struct OwnedBy {
  HWND owner;
  HWND found = nullptr;
};
BOOL CALLBACK FindMenuBar(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<OwnedBy*>(param);
  wchar_t cls[32];
  GetClassNameW(window, cls, 32);
  if (lstrcmpW(cls, L"menu_worker") == 0 && GetWindow(window, GW_OWNER) == search->owner) search->found = window;
  return TRUE;
}

}  // namespace

// A stored View other than the album's starts the media panel; a picture handed over then
// opens the album and shows the picture, which is the view stored at exit.
TEST(HandOver, RealInstancesHandOverAndKeepTheViewRule) {
  ASSERT_EQ(FindWindowW(kFrameClass, nullptr), nullptr);
  SetDword(L"View", 3);
  HANDLE first = StartPlayer(L"");
  ASSERT_NE(first, nullptr);
  HWND frame = WaitForFrame();
  ASSERT_NE(frame, nullptr) << "the player shows its frame";
  wchar_t title[64];
  GetWindowTextW(frame, title, 64);
  EXPECT_STREQ(title, L"Corvane Cinema");
  OwnedBy search{frame};
  EnumWindows(FindMenuBar, reinterpret_cast<LPARAM>(&search));
  EXPECT_NE(search.found, nullptr) << "the frame has its soft-key bar";
  RECT bar{}, screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  GetWindowRect(search.found, &bar);
  EXPECT_EQ(bar.bottom, screen.bottom) << "along the bottom of the screen";

  // A desktop shell quotes a path with spaces; the quotes are not part of the name.
  std::wstring picture = MakeFile(L"second picture.bmp", OnePixelBmp());
  EXPECT_EQ(WaitForExit(StartPlayer(L"\"" + picture + L"\"")), 0u);
  DWORD end = GetTickCount() + 10000;
  while (GetDword(L"ExtType") != 0 && static_cast<LONG>(end - GetTickCount()) > 0) Pump(100);
  EXPECT_EQ(GetDword(L"ExtType"), 0u) << "the running frame consumed the hand-over";
  EXPECT_EQ(GetString(L"FileName"), picture);
  end = GetTickCount() + 10000;
  while (!FindWindowExW(frame, nullptr, L"HALVREN_PICTURE_VIEW", nullptr) && static_cast<LONG>(end - GetTickCount()) > 0)
    Pump(100);
  EXPECT_NE(FindWindowExW(frame, nullptr, L"HALVREN_PICTURE_VIEW", nullptr), nullptr) << "the picture shows";

  PostMessageW(frame, WM_COMMAND, 32791, 0);  // "Exit"
  EXPECT_EQ(WaitForExit(first), 0u);
  EXPECT_EQ(GetDword(L"View"), 1u) << "the picture view";
  EXPECT_EQ(GetDword(L"LoadMedia"), 0u);

  SetDword(L"View", 7);
  HANDLE again = StartPlayer(L"");
  frame = WaitForFrame();
  ASSERT_NE(frame, nullptr);
  PostMessageW(frame, WM_COMMAND, 32791, 0);
  EXPECT_EQ(WaitForExit(again), 0u);
  EXPECT_EQ(GetDword(L"View"), 5u);
  EXPECT_EQ(GetDword(L"LoadMedia"), 1u);
}

// A start with a file of its own takes it as handed over and resets ExtType; the options saved
// at exit must keep that reset, or a later start naming an existing file of no known kind
// would be taken as a hand-over of the old one.
TEST(HandOver, OwnStartLeavesNoHandOverBehindAtExit) {
  ASSERT_EQ(FindWindowW(kFrameClass, nullptr), nullptr);
  SetDword(L"ExtType", 0);
  std::wstring jpg = MakeFile(L"own start.jpg");
  HANDLE player = StartPlayer(L"\"" + jpg + L"\"");
  ASSERT_NE(player, nullptr);
  HWND frame = WaitForFrame();
  ASSERT_NE(frame, nullptr);
  DWORD end = GetTickCount() + 10000;
  while (GetDword(L"ExtType") != 0 && static_cast<LONG>(end - GetTickCount()) > 0) Pump(100);
  EXPECT_EQ(GetDword(L"ExtType"), 0u) << "the frame took its own file at creation";

  PostMessageW(frame, WM_COMMAND, 32791, 0);  // "Exit"
  EXPECT_EQ(WaitForExit(player), 0u);
  EXPECT_EQ(GetDword(L"ExtType"), 0u) << "the options saved at exit brought the hand-over back";
  EXPECT_EQ(GetString(L"FileName"), jpg);
}
