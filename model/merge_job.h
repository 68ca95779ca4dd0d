#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dorvane {

enum class MergeMode : std::int32_t {
  LongProfileMerge = 0,
  ConcatenationScript = 1,
  CollateScript = 2,
};

struct InputFileRow {
  std::u16string inputPath;  // empty: every job skips the row
  std::u16string firstElectrodeX = u"0";
  std::u16string firstElectrodeY = u"0";
  std::int32_t lineSign = 0;       // 0 positions increasing, 1 decreasing
  std::int32_t lineDirection = 0;  // 0 X direction, 1 Y direction
};

// What the user has set up when Merge/Create is pressed. The operations keep the
// invariants the dialog relies on: 1 to kMaxRows rows, appended and removed only
// at the end, topography only in the long-profile mode.
class MergeJob {
 public:
  static constexpr std::size_t kMaxRows = 30;
  static constexpr std::size_t kMaxTextUnits = 1023;
  static constexpr std::size_t kMaxOutputPathUnits = 259;

  MergeJob();
  // kMaxRows is the room of the dialog's screen, not a limit of the files: a
  // job set up without the dialog takes any number of rows.
  static MergeJob WithoutRowLimit();

  MergeMode mode() const { return mode_; }
  void SelectMode(MergeMode mode);

  bool withTopography() const { return withTopography_; }
  // Refused (returns false) outside the long-profile mode.
  bool SetWithTopography(bool on);

  const std::vector<InputFileRow>& rows() const { return rows_; }
  InputFileRow& row(std::size_t index) { return rows_.at(index); }
  const InputFileRow& row(std::size_t index) const { return rows_.at(index); }

  // A new row copies the first row's X and Y texts; false when the limit is reached.
  bool AppendRow();
  // The first row is never removed; false when only it is left.
  bool RemoveLastRow();

  const std::u16string& outputPath() const { return outputPath_; }
  void SetOutputPath(std::u16string path) { outputPath_ = std::move(path); }

 private:
  explicit MergeJob(std::size_t maxRows);

  std::size_t maxRows_;
  MergeMode mode_ = MergeMode::LongProfileMerge;
  std::vector<InputFileRow> rows_;
  std::u16string outputPath_;
  bool withTopography_ = false;
};

}  // namespace dorvane
