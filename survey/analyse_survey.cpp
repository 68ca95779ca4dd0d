#include <algorithm>
#include <cmath>
#include <cstring>
#include <future>
#include <optional>
#include <utility>
#include <vector>

#include "data/data_block.h"
#include "data/decimal.h"
#include "data/windows_of_file.h"
#include "platform/guarded_read.h"
#include "platform/mapped_file.h"
#include "survey/check_messages.h"
#include "survey/duplicate_keys.h"
#include "survey/median_depth.h"
#include "survey/rows_ahead.h"
#include "survey/survey.h"
#include "survey/survey_file.h"

namespace dorvane {

bool SurveyReport::HasErrors() const {
  return std::any_of(findings.begin(), findings.end(),
                     [](const Finding& f) { return f.level == FindingLevel::Error; });
}

namespace {

namespace text = check_messages;

constexpr double kInfinity = INFINITY;

// Rows are read a batch at a time inside ReadGuarded and used outside it, so that
// nothing the sink or the checks do runs where a failed read would abandon it.
constexpr std::size_t kBatch = 512;

// Files up to this size are mapped whole while they are read.
constexpr std::size_t kKeptMappedBytes = 16u << 20;

// Where a row's line goes: local position x becomes origin + sign * x along the
// profile (modes 0 and 1) or along the line's direction in plan (mode 2).
struct Placement {
  double origin = 0;
  double sign = 1;
  bool alongY = false;       // mode 2: the line runs in the Y direction
  double perpendicular = 0;  // mode 2: the line's other plan coordinate
  double Along(double local) const { return origin + sign * local; }
};

Placement PlacementOf(MergeMode mode, const InputFileRow& row) {
  Placement placement;
  if (mode == MergeMode::LongProfileMerge) return placement;
  // As the inversion programs read the script's texts: the number they start with.
  const double x = ReadDecimalPrefix(row.firstElectrodeX).value;
  const double y = ReadDecimalPrefix(row.firstElectrodeY).value;
  placement.sign = row.lineSign == 1 ? -1 : 1;
  placement.origin = x;
  if (mode == MergeMode::CollateScript) {
    placement.alongY = row.lineDirection == 1;
    placement.origin = placement.alongY ? y : x;
    placement.perpendicular = placement.alongY ? x : y;
  }
  return placement;
}

// Topography: linear between points, unknown beyond them.
class Surface {
 public:
  Surface() = default;
  explicit Surface(std::vector<SurfacePoint> points) : points_(std::move(points)) {
    std::stable_sort(points_.begin(), points_.end(),
                     [](const SurfacePoint& a, const SurfacePoint& b) { return a.x < b.x; });
  }
  bool empty() const { return points_.empty(); }
  double front() const { return points_.front().x; }
  double back() const { return points_.back().x; }
  double At(double x) const {
    if (points_.empty() || !(x >= points_.front().x) || !(x <= points_.back().x)) return kNoValue;
    const auto after = std::upper_bound(points_.begin(), points_.end(), x,
                                        [](double v, const SurfacePoint& p) { return v < p.x; });
    if (after == points_.end()) return points_.back().z;
    const SurfacePoint& b = *after;
    const SurfacePoint& a = *(after - 1);
    return a.z + (b.z - a.z) * (x - a.x) / (b.x - a.x);
  }

