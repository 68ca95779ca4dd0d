#pragma once

#include <cstdint>
#include <vector>

#include "model/merge_job.h"
#include "survey/survey.h"

namespace dorvane {

// The placed data of one survey, kept compactly (22 bytes a datum) so that a
// new layout of the preview (another size, another colouring) never reads the
// files again. Fill it as the sink of AnalyseSurvey, then hand it the report.
class PreviewData final : public DatumSink {
 public:
  explicit PreviewData(MergeMode mode = MergeMode::LongProfileMerge);

  void Accept(const PlacedDatum& placed) override;
  void SetReport(SurveyReport report);

  MergeMode mode() const { return mode_; }
  bool planView() const { return mode_ == MergeMode::CollateScript; }
  const SurveyReport& report() const { return report_; }

  std::size_t size() const { return x_.size(); }
  // Plotted position: along the profile, or plan x in the plan view.
  const std::vector<float>& x() const { return x_; }
  // Pseudo-depth (positive down), or plan y in the plan view.
  const std::vector<float>& depthOrY() const { return depthOrY_; }
  // Surface minus depth; NaN where no topography is known.
  const std::vector<float>& elevation() const { return elevation_; }
  const std::vector<float>& value() const { return value_; }
  const std::vector<std::uint32_t>& line() const { return line_; }
  const std::vector<std::uint16_t>& input() const { return input_; }
  bool hasElevation() const { return elevationCount_ > 0; }

  // Distinct electrode positions along the profile, ascending (none in the
  // plan view, where electrodes lie along each line's own direction).
  std::vector<double> Electrodes() const;

  void Reserve(std::size_t count);

 private:
  void NoteElectrode(double x);
  void InsertElectrode(std::int64_t millimetres);

  MergeMode mode_;
  SurveyReport report_;
  std::vector<float> x_, depthOrY_, elevation_, value_;
  std::vector<std::uint32_t> line_;
  std::vector<std::uint16_t> input_;
  std::size_t elevationCount_ = 0;
  // Electrode positions in millimetres, an open-addressing set; consecutive
  // data share most electrodes, so most repeats stop at the last one seen.
  static constexpr std::int64_t kEmpty = INT64_MIN;
  std::vector<std::int64_t> electrodeSet_;
  std::size_t electrodeCount_ = 0;
  std::int64_t lastElectrode_ = kEmpty;
};

}  // namespace dorvane
