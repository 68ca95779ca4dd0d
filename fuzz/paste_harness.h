#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "grid/grid_editor.h"
#include "gridcontrol/grid_control.h"
#include "platform/clipboard.h"
#include "platform/code_page.h"
#include "platform/message_boxes.h"
#include "tests/support/headless_editor_view.h"

namespace dorvane::fuzz {

class NoMessages : public MessageBoxes {
 public:
  MessageAnswer Show(const MessageRequest&) override { return MessageAnswer::No; }
};

inline void Require(bool condition) {
  if (!condition) std::abort();
}

// A hosted editor whose grid size and current cell come from the first six input
// bytes; the rest of the input is the clipboard block.
struct PasteHarness {
  static constexpr std::size_t kHeader = 6;

  GridControl control;
  HeadlessEditorView view;
  MemoryClipboard clipboard;
  std::unique_ptr<CodePage> codePage = MakeCodePage("CP936");
  NoMessages messages;
  GridEditor editor{clipboard, *codePage, messages};
  std::span<const std::uint8_t> block;

  explicit PasteHarness(std::span<const std::uint8_t> input) {
    editor.AttachControl(&control, &view);
    const auto at = [&](std::size_t i) -> std::uint32_t { return i < input.size() ? input[i] : 0; };
    // Mostly small grids; now and then a narrow one at the row capacity (a wide
    // one would hold some 340000 cells and slow every run down).
    const bool atCapacity = at(1) == 0xFF;
    editor.SetColumnCount(1 + static_cast<std::int32_t>(at(0) % (atCapacity ? 2 : 27)));
    editor.SetRowCount(atCapacity ? editor.RowCapacity() - static_cast<std::int32_t>(at(0) % 4)
                                  : 1 + static_cast<std::int32_t>(at(1) % 64));
    control.SetRow(static_cast<std::int32_t>((at(2) | at(3) << 8) % control.Rows()));
    control.SetCol(static_cast<std::int32_t>(at(4) % control.Cols()));
    control.SetRowSel(static_cast<std::int32_t>(at(5) % control.Rows()));
    block = input.size() > kHeader ? input.subspan(kHeader) : std::span<const std::uint8_t>{};
  }

  std::vector<std::u16string> SnapshotIfSmall() const {
    std::vector<std::u16string> texts;
    if (std::int64_t{control.Rows()} * control.Cols() > 4096) return texts;
    for (std::int32_t r = 0; r < control.Rows(); ++r)
      for (std::int32_t c = 0; c < control.Cols(); ++c) texts.push_back(control.TextMatrix(r, c));
    return texts;
  }

  // What every paste keeps: the column count, rows within the capacity, and no
  // change at all when it reports that it pasted nothing.
  void CheckAfterPaste(int result, std::int32_t colsBefore,
                       const std::vector<std::u16string>& before) const {
    Require(control.Cols() == colsBefore);
    Require(control.Rows() <= editor.RowCapacity());
    if (result == 0 && !before.empty()) Require(SnapshotIfSmall() == before);
  }
};

}  // namespace dorvane::fuzz
