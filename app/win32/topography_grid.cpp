#include "app/win32/topography_grid.h"

#include <optional>

#include "grid/grid_topography_table.h"
#include "grid/topography_grid.h"
#include "grid/win32/grid_host.h"
#include "gridcontrol/win32/grid_control_window.h"

namespace dorvane::win32 {

struct TopographyGrid::Hosted {
  Hosted(Win32MessageBoxes& messages, GridControlWindowFactory createControlWindow)
      : host(messages,
             createControlWindow != nullptr ? createControlWindow : CreateGridControlWindow) {}
  GridHost host;
  std::optional<GridTopographyTable> table;  // only once the grid is up
};

TopographyGrid::TopographyGrid(Win32MessageBoxes& messages,
                               GridControlWindowFactory createControlWindow)
    : messages_(messages), createControlWindow_(createControlWindow) {}

TopographyGrid::~TopographyGrid() = default;

bool TopographyGrid::Create(HINSTANCE instance, HWND frame) {
  hosted_ = std::make_unique<Hosted>(messages_, createControlWindow_);
  // A failed host keeps its object, which frees whatever windows it made.
  if (hosted_->host.Create(instance, frame) != 1) return false;
  SetUpTopographyGrid(hosted_->host.editor());
  hosted_->table.emplace(hosted_->host.editor());
  return true;
}

void TopographyGrid::FitTo(HWND frame) {
  if (!hosted_ || !hosted_->table) return;
  RECT client{};
  ::GetClientRect(frame, &client);
  const HWND host = hosted_->host.hostWindow();
  ::MoveWindow(host, 0, 0, client.right, client.bottom, TRUE);
  ::ShowWindow(host, SW_SHOW);
}

const TopographyTable* TopographyGrid::table() const {
  return hosted_ && hosted_->table ? &*hosted_->table : nullptr;
}

GridEditor* TopographyGrid::editor() const {
  return hosted_ && hosted_->table ? &hosted_->host.editor() : nullptr;
}

void TopographyGrid::CommitPendingEdit() {
  if (GridEditor* const grid = editor(); grid != nullptr && grid->grid() != nullptr)
    grid->CommitPendingEdit();
}

HWND TopographyGrid::gridWindow() const {
  return hosted_ ? hosted_->host.gridWindow() : nullptr;
}

void TopographyGrid::Destroy() {
  hosted_.reset();
}

}  // namespace dorvane::win32
