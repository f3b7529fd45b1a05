#include "player/base/keep_awake.h"

#include <algorithm>

#ifdef _WIN32
#include "platform/power/power.h"
#endif

namespace crv {

namespace {
constexpr uint32_t kSafePeriodSeconds = 30;
constexpr uint32_t kMarginSeconds = 3;
}  // namespace

uint32_t KeepAwakePeriodSeconds(uint32_t acTimeout, bool acPresent, uint32_t batteryTimeout, bool batteryPresent) {
  // A missing value or 0 never suspends: it does not shorten the period.
  const bool ac = acPresent && acTimeout > 0, battery = batteryPresent && batteryTimeout > 0;
  if (!ac && !battery) return kSafePeriodSeconds;
  const uint32_t shortest = ac && battery ? std::min(acTimeout, batteryTimeout) : ac ? acTimeout : batteryTimeout;
  return shortest > kMarginSeconds ? shortest - kMarginSeconds : 1;
}

#ifdef _WIN32

namespace {

bool ReadTimeout(HKEY key, const wchar_t* name, uint32_t* value) {
  DWORD data = 0, size = sizeof data, type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return false;
  *value = data;
  return true;
}

uint32_t PeriodFromRegistry() {
  HKEY key = nullptr;
  uint32_t ac = 0, battery = 0;
  bool acPresent = false, batteryPresent = false;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Power\\Timeouts", 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    acPresent = ReadTimeout(key, L"ACSuspendTimeout", &ac);
    batteryPresent = ReadTimeout(key, L"BattSuspendTimeout", &battery);
    RegCloseKey(key);
  }
  return KeepAwakePeriodSeconds(ac, acPresent, battery, batteryPresent);
}

}  // namespace

void KeepAwake::Start(HWND window) {
  SystemIdleTimerReset();
  Stop();
  window_ = window;
  requirement_ = SetPowerRequirement(const_cast<wchar_t*>(L"BKL1:"), D0, POWER_NAME, nullptr, 0);
  periodSeconds_ = PeriodFromRegistry();
  SetTimer(window_, kTimerId, periodSeconds_ * 1000, nullptr);
}

void KeepAwake::Tick() { SystemIdleTimerReset(); }

void KeepAwake::Stop() {
  if (requirement_) ReleasePowerRequirement(requirement_);
  requirement_ = nullptr;
  if (window_) KillTimer(window_, kTimerId);
  window_ = nullptr;
}

#endif

}  // namespace crv