 private:
  std::vector<SurfacePoint> points_;
};

// A finding that repeats line after line, reported once per input.
struct Tally {
  std::uint64_t count = 0;
  std::uint64_t firstLine = 0;
  double from = kInfinity, to = -kInfinity;
  void Add(std::uint64_t line, double x0 = kNoValue, double x1 = kNoValue) {
    if (count++ == 0) firstLine = line;
    // Comparisons, not fmin/fmax: this runs for every datum of an off-grid line.
    for (const double x : {x0, x1}) {
      if (!std::isfinite(x)) continue;
      if (x < from) from = x;
      if (x > to) to = x;
    }
  }
};

// The plotted position: the mean of the current pair's and the potential pair's
// midpoints, a single electrode standing for its pair.
double PlottedX(const std::array<Electrode, 4>& e) {
  auto middle = [](const Electrode& a, const Electrode& b) {
    if (a.present && b.present) return (a.x + b.x) / 2;
    return a.present ? a.x : b.present ? b.x : kNoValue;
  };
  const double current = middle(e[kC1], e[kC2]);
  const double potential = middle(e[kP1], e[kP2]);
  if (std::isnan(current)) return potential;
  if (std::isnan(potential)) return current;
  return (current + potential) / 2;
}

// Where the merge's own reader finds a file's data lines.
struct MergeView {
  bool opened = false;
  bool read = false;
  SystemError error;
  DataBlock block;
  std::int32_t count = 0;
  bool crLf = false;  // the first line ends in CR LF
};

MergeView ViewAsMerge(const MappedFile& file, bool dropBehind = true) {
  const std::span<const std::uint8_t> content = file.content();
  MergeView view;
  view.opened = true;
  view.read = ReadGuarded(
      [&] {
        WindowsOfFile windows(file, dropBehind);
        view.count = LocateDataBlock(content.data(), content.size(), view.block, windows);
        const auto* lf =
            static_cast<const std::uint8_t*>(std::memchr(content.data(), '\n', content.size()));
        view.crLf = lf != nullptr && lf > content.data() && lf[-1] == '\r';
      },
      view.error);
  return view;
}

// A general array with x-location 2 gives distances along the surface, and its
// topography section horizontal positions: the two do not compare.
bool PositionsAreHorizontal(const SurveyHeader& header) {
  return header.arrayType != kGeneralArray || header.xLocation < 2;
}

double MeanZ(const std::array<Electrode, 4>& e) {
  double sum = 0;
  int count = 0;
  for (const Electrode& electrode : e)
    if (electrode.present && std::isfinite(electrode.z)) sum += electrode.z, ++count;
  return count > 0 ? sum / count : kNoValue;
}

// The nearest integer, without a call into the maths library: this runs for
// every electrode.
double Nearest(double value) {
  constexpr double kShift = 0x1.8p52;
  return std::fabs(value) < 0x1p51 ? (value + kShift) - kShift : value;
}

// In units of 1 / `perUnit`; a product, not a quotient, as it runs for every electrode.
std::int64_t Quantize(double value, double perUnit) {
  const double q = Nearest(value * perUnit);
  return std::fabs(q) < 9e18 ? static_cast<std::int64_t>(q) : 0;
}

// Minimum and maximum where "no value yet" is NaN.
double Lower(double current, double value) {
  return !(current <= value) ? value : current;
}
double Higher(double current, double value) {
  return !(current >= value) ? value : current;
}

struct Extent {
  double low = kInfinity, high = -kInfinity;
  void Add(double v) {
    if (v < low) low = v;
    if (v > high) high = v;
  }
};

struct DataTallies {
  Tally unreadable, badValues, offGrid, disagreeing;
  std::uint64_t duplicates = 0;
};

// Index-based rows repeat a few (a, n): within an input, whose array type fixes
// the shape, each is solved once.
class RowDepths {
 public:
  void Reset() { entries_.fill(Entry{}); }
  double Depth(const DataRow& row, MedianDepthCache& shapes) {
    if (!(row.a > 0)) return shapes.Depth(row.datum.electrodes);
    std::uint64_t a, n;
    std::memcpy(&a, &row.a, sizeof a);
    std::memcpy(&n, &row.n, sizeof n);
    Entry& entry = entries_[MixKey(a, static_cast<std::int64_t>(n)) % entries_.size()];
    if (entry.a != row.a || entry.n != row.n)
      entry = {row.a, row.n, shapes.Depth(row.datum.electrodes)};
    return entry.depth;
  }

 private:
  struct Entry {
    double a = 0, n = 0, depth = 0;
  };
  std::array<Entry, 256> entries_{};
};

class SurveyAnalysis {
 public:
  SurveyAnalysis(const MergeJob& job, const TopographyTable* table, DatumSink* sink)
      : job_(job),
        mode_(job.mode()),
        sink_(sink),
        placed_(kBatch),
        keys_(kBatch),
        cells_(kBatch),
        lookUp_(kBatch) {
    if (mode_ == MergeMode::LongProfileMerge && job.withTopography() && table != nullptr)
      ReadTable(*table);
  }

