#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "survey/preview_data.h"

namespace dorvane {

// `count` Wenner-like data over `lines` lines of a long profile (each line
// starts where the previous one ends), levels down to where the line runs
// out, a smooth apparent resistivity with some noise.
inline PreviewData SyntheticPreviewData(std::size_t count, std::uint32_t lines,
                                        std::uint32_t seed = 1) {
  PreviewData data;
  data.Reserve(count);
  SurveyReport report;
  const double spacing = 2;
  const std::size_t perLine = (count + lines - 1) / lines;
  const std::int32_t electrodes = 4 + static_cast<std::int32_t>(std::sqrt(perLine * 6.0));
  std::uint32_t random = seed;
  std::size_t made = 0;
  for (std::uint32_t line = 0; line < lines; ++line) {
    InputSummary input;
    input.path =
        u"D:/测线/line" + std::u16string(1, static_cast<char16_t>(u'A' + line % 26)) + u".dat";
    input.row = line;
    input.readable = true;
    input.spacing = spacing;
    const double start = line * (electrodes - 1) * spacing;
    input.electrodeMin = start;
    input.electrodeMax = start + (electrodes - 1) * spacing;
    report.inputs.push_back(input);
    std::uint64_t fileLine = 10;
    for (std::int32_t n = 1; made < count && fileLine - 10 < perLine; ++n) {
      const std::int32_t positions = std::max(electrodes - 3 * n, 8);
      for (std::int32_t k = 0; k < positions && made < count && fileLine - 10 < perLine; ++k) {
        PlacedDatum placed;
        placed.datum.input = line;
        placed.datum.line = fileLine++;
        const double a = n * spacing, first = start + k * spacing;
        for (std::int32_t e = 0; e < 4; ++e) {
          placed.datum.electrodes[e].present = true;
          placed.datum.electrodes[e].x = first + e * a;
        }
        placed.x = first + 1.5 * a;
        placed.depth = 0.519 * a;
        random = random * 1664525u + 1013904223u;
        const double noise = (random >> 8) / double(1 << 24) - 0.5;
        placed.datum.value =
            80 * std::exp(std::sin(placed.x / 90) + placed.depth / 40 + 0.3 * noise);
        data.Accept(placed);
        ++made;
      }
    }
  }
  data.SetReport(std::move(report));
  return data;
}

}  // namespace dorvane
