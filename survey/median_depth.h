#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "survey/survey.h"

namespace dorvane {

// The median depth of investigation of an array on a homogeneous half-space
// (Edwards): the depth z where sum s / sqrt(r^2 + 4 z^2) = G / 2, G = sum s / r,
// over the pairs C1-P1 (+), C1-P2 (-), C2-P1 (-), C2-P2 (+) whose electrodes are
// present. Distances are horizontal (along and across the line): the table
// values are for a flat surface, and the depth is then below the surface at the
// plotted position. NaN when the geometry has none (coinciding electrodes, no
// pair, G = 0).
double SolveMedianDepth(const std::array<Electrode, 4>& electrodes);

// The same, remembered per shape: depth scales with the array's size, and a
// survey repeats a few shapes many times, so each shape is solved once.
class MedianDepthCache {
 public:
  MedianDepthCache();
  double Depth(const std::array<Electrode, 4>& electrodes);

 private:
  struct Entry {
    std::uint32_t present = 0;  // 0: empty
    std::array<double, 8> shape{};
    double depth = 0;  // for a shape of size 1
  };
  std::vector<Entry> entries_;
};

}  // namespace dorvane
