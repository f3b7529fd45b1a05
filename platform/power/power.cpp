#include "platform/power/power.h"

namespace {

const wchar_t kStateKey[] = L"System\\State\\Power";

// One requirement: the device it names. The handle is a pointer to it.
struct Requirement {
  wchar_t device[32];
};

HKEY OpenStateKey() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kStateKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return nullptr;
  return key;
}

void WriteDword(const wchar_t* name, DWORD value) {
  if (HKEY key = OpenStateKey()) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
  }
}

}  // namespace

HANDLE WINAPI SetPowerRequirement(PVOID device, CEDEVICE_POWER_STATE state, ULONG, PVOID, ULONG) {
  const wchar_t* name = static_cast<const wchar_t*>(device);
  if (!name || !name[0] || state < D0 || state >= PwrDeviceMaximum) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* requirement = new Requirement{};
  lstrcpynW(requirement->device, name, 32);
  WriteDword(requirement->device, static_cast<DWORD>(state));
  return requirement;
}

DWORD WINAPI ReleasePowerRequirement(HANDLE handle) {
  auto* requirement = static_cast<Requirement*>(handle);
  if (!requirement) return ERROR_INVALID_HANDLE;
  if (HKEY key = OpenStateKey()) {
    RegDeleteValueW(key, requirement->device);
    RegCloseKey(key);
  }
  delete requirement;
  return ERROR_SUCCESS;
}

void WINAPI SystemIdleTimerReset(void) {
  DWORD count = 0, size = sizeof count;
  if (HKEY key = OpenStateKey()) {
    RegQueryValueExW(key, L"IdleTimerResets", nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size);
    ++count;
    RegSetValueExW(key, L"IdleTimerResets", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
    RegCloseKey(key);
  }
}
