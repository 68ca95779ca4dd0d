#include "survey/preview_data.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace dorvane {

PreviewData::PreviewData(MergeMode mode) : mode_(mode) {}

void PreviewData::Reserve(std::size_t count) {
  x_.reserve(count);
  depthOrY_.reserve(count);
  elevation_.reserve(count);
  value_.reserve(count);
  line_.reserve(count);
  input_.reserve(count);
}

void PreviewData::Accept(const PlacedDatum& placed) {
  const Datum& datum = placed.datum;
  x_.push_back(static_cast<float>(placed.x));
  depthOrY_.push_back(static_cast<float>(planView() ? placed.y : placed.depth));
  const float elevation = planView() ? NAN : static_cast<float>(placed.elevation);
  elevation_.push_back(elevation);
  if (std::isfinite(elevation)) ++elevationCount_;
  value_.push_back(static_cast<float>(datum.value));
  line_.push_back(static_cast<std::uint32_t>(
      std::min<std::uint64_t>(datum.line, std::numeric_limits<std::uint32_t>::max())));
  input_.push_back(static_cast<std::uint16_t>(
      std::min<std::uint32_t>(datum.input, std::numeric_limits<std::uint16_t>::max())));
  if (planView()) return;
  for (const Electrode& electrode : datum.electrodes)
    if (electrode.present) NoteElectrode(electrode.x);
}

void PreviewData::NoteElectrode(double x) {
  if (!std::isfinite(x) || std::abs(x) > 1e12) return;
  const std::int64_t millimetres = std::llround(x * 1000);
  if (millimetres == lastElectrode_) return;
  lastElectrode_ = millimetres;
  if (electrodeSet_.size() < 2 * (electrodeCount_ + 1)) {
    // Rehashes into twice the room, keeping the table at most half full.
    std::vector<std::int64_t> old(std::max<std::size_t>(1024, 4 * electrodeSet_.size()), kEmpty);
    old.swap(electrodeSet_);
    electrodeCount_ = 0;
    for (std::int64_t kept : old)
      if (kept != kEmpty) InsertElectrode(kept);
  }
  InsertElectrode(millimetres);
}

void PreviewData::InsertElectrode(std::int64_t millimetres) {
  const std::size_t mask = electrodeSet_.size() - 1;
  std::size_t slot = static_cast<std::size_t>(millimetres * 0x9E3779B97F4A7C15ull >> 20) & mask;
  while (electrodeSet_[slot] != kEmpty) {
    if (electrodeSet_[slot] == millimetres) return;
    slot = (slot + 1) & mask;
  }
  electrodeSet_[slot] = millimetres;
  ++electrodeCount_;
}

std::vector<double> PreviewData::Electrodes() const {
  std::vector<double> positions;
  positions.reserve(electrodeCount_);
  for (std::int64_t millimetres : electrodeSet_)
    if (millimetres != kEmpty) positions.push_back(millimetres / 1000.0);
  std::sort(positions.begin(), positions.end());
  return positions;
}

void PreviewData::SetReport(SurveyReport report) {
  report_ = std::move(report);
}

}  // namespace dorvane
