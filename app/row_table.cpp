#include "app/row_table.h"

#include <algorithm>

namespace dorvane::app {

RowTable::RowTable(const RowControls& firstRow) {
  RowControls first = firstRow;
  for (std::size_t k = 0; k < kRowPositions; ++k)
    first.controlIds[k] = kFirstRowFirstId + static_cast<std::int32_t>(k);
  rows_.reserve(kCapacity);
  rows_.push_back(first);
}

const RowControls* RowTable::AddRow(const ScreenRoom& room) {
  if (rows_.size() >= kCapacity) return nullptr;
  const RowControls& first = rows_.front();
  const RowControls& last = rows_.back();
  RowControls added;
  if (last.top + 2 * last.height + kRowGap <= room.maxClientHeight) {
    added.left = last.left;
    added.top = last.top + first.height + kRowGap;
  } else if (last.left + 2 * last.width + room.gridHostWidth + kRowGap <= room.maxClientWidth) {
    added.left = last.left + first.width + kRowGap;
    added.top = first.top - first.height - kRowGap;
  } else {
    return nullptr;
  }
  added.width = first.width;
  added.height = first.height;
  for (std::int32_t& id : added.controlIds) id = ++nextControlId_;
  rows_.push_back(added);
  return &rows_.back();
}

std::optional<RowControls> RowTable::RemoveLastRow() {
  if (rows_.size() <= 1) return std::nullopt;
  RowControls removed = rows_.back();
  rows_.pop_back();
  nextControlId_ -= static_cast<std::int32_t>(kRowPositions);
  return removed;
}

std::optional<RowTable::Slot> RowTable::Locate(std::int32_t controlId) const {
  const auto positions = static_cast<std::int32_t>(kRowPositions);
  if (controlId >= kFirstRowFirstId && controlId < kFirstRowFirstId + positions)
    return Slot{0, static_cast<std::size_t>(controlId - kFirstRowFirstId)};
  if (controlId <= kIdsBeforeFirstClone || controlId > nextControlId_) return std::nullopt;
  const std::int32_t offset = controlId - kIdsBeforeFirstClone - 1;
  return Slot{static_cast<std::size_t>(offset / positions) + 1,
              static_cast<std::size_t>(offset % positions)};
}

std::int32_t RowTable::LowestRowTop() const {
  std::int32_t lowest = rows_.front().top;
  for (const RowControls& row : rows_) lowest = std::max(lowest, row.top);
  return lowest;
}

PixelSize DialogGrowth(const RowControls& firstRow, const RowControls& added, PixelSize client,
                       std::int32_t gridHostWidth) {
  PixelSize growth;
  if (added.left + added.width + gridHostWidth > client.width)
    growth.width = firstRow.width + kRowGap;
  if (added.top + added.height > client.height) growth.height = firstRow.height + kRowGap;
  return growth;
}

PixelRect GridFrameBeside(const RowTable& rows, const RowControls& added, const PixelRect& frame) {
  PixelRect moved = frame;
  moved.left = added.left + added.width + kRowGap;
  moved.height = rows.LowestRowTop() + rows.firstRow().height - frame.top;
  return moved;
}

PixelSize MaximisedClientSize(const PixelRect& workArea, const FrameEdges& edges) {
  const std::int32_t caption = std::max(edges.top - edges.bottom, 0);
  return {workArea.width, workArea.height - caption};
}

PixelRect KeepInside(const PixelRect& window, const PixelRect& workArea) {
  PixelRect kept = window;
  kept.width = std::min(window.width, workArea.width);
  kept.height = std::min(window.height, workArea.height);
  const std::int32_t overRight = window.left + kept.width - (workArea.left + workArea.width);
  if (overRight > 0) kept.left = std::max(workArea.left, window.left - overRight);
  const std::int32_t overBottom = window.top + kept.height - (workArea.top + workArea.height);
  if (overBottom > 0) kept.top = std::max(workArea.top, window.top - overBottom);
  return kept;
}

}  // namespace dorvane::app
