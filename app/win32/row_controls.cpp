#include "app/win32/row_controls.h"

#include <array>

#include "model/merge_job.h"

namespace dorvane::win32 {
namespace {

HWND FirstRowControl(HWND dialog, std::size_t position) {
  return ::GetDlgItem(dialog, app::kFirstRowFirstId + static_cast<int>(position));
}

}  // namespace

RECT ChildRect(HWND child) {
  RECT rect{};
  ::GetWindowRect(child, &rect);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

app::RowControls MeasureFirstRow(HWND dialog) {
  const RECT first = ChildRect(FirstRowControl(dialog, app::kBrowseButton));
  const RECT last = ChildRect(FirstRowControl(dialog, app::kDirectionGroup));
  app::RowControls row;
  row.left = first.left;
  row.top = first.top;
  row.width = last.right - first.left;
  row.height = last.bottom - first.top;
  return row;
}

bool CloneFirstRow(HWND dialog, const app::RowControls& row) {
  const RECT origin = ChildRect(FirstRowControl(dialog, app::kBrowseButton));
  for (std::size_t k = 0; k < app::kRowPositions; ++k) {
    const HWND source = FirstRowControl(dialog, k);
    std::array<wchar_t, 256> className{};
    ::GetClassNameW(source, className.data(), static_cast<int>(className.size()));
    std::array<wchar_t, 1024> text{};
    if (k != app::kPathField) ::GetWindowTextW(source, text.data(), static_cast<int>(text.size()));
    const RECT place = ChildRect(source);
    const HWND created = ::CreateWindowExW(
        static_cast<DWORD>(::GetWindowLongW(source, GWL_EXSTYLE)), className.data(), text.data(),
        static_cast<DWORD>(::GetWindowLongW(source, GWL_STYLE)),
        row.left + place.left - origin.left, row.top + place.top - origin.top,
        place.right - place.left, place.bottom - place.top, dialog,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.controlIds[k])),
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(source, GWLP_HINSTANCE)), nullptr);
    if (created == nullptr) return false;
    ::SendMessageW(created, WM_SETFONT, ::SendMessageW(source, WM_GETFONT, 0, 0), FALSE);
    if (k == app::kXField || k == app::kYField)
      ::SendMessageW(created, EM_LIMITTEXT, MergeJob::kMaxTextUnits, 0);
  }
  return true;
}

void DestroyRow(HWND dialog, const app::RowControls& row) {
  for (const std::int32_t id : row.controlIds) {
    if (const HWND control = ::GetDlgItem(dialog, id)) ::DestroyWindow(control);
  }
}

}  // namespace dorvane::win32
