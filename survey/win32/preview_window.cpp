#include "survey/win32/preview_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>

#include "gridcontrol/win32/gdi.h"
#include "platform/win32/text.h"
#include "resources/resource.h"
#include "survey/survey.h"

namespace dorvane::win32 {
namespace {

constexpr wchar_t kByValueText[] = L"按电阻率着色";
constexpr wchar_t kByInputText[] = L"按文件着色";
constexpr wchar_t kHoverHint[] = L"鼠标移到数据点上，这里显示它的文件、行号和数值";

// What the window shows; it outlives the window.
struct Preview {
  SurveyReport report;
};

struct CreateParams {
  const Preview* preview;
  HWND owner;
};

// The wait cursor while the inputs are read.
class WaitCursor {
 public:
  WaitCursor() : previous_(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { ::SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

std::wstring FileNameOf(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u"\\/");
  return Wide(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

class PreviewWindow {
 public:
  PreviewWindow(HWND window, const CreateParams& params)
      : window_(window), owner_(params.owner), preview_(*params.preview) {}

  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  bool OnCreate();
  void OnSize(int width, int height);
  void OnPaint();
  void OnPrintClient(HDC dc);
  void OnEraseBackground(HDC dc);
  void OnMouseMove(int x, int y);
  void OnMouseLeave();
  void OnCommand(int id, int code);
  void OnGetMinMaxInfo(MINMAXINFO& info) const;
  void OnActivate(bool active);
  void OnSetFocus();
  void OnClose();
  void OnDestroy();

  HWND CreateChild(const wchar_t* className, const wchar_t* text, DWORD style, int id);
  void MeasureFont();
  void AddFindingColumns();
  void FillFindings();
  void ShowSummary();
  void ToggleColouring();
  // Lays the survey out for the picture's size and draws it into the DIB, when
  // either changed since the last time; false without a picture.
  bool PictureReady();
  void RenderPicture();
  void ShowStatus(const std::wstring& text);
  void ReleaseOwner();

  HWND window_;
  HWND owner_;
  const Preview& preview_;
  HFONT font_ = nullptr;  // the owner's; not ours to delete
  int unit_ = 16;         // the font's line height in pixels
  HWND colouring_ = nullptr;
  HWND summary_ = nullptr;
  HWND findings_ = nullptr;
  HWND status_ = nullptr;
  HWND lastFocus_ = nullptr;
  RECT picture_{};
  std::optional<DibSection> dib_;
  bool pictureStale_ = true;
  bool byValue_ = false;
  bool trackingLeave_ = false;
  std::wstring statusText_;
};

LRESULT PreviewWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_SIZE:
      OnSize(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_PRINTCLIENT:
      OnPrintClient(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      OnEraseBackground(reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_MOUSEMOVE:
      OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MOUSELEAVE:
      OnMouseLeave();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_GETMINMAXINFO:
      OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE);
      return 0;
    case WM_SETFOCUS:
      OnSetFocus();
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    default:
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

HWND PreviewWindow::CreateChild(const wchar_t* className, const wchar_t* text, DWORD style,
                                int id) {
  const HWND child = ::CreateWindowExW(
      0, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window_, GWLP_HINSTANCE)), nullptr);
  if (child != nullptr && font_ != nullptr)
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  return child;
}

// The owner's font writes Chinese (the main dialog's is a CJK one); sizes
// follow its height, so the window scales with the system's text size.
void PreviewWindow::MeasureFont() {
  font_ = reinterpret_cast<HFONT>(::SendMessageW(owner_, WM_GETFONT, 0, 0));
  if (font_ == nullptr) font_ = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  const WindowDc dc(window_);
  if (dc.get() == nullptr) return;
  const SelectedObject selected(dc.get(), font_);
  TEXTMETRICW metrics{};
  if (::GetTextMetricsW(dc.get(), &metrics)) unit_ = std::max<int>(8, metrics.tmHeight);
}

bool PreviewWindow::OnCreate() {
  MeasureFont();
  colouring_ =
      CreateChild(L"BUTTON", kByValueText, WS_TABSTOP | BS_PUSHBUTTON, IDC_PREVIEW_COLOURING);
  summary_ =
      CreateChild(L"STATIC", L"", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, IDC_PREVIEW_SUMMARY);
  findings_ = CreateChild(WC_LISTVIEWW, L"",
                          WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL,
                          IDC_PREVIEW_FINDINGS);
  status_ = CreateChild(STATUSCLASSNAMEW, kHoverHint, SBARS_SIZEGRIP, IDC_PREVIEW_STATUS);
  if (colouring_ == nullptr || findings_ == nullptr || status_ == nullptr) return false;
  ListView_SetExtendedListViewStyle(findings_,
                                    LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_LABELTIP);
  AddFindingColumns();
  // The list measures its rows and header by the font it has when told of it.
  ::SendMessageW(ListView_GetHeader(findings_), WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  ::SendMessageW(findings_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  FillFindings();
  ShowSummary();
  statusText_ = kHoverHint;
  lastFocus_ = findings_;
  return true;
}

void PreviewWindow::AddFindingColumns() {
  struct Column {
    const wchar_t* title;
    int widthInUnits;
    int format;
  };
  static constexpr std::array<Column, 5> kColumns = {{{L"级别", 3, LVCFMT_LEFT},
                                                      {L"文件", 9, LVCFMT_LEFT},
                                                      {L"行", 4, LVCFMT_RIGHT},
                                                      {L"说明", 30, LVCFMT_LEFT},
                                                      {L"代码", 9, LVCFMT_LEFT}}};
  for (int k = 0; k < static_cast<int>(kColumns.size()); ++k) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = kColumns[k].format;
    column.cx = kColumns[k].widthInUnits * unit_;
    column.pszText = const_cast<wchar_t*>(kColumns[k].title);
    column.iSubItem = k;
    ListView_InsertColumn(findings_, k, &column);
  }
}

void PreviewWindow::FillFindings() {
  const SurveyReport& report = preview_.report;
  int row = 0;
  for (const Finding& finding : report.findings) {
    const bool known =
        finding.input >= 0 && static_cast<std::size_t>(finding.input) < report.inputs.size();
    const std::array<std::wstring, 5> texts = {
        finding.level == FindingLevel::Error ? L"错误" : L"警告",
        known ? FileNameOf(report.inputs[finding.input].path) : L"",
        finding.line > 0 ? std::to_wstring(finding.line) : L"", Wide(finding.message),
        std::wstring(finding.code.begin(), finding.code.end())};
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(texts[0].c_str());
    if (ListView_InsertItem(findings_, &item) < 0) return;
    for (int k = 1; k < static_cast<int>(texts.size()); ++k)
      ListView_SetItemText(findings_, row, k, const_cast<wchar_t*>(texts[k].c_str()));
    ++row;
  }
}

void PreviewWindow::ShowSummary() {
  const SurveyReport& report = preview_.report;
  std::uint64_t data = 0;
  for (const InputSummary& input : report.inputs) data += input.dataCount;
  std::size_t errors = 0;
  for (const Finding& finding : report.findings)
    if (finding.level == FindingLevel::Error) ++errors;
  const std::size_t warnings = report.findings.size() - errors;
  std::wstring text =
      std::to_wstring(report.inputs.size()) + L" 个文件，" + std::to_wstring(data) + L" 个数据点；";
  text += report.findings.empty()
              ? std::wstring(L"未发现问题")
              : std::to_wstring(errors) + L" 个错误，" + std::to_wstring(warnings) + L" 个警告";
  ::SetWindowTextW(summary_, text.c_str());
}

// Top to bottom: the colouring button and the summary, the picture, the
// findings (at least a few rows, at most half the height), the status line.
void PreviewWindow::OnSize(int width, int height) {
  ::SendMessageW(status_, WM_SIZE, 0, 0);
  RECT status{};
  ::GetWindowRect(status_, &status);
  const int statusHeight = status.bottom - status.top;
  const int gap = unit_ / 2;
  const int buttonHeight = unit_ * 7 / 4;
  const int buttonWidth = unit_ * 8;
  ::MoveWindow(colouring_, gap, gap, buttonWidth, buttonHeight, TRUE);
  ::MoveWindow(summary_, gap + buttonWidth + unit_, gap,
               std::max(0, width - buttonWidth - unit_ - 2 * gap), buttonHeight, TRUE);

  const int below = height - statusHeight;
  const int top = gap + buttonHeight + gap;
  const int listHeight = std::clamp((below - top) / 4, std::min(unit_ * 9, (below - top) / 2),
                                    std::max(unit_ * 9, (below - top) / 2));
  const int listTop = std::max(top, below - gap - listHeight);
  ::MoveWindow(findings_, gap, listTop, std::max(0, width - 2 * gap),
               std::max(0, below - gap - listTop), TRUE);

  const RECT picture{0, top, width, std::max<int>(top, listTop - gap)};
  if (!::EqualRect(&picture, &picture_)) {
    picture_ = picture;
    pictureStale_ = true;
  }
  // Children that moved leave pieces of the old frame behind under Wine.
  ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool PreviewWindow::PictureReady() {
  const int width = picture_.right - picture_.left;
  const int height = picture_.bottom - picture_.top;
  if (width <= 0 || height <= 0) return false;
  if (!dib_ || dib_->width() != width || dib_->height() != height) {
    dib_.reset();
    const WindowDc screen(window_);
    dib_.emplace(screen.get(), width, height);
    pictureStale_ = true;
  }
  if (!*dib_) {
    dib_.reset();
    return false;
  }
  if (pictureStale_) {
    RenderPicture();
    pictureStale_ = false;
  }
  return true;
}

void PreviewWindow::RenderPicture() {
  const RECT all{0, 0, dib_->width(), dib_->height()};
  ::FillRect(dib_->dc(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  ::GdiFlush();
}

void PreviewWindow::OnPaint() {
  const PaintContext paint(window_);
  if (!PictureReady()) return;
  ::BitBlt(paint.dc(), picture_.left, picture_.top, dib_->width(), dib_->height(), dib_->dc(), 0, 0,
           SRCCOPY);
}

void PreviewWindow::OnPrintClient(HDC dc) {
  OnEraseBackground(dc);
  if (PictureReady())
    ::BitBlt(dc, picture_.left, picture_.top, dib_->width(), dib_->height(), dib_->dc(), 0, 0,
             SRCCOPY);
}

// Everything but the picture, which its own paint covers whole.
void PreviewWindow::OnEraseBackground(HDC dc) {
  RECT client{};
  ::GetClientRect(window_, &client);
  const int saved = ::SaveDC(dc);
  ::ExcludeClipRect(dc, picture_.left, picture_.top, picture_.right, picture_.bottom);
  ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
  ::RestoreDC(dc, saved);
}

void PreviewWindow::OnMouseMove(int x, int y) {
  if (!trackingLeave_) {
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window_, 0};
    trackingLeave_ = ::TrackMouseEvent(&track) != FALSE;
  }
  const POINT point{x, y};
  if (!::PtInRect(&picture_, point)) return ShowStatus(kHoverHint);
  ShowStatus(kHoverHint);
}

void PreviewWindow::OnMouseLeave() {
  trackingLeave_ = false;
  ShowStatus(kHoverHint);
}

void PreviewWindow::ShowStatus(const std::wstring& text) {
  if (text == statusText_) return;
  statusText_ = text;
  ::SetWindowTextW(status_, statusText_.c_str());
}

void PreviewWindow::OnCommand(int id, int code) {
  switch (id) {
    case IDC_PREVIEW_COLOURING:
      if (code == BN_CLICKED) ToggleColouring();
      return;
    case IDCANCEL:  // Esc
      OnClose();
      return;
    default:
      return;
  }
}

void PreviewWindow::ToggleColouring() {
  byValue_ = !byValue_;
  ::SetWindowTextW(colouring_, byValue_ ? kByInputText : kByValueText);
  pictureStale_ = true;
  ::InvalidateRect(window_, &picture_, FALSE);
}

void PreviewWindow::OnGetMinMaxInfo(MINMAXINFO& info) const {
  info.ptMinTrackSize.x = unit_ * 30;
  info.ptMinTrackSize.y = unit_ * 24;
}

// The dialog manager keeps no focus for a window that is not a dialog.
void PreviewWindow::OnActivate(bool active) {
  if (!active) {
    const HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(window_, focus)) lastFocus_ = focus;
    return;
  }
  OnSetFocus();
}

void PreviewWindow::OnSetFocus() {
  if (lastFocus_ != nullptr && ::IsWindow(lastFocus_)) ::SetFocus(lastFocus_);
}

// The owner takes input again before this window goes, so it is the one the
// system activates next.
void PreviewWindow::ReleaseOwner() {
  if (owner_ != nullptr && ::IsWindow(owner_)) ::EnableWindow(owner_, TRUE);
}

void PreviewWindow::OnClose() {
  ReleaseOwner();
  ::DestroyWindow(window_);
}

void PreviewWindow::OnDestroy() {
  ReleaseOwner();
  dib_.reset();
}

LRESULT CALLBACK PreviewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Nothing may unwind through the system's window code.
  try {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      const auto* params = static_cast<const CreateParams*>(create->lpCreateParams);
      auto state = std::make_unique<PreviewWindow>(window, *params);
      ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state.release()));
      return ::DefWindowProcW(window, message, wParam, lParam);
    }
    auto* state = reinterpret_cast<PreviewWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (state == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      std::unique_ptr<PreviewWindow> owned(state);
      return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return state->Handle(message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

bool RegisterPreviewClass(HINSTANCE instance) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (::GetClassInfoExW(instance, kPreviewWindowClass, &existing)) return true;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = PreviewWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_PROGRAM));
  windowClass.hIconSm = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
  windowClass.lpszClassName = kPreviewWindowClass;
  return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Most of the work area of the owner's monitor, centred in it.
RECT PlaceOnWorkArea(HWND owner) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  const int width = (work.right - work.left) * 9 / 10;
  const int height = (work.bottom - work.top) * 9 / 10;
  const int left = work.left + (work.right - work.left - width) / 2;
  const int top = work.top + (work.bottom - work.top - height) / 2;
  return {left, top, left + width, top + height};
}

// Runs the window's own loop until it is gone. A quit request ends the loop
// and is passed on to the loop that runs the owner.
void RunModalLoop(HWND window) {
  MSG message{};
  while (::IsWindow(window)) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (got < 0) return;
    if (::IsDialogMessageW(window, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void ShowPreview(HINSTANCE instance, HWND owner, const Preview& preview) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  if (!RegisterPreviewClass(instance)) return;
  const RECT place = PlaceOnWorkArea(owner);
  const CreateParams params{&preview, owner};
  const HWND window = ::CreateWindowExW(
      WS_EX_CONTROLPARENT, kPreviewWindowClass, kPreviewTitle,
      WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, place.left, place.top, place.right - place.left,
      place.bottom - place.top, owner, nullptr, instance, const_cast<CreateParams*>(&params));
  if (window == nullptr) return;
  if (owner != nullptr) ::EnableWindow(owner, FALSE);
  ::ShowWindow(window, SW_SHOW);
  ::UpdateWindow(window);
  RunModalLoop(window);
  if (owner != nullptr && ::IsWindow(owner)) ::EnableWindow(owner, TRUE);
}

}  // namespace

void RunPreviewWindow(HINSTANCE instance, HWND owner, const MergeJob& job,
                      const TopographyTable* topography) {
  Preview preview;
  {
    const WaitCursor wait;
    preview.report = AnalyseSurvey(job, topography, nullptr);
  }
  ShowPreview(instance, owner, preview);
}

}  // namespace dorvane::win32
