#include "model/merge_job.h"

namespace dorvane {

MergeJob::MergeJob() : rows_(1) {}

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
  if (rows_.size() >= kMaxRows) return false;
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
