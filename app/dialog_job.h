#pragma once

#include <span>
#include <string>
#include <vector>

#include "data/topography_table.h"
#include "model/merge_job.h"
#include "platform/code_page.h"
#include "platform/file_access.h"
#include "platform/message_boxes.h"
#include "survey/survey.h"

namespace dorvane::app {

// What the dialog's controls hold when "合并/创建" is pressed.
struct RowControlState {
  std::u16string path;
  std::u16string x;
  std::u16string y;
  bool increasingSelected = true;
  bool xDirectionSelected = true;
};

struct DialogControlState {
  MergeMode mode = MergeMode::LongProfileMerge;
  std::vector<RowControlState> rows;  // table order, at least one
  std::u16string outputPath;
  bool topographyChecked = false;
  bool topographyAvailable = false;  // false when the grid could not be hosted
};

// The topography of a dialog without a grid: only the title row.
class NoTopography final : public TopographyTable {
 public:
  std::int32_t RowCount() const override { return 1; }
  std::u16string CellText(std::int32_t, std::int32_t) const override { return {}; }
};

MergeJob BuildMergeJob(const DialogControlState& state);

// Runs the job's writer; every outcome, an exception included, ends in a message
// to the user and never leaves this function.
void RunMergeJob(const MergeJob& job, const TopographyTable& topography, FileAccess& files,
                 MessageBoxes& messages, const CodePage& codePage);

// The question before a job whose output the inversion programs would misread:
// the errors of `report` (at most kListedErrors of them) and whether to go on,
// No by default. True when the job may run: no such error, or the answer Yes.
inline constexpr std::size_t kListedErrors = 10;
bool ConfirmJoin(const SurveyReport& report, MessageBoxes& messages);

// "合并/创建": reads and checks the inputs as the job will place them, asks
// ConfirmJoin's question when it must, then runs the job. A check that fails
// leaves the job to run as it would without it.
void CheckAndRunMergeJob(const MergeJob& job, const TopographyTable& topography, FileAccess& files,
                         MessageBoxes& messages, const CodePage& codePage);

// The reader's verdict on a chosen input file.
bool IsInversionDataFile(std::span<const std::uint8_t> content);

// A path field holds at most this many units; a longer path is refused when it
// is chosen rather than cut where it is read.
bool FitsPathField(std::u16string_view path);

// Dropped files in the order a file manager lists them: by folder and name,
// runs of digits compared by value, so line2.dat comes before line10.dat.
std::vector<std::u16string> InFileManagerOrder(std::vector<std::u16string> paths);

}  // namespace dorvane::app
