#include "player/base/file_kind.h"

#include <gtest/gtest.h>

using namespace crv;

TEST(FileKind, ThreeListsAndNothingElse) {
  EXPECT_EQ(ClassifyPath(u"\\My Documents\\a.wmv"), kKindMedia);
  EXPECT_EQ(ClassifyPath(u"\\My Documents\\a.M4V"), kKindMedia);
  EXPECT_EQ(ClassifyPath(u"\\a.hvpl"), kKindMedia);
  EXPECT_EQ(ClassifyPath(u"\\pic.JPEG"), kKindPicture);
  EXPECT_EQ(ClassifyPath(u"\\pic.ppm"), kKindPicture);
  EXPECT_EQ(ClassifyPath(u"\\song.m4a"), kKindNone);
  EXPECT_EQ(ClassifyPath(u"\\movies.avi\\clip.avi"), kKindMedia);
  EXPECT_EQ(ClassifyPath(u"\\movies.avi\\notes.txt"), kKindNone);
  EXPECT_EQ(ClassifyPath(u"\\clip.mpg.part"), kKindNone);
  EXPECT_EQ(ClassifyPath(u""), kKindNone);
  EXPECT_EQ(ClassifyGroup(u"\\x.asf"), FileGroup::MediaPlatform);
  EXPECT_EQ(ClassifyGroup(u"\\x.QT"), FileGroup::MediaOwn);
}
