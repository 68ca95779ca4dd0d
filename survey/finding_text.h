#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "survey/survey.h"

namespace dorvane {

// "PATH:LINE: CODE: message" as one line of UTF-8 (LINE 0: the whole file); a
// finding about the survey as a whole is "CODE: message".
std::string FindingLine(const SurveyReport& report, const Finding& finding);

// Where a finding lies, for a person: "line2.dat 第12行", "line2.dat" for the
// whole file, empty for the whole survey. The file name without its folder.
std::u16string FindingPlace(const SurveyReport& report, const Finding& finding);

// One line "PLACE：message" per finding, in the order given, at most `limit` of
// them; the rest are counted in a last line "……另有N项".
std::u16string FindingList(const SurveyReport& report, std::span<const Finding> findings,
                           std::size_t limit);

// The errors a job raises before it writes, in report order: those about the
// survey or about an input that was read. An input that cannot be read is the
// job's own to report.
std::vector<Finding> ErrorsBeforeJob(const SurveyReport& report);

}  // namespace dorvane
