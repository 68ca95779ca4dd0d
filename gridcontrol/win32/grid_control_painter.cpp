#include "gridcontrol/win32/grid_control_painter.h"

#include "gridcontrol/win32/gdi.h"

namespace dorvane::win32 {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "cell texts are drawn as they are stored");

constexpr COLORREF kGridLineColour = RGB(192, 192, 192);
constexpr int kTextPaddingPx = 2;

void Fill(HDC dc, const RECT& rect, HBRUSH brush) {
  ::FillRect(dc, &rect, brush);
}

RECT ToRect(const GridPixelRect& rect) {
  return {rect.left, rect.top, rect.right, rect.bottom};
}

UINT TextFormat(const PaintCell& cell) {
  UINT format = DT_SINGLELINE | DT_NOPREFIX;
  switch (cell.hAlign) {
    case CellHAlign::kLeft:
      format |= DT_LEFT;
      break;
    case CellHAlign::kCenter:
      format |= DT_CENTER;
      break;
    case CellHAlign::kRight:
      format |= DT_RIGHT;
      break;
  }
  switch (cell.vAlign) {
    case CellVAlign::kTop:
      format |= DT_TOP;
      break;
    case CellVAlign::kCenter:
      format |= DT_VCENTER;
      break;
    case CellVAlign::kBottom:
      format |= DT_BOTTOM;
      break;
  }
  return format;
}

void DrawCell(HDC dc, const PaintCell& cell) {
  RECT rect = ToRect(cell.rect);
  COLORREF textColour = 0;
  if (cell.fixed) {
    Fill(dc, rect, ::GetSysColorBrush(COLOR_BTNFACE));
    ::DrawEdge(dc, &rect, BDR_RAISEDINNER, BF_RECT);
    textColour = ::GetSysColor(COLOR_BTNTEXT);
  } else {
    Fill(dc, rect, ::GetSysColorBrush(cell.selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    textColour = ::GetSysColor(cell.selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
  }
  if (cell.text.empty()) return;
  // Keep the text off the grid line or edge on the right and at the bottom.
  RECT textRect{rect.left + kTextPaddingPx, rect.top, rect.right - 1 - kTextPaddingPx,
                rect.bottom - 1};
  if (textRect.right <= textRect.left) return;
  ::SetTextColor(dc, textColour);
  ::DrawTextW(dc, reinterpret_cast<const wchar_t*>(cell.text.data()),
              static_cast<int>(cell.text.size()), &textRect, TextFormat(cell));
}

void DrawGridLines(HDC dc, const PaintPlan& plan) {
  const UniqueGdiObject brush(::CreateSolidBrush(kGridLineColour));
  const HBRUSH lines =
      brush ? static_cast<HBRUSH>(brush.get()) : ::GetSysColorBrush(COLOR_BTNSHADOW);
  for (const std::int32_t x : plan.columnLines)
    Fill(dc, {x, plan.fixedBottom, x + 1, plan.cellsBottom}, lines);
  for (const std::int32_t y : plan.rowLines)
    Fill(dc, {plan.fixedRight, y, plan.cellsRight, y + 1}, lines);
}

}  // namespace

void PaintGridPlan(HDC dc, const PaintPlan& plan, HFONT font, bool focused) {
  const HBRUSH background = ::GetSysColorBrush(COLOR_APPWORKSPACE);
  Fill(dc, {plan.cellsRight, 0, plan.width, plan.height}, background);
  Fill(dc, {0, plan.cellsBottom, plan.cellsRight, plan.height}, background);

  const SelectedObject selectedFont(dc,
                                    font != nullptr ? font : ::GetStockObject(DEFAULT_GUI_FONT));
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColour = ::GetTextColor(dc);
  for (const PaintCell& cell : plan.cells) DrawCell(dc, cell);
  ::SetTextColor(dc, oldColour);
  ::SetBkMode(dc, oldMode);

  DrawGridLines(dc, plan);
  if (focused && plan.hasFocusRect) {
    const RECT rect = ToRect(plan.focusRect);
    ::DrawFocusRect(dc, &rect);
  }
}

}  // namespace dorvane::win32
