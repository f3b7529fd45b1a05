// The hosted media control under Wine: the device's control ("mediactl.dll" of the build,
// made known to this process by its class object) in the ATL container, driven through the
// process-wide operations as the panel drives it; its events reach the frame as 0x3E6A and
// 0x3E6C. The movies are written by ffmpeg at build time (wmp_media beside the test).
#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>
#include <wmp.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "player/base/tests/message_pump.h"
#include "player/playback/wmp_host.h"

using namespace crv;
using testing_support::PumpFor;
using testing_support::PumpUntil;

namespace {

const CLSID kControlClass = {0x6BF52A52, 0x394A, 0x11d3, {0xB1, 0x53, 0x00, 0xC0, 0x4F, 0x79, 0xFA, 0xA6}};

std::wstring BinFolder() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\'));
}
std::wstring Media(const wchar_t* name) { return BinFolder() + L"\\wmp_media\\" + name; }
std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

void WriteFile(const std::wstring& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  DWORD written = 0;
  ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
}

// What reaches the frame.
struct Frame {
  std::vector<std::wstring> statuses;  // 0x3E6A
  std::vector<std::wstring> titles;    // 0x3E6C
};
Frame frame;

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == 0x3E6A && wParam) frame.statuses.emplace_back(reinterpret_cast<const wchar_t*>(wParam));
  if (message == 0x3E6C && wParam) frame.titles.emplace_back(reinterpret_cast<const wchar_t*>(wParam));
  return DefWindowProcW(window, message, wParam, lParam);
}

int ThreadCount() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {sizeof(entry)};
  int n = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++n;
  CloseHandle(snapshot);
  return n;
}

bool Contains(const std::vector<std::wstring>& texts, const std::wstring& text) {
  for (const auto& t : texts)
    if (t == text) return true;
  return false;
}

class WmpHostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitialize(nullptr);
    // The build's control, known to this process only: the test prefix's registry keeps
    // whatever control it has.
    library_ = LoadLibraryW(L"mediactl.dll");
    ASSERT_NE(nullptr, library_);
    auto getClassObject =
        reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void*>(GetProcAddress(library_, "DllGetClassObject")));
    ASSERT_NE(nullptr, getClassObject);
    IUnknown* factory = nullptr;
    ASSERT_EQ(S_OK, getClassObject(kControlClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    ASSERT_EQ(S_OK, CoRegisterClassObject(kControlClass, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_));
    factory->Release();
  }
  static void TearDownTestSuite() { CoRevokeClassObject(cookie_); }

  void SetUp() override {
    frame = Frame();
    static bool registered = false;
    if (!registered) {
      WNDCLASSW wc{};
      wc.lpfnWndProc = FrameProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"CRV_WMP_TEST_FRAME";
      registered = RegisterClassW(&wc) != 0;
    }
    window_ = CreateWindowExW(0, L"CRV_WMP_TEST_FRAME", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 240, 320,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, window_);
    ASSERT_EQ(1, wmp::CreateHost(GetModuleHandleW(nullptr), window_));
    RECT area = {0, 0, 240, 180};
    wmp::MoveHost(area);
  }
  void TearDown() override {
    wmp::DestroyHost();
    DestroyWindow(window_);
  }

  // Opens and waits until the control reports the media open and playing.
  void OpenAndPlay(const std::wstring& path) {
    ASSERT_EQ(1, wmp::OpenMedia(U16(path), window_));
    ASSERT_TRUE(PumpUntil([] { return wmp::OpenState() == wmp::kOpenStateMediaOpen; }, 10000)) << wmp::OpenState();
    ASSERT_TRUE(PumpUntil([] { return wmp::PlayState() == wmp::kPlayStatePlaying; }, 10000)) << wmp::PlayState();
  }
  static bool Ended() {
    const int state = wmp::PlayState();
    return state == wmp::kPlayStateEnded || state == wmp::kPlayStateStopped;
  }

  HWND window_ = nullptr;
  static HMODULE library_;
  static DWORD cookie_;
};
HMODULE WmpHostTest::library_ = nullptr;
DWORD WmpHostTest::cookie_ = 0;

}  // namespace

// Without a host every operation gives its "no host" answer.
TEST(WmpNoHost, OperationsAnswerWithoutAHost) {
  wmp::DestroyHost();
  EXPECT_FALSE(wmp::HostExists());
  EXPECT_EQ(u"00:00", wmp::PositionText());
  EXPECT_EQ(0, wmp::PlayState());
  EXPECT_EQ(1, wmp::PlayerVersion());
  EXPECT_EQ(0, wmp::Duration());
  EXPECT_EQ(0, wmp::SetVolume(50));
  EXPECT_EQ(0, wmp::ItemCount());
  EXPECT_EQ(0, wmp::Play());
}

