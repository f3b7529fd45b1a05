// Batch arithmetic, the progress procedure's messages, file specifications and the open
// dialog's selection.
#include <gtest/gtest.h>

#include "converter/batch_plan.h"
#include "converter/file_list.h"
#include "converter/movie_engine.h"

using namespace conv;

TEST(ConverterBatchPlan, ThreeFilesShareTheRangeInEqualSteps) {
  BatchPlan plan = PlanBatch(3, 3);
  EXPECT_EQ(plan.count, 3);
  EXPECT_EQ(plan.step, 10922);
  EXPECT_EQ(plan.rangeMax, 32766);
  EXPECT_EQ(ProgressBase(plan, 2), 21844);
  EXPECT_EQ(ProgressPosition(ProgressBase(plan, 2), plan.step, 0.5), 21844 + 5461);
  EXPECT_EQ(ProgressPosition(ProgressBase(plan, 2), plan.step, 1.0), 32766);
}

TEST(ConverterBatchPlan, OneBatchTakesAtMost32767Files) {
  BatchPlan plan = PlanBatch(40000, 40000);
  EXPECT_EQ(plan.count, 32767);
  EXPECT_EQ(plan.step, 1);
  EXPECT_EQ(plan.rangeMax, 32767);
  EXPECT_EQ(ProgressBase(plan, 32766), 32766) << "every base fits the 16-bit progress fields";
  plan = PlanBatch(1, 1);
  EXPECT_EQ(plan.step, 32767);
  EXPECT_EQ(plan.rangeMax, 32767);
}

TEST(ConverterBatchPlan, ListsThatDisagreeOrAreEmptyStartNothing) {
  EXPECT_EQ(PlanBatch(3, 2).count, 0);
  EXPECT_EQ(PlanBatch(0, 0).count, 0);
}

TEST(ConverterProgressProc, ReactsOnlyToTheExportOperation) {
  EXPECT_FALSE(MapProgressMessage(kProgressOpen, 11, 0).call);
  ProgressCall open = MapProgressMessage(kProgressOpen, kProgressOpExportMovie, 0);
  EXPECT_TRUE(open.call);
  EXPECT_EQ(open.x, -1.0);
  EXPECT_EQ(MapProgressMessage(kProgressUpdatePercent, kProgressOpExportMovie, 0x8000).x, 0.5);
  EXPECT_EQ(MapProgressMessage(kProgressUpdatePercent, kProgressOpExportMovie, 0x10000).x, 1.0);
  EXPECT_EQ(MapProgressMessage(kProgressUpdatePercent, kProgressOpExportMovie, 0x10001).x, 0.0)
      << "a percentage out of range counts as nothing done";
  EXPECT_EQ(MapProgressMessage(kProgressUpdatePercent, kProgressOpExportMovie, -5).x, 0.0);
  EXPECT_EQ(MapProgressMessage(kProgressClose, kProgressOpExportMovie, 0x10000).x, -2.0);
  EXPECT_EQ(MapProgressMessage(7, kProgressOpExportMovie, 0).x, -2.0);
}

TEST(ConverterFileSpec, HoldsUpTo254Characters) {
  FileSpec spec;
  EXPECT_TRUE(MakeFileSpec(u16(254, u'a'), &spec));
  EXPECT_EQ(spec.length, 254);
  EXPECT_EQ(spec.volume, 0);
  EXPECT_EQ(spec.parent, 0);
  EXPECT_EQ(spec.Path(), u16(254, u'a'));
  EXPECT_FALSE(MakeFileSpec(u16(255, u'a'), &spec));
  EXPECT_FALSE(MakeFileSpec(u"", &spec));
}

TEST(ConverterOpenSelection, OneFileOrAFolderWithNames) {
  const char16_t one[] = u"C:\\v\\clip.avi\0";
  EXPECT_EQ(SelectedFiles(one, sizeof one / 2), (std::vector<u16>{u"C:\\v\\clip.avi"}));
  const char16_t many[] = u"C:\\v\0a.mov\0b.avi\0\0";
  EXPECT_EQ(SelectedFiles(many, sizeof many / 2), (std::vector<u16>{u"C:\\v\\a.mov", u"C:\\v\\b.avi"}));
  const char16_t root[] = u"C:\\\0a.mov\0b.mov\0\0";
  EXPECT_EQ(SelectedFiles(root, sizeof root / 2), (std::vector<u16>{u"C:\\a.mov", u"C:\\b.mov"}));
  const char16_t unterminated[] = {u'C', u':', u'\\', u'x'};
  EXPECT_EQ(SelectedFiles(unterminated, 4), (std::vector<u16>{u"C:\\x"}));
  EXPECT_TRUE(SelectedFiles(u"", 1).empty());
}
