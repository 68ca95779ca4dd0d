#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "data/topography_table.h"
#include "model/merge_job.h"

namespace dorvane {

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// Indexes into Datum::electrodes.
enum ElectrodeRole : int { kC1 = 0, kC2 = 1, kP1 = 2, kP2 = 3 };

struct Electrode {
  bool present = false;  // false: remote, or not part of this array
  double x = 0;          // metres along the line
  double z = kNoValue;   // where the file gives one
  double across = 0;     // metres across the line: equatorial dipole-dipole's offset b
};

// One data line of one input, turned into explicit electrodes.
struct Datum {
  std::uint32_t input = 0;                // index into SurveyReport::inputs
  std::uint64_t line = 0;                 // 1-based line number in its file
  std::array<Electrode, 4> electrodes{};  // C1 C2 P1 P2
  double value = 0;                       // apparent resistivity, or resistance
  double ip = kNoValue;                   // where the file has IP
};

// A datum where the job puts it. Electrode x are placed too: along the long
// profile (modes 0 and 1), along the line's own direction in plan (mode 2).
// In mode 2, x and y are the plotted position in plan. The depth is NaN where
// the electrodes make no array (two of them in one place); the elevation uses
// the topography of the job (mode 0: the grid, else the first file's section;
// modes 1 and 2: each file's own section), else the electrodes' own z.
struct PlacedDatum {
  Datum datum;
  double x = 0;                 // plotted position: mean of the two pairs' midpoints
  double y = kNoValue;          // mode 2: plan y of the plotted position
  double depth = 0;             // median depth of investigation, positive down
  double elevation = kNoValue;  // surface at x minus depth, where topography is known
};

// What one input row came to, after placing.
struct InputSummary {
  std::u16string path;
  std::uint32_t row = 0;  // index of its row in the job
  bool readable = false;
  std::int32_t arrayType = 0;  // as the header says; 0 when not read
  double spacing = 0;
  std::uint64_t dataCount = 0;                              // data lines read and placed
  double xMin = kNoValue, xMax = kNoValue;                  // plotted positions
  double electrodeMin = kNoValue, electrodeMax = kNoValue;  // electrode span, placed
  double depthMax = kNoValue;
  double valueMin = kNoValue, valueMax = kNoValue;  // finite positive values only
  // Mode 2: the line in plan, from its first electrode to its last.
  double planX0 = kNoValue, planY0 = kNoValue, planX1 = kNoValue, planY1 = kNoValue;
};

enum class FindingLevel { Warning, Error };

struct Finding {
  std::string code;  // stable: "array-mismatch", "gap", ...
  FindingLevel level = FindingLevel::Warning;
  std::int32_t input = -1;  // index into SurveyReport::inputs; -1: the survey as a whole
  std::uint64_t line = 0;   // 1-based line in that input's file; 0: the whole file
  std::u16string message;   // for the user, in Chinese
  double xFrom = kNoValue, xTo = kNoValue;  // where along the profile, when it has a place
};

struct SurfacePoint {
  double x = 0;
  double z = 0;
};

struct SurveyReport {
  std::vector<InputSummary> inputs;  // the job's rows that name a file, in row order
  std::vector<Finding> findings;
  std::vector<SurfacePoint> surface;  // the topography used, placed; empty when none

  bool HasErrors() const;
};

// Receives the placed data as they are read, input by input in row order.
class DatumSink {
 public:
  virtual void Accept(const PlacedDatum& datum) = 0;
  // Data in the order read; one by one unless the sink takes them at once.
  virtual void AcceptBatch(std::span<const PlacedDatum> data) {
    for (const PlacedDatum& datum : data) Accept(datum);
  }

 protected:
  ~DatumSink() = default;
};

// Reads every input of `job`, places each datum as the job's mode would and
// checks the join. Codes: errors "array-mismatch", "ip-mismatch",
// "measurement-mismatch", "x-location-mismatch", "error-mismatch" (error
// estimate column in one file only), "unreadable-line", "not-read"; warnings
// "spacing-mismatch", "same-place", "duplicate-disagree", "gap", "off-grid",
// "bad-value", "count-mismatch" (header count differs from the rows),
// "merge-skips" and "merge-drops-lines" (mode 0: the merge's own reader does
// not take the file, or only its first data lines),
// "topography-short", "topography-order", "unsupported". Findings come sorted
// by input (-1 first) and line. Memory does not grow with the number of data. `topography`
// (may be null) is used when the job asks for it; else the first file's own
// topography section, if any.
SurveyReport AnalyseSurvey(const MergeJob& job, const TopographyTable* topography, DatumSink* sink);

}  // namespace dorvane