// The control's version makes the panel draw the controls itself; a Windows Media Video
// plays to its end with its name and status reaching the frame, the position moving.
TEST_F(WmpHostTest, AVideoPlaysToItsEndAndTheFrameHearsOfIt) {
  EXPECT_EQ(3, wmp::PlayerVersion());
  OpenAndPlay(Media(L"clip.wmv"));
  EXPECT_NEAR(2.0, wmp::Duration(), 0.3);
  EXPECT_EQ(1, wmp::ItemCount());
  ASSERT_TRUE(PumpUntil([] { return wmp::Position() > 0.3; }, 5000));
  EXPECT_EQ(u"00:0", wmp::PositionText().substr(0, 4)) << "minutes and seconds";
  EXPECT_TRUE(Contains(frame.titles, L"clip")) << "the media's name on playing";
  EXPECT_TRUE(Contains(frame.statuses, L"Playing"));
  ASSERT_TRUE(PumpUntil(Ended, 10000)) << wmp::PlayState();
}

// Pause, play, stop and play again (from the start), seeking within the media only, and the
// volume clamped.
TEST_F(WmpHostTest, TheSkinsCommandsActOnTheControl) {
  OpenAndPlay(Media(L"tone.mp3"));
  wmp::PausePlayback();
  ASSERT_TRUE(PumpUntil([] { return wmp::PlayState() == wmp::kPlayStatePaused; }, 3000));
  const double paused = wmp::Position();
  PumpFor(400);
  EXPECT_NEAR(paused, wmp::Position(), 0.05) << "the position stands while paused";
  EXPECT_EQ(1, wmp::Play());
  ASSERT_TRUE(PumpUntil([] { return wmp::PlayState() == wmp::kPlayStatePlaying; }, 3000));

  EXPECT_EQ(1, wmp::SetPosition(1.5));
  EXPECT_EQ(0, wmp::SetPosition(60)) << "beyond the end";
  ASSERT_TRUE(PumpUntil([] { return wmp::Position() >= 1.5; }, 3000)) << wmp::Position();

  wmp::StopPlayback();
  ASSERT_TRUE(PumpUntil([] { return wmp::PlayState() == wmp::kPlayStateStopped; }, 3000));
  EXPECT_EQ(1, wmp::Play());
  ASSERT_TRUE(PumpUntil([] { return wmp::PlayState() == wmp::kPlayStatePlaying; }, 5000));
  EXPECT_LT(wmp::Position(), 1.0) << "a stopped item plays again from its beginning";

  EXPECT_EQ(1, wmp::SetVolume(150));
  EXPECT_EQ(100, wmp::Volume());
  EXPECT_EQ(1, wmp::SetVolume(-5));
  EXPECT_EQ(0, wmp::Volume());
  wmp::SetMute(true);
  wmp::CloseMedia();
  EXPECT_NE(wmp::kPlayStatePlaying, wmp::PlayState());
}

// A control that is not to start by itself waits at Ready (10) with its media open (13), as
// the panel's timers see it between opening and playing; play then makes it Playing (3).
TEST_F(WmpHostTest, WithoutAutoStartTheOpenMediaWaitsReady) {
  IWMPPlayer4* player = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(kControlClass, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWMPPlayer4),
                                   reinterpret_cast<void**>(&player)));
  IWMPSettings* settings = nullptr;
  ASSERT_EQ(S_OK, player->get_settings(&settings));
  settings->put_autoStart(VARIANT_FALSE);
  settings->Release();
  BSTR url = SysAllocString(Media(L"tone.wav").c_str());
  ASSERT_EQ(S_OK, player->put_URL(url));
  SysFreeString(url);
  const auto states = [player] {
    WMPOpenState open = wmposUndefined;
    WMPPlayState play = wmppsUndefined;
    player->get_openState(&open);
    player->get_playState(&play);
    return std::make_pair(static_cast<int>(open), static_cast<int>(play));
  };
  ASSERT_TRUE(PumpUntil([&] { return states() == std::make_pair(13, 10); }, 5000))
      << states().first << " " << states().second;
  PumpFor(300);
  EXPECT_EQ(std::make_pair(13, 10), states()) << "it does not start by itself";
  IWMPControls* controls = nullptr;
  ASSERT_EQ(S_OK, player->get_controls(&controls));
  controls->play();
  EXPECT_TRUE(PumpUntil([&] { return states() == std::make_pair(13, 3); }, 5000)) << states().second;
  controls->stop();
  controls->Release();
  player->close();
  player->Release();
}

