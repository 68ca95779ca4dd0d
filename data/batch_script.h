#pragma once

#include "model/merge_job.h"
#include "platform/code_page.h"
#include "platform/file_access.h"
#include "platform/message_boxes.h"

namespace dorvane {

// Modes 1 and 2: writes the RES2DINV concatenation or RES3DINV collate script into
// the folder of job.outputPath(). Returns 1 when it reached the write, 0 when it
// stopped at a check or the mode is not a script mode.
int WriteBatchScript(MergeMode mode, const MergeJob& job, FileAccess& files, MessageBoxes& messages,
                     const CodePage& codePage);

}  // namespace dorvane
