#pragma once

#include "data/topography_table.h"
#include "model/merge_job.h"
#include "platform/file_access.h"
#include "platform/message_boxes.h"

namespace dorvane {

// Mode 0: merges the rows' files into one long-profile file at job.outputPath().
// `topography` is read only when job.withTopography() is set. Returns 0 when the
// topography check stopped the job, 1 otherwise (messages tell the user the rest).
int MergeToLongProfile(const MergeJob& job, const TopographyTable& topography, FileAccess& files,
                       MessageBoxes& messages);

}  // namespace dorvane
