#include "data/output_plan.h"

#include <algorithm>
#include <cstring>

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

// A line that holds one number token, no letter, and that number is `count`.
bool HoldsOnlyTheCount(std::span<const std::uint8_t> line, std::int64_t count) {
  std::optional<std::string_view> token;
  for (std::size_t p = 0; p < line.size();) {
    if (IsLetterByte(line[p])) return false;
    if (!IsNumberByte(line[p])) {
      ++p;
      continue;
    }
    if (token) return false;
    const std::size_t start = p;
    while (p < line.size() && IsNumberByte(line[p])) ++p;
    token = std::string_view(reinterpret_cast<const char*>(line.data()) + start, p - start);
  }
  if (!token) return false;
  const DecimalPrefix number = ReadDecimalPrefix(*token);
  return number.end == token->size() && number.value == static_cast<double>(count);
}

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
  std::size_t start = 0;
  for (int number = 1;; ++number) {
    const std::optional<std::size_t> cr = FindCrLf(firstPart, start);
    if (!cr) return std::nullopt;
    if (number >= 4) {
      if (*cr + 2 > headerEnd) return std::nullopt;
      if (HoldsOnlyTheCount(firstPart.subspan(start, *cr - start), count))
        return LineSpan{start, *cr};
    }
    start = *cr + 2;
  }
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