  SurveyReport Run() {
    const std::vector<InputFileRow>& rows = job_.rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (!rows[i].inputPath.empty()) AnalyseInput(rows[i], static_cast<std::uint32_t>(i));
    CheckSpans();
    if (mode_ == MergeMode::LongProfileMerge && !surface_.empty()) CheckSurveyTopography();
    std::stable_sort(report_.findings.begin(), report_.findings.end(),
                     [](const Finding& a, const Finding& b) {
                       return std::pair(a.input, a.line) < std::pair(b.input, b.line);
                     });
    return std::move(report_);
  }

 private:
  struct Reference {
    std::uint32_t input = 0;
    SurveyHeader header;
  };

  void Add(std::string code, FindingLevel level, std::int32_t input, std::uint64_t line,
           std::u16string message, double from = kNoValue, double to = kNoValue) {
    Finding finding;
    finding.code = std::move(code);
    finding.level = level;
    finding.input = input;
    finding.line = line;
    finding.message = std::move(message);
    finding.xFrom = from;
    finding.xTo = to;
    report_.findings.push_back(std::move(finding));
  }
  void Warn(std::string code, std::uint32_t input, std::uint64_t line, std::u16string message,
            double from = kNoValue, double to = kNoValue) {
    Add(std::move(code), FindingLevel::Warning, static_cast<std::int32_t>(input), line,
        std::move(message), from, to);
  }
  void Fail(std::string code, std::uint32_t input, std::uint64_t line, std::u16string message) {
    Add(std::move(code), FindingLevel::Error, static_cast<std::int32_t>(input), line,
        std::move(message));
  }
  void NotRead(std::uint32_t input, SystemError error) {
    report_.inputs[input].readable = false;
    Fail("not-read", input, 0, text::NotRead(SystemErrorText(error)));
  }
  double Tolerance() const { return reference_ ? reference_->header.spacing * 0.01 : 1e-9; }

  void ReadTable(const TopographyTable& table) {
    std::vector<SurfacePoint> points;
    const std::int32_t rows = table.RowCount();
    bool orderReported = false;
    for (std::int32_t row = 1; row < rows; ++row) {
      const std::u16string x = table.CellText(row, 1);
      const std::u16string z = table.CellText(row, 2);
      if (x.empty() || z.empty()) continue;
      const SurfacePoint point{ReadDecimalPrefix(x).value, ReadDecimalPrefix(z).value};
      if (!points.empty() && !(point.x > points.back().x) && !orderReported) {
        orderReported = true;
        Add("topography-order", FindingLevel::Warning, -1, 0, text::TopographyOrder(row),
            points.back().x, point.x);
      }
      points.push_back(point);
    }
    report_.surface = points;
    surface_ = Surface(std::move(points));
    surfaceFromTable_ = true;
  }

  // The topography section of `file`, placed as the input's data are.
  bool ReadSection(const MappedFile& file, std::uint32_t input, std::vector<SurfacePoint>& points) {
    TopographySection section;
    SystemError error;
    const std::span<const std::uint8_t> content = file.content();
    const bool read = ReadGuarded(
        [&] {
          WindowsOfFile windows(file);
          SurveyFileReader reader(content, &windows);
          SurveyHeader header;
          if (reader.ReadHeader(header).kind == HeaderProblem::Kind::None)
            reader.ReadTopography(section);
        },
        error);
    if (!read) {
      NotRead(input, error);
      return false;
    }
    for (std::size_t i = 0; i < section.points.size(); ++i) {
      const TopographyPoint& point = section.points[i];
      if (i > 0 && !(point.x > section.points[i - 1].x)) {
        Warn("topography-order", input, point.line, text::TopographyOrder(0),
             section.points[i - 1].x, point.x);
        break;
      }
    }
    if (section.unreadableLine != 0)
      Fail("unreadable-line", input, section.unreadableLine, text::UnreadableTopography());
    points.clear();
    for (const TopographyPoint& point : section.points) points.push_back({point.x, point.z});
    return true;
  }

