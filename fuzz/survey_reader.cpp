// The survey reader on arbitrary bytes: header, every data row, the topography;
// every datum it gives has finite electrodes, rows come in line order, and the
// depth solver takes whatever shape the rows make.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "survey/median_depth.h"
#include "survey/survey_file.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dorvane;
  SurveyFileReader reader({data, size});
  SurveyHeader header;
  const HeaderProblem problem = reader.ReadHeader(header);
  if (problem.kind == HeaderProblem::Kind::Unreadable) return 0;
  static MedianDepthCache depths;
  std::vector<DataRow> rows(7);
  std::uint64_t lastLine = 0;
  for (std::size_t count; (count = reader.ReadRows(rows)) > 0;) {
    for (std::size_t i = 0; i < count; ++i) {
      const DataRow& row = rows[i];
      Require(row.datum.line > lastLine);
      lastLine = row.datum.line;
      if (!row.readable) continue;
      for (const Electrode& e : row.datum.electrodes)
        if (e.present) Require(std::isfinite(e.x) && std::isfinite(e.across));
      const double depth = depths.Depth(row.datum.electrodes);
      Require(std::isnan(depth) || depth >= 0);
    }
  }
  TopographySection section;
  reader.ReadTopography(section);
  for (const TopographyPoint& point : section.points)
    Require(std::isfinite(point.x) && std::isfinite(point.z) && point.line > lastLine);
  return 0;
}
