// The output as pieces against the output as one buffer: the fuzz input is cut
// into pieces, some taken as slices of an input file, some as the plan's own
// text, and the count rewrite over the pieces must give the bytes that rewriting
// the whole assembled buffer gives, however the pieces split its lines.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_block.h"
#include "data/decimal.h"
#include "data/output_plan.h"

namespace {

using namespace dorvane;

void Require(bool condition) {
  if (!condition) std::abort();
}

// ---- the whole-buffer rewrite, as the merge did it when it held the output

std::optional<std::size_t> FindCrLf(std::string_view text, std::size_t from) {
  const std::size_t at = text.find("\r\n", from);
  return at == std::string_view::npos ? std::nullopt : std::optional<std::size_t>(at);
}

std::optional<double> OnlyNumberOf(std::string_view line) {
  std::vector<std::string_view> tokens;
  for (std::size_t p = 0; p < line.size();) {
    const auto byte = static_cast<std::uint8_t>(line[p]);
    if (IsLetterByte(byte)) return std::nullopt;
    if (!IsNumberByte(byte)) {
      ++p;
      continue;
    }
    const std::size_t start = p;
    while (p < line.size() && IsNumberByte(static_cast<std::uint8_t>(line[p]))) ++p;
    tokens.push_back(line.substr(start, p - start));
  }
  if (tokens.size() != 1) return std::nullopt;
  const DecimalPrefix number = ReadDecimalPrefix(tokens[0]);
  if (number.end != tokens[0].size()) return std::nullopt;
  return number.value;
}

bool HoldsALetter(std::string_view line) {
  for (const char c : line)
    if (IsLetterByte(static_cast<std::uint8_t>(c))) return true;
  return false;
}

// The header's lines (CR LF inside it) decide: line 4 after an index-based array
// type, line 7 after a general array's caption and value, else the first line
// from 4 on that holds the count; line 4 of the text when none does.
void RewriteWhole(std::string& text, std::size_t headerEnd, std::int64_t firstCount,
                  std::string_view number) {
  std::vector<std::pair<std::size_t, std::size_t>> lines;
  for (std::size_t start = 0;;) {
    const std::optional<std::size_t> cr = FindCrLf(text, start);
    if (!cr) break;
    lines.emplace_back(start, *cr);
    start = *cr + 2;
  }
  std::size_t header = 0;
  while (header < lines.size() && lines[header].second + 2 <= headerEnd) ++header;
  auto line = [&](std::size_t n) {
    return std::string_view(text).substr(lines[n - 1].first,
                                         lines[n - 1].second - lines[n - 1].first);
  };
  std::optional<std::size_t> chosen;
  const std::optional<double> type = header >= 4 ? OnlyNumberOf(line(3)) : std::nullopt;
  const bool indexBased = type && *type >= 1 && *type <= 7 && *type == static_cast<int>(*type);
  if (indexBased && OnlyNumberOf(line(4))) chosen = 4;
  if (!chosen && type && *type == 11 && header >= 7 && HoldsALetter(line(5)) &&
      OnlyNumberOf(line(7)))
    chosen = 7;
  for (std::size_t n = 4; !chosen && n <= header; ++n)
    if (OnlyNumberOf(line(n)) == static_cast<double>(firstCount)) chosen = n;
  if (!chosen && lines.size() >= 4) chosen = 4;
  if (chosen)
    text.replace(lines[*chosen - 1].first, lines[*chosen - 1].second - lines[*chosen - 1].first,
                 number);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const std::int64_t firstCount = provider.ConsumeIntegralInRange<std::int64_t>(0, 12);
  const std::int64_t total = provider.ConsumeIntegralInRange<std::int64_t>(-5, 5'000'000'000);
  const auto pieceCount = provider.ConsumeIntegralInRange<std::size_t>(1, 8);
  // Every input piece is a slice of this one source, at its own offset.
  const std::string source = provider.ConsumeRemainingBytesAsString();
  if (source.empty()) return 0;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(source.data());

  // Cut points come from the source's own bytes, so that mutations move them.
  std::vector<std::size_t> cuts{0};
  for (std::size_t i = 1; i < pieceCount; ++i)
    cuts.push_back(std::max(
        cuts.back(), static_cast<std::size_t>(bytes[i % source.size()]) * source.size() / 256));
  cuts.push_back(source.size());

  OutputPlan plan;
  std::string whole;
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    const std::string_view slice = std::string_view(source).substr(cuts[i], cuts[i + 1] - cuts[i]);
    // The first piece is always the first file's part, from its first byte.
    const bool fromInput = i == 0 || (bytes[(i * 7) % source.size()] & 1);
    if (fromInput)
      plan.AddInput(0, cuts[i], Summarize({bytes + cuts[i], slice.size()}));
    else
      plan.AddText(slice);
    whole += slice;
  }
  const std::size_t firstPart = cuts[1];
  const std::size_t headerEnd = firstPart == 0 ? 0 : bytes[0] % (firstPart + 1);

  const std::string number = FormatInteger(total);
  plan.PutCount(HeaderCountLine({bytes, firstPart}, headerEnd, firstCount), number);
  RewriteWhole(whole, headerEnd, firstCount, number);

  std::string written;
  for (const OutputPiece& piece : plan.pieces()) {
    if (piece.source == OutputPiece::kOwnText) {
      const std::span<const std::uint8_t> text = plan.TextOf(piece);
      written.append(reinterpret_cast<const char*>(text.data()), text.size());
    } else {
      Require(piece.source == 0 && piece.offset + piece.length <= source.size());
      written.append(source, piece.offset, piece.length);
    }
  }
  Require(written == whole);
  Require(plan.size() == whole.size());
  return 0;
}
