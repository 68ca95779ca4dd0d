#include <gtest/gtest.h>

#include "model/merge_job.h"

namespace dorvane {
namespace {

TEST(MergeJob, FreshJobHoldsOneDefaultRowInLongProfileMode) {
  MergeJob job;
  EXPECT_EQ(job.mode(), MergeMode::LongProfileMerge);
  ASSERT_EQ(job.rows().size(), 1u);
  EXPECT_EQ(job.row(0).inputPath, u"");
  EXPECT_EQ(job.row(0).firstElectrodeX, u"0");
  EXPECT_EQ(job.row(0).firstElectrodeY, u"0");
  EXPECT_EQ(job.row(0).lineSign, 0);
  EXPECT_EQ(job.row(0).lineDirection, 0);
  EXPECT_EQ(job.outputPath(), u"");
  EXPECT_FALSE(job.withTopography());
}

TEST(MergeJob, NewRowCopiesFirstRowCoordinatesButNotSignOrDirection) {
  MergeJob job;
  job.row(0).firstElectrodeX = u"25.5";
  job.row(0).firstElectrodeY = u"7";
  job.row(0).lineSign = 1;
  job.row(0).lineDirection = 1;
  job.row(0).inputPath = u"a.dat";
  ASSERT_TRUE(job.AppendRow());
  const InputFileRow& added = job.row(1);
  EXPECT_EQ(added.firstElectrodeX, u"25.5");
  EXPECT_EQ(added.firstElectrodeY, u"7");
  EXPECT_EQ(added.lineSign, 0);
  EXPECT_EQ(added.lineDirection, 0);
  EXPECT_EQ(added.inputPath, u"");
}

TEST(MergeJob, RowsStayBetweenOneAndThirty) {
  MergeJob job;
  EXPECT_FALSE(job.RemoveLastRow());
  for (std::size_t i = 1; i < MergeJob::kMaxRows; ++i) ASSERT_TRUE(job.AppendRow());
  EXPECT_FALSE(job.AppendRow());
  EXPECT_EQ(job.rows().size(), MergeJob::kMaxRows);
  while (job.RemoveLastRow()) {
  }
  EXPECT_EQ(job.rows().size(), 1u);
}

TEST(MergeJob, ScriptModesClearTopographyAndKeepItClearedOnReturn) {
  for (MergeMode scriptMode : {MergeMode::ConcatenationScript, MergeMode::CollateScript}) {
    MergeJob job;
    ASSERT_TRUE(job.SetWithTopography(true));
    job.SelectMode(scriptMode);
    EXPECT_FALSE(job.withTopography());
    EXPECT_FALSE(job.SetWithTopography(true));
    job.SelectMode(MergeMode::LongProfileMerge);
    EXPECT_FALSE(job.withTopography());
  }
}

TEST(MergeJob, SwitchingModesChangesNoRowField) {
  MergeJob job;
  job.SelectMode(MergeMode::CollateScript);
  job.row(0).firstElectrodeY = u"12";
  job.row(0).lineDirection = 1;
  job.SelectMode(MergeMode::ConcatenationScript);
  job.SelectMode(MergeMode::CollateScript);
  EXPECT_EQ(job.row(0).firstElectrodeY, u"12");
  EXPECT_EQ(job.row(0).lineDirection, 1);
}

}  // namespace
}  // namespace dorvane
