#include "data/output_plan.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "data/data_block.h"
#include "data/decimal.h"

namespace dorvane {
namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;

std::optional<std::size_t> FindCrLf(std::span<const std::uint8_t> text, std::size_t from) {
  for (std::size_t p = from; p + 1 < text.size(); ++p) {
    const void* cr = std::memchr(text.data() + p, kCr, text.size() - 1 - p);
    if (cr == nullptr) return std::nullopt;
    p = static_cast<const std::uint8_t*>(cr) - text.data();
    if (text[p + 1] == kLf) return p;
  }
  return std::nullopt;
}

// The one number a line holds: no letter, a single number token. None otherwise.
std::optional<double> OnlyNumberOf(std::span<const std::uint8_t> line) {
  std::optional<std::string_view> token;
  for (std::size_t p = 0; p < line.size();) {
    if (IsLetterByte(line[p])) return std::nullopt;
    if (!IsNumberByte(line[p])) {
      ++p;
      continue;
    }
    if (token) return std::nullopt;
    const std::size_t start = p;
    while (p < line.size() && IsNumberByte(line[p])) ++p;
    token = std::string_view(reinterpret_cast<const char*>(line.data()) + start, p - start);
  }
  if (!token) return std::nullopt;
  const DecimalPrefix number = ReadDecimalPrefix(*token);
  if (number.end != token->size()) return std::nullopt;
  return number.value;
}

bool HoldsALetter(std::span<const std::uint8_t> line) {
  return std::any_of(line.begin(), line.end(), IsLetterByte);
}

// Array types whose header has the count on line 4, right after the type.
constexpr bool IsIndexBased(double type) {
  return type >= 1 && type <= 7 && type == static_cast<int>(type);
}
constexpr double kGeneralArray = 11;

}  // namespace

TextSummary Summarize(std::span<const std::uint8_t> bytes) {
  TextSummary summary;
  summary.length = bytes.size();
  if (bytes.empty()) return summary;
  summary.first = bytes.front();
  summary.last = bytes.back();
  for (std::size_t from = 0; summary.pairCount < TextSummary::kPairs;) {
    const std::optional<std::size_t> cr = FindCrLf(bytes, from);
    if (!cr) break;
    summary.pairs[summary.pairCount++] = *cr;
    from = *cr + 2;
  }
  return summary;
}

std::optional<LineSpan> HeaderCountLine(std::span<const std::uint8_t> firstPart,
                                        std::uint64_t headerEnd, std::int64_t count) {
  std::vector<LineSpan> header;
  for (std::size_t start = 0;;) {
    const std::optional<std::size_t> cr = FindCrLf(firstPart, start);
    if (!cr || *cr + 2 > headerEnd) break;
    header.push_back({start, *cr});
    start = *cr + 2;
  }
  auto line = [&](std::size_t number) {
    const LineSpan& span = header[number - 1];
    return firstPart.subspan(span.start, span.end - span.start);
  };

  // The layout of the header, where the array type (line 3) makes it known: a
  // stale count or a header number that happens to equal the count says nothing.
  const std::optional<double> type = header.size() >= 4 ? OnlyNumberOf(line(3)) : std::nullopt;
  if (type && IsIndexBased(*type) && OnlyNumberOf(line(4))) return header[3];
  // General array: line 4 is the sub-array type, then the measurement-type
  // caption and its value, then the count.
  if (type && *type == kGeneralArray && header.size() >= 7 && HoldsALetter(line(5)) &&
      OnlyNumberOf(line(7)))
    return header[6];
  // Otherwise the line that says so itself; line 4 when none does.
  for (std::size_t number = 4; number <= header.size(); ++number)
    if (OnlyNumberOf(line(number)) == static_cast<double>(count)) return header[number - 1];
  return std::nullopt;
}

void OutputPlan::AddInput(std::size_t source, std::uint64_t offset, const TextSummary& summary) {
  if (summary.length == 0) return;
  pieces_.push_back({source, offset, summary.length});
  summaries_.push_back(summary);
}

void OutputPlan::AddText(std::string_view text) {
  if (text.empty()) return;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  pieces_.push_back({OutputPiece::kOwnText, text_.size(), text.size()});
  summaries_.push_back(Summarize({bytes, text.size()}));
  text_ += text;
}

// The first four CR LF pairs of the whole output, a pair split between two
// pieces included; the fourth line lies between the third and the fourth.
std::optional<LineSpan> OutputPlan::FourthLine() const {
  std::array<std::uint64_t, TextSummary::kPairs> pairs{};
  std::size_t found = 0;
  std::uint64_t base = 0;
  bool lastWasCr = false;
  for (const TextSummary& summary : summaries_) {
    if (lastWasCr && summary.first == kLf && found < pairs.size()) pairs[found++] = base - 1;
    for (std::size_t i = 0; i < summary.pairCount && found < pairs.size(); ++i)
      pairs[found++] = base + summary.pairs[i];
    if (found == pairs.size()) return LineSpan{pairs[2] + 2, pairs[3]};
    lastWasCr = summary.last == kCr;
    base += summary.length;
  }
  return std::nullopt;
}

void OutputPlan::PutCount(const std::optional<LineSpan>& headerLine, std::string_view number) {
  const std::optional<LineSpan> line = headerLine ? headerLine : FourthLine();
  if (line) Replace(*line, number);
  summaries_.clear();
}

void OutputPlan::Replace(const LineSpan& line, std::string_view number) {
  const OutputPiece replacement{OutputPiece::kOwnText, text_.size(), number.size()};
  text_ += number;
  std::vector<OutputPiece> pieces;
  pieces.reserve(pieces_.size() + 2);
  auto keep = [&](const OutputPiece& piece, std::uint64_t pieceStart, std::uint64_t from,
                  std::uint64_t to) {
    if (from < to) pieces.push_back({piece.source, piece.offset + (from - pieceStart), to - from});
  };
  bool inserted = false;
  std::uint64_t start = 0;
  for (const OutputPiece& piece : pieces_) {
    const std::uint64_t end = start + piece.length;
    keep(piece, start, start, std::min(end, line.start));
    if (!inserted && end >= line.start) {
      if (!number.empty()) pieces.push_back(replacement);
      inserted = true;
    }
    keep(piece, start, std::max(start, line.end), end);
    start = end;
  }
  pieces_ = std::move(pieces);
}

std::span<const std::uint8_t> OutputPlan::TextOf(const OutputPiece& piece) const {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text_.data());
  return {bytes + piece.offset, static_cast<std::size_t>(piece.length)};
}

std::uint64_t OutputPlan::size() const {
  std::uint64_t total = 0;
  for (const OutputPiece& piece : pieces_) total += piece.length;
  return total;
}

}  // namespace dorvane
