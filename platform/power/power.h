// The device's power manager, as far as the player uses it: a power requirement that keeps a
// device (the backlight, "BKL1:") in a state, and the reset of the system idle timer. On the
// emulated device nothing sleeps, so both are recorded where tests and people can read them:
// under HKEY_LOCAL_MACHINE\System\State\Power, the value of the device's name is its
// required state while a requirement is held (deleted on release), and "IdleTimerResets"
// counts the resets.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum _CEDEVICE_POWER_STATE { PwrDeviceUnspecified = -1, D0 = 0, D1, D2, D3, D4, PwrDeviceMaximum } CEDEVICE_POWER_STATE;
#define POWER_NAME 0x00000001
#define POWER_FORCE 0x00001000

// A handle for ReleasePowerRequirement, or null.
HANDLE WINAPI SetPowerRequirement(PVOID device, CEDEVICE_POWER_STATE state, ULONG flags, PVOID system, ULONG systemFlags);
DWORD WINAPI ReleasePowerRequirement(HANDLE requirement);
void WINAPI SystemIdleTimerReset(void);

#ifdef __cplusplus
}
#endif