// Sound whose channels change between frames plays on to its end; pictures whose time stamps
// start late show from the start, and seeking lands where it was asked.
TEST_F(WmpHostTest, StreamsThatChangeOrStartLatePlayFromTheirStart) {
  OpenAndPlay(Media(L"joined.mp3"));
  ASSERT_TRUE(PumpUntil([] { return wmp::Position() > 2.0; }, 6000)) << "into the mono half: " << wmp::Position();
  ASSERT_TRUE(PumpUntil(Ended, 6000)) << wmp::PlayState();

  OpenAndPlay(Media(L"late.mpg"));
  EXPECT_NEAR(2.0, wmp::Duration(), 0.3);
  ASSERT_TRUE(PumpUntil([] { return wmp::Position() > 0.5; }, 3000)) << wmp::Position();
  EXPECT_LT(wmp::Position(), 2.0) << "not at the end at once";
  EXPECT_EQ(1, wmp::SetPosition(1.0));
  EXPECT_TRUE(PumpUntil([] { return wmp::Position() >= 1.0; }, 3000)) << wmp::Position();
  EXPECT_LT(wmp::Position(), 1.9) << "the seek landed at 1 s, not at the end";
  ASSERT_TRUE(PumpUntil(Ended, 4000)) << "the pictures end on time: " << wmp::Position();
}

// An ASX list of two items plays both, the second announced as the current item.
TEST_F(WmpHostTest, AListPlaysItsItemsOneAfterTheOther) {
  const std::wstring list = Media(L"two.asx");
  WriteFile(list,
            "<ASX version=\"3.0\"><Entry><Title>First</Title><Ref href=\"tone.wav\"/></Entry>\r\n"
            "<ENTRY><REF HREF=\"clip.wmv\"/></ENTRY></ASX>\r\n");
  OpenAndPlay(list);
  EXPECT_EQ(2, wmp::ItemCount());
  ASSERT_TRUE(PumpUntil([] { return Contains(frame.titles, L"clip"); }, 10000)) << "the second item came up";
  ASSERT_TRUE(PumpUntil(Ended, 10000));
  EXPECT_TRUE(Contains(frame.titles, L"First"));
  // The list's title named its entry, not the file.
  frame = Frame();
  OpenAndPlay(Media(L"tone.wav"));
  EXPECT_TRUE(Contains(frame.titles, L"tone"));
  EXPECT_FALSE(Contains(frame.titles, L"First"));
}

// Files it cannot play end with a status text, never a hang: a damaged movie, an empty
// sound file, a list of missing files.
TEST_F(WmpHostTest, WhatCannotBePlayedEndsWithAStatusText) {
  const std::wstring broken = Media(L"broken.wmv");
  std::string noise(30000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919u) >> 3);
  WriteFile(broken, noise);
  const std::wstring empty = Media(L"empty.mp3");
  WriteFile(empty, "");
  const std::wstring missing = Media(L"missing.asx");
  WriteFile(missing, "<asx><entry><ref href=\"nowhere.wmv\"/></entry><entry><ref href=\"gone.mp3\"/></entry></asx>");
  for (const std::wstring& path : {broken, empty, missing}) {
    frame = Frame();
    ASSERT_EQ(1, wmp::OpenMedia(U16(path), window_));
    ASSERT_TRUE(PumpUntil([] { return !frame.statuses.empty() && frame.statuses.back() == L"Cannot play this file"; },
                          10000))
        << std::string(path.begin(), path.end());
    EXPECT_NE(wmp::kOpenStateMediaOpen, wmp::OpenState());
    EXPECT_NE(wmp::kPlayStatePlaying, wmp::PlayState());
  }
}

// Destroying the host while a file plays ends the control's threads. (The first round lets
// the sound system start the threads it keeps for the process.)
TEST_F(WmpHostTest, DestroyingTheHostWhilePlayingEndsItsThreads) {
  OpenAndPlay(Media(L"clip.wmv"));
  wmp::DestroyHost();
  PumpFor(500);
  const int before = ThreadCount();
  ASSERT_EQ(1, wmp::CreateHost(GetModuleHandleW(nullptr), window_));
  OpenAndPlay(Media(L"clip.wmv"));
  EXPECT_GT(ThreadCount(), before);
  const DWORD start = GetTickCount();
  wmp::DestroyHost();
  EXPECT_LT(GetTickCount() - start, 3000u);
  EXPECT_FALSE(wmp::HostExists());
  PumpUntil([&] { return ThreadCount() <= before; }, 3000);
  EXPECT_LE(ThreadCount(), before);
  ASSERT_EQ(1, wmp::CreateHost(GetModuleHandleW(nullptr), window_)) << "for TearDown";
}
