#pragma once

#include <windows.h>

#include "app/row_table.h"

namespace dorvane::win32 {

// The first row's rectangle in client pixels of the dialog, from its browse
// button to the far corner of its direction group box.
app::RowControls MeasureFirstRow(HWND dialog);

// Creates the controls of `row` as copies of the first row's, in position order;
// stops at a control that cannot be created. False then.
bool CloneFirstRow(HWND dialog, const app::RowControls& row);

// Destroys whatever controls of `row` exist.
void DestroyRow(HWND dialog, const app::RowControls& row);

// Client rectangle of a child window in its parent's coordinates.
RECT ChildRect(HWND child);

}  // namespace dorvane::win32
