#include "model/merge_job.h"

#include <limits>

namespace dorvane {

MergeJob::MergeJob() : MergeJob(kMaxRows) {}

MergeJob::MergeJob(std::size_t maxRows) : maxRows_(maxRows), rows_(1) {}

MergeJob MergeJob::WithoutRowLimit() {
  return MergeJob(std::numeric_limits<std::size_t>::max());
}

void MergeJob::SelectMode(MergeMode mode) {
  mode_ = mode;
  if (mode != MergeMode::LongProfileMerge) withTopography_ = false;
}

bool MergeJob::SetWithTopography(bool on) {
  if (on && mode_ != MergeMode::LongProfileMerge) return false;
  withTopography_ = on;
  return true;
}

bool MergeJob::AppendRow() {
  if (rows_.size() >= maxRows_) return false;
  InputFileRow added;
  added.firstElectrodeX = rows_.front().firstElectrodeX;
  added.firstElectrodeY = rows_.front().firstElectrodeY;
  rows_.push_back(std::move(added));
  return true;
}

bool MergeJob::RemoveLastRow() {
  if (rows_.size() <= 1) return false;
  rows_.pop_back();
  return true;
}

}  // namespace dorvane
