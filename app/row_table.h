#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace dorvane::app {

// A row of input-file controls has 13 positions, cloned from the first row.
inline constexpr std::size_t kRowPositions = 13;
inline constexpr std::int32_t kFirstRowFirstId = 2009;
// Pixels between rows, between columns of rows, and before the grid.
inline constexpr std::int32_t kRowGap = 20;

enum RowPosition : std::size_t {
  kBrowseButton = 0,
  kPathField = 1,
  kLocationLabel = 2,
  kXField = 3,
  kYField = 4,
  kIncreasingRadio = 5,
  kDecreasingRadio = 6,
  kXDirectionRadio = 7,
  kYDirectionRadio = 8,
  kXLabel = 9,
  kYLabel = 10,
  kOrderGroup = 11,
  kDirectionGroup = 12,
};

// Where a row's controls are, in client pixels of the dialog, and their ids by
// position. left/top: the browse button's corner; width/height reach the far
// corner of the direction group box.
struct RowControls {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::array<std::int32_t, kRowPositions> controlIds{};
};

// The room the screen gives the dialog, measured once at start-up.
struct ScreenRoom {
  std::int32_t maxClientWidth = 0;
  std::int32_t maxClientHeight = 0;
  std::int32_t gridHostWidth = 0;
};

struct PixelSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// The rows of the main dialog: the first row's controls come from the template,
// later rows are placed below the last one, or at the top of a new column when
// the screen has no room below, and get fresh control ids.
class RowTable {
 public:
  static constexpr std::size_t kCapacity = 30;
  static constexpr std::int32_t kIdsBeforeFirstClone = 2200;

  // `firstRow`: the template row's rectangle; its ids are 2009 to 2021.
  explicit RowTable(const RowControls& firstRow);

  // Places, numbers and appends a row; null when neither the screen nor the
  // table has room (nothing changes then).
  const RowControls* AddRow(const ScreenRoom& room);
  // The removed row, or none when only the first row is left.
  std::optional<RowControls> RemoveLastRow();

  struct Slot {
    std::size_t row = 0;
    std::size_t position = 0;
  };
  // The row and position of a control id, or none when no row has it.
  std::optional<Slot> Locate(std::int32_t controlId) const;

  std::size_t rowCount() const { return rows_.size(); }
  const RowControls& row(std::size_t index) const { return rows_.at(index); }
  const RowControls& firstRow() const { return rows_.front(); }
  std::int32_t nextControlId() const { return nextControlId_; }
  // The lowest row top; the grid frame reaches down to that row's bottom.
  std::int32_t LowestRowTop() const;

 private:
  std::vector<RowControls> rows_;
  std::int32_t nextControlId_ = kIdsBeforeFirstClone;
};

// How much the dialog's window must grow so that `added` and the grid beside it
// fit its client area of size `client`.
PixelSize DialogGrowth(const RowControls& firstRow, const RowControls& added, PixelSize client,
                       std::int32_t gridHostWidth);

struct PixelRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// The grid frame after `added`: to its right, as high as the rows reach.
PixelRect GridFrameBeside(const RowTable& rows, const RowControls& added, const PixelRect& frame);

// Thickness of a window's frame on each side; the top edge holds the caption.
struct FrameEdges {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// The client size of a window maximised on `workArea`: its frame hangs outside
// the work area on every side, only the caption stays inside.
PixelSize MaximisedClientSize(const PixelRect& workArea, const FrameEdges& edges);

// `window` moved left and up just as far as needed to end inside `workArea`, and
// cut to its size: rows are only placed within the maximised client area, so
// the cut takes at most the margin below the last row.
PixelRect KeepInside(const PixelRect& window, const PixelRect& workArea);

}  // namespace dorvane::app
