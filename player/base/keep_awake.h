// Keeping the device awake while a slide show runs: the backlight ("BKL1:") held at full power
// and the system idle timer reset by a timer a little faster than the shortest suspend
// time-out of the power manager.
#pragma once
#include <cstdint>

namespace crv {

// The timer period in seconds for the power manager's two suspend time-outs (seconds; 0 or a
// missing value means "never"): the smaller of the two less 3 seconds. When neither suspends,
// or a time-out is too short to subtract from, a safe period of 30 seconds (at least 1).
uint32_t KeepAwakePeriodSeconds(uint32_t acTimeout, bool acPresent, uint32_t batteryTimeout, bool batteryPresent);

}  // namespace crv

#ifdef _WIN32
#include <windows.h>

namespace crv {

class KeepAwake {
 public:
  static constexpr UINT_PTR kTimerId = 0x8309;

  ~KeepAwake() { Stop(); }
  // Resets the idle timer, takes the backlight requirement (releasing an earlier one) and
  // starts the timer on `window`.
  void Start(HWND window);
  // The timer's tick.
  void Tick();
  // Releases the requirement and kills the timer.
  void Stop();
  bool Running() const { return requirement_ != nullptr; }
  uint32_t PeriodSeconds() const { return periodSeconds_; }

 private:
  HWND window_ = nullptr;
  HANDLE requirement_ = nullptr;
  uint32_t periodSeconds_ = 0;
};

}  // namespace crv
#endif
