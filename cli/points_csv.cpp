#include "cli/points_csv.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <span>
#include <utility>

#include "data/decimal.h"
#include "platform/wait_spinning.h"

namespace dorvane::cli {
namespace {

constexpr std::size_t kFlushBytes = 256u << 10;
constexpr int kKnownBits = 12;

// A field with its leading comma; nothing after the comma for no value.
char* WriteField(char* out, double value) {
  *out++ = ',';
  // Most z and elevations are unknown: no call for those.
  return std::isnan(value) ? out : WriteShortest(out, value);
}

// 15 fields at most, none longer than kShortestChars.
constexpr std::size_t kLongestLine = 16 * (kShortestChars + 1);
// Room for a line beyond kFlushBytes, and for a known text copied whole at its end.
constexpr std::size_t kBufferBytes = kFlushBytes + kLongestLine + 40;

}  // namespace

PointsCsv::~PointsCsv() {
  StopWriter();
}

bool PointsCsv::Begin(std::u16string_view path) {
  if (!file_.Begin(path)) {
    failed_ = true;
    error_ = file_.error();
    return false;
  }
  buffer_.resize(kBufferBytes);
  const std::string_view head =
      withY_ ? "input,line,c1x,c1z,c2x,c2z,p1x,p1z,p2x,p2z,x,y,depth,elevation,value\n"
             : "input,line,c1x,c1z,c2x,c2z,p1x,p1z,p2x,p2z,x,depth,elevation,value\n";
  used_ = head.copy(buffer_.data(), head.size());
  known_.resize(std::size_t{1} << kKnownBits);
  writer_ = std::thread([this] { WriteHanded(); });
  return true;
}

void PointsCsv::Accept(const PlacedDatum& placed) {
  if (!writer_.joinable()) return;
  Format(placed);
  if (used_ >= kFlushBytes) HandOver();
}

void PointsCsv::AcceptBatch(std::span<const PlacedDatum> data) {
  if (!writer_.joinable()) return;
  for (const PlacedDatum& placed : data) {
    Format(placed);
    if (used_ >= kFlushBytes) HandOver();
  }
}

// Waits for the writer to take the text before, then gives it this one and
// goes on in the buffer the writer gave back.
void PointsCsv::HandOver() {
  std::unique_lock lock(mutex_);
  WaitSpinning(lock, changed_, [this] { return handedBytes_ == 0; });
  std::swap(handed_, buffer_);
  handedBytes_ = used_;
  used_ = 0;
  buffer_.resize(kBufferBytes);
  changed_.notify_all();
}

void PointsCsv::WriteHanded() {
  std::vector<char> text;
  for (;;) {
    std::size_t bytes = 0;
    {
      std::unique_lock lock(mutex_);
      // Sleeps at once: a buffer takes the reading long to fill, and the
      // cores are better left to it.
      changed_.wait(lock, [this] { return handedBytes_ != 0 || finished_; });
      if (handedBytes_ == 0) return;
      std::swap(text, handed_);
      bytes = std::exchange(handedBytes_, 0);
    }
    changed_.notify_all();
    if (!writeFailed_ && !file_.Append({reinterpret_cast<const std::uint8_t*>(text.data()), bytes}))
      writeFailed_ = true;
  }
}

void PointsCsv::Format(const PlacedDatum& placed) {
  const Datum& datum = placed.datum;
  // Straight into the buffer, which has room for a line beyond kFlushBytes.
  char* const line = buffer_.data() + used_;
  if (datum.input + 1ull != inputNumber_) {
    inputNumber_ = datum.input + 1ull;
    inputLength_ = static_cast<std::uint8_t>(
        std::to_chars(inputText_, inputText_ + sizeof inputText_, inputNumber_).ptr - inputText_);
    inputText_[inputLength_++] = ',';
  }
  std::memcpy(line, inputText_, sizeof inputText_);
  char* out = WriteLineNumber(line + inputLength_, datum.line);
  for (const int role : {kC1, kC2, kP1, kP2}) {
    const Electrode& electrode = datum.electrodes[role];
    out = WriteKnownField(out, electrode.present ? electrode.x : kNoValue);
    out = WriteField(out, electrode.present ? electrode.z : kNoValue);
  }
  out = WriteKnownField(out, placed.x);
  if (withY_) out = WriteField(out, placed.y);
  out = WriteKnownField(out, placed.depth);
  out = WriteField(out, placed.elevation);
  out = WriteField(out, datum.value);
  *out++ = '\n';
  used_ += static_cast<std::size_t>(out - line);
}

char* PointsCsv::WriteLineNumber(char* out, std::uint64_t line) {
  if (line == lineNumber_ + 1 && lineLength_ > 0) {
    // One more than the last: counted up in its text, as the lines of a file follow each other.
    int digit = lineLength_ - 1;
    while (digit >= 0 && lineText_[digit] == '9') lineText_[digit--] = '0';
    if (digit >= 0) {
      ++lineText_[digit];
    } else {
      std::memmove(lineText_ + 1, lineText_, lineLength_++);
      lineText_[0] = '1';
    }
  } else {
    lineLength_ = static_cast<std::uint8_t>(
        std::to_chars(lineText_, lineText_ + sizeof lineText_, line).ptr - lineText_);
  }
  lineNumber_ = line;
  std::memcpy(out, lineText_, sizeof lineText_);
  return out + lineLength_;
}

char* PointsCsv::WriteKnownField(char* out, double value) {
  static_assert(sizeof(KnownText::text) > kShortestChars);
  static_assert(sizeof(KnownText::text) <= kBufferBytes - kFlushBytes - kLongestLine);
  const auto bits = std::bit_cast<std::uint64_t>(value);
  KnownText& known = known_[(bits * 0x9E3779B97F4A7C15ull) >> (64 - kKnownBits)];
  if (known.bits != bits) {
    char* end = WriteField(known.text, value);
    known.length = static_cast<std::uint8_t>(end - known.text);
    known.bits = bits;
  }
  // The whole text, a fixed size the compiler copies in a few moves; the
  // buffer has room past any line for it.
  std::memcpy(out, known.text, sizeof known.text);
  return out + known.length;
}

void PointsCsv::StopWriter() {
  if (!writer_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
  writer_.join();
}

bool PointsCsv::Finish() {
  if (writer_.joinable() && used_ > 0) HandOver();
  StopWriter();
  if (!failed_ && !writeFailed_ && file_.Commit()) return true;
  error_ = file_.error();
  file_.Abandon();
  return false;
}

}  // namespace dorvane::cli
