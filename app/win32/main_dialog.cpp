#include "app/win32/main_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/dialog_job.h"
#include "app/mode_visibility.h"
#include "app/row_table.h"
#include "app/win32/about_box.h"
#include "app/win32/path_tooltips.h"
#include "app/win32/row_controls.h"
#include "app/win32/topography_grid.h"
#include "platform/code_page.h"
#include "platform/win32/text.h"
#include "resources/resource.h"
#include "survey/win32/preview_window.h"

namespace dorvane::win32 {
namespace {

constexpr wchar_t kCaption[] = L"Dorvane1.1";
constexpr wchar_t kDialogProperty[] = L"Dorvane.MainDialog";
constexpr std::u16string_view kOpenTitle = u"打开res2dinv格式数据文件";
constexpr std::u16string_view kSaveTitle = u"输入保存的res2dinv格式数据文件";

// Shows a path in a read-only field scrolled to its end, so the file name shows
// when the folders are longer than the field.
void ShowPath(HWND field, const std::u16string& path) {
  ::SetWindowTextW(field, Wide(path).c_str());
  const auto end = static_cast<WPARAM>(path.size());
  ::SendMessageW(field, EM_SETSEL, end, static_cast<LPARAM>(end));
  ::SendMessageW(field, EM_SCROLLCARET, 0, 0);
}

// A control's text as the job reads it: at most 1023 units.
std::u16string ControlText(HWND control) {
  std::array<wchar_t, MergeJob::kMaxTextUnits + 1> buffer{};
  const int length = ::GetWindowTextW(control, buffer.data(), static_cast<int>(buffer.size()));
  return FromWide(std::wstring_view(buffer.data(), length > 0 ? length : 0));
}

app::PixelRect ToPixelRect(const RECT& rect) {
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

app::PixelRect WorkAreaOf(HWND window) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
  return ToPixelRect(monitor.rcWork);
}

class MainDialog {
 public:
  MainDialog(HINSTANCE instance, Win32MessageBoxes& messages, FileAccess& files,
             GridControlWindowFactory createGridWindow)
      : instance_(instance),
        messages_(messages),
        files_(files),
        codePage_(MakeCodePage({})),
        grid_(messages, createGridWindow) {}

  INT_PTR Run() {
    return ::DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_MAIN), nullptr, DialogProc,
                             reinterpret_cast<LPARAM>(this));
  }

  GridEditor* editor() const { return gridHosted_ ? grid_.editor() : nullptr; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  BOOL OnInitDialog();
  bool OnCommand(int id, int code);
  bool OnNotify(NMHDR& header);
  void OnClose(WPARAM wParam);
  void OnDestroy();
  void OnDropFiles(HDROP drop);

  void SetIcons();
  void HostGrid();
  void MeasureRoom();
  void ApplyModeVisibility();
  void AddFileRow();
  void GrowFor(const app::RowControls& added);
  void DeleteFileRow();
  void BrowseInputFile(std::size_t row);
  bool PutInputFile(std::size_t row, const std::u16string& path);
  void ChooseOutputFile();
  void RunJob();
  void ShowPreview();
  void OnRowCommand(const app::RowTable::Slot& slot, int code);

  HWND Item(int id) const { return ::GetDlgItem(dialog_, id); }
  HWND RowItem(std::size_t row, std::size_t position) const {
    return Item(rows_->row(row).controlIds[position]);
  }
  bool IsChecked(int id) const { return ::IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
  app::DialogControlState ReadControls() const;
  std::optional<std::size_t> FirstEmptyRowFrom(std::size_t row) const;
  void KeepOnScreen(const app::PixelRect& window);

  HINSTANCE instance_;
  Win32MessageBoxes& messages_;
  FileAccess& files_;
  std::unique_ptr<CodePage> codePage_;
  TopographyGrid grid_;
  bool gridHosted_ = false;
  PathTooltips tooltips_;
  HWND dialog_ = nullptr;
  std::optional<app::RowTable> rows_;
  app::ScreenRoom room_;
  MergeMode mode_ = MergeMode::LongProfileMerge;
};

INT_PTR CALLBACK MainDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    ::SetPropW(dialog, kDialogProperty, reinterpret_cast<HANDLE>(lParam));
    reinterpret_cast<MainDialog*>(lParam)->dialog_ = dialog;
  }
  auto* self = reinterpret_cast<MainDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  if (self == nullptr) return FALSE;
  // Nothing may unwind through the system's dialog code.
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    return FALSE;
  }
}

