#include "survey/win32/preview_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "gridcontrol/win32/gdi.h"
#include "platform/win32/text.h"
#include "resources/resource.h"
#include "survey/preview_data.h"
#include "survey/preview_layout.h"
#include "survey/survey.h"

namespace dorvane::win32 {
namespace {

constexpr wchar_t kByValueText[] = L"按电阻率着色";
constexpr wchar_t kByInputText[] = L"按文件着色";
constexpr wchar_t kHoverHint[] = L"鼠标移到数据点上，这里显示它的文件、行号和数值";

// What the window shows, read once; it outlives the window.
struct Preview {
  PreviewData data;
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

// A list row shows one line: line ends (a system message has one) become spaces.
std::wstring OneLine(std::u16string_view text) {
  std::wstring line;
  for (const char16_t unit : text) {
    if (unit != u'\r' && unit != u'\n')
      line.push_back(static_cast<wchar_t>(unit));
    else if (!line.empty() && line.back() != L' ')
      line.push_back(L' ');
  }
  while (!line.empty() && line.back() == L' ') line.pop_back();
  return line;
}

// Six significant digits: what a reading holds, without a float's noise.
std::wstring Number(double value) {
  std::array<char, 32> text{};
  const auto end =
      std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::general, 6);
  return {text.data(), end.ptr};
}

// Centimetres: a position to the precision anyone lays out electrodes.
std::wstring Metres(double value) {
  std::array<char, 32> text{};
  const auto written =
      std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, 2);
  if (written.ec != std::errc()) return Number(value) + L" 米";
  auto end = written.ptr;
  while (end[-1] == '0') --end;
  if (end[-1] == '.') --end;
  return std::wstring(text.data(), end) + L" 米";
}

COLORREF ToColorRef(PreviewColour colour) {
  return RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
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
  void DrawTexts(const PreviewLayout& layout);
  HFONT FontOfSize(int pixels);
  std::wstring HoverText(const PreviewHit& hit) const;
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
  std::optional<PreviewLayout> layout_;   // what the DIB shows
  std::map<int, UniqueGdiObject> fonts_;  // the picture's, by pixel height
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
  const SurveyReport& report = preview_.data.report();
  int row = 0;
  for (const Finding& finding : report.findings) {
    const bool known =
        finding.input >= 0 && static_cast<std::size_t>(finding.input) < report.inputs.size();
    const std::array<std::wstring, 5> texts = {
        finding.level == FindingLevel::Error ? L"错误" : L"警告",
        known ? FileNameOf(report.inputs[finding.input].path) : L"",
        finding.line > 0 ? std::to_wstring(finding.line) : L"", OneLine(finding.message),
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

// The picture names the inputs and counts the data; this line counts what the
// check found.
void PreviewWindow::ShowSummary() {
  const std::vector<Finding>& findings = preview_.data.report().findings;
  const auto errors = std::count_if(findings.begin(), findings.end(), [](const Finding& finding) {
    return finding.level == FindingLevel::Error;
  });
  const std::wstring text =
      findings.empty()
          ? std::wstring(L"检查未发现问题")
          : L"检查发现 " + std::to_wstring(errors) + L" 个错误，" +
                std::to_wstring(findings.size() - static_cast<std::size_t>(errors)) + L" 个警告";
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

// The layout is computed for the size and colouring, painted into the DIB's
// pixels in one pass, and written on with the program's fonts.
void PreviewWindow::RenderPicture() {
  PreviewOptions options;
  options.width = dib_->width();
  options.height = dib_->height();
  options.colouring = byValue_ ? PreviewColouring::kByValue : PreviewColouring::kByInput;
  layout_.reset();
  layout_.emplace(LayOutPreview(preview_.data, options));
  ::GdiFlush();
  PaintPreview(*layout_, dib_->pixels(), dib_->width());
  DrawTexts(*layout_);
  ::GdiFlush();
}

void PreviewWindow::DrawTexts(const PreviewLayout& layout) {
  const HDC dc = dib_->dc();
  ::SetBkMode(dc, TRANSPARENT);
  for (const PreviewItem& item : layout.items) {
    if (item.kind != PreviewItem::Kind::kText || item.first >= layout.texts.size()) continue;
    const std::wstring text = Wide(layout.texts[item.first]);
    const SelectedObject font(dc, FontOfSize(item.size));
    const UINT align = item.align == PreviewAlign::kCenter  ? TA_CENTER
                       : item.align == PreviewAlign::kRight ? TA_RIGHT
                                                            : TA_LEFT;
    ::SetTextAlign(dc, TA_BASELINE | TA_NOUPDATECP | align);
    ::SetTextColor(dc, ToColorRef(item.colour));
    ::TextOutW(dc, item.left, item.top, text.c_str(), static_cast<int>(text.size()));
  }
}

// The dialog's face, which writes Chinese, at the size the layout asks for.
HFONT PreviewWindow::FontOfSize(int pixels) {
  auto& font = fonts_[pixels];
  if (!font) {
    LOGFONTW face{};
    if (::GetObjectW(font_, sizeof face, &face) == 0) face.lfCharSet = DEFAULT_CHARSET;
    face.lfHeight = -pixels;
    face.lfWidth = 0;
    face.lfWeight = FW_NORMAL;
    face.lfQuality = ANTIALIASED_QUALITY;
    font.reset(::CreateFontIndirectW(&face));
  }
  return font ? static_cast<HFONT>(font.get()) : font_;
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
  if (!layout_ || pictureStale_ || !::PtInRect(&picture_, point)) return ShowStatus(kHoverHint);
  const std::optional<PreviewHit> hit =
      HitTestPreview(*layout_, preview_.data, x - picture_.left, y - picture_.top);
  ShowStatus(hit ? HoverText(*hit) : kHoverHint);
}

// "line2.dat 第12行：数值 82.025，x 7.5 米，深度 2.6 米"
std::wstring PreviewWindow::HoverText(const PreviewHit& hit) const {
  const PreviewData& data = preview_.data;
  const SurveyReport& report = data.report();
  std::wstring text =
      hit.input < report.inputs.size() ? FileNameOf(report.inputs[hit.input].path) + L" " : L"";
  text += L"第" + std::to_wstring(hit.line) + L"行：数值 " + Number(hit.value);
  if (hit.datum >= data.size()) return text;
  text += L"，x " + Metres(data.x()[hit.datum]);
  text += (data.planView() ? L"，y " : L"，深度 ") + Metres(data.depthOrY()[hit.datum]);
  const double elevation = data.elevation()[hit.datum];
  if (!data.planView() && !std::isnan(elevation)) text += L"，高程 " + Metres(elevation);
  return text;
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
  fonts_.clear();
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
  Preview preview{PreviewData(job.mode())};
  {
    const WaitCursor wait;
    preview.data.SetReport(AnalyseSurvey(job, topography, &preview.data));
  }
  ShowPreview(instance, owner, preview);
}

}  // namespace dorvane::win32
