#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "grid/grid_editor.h"
#include "platform/clipboard.h"
#include "platform/code_page.h"
#include "platform/grid_control.h"
#include "platform/message_boxes.h"

namespace dorvane::fuzz {

// A window that does nothing: pasting needs none of it.
class QuietView : public EditorView {
 public:
  std::intptr_t CallGridProc(std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
  std::intptr_t SendToGrid(std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
  std::intptr_t CallEditProc(std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
  void InvalidateGrid() override {}
  void ValidateGrid() override {}
  PixelSize GridWindowSize() const override { return {400, 300}; }
  PixelRect GridClientRect() const override { return {0, 0, 400, 300}; }
  PixelPoint ScreenDpi() const override { return {96, 96}; }
  void FocusGrid() override {}
  void MoveEditBox(const PixelRect&) override {}
  void ShowEditBox(bool) override {}
  void FocusEditBox() override {}
  void SelectAllEditText() override {}
  void UpdateEditBox() override {}
  void SetEditText(std::u16string_view) override {}
  std::u16string EditText(std::size_t) const override { return {}; }
  void DrawPolyline(std::span<const PixelPoint>, PenKind) override {}
  void SetCursor(CursorKind) override {}
  void CaptureMouse() override {}
  void ReleaseMouse() override {}
  void VerticalScrollRange(std::int32_t& min, std::int32_t& max) const override { min = max = 0; }
  std::int32_t VerticalScrollPos() const override { return 0; }
  void FreezeRedraw(bool) override {}
  void CreatePopupMenu(std::span<const PopupMenuItem>) override {}
  void EnableMenuItem(std::uint32_t, bool) override {}
  PixelPoint ClientToScreen(PixelPoint point) const override { return point; }
  PixelPoint CursorScreenPos() const override { return {}; }
  void TrackPopupMenu(PixelPoint) override {}
};

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
  QuietView view;
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
