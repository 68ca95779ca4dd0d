#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/output_file.h"
#include "platform/system_error.h"
#include "survey/survey.h"

namespace dorvane::cli {

// Every placed datum as one CSV line, written as the data are read: the file
// holds a buffer's worth of the survey at a time, never all of it. Fields that
// have no value (a remote electrode, an unknown z or elevation) are empty;
// numbers have a decimal point and the fewest digits that read back the same.
// The lines are formatted as the data come and written on a thread of their
// own, a buffer behind, so that the survey's reading does not wait for the disk.
class PointsCsv final : public DatumSink {
 public:
  // `withY`: the plan position's y follows x (the 3D layout).
  explicit PointsCsv(bool withY) : withY_(withY) {}
  ~PointsCsv();
  PointsCsv(const PointsCsv&) = delete;
  PointsCsv& operator=(const PointsCsv&) = delete;

  // Starts the file with its header line; false (and error()) when it cannot.
  bool Begin(std::u16string_view path);
  void Accept(const PlacedDatum& placed) override;
  void AcceptBatch(std::span<const PlacedDatum> data) override;
  // Puts the file in place; false when any of it could not be written.
  bool Finish();
  SystemError error() const { return error_; }

 private:
  // Texts of recent positions and depths: a survey's electrodes stand on a few
  // thousand places, and it has a depth per array shape.
  struct KnownText {
    std::uint64_t bits = ~std::uint64_t{0};  // a NaN, whose field is the comma alone
    std::uint8_t length = 1;
    char text[40] = ",";
  };

  void HandOver();
  void WriteHanded();
  void Format(const PlacedDatum& placed);
  char* WriteKnownField(char* out, double value);
  char* WriteLineNumber(char* out, std::uint64_t line);
  void StopWriter();

  bool withY_;
  SystemError error_;
  OutputFile file_;
  // Shared with the writer under mutex_: the text handed over (taken when its
  // size is back to 0) and the end of the data.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<char> handed_;
  std::size_t handedBytes_ = 0;
  bool finished_ = false;
  bool writeFailed_ = false;  // the writer's until it is joined
  // The caller's: the text being filled and what it needs to fill it.
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  bool failed_ = false;
  std::vector<KnownText> known_;
  // The texts of the last input number (with its comma) and line number.
  std::uint64_t inputNumber_ = 0, lineNumber_ = 0;
  std::uint8_t inputLength_ = 0, lineLength_ = 0;
  char inputText_[24] = {};
  char lineText_[24] = {};
  std::thread writer_;
};

}  // namespace dorvane::cli