  void CompareHeaders(std::uint32_t input, const SurveyHeader& h, bool complete) {
    if (!reference_) {
      if (complete) reference_ = Reference{input, h};
      return;
    }
    const SurveyHeader& r = reference_->header;
    const std::uint32_t other = reference_->input + 1;
    if (h.arrayType != r.arrayType) {
      Fail("array-mismatch", input, h.arrayTypeLine,
           text::ArrayMismatch(other, r.arrayType, h.arrayType, mode_));
      if (!complete) return;
    } else if (!complete) {
      return;
    } else {
      if (h.measurement != r.measurement)
        Fail("measurement-mismatch", input, h.measurementLine,
             text::MeasurementMismatch(other, r.measurement, h.measurement, mode_));
      if (h.xLocation != r.xLocation)
        Fail("x-location-mismatch", input, h.xLocationLine,
             text::XLocationMismatch(other, r.xLocation, h.xLocation, mode_));
    }
    if (h.ip != r.ip)
      Fail("ip-mismatch", input, h.ipLine, text::IpMismatch(other, r.ip, h.ip, mode_));
    if (h.errors != r.errors)
      Fail("error-mismatch", input, h.ipLine,
           text::ErrorColumnMismatch(other, r.errors, h.errors, mode_));
    if (std::fabs(h.spacing - r.spacing) > 1e-9 * std::fmax(h.spacing, r.spacing))
      Warn("spacing-mismatch", input, 2, text::SpacingMismatch(other, r.spacing, h.spacing));
  }

  void AnalyseInput(const InputFileRow& row, std::uint32_t rowIndex) {
    const auto input = static_cast<std::uint32_t>(report_.inputs.size());
    InputSummary& added = report_.inputs.emplace_back();
    added.path = row.inputPath;
    added.row = rowIndex;
    const MappedFile file(row.inputPath, MappedFile::Pages::InWindows);
    if (!file.isOpen()) {
      NotRead(input, file.error());
      return;
    }
    report_.inputs[input].readable = true;

    const std::span<const std::uint8_t> content = file.content();
    // Mode 0 reads the file twice at once (below); a file that is small beside
    // the memory a survey's check holds anyway stays mapped for both.
    const bool keptMapped =
        mode_ == MergeMode::LongProfileMerge && content.size() <= kKeptMappedBytes;
    WindowsOfFile windows(file, !keptMapped);
    SurveyFileReader reader(content, &windows);
    SurveyHeader header;
    HeaderProblem problem;
    SystemError error;
    if (!ReadGuarded([&] { problem = reader.ReadHeader(header); }, error)) {
      NotRead(input, error);
      return;
    }
    report_.inputs[input].arrayType = header.arrayType;
    report_.inputs[input].spacing = header.spacing;
    if (problem.kind == HeaderProblem::Kind::Unreadable) {
      Fail("unreadable-line", input, problem.line, text::UnreadableHeader(problem.what));
      return;
    }
    const bool complete = problem.what != HeaderProblem::What::UnknownArray;
    CompareHeaders(input, header, complete);
    if (problem.kind == HeaderProblem::Kind::Unsupported) {
      Warn("unsupported", input, problem.line, text::Unsupported(problem.what, header.arrayType));
      return;
    }

    const Placement placement = PlacementOf(mode_, row);
    // The surface this input's data stand on, in the file's own positions.
    Surface own;
    const Surface* surface = &surface_;
    if (mode_ != MergeMode::LongProfileMerge || (!surfaceFromTable_ && !sectionTaken_)) {
      std::vector<SurfacePoint> points;
      if (!ReadSection(file, input, points)) return;
      if (mode_ == MergeMode::LongProfileMerge) {
        sectionTaken_ = true;
        surfaceOwner_ = input;
        sectionComparable_ = PositionsAreHorizontal(header);
        report_.surface = points;
        surface_ = Surface(points);
      } else {
        if (mode_ == MergeMode::ConcatenationScript)
          for (const SurfacePoint& p : points)
            report_.surface.push_back({placement.Along(p.x), p.z});
        own = Surface(std::move(points));
        surface = &own;
      }
    }

    // Mode 0: the merge's own pass over the file runs beside the reading, on
    // the same mapping where it stays, else on a mapping of its own, so that
    // neither drops the pages the other reads.
    std::future<MergeView> mergeView;
    if (keptMapped)
      mergeView = std::async(std::launch::async, [&file] { return ViewAsMerge(file, false); });
    else if (mode_ == MergeMode::LongProfileMerge)
      mergeView = std::async(std::launch::async, [path = row.inputPath] {
        const MappedFile own(path, MappedFile::Pages::InWindows);
        return own.isOpen() ? ViewAsMerge(own) : MergeView{};
      });
    ReadData(reader, header, input, placement, *surface, content.size(), error);
    if (error.code != 0) {
      NotRead(input, error);
      return;
    }
    if (reader.rowsRead() != static_cast<std::uint64_t>(header.declaredCount))
      Warn("count-mismatch", input, header.countLine,
           text::CountMismatch(header.declaredCount, reader.rowsRead()));
    if (mode_ == MergeMode::LongProfileMerge) {
      MergeView view = mergeView.get();
      if (!view.opened) view = ViewAsMerge(file);
      if (!CompareWithMerge(file, view, input, reader.rowsRead())) return;
    }
    const InputSummary& summary = report_.inputs[input];
    if (mode_ != MergeMode::LongProfileMerge && !own.empty() && summary.dataCount > 0 &&
        PositionsAreHorizontal(header)) {
      // Within the file's own positions: the span is placed, the surface is not.
      const double a = (summary.electrodeMin - placement.origin) * placement.sign;
      const double b = (summary.electrodeMax - placement.origin) * placement.sign;
      CheckCoverage(static_cast<std::int32_t>(input), own, std::fmin(a, b), std::fmax(a, b),
                    placement);
    }
  }

