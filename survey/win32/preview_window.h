#pragma once

#include <windows.h>

#include "data/topography_table.h"
#include "model/merge_job.h"

namespace dorvane::win32 {

inline constexpr wchar_t kPreviewWindowClass[] = L"DorvanePreview";
inline constexpr wchar_t kPreviewTitle[] = L"预览 - Dorvane1.1";

// Reads and places every input of `job` as its mode would, writes nothing, and
// shows the survey with what its check found until the user closes the window.
// Modal: `owner` takes no input meanwhile. `topography` may be null.
void RunPreviewWindow(HINSTANCE instance, HWND owner, const MergeJob& job,
                      const TopographyTable* topography);

}  // namespace dorvane::win32
