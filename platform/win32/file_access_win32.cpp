#include <windows.h>

#include <cderr.h>
#include <commdlg.h>

#include <cwchar>
#include <optional>
#include <string>

#include "platform/file_access.h"
#include "platform/win32/text.h"

namespace dorvane {
namespace {

constexpr DWORD kOpenResultCapacity = 32768;
constexpr DWORD kSavePathCapacity = 260;

std::size_t LastSeparator(std::wstring_view path) {
  return path.find_last_of(L"\\/");
}

// The folder part of a chosen path, without a final separator except at a
// drive root, where "D:" would mean the drive's current folder instead.
std::wstring FolderOfChosenPath(std::wstring_view path) {
  const std::size_t at = LastSeparator(path);
  if (at == std::wstring_view::npos) return {};
  if (at == 2 && path[1] == L':') return std::wstring(path.substr(0, 3));
  return std::wstring(path.substr(0, at));
}

std::wstring FiltersWithTerminator(std::u16string_view filters) {
  std::wstring list = win32::Wide(filters);
  while (list.size() < 2 || list[list.size() - 1] != L'\0' || list[list.size() - 2] != L'\0')
    list.push_back(L'\0');
  return list;
}

// What both file dialogs share: owner, filters (first pair selected), the file-name
// buffer (opened empty) and the remembered folder to start in.
OPENFILENAMEW DialogRequest(HWND owner, const std::wstring& filters, const std::wstring& title,
                            std::wstring& buffer, const std::wstring& folder) {
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filters.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = title.c_str();
  return dialog;
}

FileAccess::DialogResult RunOpenDialog(OPENFILENAMEW& dialog) {
  if (::GetOpenFileNameW(&dialog)) return true;
  return FileAccess::DialogResult::Failed(::CommDlgExtendedError());
}
FileAccess::DialogResult RunSaveDialog(OPENFILENAMEW& dialog) {
  if (::GetSaveFileNameW(&dialog)) return true;
  return FileAccess::DialogResult::Failed(::CommDlgExtendedError());
}

// The system's own words where a dialog failure has a file-system twin.
std::optional<DWORD> SystemErrorOf(unsigned long dialogError) {
  switch (dialogError) {
    case FNERR_BUFFERTOOSMALL:
      return ERROR_FILENAME_EXCED_RANGE;
    case FNERR_INVALIDFILENAME:
      return ERROR_INVALID_NAME;
    case CDERR_MEMALLOCFAILURE:
    case CDERR_MEMLOCKFAILURE:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return std::nullopt;
  }
}

}  // namespace

struct FileAccess::Platform {
  HWND owner = nullptr;
  std::wstring openFolder;
  std::wstring saveFolder;
  FileDialog openDialog = RunOpenDialog;
  FileDialog saveDialog = RunSaveDialog;
};

FileAccess::FileAccess(MessageBoxes& messages)
    : messages_(messages), platform_(std::make_unique<Platform>()) {}

FileAccess::~FileAccess() {
  Release();
}

void FileAccess::SetOwnerWindow(HWND owner) {
  platform_->owner = owner;
}

void FileAccess::SetFileDialogs(FileDialog open, FileDialog save) {
  platform_->openDialog = open ? std::move(open) : FileDialog(RunOpenDialog);
  platform_->saveDialog = save ? std::move(save) : FileDialog(RunSaveDialog);
}

std::optional<std::u16string> FileAccess::ChooseOpenFile(std::u16string_view title,
                                                         std::u16string_view filters) {
  const std::wstring filterList = FiltersWithTerminator(filters);
  const std::wstring caption = win32::Wide(title);
  std::wstring buffer(kOpenResultCapacity, L'\0');
  OPENFILENAMEW dialog =
      DialogRequest(platform_->owner, filterList, caption, buffer, platform_->openFolder);
  dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
  // The dialog writes only its own buffer, so a cancel changes nothing here.
  if (!Chosen(platform_->openDialog(dialog))) return std::nullopt;

  buffer.resize(std::wcslen(buffer.c_str()));
  platform_->openFolder = FolderOfChosenPath(buffer);
  currentFile_ = win32::FromWide(buffer);
  return currentFile_;
}

std::optional<std::u16string> FileAccess::ChooseSaveFile(std::u16string_view title,
                                                         std::u16string_view filters) {
  const std::wstring filterList = FiltersWithTerminator(filters);
  const std::wstring caption = win32::Wide(title);
  std::wstring buffer(kSavePathCapacity, L'\0');
  OPENFILENAMEW dialog =
      DialogRequest(platform_->owner, filterList, caption, buffer, platform_->saveFolder);
  dialog.lpstrDefExt = L"TXT";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (!Chosen(platform_->saveDialog(dialog))) return std::nullopt;

  buffer.resize(std::wcslen(buffer.c_str()));
  platform_->saveFolder = FolderOfChosenPath(buffer);
  savePath_ = win32::FromWide(buffer);
  return savePath_;
}

bool FileAccess::Chosen(const DialogResult& result) {
  if (result.chosen) return true;
  if (result.failure == 0) return false;
  if (const std::optional<DWORD> error = SystemErrorOf(result.failure)) {
    ReportSystemError({*error});
    return false;
  }
  wchar_t code[16];
  ::swprintf(code, 16, L"0x%04lX", result.failure);
  MessageRequest request;
  request.text = u"文件对话框出错，错误代码 " + win32::FromWide(code);
  request.caption = u"提示!";
  request.icon = MessageIcon::Information;
  request.owner = MessageOwner::None;
  messages_.Show(request);
  return false;
}

const std::uint8_t* FileAccess::OpenAndMap(std::u16string_view title, std::u16string_view filters) {
  const std::optional<std::u16string> chosen = ChooseOpenFile(title, filters);
  if (!chosen) return nullptr;
  return OpenAndMap(*chosen);
}

}  // namespace dorvane