  // The merge copies the lines its own reader finds, which need CR LF line ends
  // and stop at a line with a letter: says so where that is not every data row.
  // False when the file could not be read.
  bool CompareWithMerge(const MappedFile& file, const MergeView& view, std::uint32_t input,
                        std::uint64_t rows) {
    if (!view.read) {
      NotRead(input, view.error);
      return false;
    }
    if (view.count <= 1) {
      Warn("merge-skips", input, 0, text::MergeSkips(view.crLf));
      return true;
    }
    if (static_cast<std::uint64_t>(view.count) >= rows) return true;
    // The line the merge stops at.
    const std::span<const std::uint8_t> content = file.content();
    std::uint64_t endLine = 0;
    SystemError error;
    const bool read = ReadGuarded(
        [&] {
          endLine = 1 + static_cast<std::uint64_t>(
                            std::count(content.begin(), content.begin() + view.block.end, '\n'));
        },
        error);
    if (!read) {
      NotRead(input, error);
      return false;
    }
    Warn("merge-drops-lines", input, endLine,
         text::MergeDropsLines(static_cast<std::uint64_t>(view.count), rows));
    return true;
  }

  // Reads, places and checks every data row of an input, handing each to the sink.
  void ReadData(SurveyFileReader& reader, const SurveyHeader& header, std::uint32_t input,
                const Placement& placement, const Surface& surface, std::size_t fileSize,
                SystemError& error) {
    DataTallies tallies;
    ratios_.clear();
    // The declared count, within what the file's size allows; room for a line
    // of 32 bytes whatever it declares.
    const auto declared = static_cast<std::size_t>(header.declaredCount);
    duplicates_.Reset(std::min(std::max(declared, fileSize / 32), fileSize / 6));
    rowDepths_.Reset();
    if (mode_ == MergeMode::CollateScript) gridOrigin_.reset();
    Extent local;
    RowsAhead ahead(reader, kBatch);
    for (;;) {
      const std::span<const DataRow> rows = ahead.Next(error);
      const std::size_t count = rows.size();
      if (count == 0) break;
      std::size_t placed = 0;
      for (const DataRow& row : rows) {
        if (row.readable)
          PlaceRow(row, input, placement, surface, header, placed_[placed++], local, tallies);
        else
          tallies.unreadable.Add(row.datum.line);
      }
      // The table's memory asked for again a few data ahead of each lookup: the
      // batch's own traffic may have pushed it out since it was placed.
      constexpr std::size_t kAhead = 16;
      for (std::size_t i = 0; i < placed; ++i) {
        if (i + kAhead < placed && lookUp_[i + kAhead])
          duplicates_.Prefetch(keys_[i + kAhead], cells_[i + kAhead]);
        CheckRepeat(placed_[i], i, tallies);
      }
      if (sink_ != nullptr) sink_->AcceptBatch({placed_.data(), placed});
    }
    InputSummary& s = report_.inputs[input];
    if (mode_ == MergeMode::CollateScript && s.dataCount > 0) {
      const double a = placement.Along(local.low), b = placement.Along(local.high);
      s.planX0 = placement.alongY ? placement.perpendicular : a;
      s.planY0 = placement.alongY ? a : placement.perpendicular;
      s.planX1 = placement.alongY ? placement.perpendicular : b;
      s.planY1 = placement.alongY ? b : placement.perpendicular;
    }
    ReportTallies(input, header, tallies);
    // Only the previous input's keys are kept: memory stays within two inputs'
    // data whatever the survey's size, and roll-along repeats lie between
    // neighbouring rows.
    duplicates_.Seal();
    previousInput_ = input;
    const double tolerance = Tolerance();
    previousSpan_ = {s.electrodeMin - tolerance, s.electrodeMax + tolerance};
    if (s.dataCount == 0) previousSpan_ = {};
  }

