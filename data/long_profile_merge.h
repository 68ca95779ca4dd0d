#pragma once

#include <string>

#include "data/topography_table.h"
#include "model/merge_job.h"
#include "platform/file_access.h"
#include "platform/message_boxes.h"

namespace dorvane {

// Told of every input that a merge leaves out, right after the message that says
// why, so that a caller printing messages can name the file they concern.
class MergeInputReport {
 public:
  enum class Reason {
    NotRead,  // it could not be opened, mapped or read, or it changed meanwhile
    Refused,  // the reader found no data block in it
  };
  virtual ~MergeInputReport() = default;
  virtual void LeftOut(const std::u16string& path, Reason reason) = 0;
};

// Mode 0: merges the rows' files into one long-profile file at job.outputPath().
// `topography` is read only when job.withTopography() is set. Returns 0 when the
// topography check stopped the job, 1 otherwise (messages tell the user the rest).
int MergeToLongProfile(const MergeJob& job, const TopographyTable& topography, FileAccess& files,
                       MessageBoxes& messages);
int MergeToLongProfile(const MergeJob& job, const TopographyTable& topography, FileAccess& files,
                       MessageBoxes& messages, MergeInputReport& report);

}  // namespace dorvane
