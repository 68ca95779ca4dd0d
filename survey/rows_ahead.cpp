#include "survey/rows_ahead.h"

#include "platform/guarded_read.h"
#include "platform/wait_spinning.h"

namespace dorvane {

RowsAhead::RowsAhead(SurveyFileReader& reader, std::size_t batchRows) : reader_(reader) {
  for (Batch& batch : batches_) batch.rows.resize(batchRows);
  thread_ = std::thread([this] { ReadBatches(); });
}

RowsAhead::~RowsAhead() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

std::span<const DataRow> RowsAhead::Next(SystemError& error) {
  std::unique_lock lock(mutex_);
  Batch& before = batches_[(next_ + kBatches - 1) % kBatches];
  if (before.state == State::Taken) {
    before.state = State::Free;
    changed_.notify_all();
  }
  Batch& batch = batches_[next_];
  WaitSpinning(lock, changed_, [&] { return batch.state == State::Full; });
  batch.state = State::Taken;
  next_ = (next_ + 1) % kBatches;
  error = batch.error;
  return {batch.rows.data(), batch.count};
}

void RowsAhead::ReadBatches() {
  for (std::size_t turn = 0;; turn = (turn + 1) % kBatches) {
    Batch& batch = batches_[turn];
    {
      std::unique_lock lock(mutex_);
      WaitSpinning(lock, changed_, [&] { return batch.state == State::Free || stopping_; });
      if (stopping_) return;
    }
    // The batch is this thread's until it is marked full.
    SystemError error;
    std::size_t count = 0;
    if (!ReadGuarded([&] { count = reader_.ReadRows(batch.rows); }, error)) count = 0;
    {
      const std::lock_guard lock(mutex_);
      batch.count = count;
      batch.error = error;
      batch.state = State::Full;
    }
    changed_.notify_all();
    if (count == 0) return;
  }
}

}  // namespace dorvane