  // Places a row and checks it, all but its repeats of the previous input's
  // data: those are looked up once the batch is placed, their memory asked for
  // meanwhile. One pass over the electrodes, as this runs for every datum.
  void PlaceRow(const DataRow& row, std::uint32_t input, const Placement& placement,
                const Surface& surface, const SurveyHeader& header, PlacedDatum& placed,
                Extent& local, DataTallies& tallies) {
    // Every field is set below: no clearing first.
    placed.datum = row.datum;
    placed.datum.input = input;
    placed.y = kNoValue;
    auto& e = placed.datum.electrodes;
    const double plotted = PlottedX(e);
    placed.depth = rowDepths_.Depth(row, shapeDepths_);
    // Index-based rows give no z.
    const double ground = !surface.empty() ? surface.At(plotted) : row.a > 0 ? kNoValue : MeanZ(e);
    placed.elevation = ground - placed.depth;
    const double along = placement.Along(plotted);
    placed.x = along;
    if (mode_ == MergeMode::CollateScript) {
      placed.x = placement.alongY ? placement.perpendicular : along;
      placed.y = placement.alongY ? along : placement.perpendicular;
    }

    InputSummary& s = report_.inputs[input];
    ++s.dataCount;
    s.xMin = Lower(s.xMin, placed.x);
    s.xMax = Higher(s.xMax, placed.x);
    if (std::isfinite(placed.depth)) s.depthMax = Higher(s.depthMax, placed.depth);
    const double value = placed.datum.value;
    const bool finite = std::isfinite(value);
    if (finite && value > 0) {
      s.valueMin = Lower(s.valueMin, value);
      s.valueMax = Higher(s.valueMax, value);
    }

    // Keys: positions in thousandths of the spacing.
    const double spacing = reference_->header.spacing;
    const double perUnit = 1000 / spacing;
    const double perSpacing = 1 / spacing;
    std::uint64_t key = 0;
    std::int64_t cell = INT64_MAX;
    Extent off, span;
    for (int role = 0; role < 4; ++role) {
      Electrode& electrode = e[role];
      if (!electrode.present) continue;
      local.Add(electrode.x);
      const double x = placement.Along(electrode.x);
      electrode.x = x;
      span.Add(x);
      if (!gridOrigin_) gridOrigin_ = x;
      const double steps = (x - *gridOrigin_) * perSpacing;
      if (std::fabs(steps - Nearest(steps)) > 0.01) off.Add(x);
      const std::int64_t quantized = Quantize(x, perUnit);
      // From the quantized positions, so that a repeat falls in the same cell.
      cell = std::min(cell, quantized >= 0 ? quantized / 1000 : (quantized - 999) / 1000);
      key = MixKey(key ^ static_cast<std::uint64_t>(role) << 60, quantized);
      if (electrode.across != 0) key = MixKey(key, Quantize(electrode.across, perUnit));
    }
    // Placed positions are never NaN: the span's ends are the electrodes' extremes.
    if (span.low <= span.high) {
      s.electrodeMin = Lower(s.electrodeMin, span.low);
      s.electrodeMax = Higher(s.electrodeMax, span.high);
    }
    if (header.measurement == 1 ? !finite : !(finite && value > 0))
      tallies.badValues.Add(placed.datum.line,
                            mode_ == MergeMode::CollateScript ? PlottedX(e) : along);
    if (off.low <= off.high) tallies.offGrid.Add(placed.datum.line, off.low, off.high);
    if (mode_ == MergeMode::CollateScript) {
      key = MixKey(key, placement.alongY);
      key = MixKey(key, Quantize(placement.perpendicular, perUnit));
    }
    const auto at = static_cast<std::size_t>(&placed - placed_.data());
    keys_[at] = key;
    cells_[at] = cell;
    // Only a datum within the previous input's electrodes can repeat one of its data.
    lookUp_[at] = finite && span.low >= previousSpan_.low && span.high <= previousSpan_.high;
    if (lookUp_[at]) duplicates_.Prefetch(key, cell);
  }
  void CheckRepeat(const PlacedDatum& placed, std::size_t at, DataTallies& tallies) {
    const double value = placed.datum.value;
    double earlier = 0;
    if (lookUp_[at] && duplicates_.Find(keys_[at], cells_[at], earlier) && std::isfinite(earlier)) {
      ++tallies.duplicates;
      if (earlier != 0) ratios_.push_back(value / earlier);
      if (!(std::fabs(value - earlier) <= 0.1 * std::fabs(earlier))) {
        const double along =
            mode_ == MergeMode::CollateScript ? PlottedX(placed.datum.electrodes) : placed.x;
        tallies.disagreeing.Add(placed.datum.line, along);
      }
    }
    if (std::isfinite(value)) duplicates_.Add(keys_[at], cells_[at], value);
  }

