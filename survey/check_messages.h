#pragma once

#include <cstdint>
#include <string>

#include "model/merge_job.h"
#include "survey/survey_file.h"

namespace dorvane {

// The Chinese texts of the survey's findings. `other` is the 1-based number of
// the input a finding compares with.
namespace check_messages {

std::u16string ArrayName(std::int32_t arrayType);
std::u16string Number(double value);
std::u16string Count(std::uint64_t value);

std::u16string NotRead(const std::u16string& systemText);
std::u16string UnreadableHeader(HeaderProblem::What what);
std::u16string Unsupported(HeaderProblem::What what, std::int32_t arrayType);
std::u16string UnreadableLines(std::uint64_t count, std::int32_t arrayType);
std::u16string UnreadableTopography();
std::u16string CountMismatch(std::int64_t declared, std::uint64_t read);
std::u16string BadValues(std::uint64_t count, bool resistance);
std::u16string MergeSkips(bool crLf);
std::u16string MergeDropsLines(std::uint64_t copied, std::uint64_t rows);
std::u16string OffGrid(std::uint64_t count, double spacing, std::uint32_t gridOf);

// Differences from an earlier input that make a joined file misread.
std::u16string ArrayMismatch(std::uint32_t other, std::int32_t theirs, std::int32_t ours,
                             MergeMode mode);
std::u16string IpMismatch(std::uint32_t other, bool theirs, bool ours, MergeMode mode);
std::u16string MeasurementMismatch(std::uint32_t other, std::int32_t theirs, std::int32_t ours,
                                   MergeMode mode);
std::u16string XLocationMismatch(std::uint32_t other, std::int32_t theirs, std::int32_t ours,
                                 MergeMode mode);
std::u16string ErrorColumnMismatch(std::uint32_t other, bool theirs, bool ours, MergeMode mode);
std::u16string SpacingMismatch(std::uint32_t other, double theirs, double ours);

std::u16string SamePlace(std::uint32_t other, double share, double from, double to);
std::u16string Gap(double from, double to, double spacing);
std::u16string DuplicateDisagree(std::uint32_t other, std::uint64_t disagreeing,
                                 std::uint64_t duplicates, double medianRatio);
std::u16string TopographyShort(double from, double to, double spanFrom, double spanTo);
std::u16string TopographyOrder(std::int32_t tableRow);

}  // namespace check_messages
}  // namespace dorvane
