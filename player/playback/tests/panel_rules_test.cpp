#include "player/playback/panel_rules.h"

#include <gtest/gtest.h>

namespace crv {
namespace {

TEST(PanelRules, TimeText) {
  EXPECT_EQ(FormatTime(0), u"00:00");
  EXPECT_EQ(FormatTime(-3), u"00:00");
  EXPECT_EQ(FormatTime(59), u"00:59");
  EXPECT_EQ(FormatTime(61), u"01:01");
  EXPECT_EQ(FormatTime(3599), u"59:59");
  EXPECT_EQ(FormatTime(3600), u"01:00:00");
  EXPECT_EQ(FormatTime(99 * 3600 + 3599), u"99:59:59");
  EXPECT_EQ(FormatTime(360000), u"N/A");
}

TEST(PanelRules, VolumeStaysWithinItsRange) {
  EXPECT_EQ(StepVolume(StepVolume(95, true), true), 100);
  EXPECT_EQ(StepVolume(3, false), 0);
  EXPECT_EQ(StepVolume(75, false), 70);
}

TEST(PanelRules, EngineByExtension) {
  EXPECT_EQ(ChooseEngine(u"\\My Documents\\a.mp4"), kEngineHosted);
  EXPECT_EQ(ChooseEngine(u"\\My Documents\\A.WMV"), kEngineHosted);
  EXPECT_EQ(ChooseEngine(u"\\My Documents\\a.mov"), kEngineBuiltIn);
  EXPECT_EQ(ChooseEngine(u"\\My Documents\\a.MPEG"), kEngineBuiltIn);
  EXPECT_EQ(ChooseEngine(u"\\My Documents\\a.m4a"), kEngineNone);
  EXPECT_EQ(ChooseEngine(u"\\Folder.avi\\noextension"), kEngineNone) << "a dot in a folder is no extension";
}

TEST(PanelRules, NavigationButtons) {
  NavigationButtons one = NavigationFor(0, 1);
  EXPECT_FALSE(one.next || one.previous);
  NavigationButtons first = NavigationFor(0, 3);
  EXPECT_TRUE(first.next);
  EXPECT_FALSE(first.previous);
  NavigationButtons last = NavigationFor(2, 3);
  EXPECT_FALSE(last.next);
  EXPECT_TRUE(last.previous);
  NavigationButtons middle = NavigationFor(1, 3);
  EXPECT_TRUE(middle.next && middle.previous);
}

TEST(PanelRules, PlayPauseFaces) {
  EXPECT_EQ(PressedPlayPauseFace(kEngineBuiltIn, false), kPlayPausePlayPushed);
  EXPECT_EQ(PressedPlayPauseFace(kEngineBuiltIn, true), kPlayPausePausePushed);
  EXPECT_EQ(PressedPlayPauseFace(kEngineHosted, true), kPlayPausePausePushedHosted);
  EXPECT_TRUE(ReleasePlays(kPlayPausePlayPushed));
  EXPECT_FALSE(ReleasePlays(kPlayPausePausePushed));
  EXPECT_FALSE(ReleasePlays(kPlayPausePausePushedHosted));
}

TEST(PanelRules, ThumbStaysInsideTheBar) {
  // Bar 57..263, thumb 20 wide.
  EXPECT_EQ(ThumbLeftForPointer(10, 57, 263, 20), 57);
  EXPECT_EQ(ThumbLeftForPointer(150, 57, 263, 20), 140);
  EXPECT_EQ(ThumbLeftForPointer(1000, 57, 263, 20), 243) << "dragged past the end, it stays at the end";
  EXPECT_EQ(ThumbLeftForProgress(0, 57, 263, 20), 57);
  EXPECT_EQ(ThumbLeftForProgress(500, 57, 263, 20), 243);
  EXPECT_EQ(ThumbPosition(243, 57), 186);
}

}  // namespace
}  // namespace crv