  void ReportTallies(std::uint32_t input, const SurveyHeader& header, DataTallies& t) {
    if (t.unreadable.count > 0)
      Fail("unreadable-line", input, t.unreadable.firstLine,
           text::UnreadableLines(t.unreadable.count, header.arrayType));
    if (t.badValues.count > 0)
      Warn("bad-value", input, t.badValues.firstLine,
           text::BadValues(t.badValues.count, header.measurement == 1), t.badValues.from,
           t.badValues.to);
    if (t.offGrid.count > 0)
      Warn("off-grid", input, t.offGrid.firstLine,
           text::OffGrid(t.offGrid.count, reference_->header.spacing,
                         mode_ == MergeMode::CollateScript ? input + 1 : reference_->input + 1),
           t.offGrid.from, t.offGrid.to);
    if (t.disagreeing.count > 0) {
      std::nth_element(ratios_.begin(), ratios_.begin() + ratios_.size() / 2, ratios_.end());
      const double median = ratios_.empty() ? kNoValue : ratios_[ratios_.size() / 2];
      Warn("duplicate-disagree", input, t.disagreeing.firstLine,
           text::DuplicateDisagree(*previousInput_ + 1, t.disagreeing.count, t.duplicates, median),
           t.disagreeing.from, t.disagreeing.to);
    }
  }

  void CheckCoverage(std::int32_t input, const Surface& surface, double from, double to,
                     const Placement& placement) {
    const double tolerance = Tolerance();
    if (surface.front() <= from + tolerance && surface.back() >= to - tolerance) return;
    const double a = placement.Along(surface.front()), b = placement.Along(surface.back());
    const double c = placement.Along(from), d = placement.Along(to);
    Add("topography-short", FindingLevel::Warning, input, 0,
        text::TopographyShort(std::fmin(a, b), std::fmax(a, b), std::fmin(c, d), std::fmax(c, d)),
        std::fmin(c, d), std::fmax(c, d));
  }

