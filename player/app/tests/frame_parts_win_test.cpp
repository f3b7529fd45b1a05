// Pieces of the frame on the real platform: the keep-awake through the power stand-in (read
// back from the registry where the stand-in records it) and the folder chooser's paths.
#include <windows.h>

#include <gtest/gtest.h>

#include "player/base/keep_awake.h"
#include "player/app/select_folder_dlg.h"

using namespace crv;

namespace {

bool ReadPowerValue(const wchar_t* name, DWORD* value) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\State\\Power", 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD size = sizeof *value, type = 0;
  const bool found = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

void SetTimeouts(DWORD ac, DWORD battery) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Power\\Timeouts", 0,
                                           nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
  RegSetValueExW(key, L"ACSuspendTimeout", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&ac), sizeof ac);
  RegSetValueExW(key, L"BattSuspendTimeout", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&battery), sizeof battery);
  RegCloseKey(key);
}

}  // namespace

// Start holds the backlight at full power and resets the idle timer; each tick resets it again;
// Stop releases the requirement.
TEST(KeepAwakeDevice, BacklightHeldWhileRunningAndReleasedAfter) {
  SetTimeouts(60, 180);
  HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, window);
  DWORD resetsBefore = 0;
  ReadPowerValue(L"IdleTimerResets", &resetsBefore);
  {
    KeepAwake awake;
    awake.Start(window);
    EXPECT_TRUE(awake.Running());
    EXPECT_EQ(57u, awake.PeriodSeconds());
    DWORD state = 99;
    ASSERT_TRUE(ReadPowerValue(L"BKL1:", &state));
    EXPECT_EQ(0u, state) << "full power (D0)";
    awake.Tick();
    DWORD resets = 0;
    ASSERT_TRUE(ReadPowerValue(L"IdleTimerResets", &resets));
    EXPECT_EQ(resetsBefore + 2, resets);
    awake.Start(window);  // a second start replaces the first requirement
    awake.Stop();
    EXPECT_FALSE(awake.Running());
  }
  DWORD state = 0;
  EXPECT_FALSE(ReadPowerValue(L"BKL1:", &state)) << "the requirement is released";
  DestroyWindow(window);
}

TEST(FolderChooser, PathsFromTheRootDown) {
  EXPECT_EQ(u"\\", FolderPathFromNames({}));
  EXPECT_EQ(u"\\My Documents", FolderPathFromNames({u"My Documents"}));
  EXPECT_EQ(u"\\My Documents\\Pictures", FolderPathFromNames({u"My Documents", u"Pictures"}));
}
