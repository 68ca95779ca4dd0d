#include "app/dialog_job.h"

#include <algorithm>
#include <exception>
#include <new>

#include "data/batch_script.h"
#include "data/data_block.h"
#include "data/long_profile_merge.h"
#include "survey/finding_text.h"

namespace dorvane::app {

MergeJob BuildMergeJob(const DialogControlState& state) {
  MergeJob job;
  job.SelectMode(state.mode);
  for (std::size_t i = 0; i < state.rows.size(); ++i) {
    if (i > 0 && !job.AppendRow()) break;
    const RowControlState& controls = state.rows[i];
    InputFileRow& row = job.row(i);
    row.inputPath = controls.path;
    row.firstElectrodeX = controls.x;
    row.firstElectrodeY = controls.y;
    row.lineSign = controls.increasingSelected ? 0 : 1;
    row.lineDirection = controls.xDirectionSelected ? 0 : 1;
  }
  job.SetOutputPath(state.outputPath);
  job.SetWithTopography(state.topographyChecked && state.topographyAvailable);
  return job;
}

void RunMergeJob(const MergeJob& job, const TopographyTable& topography, FileAccess& files,
                 MessageBoxes& messages, const CodePage& codePage) {
  try {
    if (job.mode() == MergeMode::LongProfileMerge) {
      MergeToLongProfile(job, topography, files, messages);
    } else {
      WriteBatchScript(job.mode(), job, files, messages, codePage);
    }
  } catch (const std::bad_alloc&) {
    files.Release();
    ShowJobError(messages, u"内存不足，文件合并失败");
  } catch (const std::exception&) {
    files.Release();
    ShowJobError(messages, u"文件合并失败");
  }
}

bool ConfirmJoin(const SurveyReport& report, MessageBoxes& messages) {
  const std::vector<Finding> errors = ErrorsBeforeJob(report);
  if (errors.empty()) return true;
  MessageRequest question;
  question.caption = u"合并前检查";
  question.text = FindingList(report, errors, kListedErrors) + u"\n\n是否仍然继续？";
  question.buttons = MessageButtons::YesNo;
  question.icon = MessageIcon::Question;
  question.secondButtonDefault = true;
  question.owner = MessageOwner::MainDialog;
  return messages.Show(question) == MessageAnswer::Yes;
}

void CheckAndRunMergeJob(const MergeJob& job, const TopographyTable& topography, FileAccess& files,
                         MessageBoxes& messages, const CodePage& codePage) {
  bool goOn = true;
  try {
    goOn = ConfirmJoin(AnalyseSurvey(job, &topography, nullptr), messages);
  } catch (const std::exception&) {
    // The job reads the same files and grid and reports what fails there.
  }
  if (goOn) RunMergeJob(job, topography, files, messages, codePage);
}

bool IsInversionDataFile(std::span<const std::uint8_t> content) {
  DataBlock block;
  return LocateDataBlock(content.data(), content.size(), block) > 1;
}

bool FitsPathField(std::u16string_view path) {
  return path.size() <= MergeJob::kMaxTextUnits;
}

namespace {

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

char16_t Folded(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Negative, zero or positive as a sorts before, with or after b.
int CompareNaturally(std::u16string_view a, std::u16string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      std::size_t ai = i;
      std::size_t bj = j;
      while (ai < a.size() && a[ai] == u'0') ++ai;
      while (bj < b.size() && b[bj] == u'0') ++bj;
      std::size_t aEnd = ai;
      std::size_t bEnd = bj;
      while (aEnd < a.size() && IsDigit(a[aEnd])) ++aEnd;
      while (bEnd < b.size() && IsDigit(b[bEnd])) ++bEnd;
      if (aEnd - ai != bEnd - bj) return aEnd - ai < bEnd - bj ? -1 : 1;
      const int digits = a.substr(ai, aEnd - ai).compare(b.substr(bj, bEnd - bj));
      if (digits != 0) return digits;
      i = aEnd;
      j = bEnd;
      continue;
    }
    const char16_t ca = Folded(a[i]);
    const char16_t cb = Folded(b[j]);
    if (ca != cb) return ca < cb ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return a.compare(b);
}

}  // namespace

std::vector<std::u16string> InFileManagerOrder(std::vector<std::u16string> paths) {
  std::stable_sort(
      paths.begin(), paths.end(),
      [](const std::u16string& a, const std::u16string& b) { return CompareNaturally(a, b) < 0; });
  return paths;
}

}  // namespace dorvane::app
