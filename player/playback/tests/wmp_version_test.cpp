#include "player/playback/wmp_version.h"

#include <gtest/gtest.h>

#include <string>

namespace crv {
namespace wmp {
namespace {

TEST(PlayerVersion, NumberAfterTheFirstDot) {
  EXPECT_EQ(ParsePlayerVersion(u"10.3.0.3700"), 3);
  EXPECT_EQ(ParsePlayerVersion(u"9.0"), 0);
  EXPECT_EQ(ParsePlayerVersion(u"11.25b.1"), 25);
  EXPECT_EQ(ParsePlayerVersion(u".7"), 7);
}

TEST(PlayerVersion, MissingPartsKeepTheDefaults) {
  EXPECT_EQ(ParsePlayerVersion(nullptr), 1);
  EXPECT_EQ(ParsePlayerVersion(u""), 1);
  EXPECT_EQ(ParsePlayerVersion(u"12"), 1);
  EXPECT_EQ(ParsePlayerVersion(u"12."), 0);
  EXPECT_EQ(ParsePlayerVersion(u"12.x5"), 0);
}

TEST(PlayerVersion, LongDigitRunsAreCapped) {
  EXPECT_EQ(ParsePlayerVersion(u"1.999999"), 999999);
  EXPECT_EQ(ParsePlayerVersion(u"1.1000000"), 1000000);
  EXPECT_EQ(ParsePlayerVersion(u"1.99999999999999999999999"), 1000000);
}

TEST(PlayerVersion, OwnInterfaceOnlyUpToTheFirstVersion) {
  EXPECT_EQ(std::u16string(UiModeForVersion(ParsePlayerVersion(u"10.3.0.3700"))), u"none");
  EXPECT_EQ(std::u16string(UiModeForVersion(ParsePlayerVersion(u"9.0"))), u"full");
  EXPECT_EQ(std::u16string(UiModeForVersion(ParsePlayerVersion(u"12"))), u"full");
  EXPECT_EQ(std::u16string(UiModeForVersion(2)), u"none");
}

}  // namespace
}  // namespace wmp
}  // namespace crv