INT_PTR MainDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case WM_CLOSE:
      OnClose(wParam);
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    default:
      return FALSE;
  }
}

BOOL MainDialog::OnInitDialog() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  ::SetWindowTextW(dialog_, kCaption);
  SetIcons();
  messages_.SetOwner(MessageOwner::MainDialog, dialog_);
  files_.SetOwnerWindow(dialog_);

  HostGrid();
  ::ShowWindow(Item(IDC_GRID_FRAME), IsChecked(IDC_TOPOGRAPHY) ? SW_SHOW : SW_HIDE);
  ::SetDlgItemInt(dialog_, IDC_ROW_X, 0, FALSE);
  ::SetDlgItemInt(dialog_, IDC_ROW_Y, 0, FALSE);
  for (const int field : {IDC_ROW_X, IDC_ROW_Y})
    ::SendMessageW(Item(field), EM_LIMITTEXT, MergeJob::kMaxTextUnits, 0);
  mode_ = MergeMode::LongProfileMerge;
  ::CheckRadioButton(dialog_, IDC_MODE_MERGE, IDC_MODE_SCRIPT3D, IDC_MODE_MERGE);
  ::CheckRadioButton(dialog_, IDC_ROW_INCREASING, IDC_ROW_DECREASING, IDC_ROW_INCREASING);
  ::CheckRadioButton(dialog_, IDC_ROW_X_DIRECTION, IDC_ROW_Y_DIRECTION, IDC_ROW_X_DIRECTION);

  MeasureRoom();
  rows_.emplace(MeasureFirstRow(dialog_));

  if (tooltips_.Create(instance_, dialog_)) {
    tooltips_.Add(Item(IDC_OUTPUT_PATH));
    tooltips_.Add(Item(IDC_ROW_PATH));
  }
  tooltips_.InstallHook();
  ApplyModeVisibility();
  ::DragAcceptFiles(dialog_, TRUE);
  return TRUE;
}

void MainDialog::SetIcons() {
  const auto load = [this](int id, int metricX, int metricY) {
    return ::LoadImageW(instance_, MAKEINTRESOURCEW(id), IMAGE_ICON, ::GetSystemMetrics(metricX),
                        ::GetSystemMetrics(metricY), LR_SHARED);
  };
  ::SendMessageW(dialog_, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(load(IDI_PROGRAM, SM_CXICON, SM_CYICON)));
  ::SendMessageW(dialog_, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(load(IDI_SMALL, SM_CXSMICON, SM_CYSMICON)));
}

void MainDialog::HostGrid() {
  const HWND frame = Item(IDC_GRID_FRAME);
  gridHosted_ = grid_.Create(instance_, frame);
  if (gridHosted_) {
    grid_.FitTo(frame);
  } else {
    // Without a grid there is no topography to add.
    ::EnableWindow(Item(IDC_TOPOGRAPHY), FALSE);
  }
}

