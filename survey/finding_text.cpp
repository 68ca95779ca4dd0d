#include "survey/finding_text.h"

#include <algorithm>

#include "platform/utf8.h"

namespace dorvane {
namespace {

const InputSummary* InputOf(const SurveyReport& report, const Finding& finding) {
  if (finding.input < 0 || static_cast<std::size_t>(finding.input) >= report.inputs.size())
    return nullptr;
  return &report.inputs[static_cast<std::size_t>(finding.input)];
}

// A message is shown on one line wherever it goes.
std::u16string OneLine(std::u16string_view text) {
  std::u16string line;
  line.reserve(text.size());
  for (const char16_t unit : text) {
    if (unit == u'\r' || unit == u'\n') {
      if (!line.empty() && line.back() != u' ') line.push_back(u' ');
    } else {
      line.push_back(unit);
    }
  }
  while (!line.empty() && line.back() == u' ') line.pop_back();
  return line;
}

std::u16string_view FileName(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u"/\\");
  return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

std::u16string Decimal(std::uint64_t number) {
  return Utf8ToUtf16(std::to_string(number));
}

}  // namespace

std::string FindingLine(const SurveyReport& report, const Finding& finding) {
  std::string line;
  if (const InputSummary* input = InputOf(report, finding)) {
    line = Utf16ToUtf8(input->path) + ":" + std::to_string(finding.line) + ": ";
  }
  return line + finding.code + ": " + Utf16ToUtf8(OneLine(finding.message));
}

std::u16string FindingPlace(const SurveyReport& report, const Finding& finding) {
  const InputSummary* input = InputOf(report, finding);
  if (input == nullptr) return {};
  std::u16string place(FileName(input->path));
  if (finding.line > 0) place += u" 第" + Decimal(finding.line) + u"行";
  return place;
}

std::u16string FindingList(const SurveyReport& report, std::span<const Finding> findings,
                           std::size_t limit) {
  std::u16string list;
  const std::size_t shown = std::min(limit, findings.size());
  for (std::size_t i = 0; i < shown; ++i) {
    if (i > 0) list += u"\n";
    const std::u16string place = FindingPlace(report, findings[i]);
    if (!place.empty()) list += place + u"：";
    list += OneLine(findings[i].message);
  }
  if (shown < findings.size()) {
    if (!list.empty()) list += u"\n";
    list += u"……另有" + Decimal(findings.size() - shown) + u"项";
  }
  return list;
}

std::vector<Finding> ErrorsBeforeJob(const SurveyReport& report) {
  std::vector<Finding> errors;
  for (const Finding& finding : report.findings) {
    if (finding.level != FindingLevel::Error) continue;
    const InputSummary* input = InputOf(report, finding);
    if (input == nullptr ? finding.input < 0 : input->readable) errors.push_back(finding);
  }
  return errors;
}

}  // namespace dorvane
