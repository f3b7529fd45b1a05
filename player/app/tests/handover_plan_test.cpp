#include "player/app/handover.h"

#include <gtest/gtest.h>

using namespace crv;

TEST(HandOver, PlanFollowsKindAndExistence) {
  HandOverPlan jpg = PlanHandOver(u"\\My Documents\\a.jpg", true);
  EXPECT_TRUE(jpg.writeFileName && jpg.writeExtType);
  EXPECT_EQ(jpg.kind, kKindPicture);
  EXPECT_EQ(jpg.message, kMsgOpenImageFile);

  HandOverPlan wmv = PlanHandOver(u"\\a.wmv", true);
  EXPECT_EQ(wmv.kind, kKindMedia);
  EXPECT_EQ(wmv.message, kMsgOpenMediaFile);

  for (HandOverPlan p : {PlanHandOver(u"\\a.m4a", true), PlanHandOver(u"\\missing.jpg", false)}) {
    EXPECT_FALSE(p.writeFileName);
    EXPECT_FALSE(p.writeExtType);
    EXPECT_EQ(p.message, 0u);
  }

  HandOverPlan none = PlanHandOver(u"", false);
  EXPECT_TRUE(none.writeExtType) << "an empty command line clears ExtType";
  EXPECT_EQ(none.kind, kKindNone);
  EXPECT_EQ(none.message, 0u);
}

TEST(HandOver, CommandLinePathDropsOnePairOfEnclosingQuotes) {
  EXPECT_EQ(CommandLinePath(u"\"\\My Documents\\a b.jpg\""), u"\\My Documents\\a b.jpg");
  EXPECT_EQ(CommandLinePath(u"  \\My Documents\\a.jpg \t"), u"\\My Documents\\a.jpg");
  EXPECT_EQ(CommandLinePath(u"\\a.jpg"), u"\\a.jpg");
  EXPECT_EQ(CommandLinePath(u"\"\"x\"\""), u"\"x\"") << "only the outer pair";
  EXPECT_EQ(CommandLinePath(u"\"\\a.jpg"), u"\"\\a.jpg") << "an unmatched quote stays";
  EXPECT_EQ(CommandLinePath(u"\""), u"\"");
  EXPECT_EQ(CommandLinePath(u"   "), u"");
}