  void CheckSurveyTopography() {
    double from = kInfinity, to = -kInfinity;
    for (const InputSummary& s : report_.inputs)
      if (s.dataCount > 0)
        from = std::fmin(from, s.electrodeMin), to = std::fmax(to, s.electrodeMax);
    if (from > to || (!surfaceFromTable_ && !sectionComparable_)) return;
    CheckCoverage(surfaceFromTable_ ? -1 : static_cast<std::int32_t>(surfaceOwner_), surface_, from,
                  to, Placement{});
  }

  // Lines on top of each other, and stretches no line measures.
  void CheckSpans() {
    std::vector<std::uint32_t> placed;
    for (std::uint32_t i = 0; i < report_.inputs.size(); ++i)
      if (report_.inputs[i].dataCount > 0) placed.push_back(i);
    for (std::size_t jj = 0; jj < placed.size(); ++jj) {
      const InputSummary& j = report_.inputs[placed[jj]];
      for (std::size_t ii = 0; ii < jj; ++ii) {
        const InputSummary& i = report_.inputs[placed[ii]];
        if (mode_ == MergeMode::CollateScript && !SameLineInPlan(i, j)) continue;
        const double from = std::fmax(i.electrodeMin, j.electrodeMin);
        const double to = std::fmin(i.electrodeMax, j.electrodeMax);
        const double shorter =
            std::fmin(i.electrodeMax - i.electrodeMin, j.electrodeMax - j.electrodeMin);
        if (!(shorter > 0) || !(to - from >= 0.9 * shorter)) continue;
        Warn("same-place", placed[jj], 0,
             text::SamePlace(placed[ii] + 1, (to - from) / shorter, from, to), from, to);
        break;
      }
    }
    if (mode_ == MergeMode::CollateScript || !reference_) return;
    std::vector<std::uint32_t> byStart = placed;
    std::stable_sort(byStart.begin(), byStart.end(), [&](std::uint32_t a, std::uint32_t b) {
      return report_.inputs[a].electrodeMin < report_.inputs[b].electrodeMin;
    });
    const double spacing = reference_->header.spacing;
    double covered = -kInfinity;
    for (const std::uint32_t k : byStart) {
      const InputSummary& s = report_.inputs[k];
      if (covered > -kInfinity && s.electrodeMin - covered > 2 * spacing + Tolerance())
        Warn("gap", k, 0, text::Gap(covered, s.electrodeMin, spacing), covered, s.electrodeMin);
      covered = std::fmax(covered, s.electrodeMax);
    }
  }

  // Mode 2: two lines run along the same line in plan.
  bool SameLineInPlan(const InputSummary& a, const InputSummary& b) const {
    const bool aAlongY = a.planX0 == a.planX1 && a.planY0 != a.planY1;
    const bool bAlongY = b.planX0 == b.planX1 && b.planY0 != b.planY1;
    if (aAlongY != bAlongY) return false;
    const double across = aAlongY ? a.planX0 - b.planX0 : a.planY0 - b.planY0;
    return std::fabs(across) < Tolerance() * 50;
  }

  const MergeJob& job_;
  const MergeMode mode_;
  DatumSink* const sink_;
  SurveyReport report_;
  std::vector<PlacedDatum> placed_;
  std::vector<std::uint64_t> keys_;
  std::vector<std::int64_t> cells_;
  std::vector<char> lookUp_;
  MedianDepthCache shapeDepths_;
  RowDepths rowDepths_;
  std::optional<Reference> reference_;
  std::optional<double> gridOrigin_;
  Surface surface_;  // mode 0: the table's, or the first file's section
  bool surfaceFromTable_ = false;
  bool sectionTaken_ = false;
  std::uint32_t surfaceOwner_ = 0;
  bool sectionComparable_ = true;
  DuplicateKeys duplicates_;  // the previous input's, and the current input's being added
  std::optional<std::uint32_t> previousInput_;
  Extent previousSpan_;  // empty until an input has data
  std::vector<double> ratios_;
};

}  // namespace

SurveyReport AnalyseSurvey(const MergeJob& job, const TopographyTable* topography,
                           DatumSink* sink) {
  return SurveyAnalysis(job, topography, sink).Run();
}

}  // namespace dorvane
