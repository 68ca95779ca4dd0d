#include "cli/points_csv.h"

#include <charconv>
#include <span>

#include "data/decimal.h"

namespace dorvane::cli {
namespace {

constexpr std::size_t kFlushBytes = 256u << 10;

// A field with its leading comma; nothing after the comma for no value.
char* WriteField(char* out, double value) {
  *out++ = ',';
  return WriteShortest(out, value);
}

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

bool PointsCsv::Begin(std::u16string_view path) {
  if (!file_.Begin(path)) {
    failed_ = true;
    error_ = file_.error();
    return false;
  }
  buffer_.reserve(kFlushBytes + 512);
  buffer_ = "input,line,c1x,c1z,c2x,c2z,p1x,p1z,p2x,p2z,x,";
  buffer_ += withY_ ? "y,depth,elevation,value\n" : "depth,elevation,value\n";
  return true;
}

void PointsCsv::Accept(const PlacedDatum& placed) {
  if (failed_) return;
  const Datum& datum = placed.datum;
  // 15 fields at most, none longer than kShortestChars.
  char line[16 * (kShortestChars + 1)];
  char* out = std::to_chars(line, line + 24, datum.input + 1ull).ptr;
  *out++ = ',';
  out = std::to_chars(out, out + 24, datum.line).ptr;
  for (const int role : {kC1, kC2, kP1, kP2}) {
    const Electrode& electrode = datum.electrodes[role];
    out = WriteField(out, electrode.present ? electrode.x : kNoValue);
    out = WriteField(out, electrode.present ? electrode.z : kNoValue);
  }
  out = WriteField(out, placed.x);
  if (withY_) out = WriteField(out, placed.y);
  out = WriteField(out, placed.depth);
  out = WriteField(out, placed.elevation);
  out = WriteField(out, datum.value);
  *out++ = '\n';
  buffer_.append(line, out);
  if (buffer_.size() >= kFlushBytes) Flush();
}

void PointsCsv::Flush() {
  if (!failed_ && !buffer_.empty() && !file_.Append(Bytes(buffer_))) failed_ = true;
  buffer_.clear();
}

bool PointsCsv::Finish() {
  Flush();
  if (!failed_ && file_.Commit()) return true;
  error_ = file_.error();
  file_.Abandon();
  return false;
}

}  // namespace dorvane::cli