// The room for rows is what the dialog's client area has when maximised,
// worked out from the monitor's work area: maximising the dialog to measure it
// would show it for a moment.
void MainDialog::MeasureRoom() {
  RECT edges{};
  ::AdjustWindowRectEx(&edges, static_cast<DWORD>(::GetWindowLongW(dialog_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongW(dialog_, GWL_EXSTYLE)));
  const app::PixelSize client = app::MaximisedClientSize(
      WorkAreaOf(dialog_), {-edges.left, -edges.top, edges.right, edges.bottom});
  room_.maxClientWidth = client.width;
  room_.maxClientHeight = client.height;
  RECT frame{};
  ::GetWindowRect(Item(IDC_GRID_FRAME), &frame);
  room_.gridHostWidth = frame.right - frame.left;
}

// Every command first brings the controls in line with the mode; Esc (IDCANCEL)
// is left to the system, so it does not close the dialog.
bool MainDialog::OnCommand(int id, int code) {
  ApplyModeVisibility();
  switch (id) {
    case IDC_OUTPUT_BROWSE:
      ChooseOutputFile();
      return true;
    case IDC_ADD_FILE:
      AddFileRow();
      return true;
    case IDC_DELETE_FILE:
      DeleteFileRow();
      return true;
    case IDC_RUN_JOB:
      RunJob();
      return true;
    case IDC_PREVIEW:
      ShowPreview();
      return true;
    case IDC_EXIT:
      ::SendMessageW(dialog_, WM_CLOSE, MAKEWPARAM(id, code), 0);
      return true;
    case IDC_HELP_ABOUT:
      RunAboutBox(instance_, dialog_, messages_);
      return true;
    default:
      if (const auto slot = rows_ ? rows_->Locate(id) : std::nullopt) {
        OnRowCommand(*slot, code);
        return true;
      }
      return false;
  }
}

void MainDialog::OnRowCommand(const app::RowTable::Slot& slot, int code) {
  const auto& ids = rows_->row(slot.row).controlIds;
  switch (slot.position) {
    case app::kBrowseButton:
      if (code == BN_CLICKED) BrowseInputFile(slot.row);
      return;
    case app::kIncreasingRadio:
    case app::kDecreasingRadio:
      if (code == BN_CLICKED || code == BN_DOUBLECLICKED)
        ::CheckRadioButton(dialog_, ids[app::kIncreasingRadio], ids[app::kDecreasingRadio],
                           ids[slot.position]);
      return;
    case app::kXDirectionRadio:
    case app::kYDirectionRadio:
      if (code == BN_CLICKED || code == BN_DOUBLECLICKED)
        ::CheckRadioButton(dialog_, ids[app::kXDirectionRadio], ids[app::kYDirectionRadio],
                           ids[slot.position]);
      return;
    default:
      return;
  }
}

bool MainDialog::OnNotify(NMHDR& header) {
  if (header.hwndFrom != tooltips_.window() || header.code != TTN_GETDISPINFOW) return false;
  tooltips_.OnGetDispInfo(reinterpret_cast<NMTTDISPINFOW&>(header));
  return true;
}

// A close request also arrives through a message box's loop, in the middle of
// a command that goes on using the grid once the box returns: the dialog ends
// after that command, and the grid goes with the dialog's window.
void MainDialog::OnClose(WPARAM wParam) {
  ::EndDialog(dialog_, LOWORD(wParam));
}

void MainDialog::OnDestroy() {
  gridHosted_ = false;
  grid_.Destroy();
  ::RemovePropW(dialog_, kDialogProperty);
}

void MainDialog::ApplyModeVisibility() {
  if (!rows_) return;
  // Without a grid the box stays cleared, however it was reached.
  if (!gridHosted_) ::CheckDlgButton(dialog_, IDC_TOPOGRAPHY, BST_UNCHECKED);
  ::ShowWindow(Item(IDC_GRID_FRAME), IsChecked(IDC_TOPOGRAPHY) ? SW_SHOW : SW_HIDE);
  if (const auto mode = app::ModeFromRadios(IsChecked(IDC_MODE_MERGE), IsChecked(IDC_MODE_SCRIPT2D),
                                            IsChecked(IDC_MODE_SCRIPT3D)))
    mode_ = *mode;
  const app::ModeVisibility shown = app::VisibilityOf(mode_);
  for (std::size_t row = 0; row < rows_->rowCount(); ++row) {
    for (std::size_t k = 0; k < app::kRowPositions; ++k) {
      if (const HWND control = RowItem(row, k))
        ::ShowWindow(control, shown.rowPositionShown[k] ? SW_SHOWNA : SW_HIDE);
    }
  }
  if (shown.topographyBoxShown) {
    ::ShowWindow(Item(IDC_TOPOGRAPHY), SW_SHOWNA);
  } else {
    ::CheckDlgButton(dialog_, IDC_TOPOGRAPHY, BST_UNCHECKED);
    ::ShowWindow(Item(IDC_TOPOGRAPHY), SW_HIDE);
    ::ShowWindow(Item(IDC_GRID_FRAME), SW_HIDE);
  }
}

void MainDialog::AddFileRow() {
  const app::RowControls* added = rows_->AddRow(room_);
  if (added == nullptr) return;
  GrowFor(*added);

  const HWND frame = Item(IDC_GRID_FRAME);
  const app::PixelRect moved = app::GridFrameBeside(*rows_, *added, ToPixelRect(ChildRect(frame)));
  ::MoveWindow(frame, moved.left, moved.top, moved.width, moved.height, TRUE);
  if (gridHosted_) grid_.FitTo(frame);
  // New columns of rows begin beside the buttons: "预览" keeps above the grid.
  const RECT preview = ChildRect(Item(IDC_PREVIEW));
  ::MoveWindow(Item(IDC_PREVIEW), moved.left, preview.top, preview.right - preview.left,
               preview.bottom - preview.top, TRUE);

  if (!CloneFirstRow(dialog_, *added)) return;
  const auto& ids = added->controlIds;
  ::CheckRadioButton(dialog_, ids[app::kIncreasingRadio], ids[app::kDecreasingRadio],
                     ids[app::kIncreasingRadio]);
  ::CheckRadioButton(dialog_, ids[app::kXDirectionRadio], ids[app::kYDirectionRadio],
                     ids[app::kXDirectionRadio]);
  tooltips_.Add(Item(ids[app::kPathField]));
}

// The dialog grows to the right and down from where it stands; near the screen's
// edge it moves back just enough to stay whole on the screen. Maximised, it is
// its restored size that grows: restoring must not cut off the new row.
void MainDialog::GrowFor(const app::RowControls& added) {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  const bool maximised = ::IsZoomed(dialog_) && ::GetWindowPlacement(dialog_, &placement);
  RECT window{};
  ::GetWindowRect(dialog_, &window);
  RECT client{};
  ::GetClientRect(dialog_, &client);
  const app::PixelSize frame{(window.right - window.left) - client.right,
                             (window.bottom - window.top) - client.bottom};
  app::PixelRect grown = ToPixelRect(maximised ? placement.rcNormalPosition : window);
  const app::PixelSize growth = app::DialogGrowth(
      rows_->firstRow(), added, {grown.width - frame.width, grown.height - frame.height},
      room_.gridHostWidth);
  if (growth.width <= 0 && growth.height <= 0) return;
  grown.width += growth.width;
  grown.height += growth.height;
  if (!maximised) {
    KeepOnScreen(grown);
    return;
  }
  // The restored place is in workspace coordinates: from the primary work area's corner.
  app::PixelRect workArea = WorkAreaOf(dialog_);
  RECT primary{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &primary, 0);
  workArea.left -= primary.left;
  workArea.top -= primary.top;
  const app::PixelRect kept = app::KeepInside(grown, workArea);
  placement.rcNormalPosition = {kept.left, kept.top, kept.left + kept.width,
                                kept.top + kept.height};
  ::SetWindowPlacement(dialog_, &placement);
}

void MainDialog::KeepOnScreen(const app::PixelRect& window) {
  const app::PixelRect kept = app::KeepInside(window, WorkAreaOf(dialog_));
  ::MoveWindow(dialog_, kept.left, kept.top, kept.width, kept.height, TRUE);
}

void MainDialog::DeleteFileRow() {
  if (rows_->rowCount() <= 1) return;
  tooltips_.Remove(RowItem(rows_->rowCount() - 1, app::kPathField));
  const std::optional<app::RowControls> removed = rows_->RemoveLastRow();
  if (removed) DestroyRow(dialog_, *removed);
}

void MainDialog::BrowseInputFile(std::size_t row) {
  const std::optional<std::u16string> chosen = files_.ChooseOpenFile(kOpenTitle, kDataFileFilters);
  if (chosen) PutInputFile(row, *chosen);
}

// Puts `path` into the row's path field if the reader accepts the file; the
// field keeps its text otherwise.
bool MainDialog::PutInputFile(std::size_t row, const std::u16string& path) {
  if (!app::FitsPathField(path)) {
    ShowJobError(messages_, u"文件路径过长");
    return false;
  }
  if (files_.OpenAndMap(path) == nullptr) return false;
  bool accepted = false;
  if (!files_.ReadContent([&] { accepted = app::IsInversionDataFile(files_.Content()); }))
    return false;
  files_.Release();
  if (!accepted) {
    ShowJobError(messages_, u"非反演格式或格式错误");
    return false;
  }
  ShowPath(RowItem(row, app::kPathField), path);
  return true;
}

void MainDialog::ChooseOutputFile() {
  const std::optional<std::u16string> chosen = files_.ChooseSaveFile(kSaveTitle, kDataFileFilters);
  if (chosen) ShowPath(Item(IDC_OUTPUT_PATH), *chosen);
}

app::DialogControlState MainDialog::ReadControls() const {
  app::DialogControlState state;
  state.mode = mode_;
  for (std::size_t row = 0; row < rows_->rowCount(); ++row) {
    const auto& ids = rows_->row(row).controlIds;
    app::RowControlState controls;
    controls.path = ControlText(RowItem(row, app::kPathField));
    controls.x = ControlText(RowItem(row, app::kXField));
    controls.y = ControlText(RowItem(row, app::kYField));
    controls.increasingSelected = IsChecked(ids[app::kIncreasingRadio]);
    controls.xDirectionSelected = IsChecked(ids[app::kXDirectionRadio]);
    state.rows.push_back(std::move(controls));
  }
  state.outputPath = ControlText(Item(IDC_OUTPUT_PATH));
  state.topographyChecked = IsChecked(IDC_TOPOGRAPHY);
  state.topographyAvailable = gridHosted_;
  return state;
}

void MainDialog::RunJob() {
  if (gridHosted_) grid_.CommitPendingEdit();
  const MergeJob job = app::BuildMergeJob(ReadControls());
  const app::NoTopography noTopography;
  const TopographyTable* table = gridHosted_ ? grid_.table() : nullptr;
  app::CheckAndRunMergeJob(job, table != nullptr ? *table : noTopography, files_, messages_,
                           *codePage_);
}

// The job "合并/创建" would run, read and placed but not written.
void MainDialog::ShowPreview() {
  if (gridHosted_) grid_.CommitPendingEdit();
  const MergeJob job = app::BuildMergeJob(ReadControls());
  RunPreviewWindow(instance_, dialog_, job, gridHosted_ ? grid_.table() : nullptr);
}

std::optional<std::size_t> MainDialog::FirstEmptyRowFrom(std::size_t row) const {
  for (; row < rows_->rowCount(); ++row) {
    const HWND field = RowItem(row, app::kPathField);
    if (field != nullptr && ::GetWindowTextLengthW(field) == 0) return row;
  }
  return std::nullopt;
}

// Dropped files fill the empty rows in order, adding rows as "增加文件" does;
// each file passes the same check as one chosen with the row's button.
void MainDialog::OnDropFiles(HDROP drop) {
  std::vector<std::u16string> paths;
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    path.resize(::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      continue;
    paths.push_back(FromWide(path));
  }
  ::DragFinish(drop);

  std::size_t next = 0;
  for (const std::u16string& path : app::InFileManagerOrder(std::move(paths))) {
    std::optional<std::size_t> row = FirstEmptyRowFrom(next);
    if (!row) {
      const std::size_t before = rows_->rowCount();
      AddFileRow();
      if (rows_->rowCount() == before) return;
      row = FirstEmptyRowFrom(before);
      if (!row) return;
    }
    next = PutInputFile(*row, path) ? *row + 1 : *row;
  }
}

}  // namespace

GridEditor* TopographyEditorOf(HWND dialog) {
  const auto* main = static_cast<const MainDialog*>(::GetPropW(dialog, kDialogProperty));
  return main != nullptr ? main->editor() : nullptr;
}

INT_PTR RunMainDialog(HINSTANCE instance, Win32MessageBoxes& messages, FileAccess& files) {
  return RunMainDialog(instance, messages, files, nullptr);
}

INT_PTR RunMainDialog(HINSTANCE instance, Win32MessageBoxes& messages, FileAccess& files,
                      GridControlWindowFactory createGridWindow) {
  MainDialog dialog(instance, messages, files, createGridWindow);
  return dialog.Run();
}

}  // namespace dorvane::win32
