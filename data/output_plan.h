#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dorvane {

// What the count rewrite needs to know of a stretch of bytes, gathered while they
// can be read, so that the stretch can be placed later without reading it again.
struct TextSummary {
  static constexpr std::size_t kPairs = 4;

  std::uint64_t length = 0;
  std::uint8_t first = 0;  // the first and last byte; 0 for an empty stretch
  std::uint8_t last = 0;
  // Offsets of the CRs of its first CR LF pairs, both bytes inside the stretch.
  std::array<std::uint64_t, kPairs> pairs{};
  std::size_t pairCount = 0;
};

TextSummary Summarize(std::span<const std::uint8_t> bytes);

// A line [start, end): `end` is the CR of its CR LF.
struct LineSpan {
  std::uint64_t start = 0;
  std::uint64_t end = 0;

  friend bool operator==(const LineSpan&, const LineSpan&) = default;
};

// The line that carries the number of data points in the first merged file, by
// the layout its array type (line 3) gives the header: line 4 for the index-based
// types, the line after the measurement-type caption and its value for general
// arrays. Where the layout is not known, the first header line from line 4 on
// that holds nothing but the file's own data-line count. None: line 4 of the
// output. `firstPart` is that file up to the end of its data block, `headerEnd`
// the start of its first data line.
std::optional<LineSpan> HeaderCountLine(std::span<const std::uint8_t> firstPart,
                                        std::uint64_t headerEnd, std::int64_t count);

// One stretch of the output: bytes of a merged input, or of the plan's own text.
struct OutputPiece {
  static constexpr std::size_t kOwnText = SIZE_MAX;

  std::size_t source = kOwnText;  // index of the input, or kOwnText
  std::uint64_t offset = 0;       // into the input's content, or into the own text
  std::uint64_t length = 0;
};

// The merged output as a sequence of pieces, so that it can be written straight
// from the inputs without ever being held whole.
class OutputPlan {
 public:
  // Bytes [offset, offset + summary.length) of input `source`.
  void AddInput(std::size_t source, std::uint64_t offset, const TextSummary& summary);
  void AddText(std::string_view text);

  // Puts `number` in place of the line that carries the number of data points:
  // `headerLine` when the first file names it (offsets from the output's start),
  // otherwise line 4 of the output, whatever it holds. An output with fewer than
  // four CR LF pairs stays as it is. Call once, after the last piece.
  void PutCount(const std::optional<LineSpan>& headerLine, std::string_view number);

  const std::vector<OutputPiece>& pieces() const { return pieces_; }
  // The bytes of an own-text piece.
  std::span<const std::uint8_t> TextOf(const OutputPiece& piece) const;
  std::uint64_t size() const;

 private:
  std::optional<LineSpan> FourthLine() const;
  void Replace(const LineSpan& line, std::string_view number);

  std::vector<OutputPiece> pieces_;
  std::vector<TextSummary> summaries_;  // one per piece, until PutCount
  std::string text_;
};

}  // namespace dorvane
