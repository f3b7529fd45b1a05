// For the Windows tests that play through the session's wave-out device: without a sound
// server there is no device and the test is skipped; with one (PULSE_SERVER set by the
// session) a missing device is a failure.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdlib>

#include <gtest/gtest.h>

namespace crv::test {

inline bool SoundServerExpected() { return std::getenv("PULSE_SERVER") != nullptr; }

}  // namespace crv::test

#define REQUIRE_DEVICE()                                                                         \
  do {                                                                                          \
    if (waveOutGetNumDevs() == 0) {                                                             \
      if (crv::test::SoundServerExpected()) FAIL() << "the session's sound server offers no device"; \
      GTEST_SKIP() << "no sound server in this session";                                        \
    }                                                                                           \
  } while (0)
