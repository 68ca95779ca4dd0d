#include "app/win32/topography_grid.h"

namespace dorvane::win32 {

struct TopographyGrid::Hosted {};

TopographyGrid::TopographyGrid(Win32MessageBoxes& messages) : messages_(messages) {}

TopographyGrid::~TopographyGrid() = default;

bool TopographyGrid::Create(HINSTANCE, HWND) {
  return false;
}

void TopographyGrid::FitTo(HWND) {}

const TopographyTable* TopographyGrid::table() const {
  return nullptr;
}

GridEditor* TopographyGrid::editor() const {
  return nullptr;
}

HWND TopographyGrid::gridWindow() const {
  return nullptr;
}

void TopographyGrid::Destroy() {
  hosted_.reset();
}

}  // namespace dorvane::win32
