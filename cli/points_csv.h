#pragma once

#include <string>

#include "platform/output_file.h"
#include "platform/system_error.h"
#include "survey/survey.h"

namespace dorvane::cli {

// Every placed datum as one CSV line, written as the data are read: the file
// holds a buffer's worth of the survey at a time, never all of it. Fields that
// have no value (a remote electrode, an unknown z or elevation) are empty;
// numbers have a decimal point and the fewest digits that read back the same.
class PointsCsv final : public DatumSink {
 public:
  // `withY`: the plan position's y follows x (the 3D layout).
  explicit PointsCsv(bool withY) : withY_(withY) {}

  // Starts the file with its header line; false (and error()) when it cannot.
  bool Begin(std::u16string_view path);
  void Accept(const PlacedDatum& placed) override;
  // Puts the file in place; false when any of it could not be written.
  bool Finish();
  SystemError error() const { return error_; }

 private:
  void Flush();

  bool withY_;
  bool failed_ = false;
  SystemError error_;
  OutputFile file_;
  std::string buffer_;
};

}  // namespace dorvane::cli
