#pragma once

#include <windows.h>

#include <memory>

#include "data/topography_table.h"
#include "grid/grid_editor.h"
#include "grid/win32/grid_host.h"
#include "platform/win32/message_boxes_win32.h"

namespace dorvane::win32 {

// The topography grid in the dialog's frame. The dialog runs its jobs without
// topography when the grid cannot be hosted, and then never reaches the editor.
class TopographyGrid {
 public:
  // `createControlWindow`: null for the grid control's own window class.
  TopographyGrid(Win32MessageBoxes& messages, GridControlWindowFactory createControlWindow);
  ~TopographyGrid();
  TopographyGrid(const TopographyGrid&) = delete;
  TopographyGrid& operator=(const TopographyGrid&) = delete;

  // Hosts the grid in `frame` and gives it its titles; false when hosting failed
  // (the reason has been shown).
  bool Create(HINSTANCE instance, HWND frame);
  // Sizes the grid to the frame's client area and shows it.
  void FitTo(HWND frame);
  // Null without a grid.
  const TopographyTable* table() const;
  GridEditor* editor() const;
  HWND gridWindow() const;
  // Puts text still open in the cell editor into its cell: what the user sees in
  // the grid is what a job reads.
  void CommitPendingEdit();
  // Destroys the editor and the grid's windows.
  void Destroy();

 private:
  struct Hosted;
  Win32MessageBoxes& messages_;
  GridControlWindowFactory createControlWindow_;
  std::unique_ptr<Hosted> hosted_;
};

}  // namespace dorvane::win32
