#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "platform/system_error.h"
#include "survey/survey_file.h"

namespace dorvane {

// Reads an input's data rows a batch ahead, on a thread of its own, while the
// caller places and checks the batch before: reading is about half the work of
// the survey's check. Each batch is read inside ReadGuarded. The reader is the
// thread's until this is destroyed.
class RowsAhead {
 public:
  RowsAhead(SurveyFileReader& reader, std::size_t batchRows);
  ~RowsAhead();
  RowsAhead(const RowsAhead&) = delete;
  RowsAhead& operator=(const RowsAhead&) = delete;

  // The next batch, valid until the next call; empty when the rows are over or
  // could not be read (then `error` says why).
  std::span<const DataRow> Next(SystemError& error);

 private:
  enum class State { Free, Full, Taken };
  struct Batch {
    std::vector<DataRow> rows;
    std::size_t count = 0;
    SystemError error;
    State state = State::Free;
  };

  void ReadBatches();

  // Room for the reading to run ahead while the caller's thread waits for a core.
  static constexpr std::size_t kBatches = 4;

  SurveyFileReader& reader_;
  std::array<Batch, kBatches> batches_;
  std::size_t next_ = 0;  // the batch Next gives, in turn
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace dorvane
