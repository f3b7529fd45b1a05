#include "player/base/keep_awake.h"

#include <gtest/gtest.h>

using namespace crv;

// The period is the shorter suspend time-out less three seconds; a time-out that never
// suspends (0 or missing) does not count, and with none at all a safe period is used.
TEST(KeepAwakePeriod, ShorterTimeoutLessThreeSeconds) {
  EXPECT_EQ(57u, KeepAwakePeriodSeconds(60, true, 180, true));
  EXPECT_EQ(57u, KeepAwakePeriodSeconds(180, true, 60, true));
  EXPECT_EQ(177u, KeepAwakePeriodSeconds(0, true, 180, true));
  EXPECT_EQ(177u, KeepAwakePeriodSeconds(60, false, 180, true));
  EXPECT_EQ(30u, KeepAwakePeriodSeconds(0, true, 0, true));
  EXPECT_EQ(30u, KeepAwakePeriodSeconds(0, false, 0, false));
  EXPECT_EQ(1u, KeepAwakePeriodSeconds(2, true, 0, false)) << "never a zero or wrapped period";
  EXPECT_EQ(1u, KeepAwakePeriodSeconds(3, true, 0, false));
}
