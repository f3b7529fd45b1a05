// Window-thread waits for the Wine tests: the thread's messages are dispatched while a test
// waits for a condition, so windows and posted replies keep working meanwhile.
#pragma once
#include <windows.h>

namespace crv {
namespace testing_support {

// Dispatches messages until done() holds; false when timeoutMs passed first.
template <class Done>
bool PumpUntil(Done done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

inline void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

}  // namespace testing_support
}  // namespace crv
