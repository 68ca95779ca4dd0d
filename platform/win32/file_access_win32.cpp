#include <windows.h>

#include <commdlg.h>

#include <algorithm>
#include <random>
#include <string>

#include "platform/file_access.h"
#include "platform/win32/handles.h"
#include "platform/win32/text.h"

namespace dorvane {
namespace {

constexpr DWORD kOpenResultCapacity = 32768;
constexpr DWORD kSavePathCapacity = 260;
// WriteFile takes a DWORD count; stay well below it.
constexpr std::size_t kWriteChunk = 1u << 30;

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

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

std::wstring FolderForTemporary(std::wstring_view destination) {
  const std::size_t at = LastSeparator(destination);
  if (at == std::wstring_view::npos) {
    if (destination.size() >= 2 && destination[1] == L':')
      return std::wstring(destination.substr(0, 2));
    return L".";
  }
  return std::wstring(destination.substr(0, at));
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

bool RunOpenDialog(OPENFILENAMEW& dialog) {
  return ::GetOpenFileNameW(&dialog) != FALSE;
}
bool RunSaveDialog(OPENFILENAMEW& dialog) {
  return ::GetSaveFileNameW(&dialog) != FALSE;
}

// A new file beside the destination, so that replacing it is a rename within
// one volume.
win32::UniqueFile CreateTemporaryBeside(std::wstring_view destination, std::wstring& tempPath) {
  const std::wstring folder = FolderForTemporary(destination);
  const std::wstring separator = IsSeparator(folder.back()) || folder.back() == L':' ? L"" : L"\\";
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 64; ++attempt) {
    wchar_t suffix[17];
    const unsigned long long value = random();
    for (int i = 0; i < 16; ++i) suffix[i] = L"0123456789abcdef"[(value >> (i * 4)) & 0xF];
    suffix[16] = L'\0';
    tempPath = folder + separator + L"~dorvane-" + suffix + L".tmp";
    win32::UniqueFile file(::CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file || ::GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return {};
}

bool WriteAll(HANDLE file, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const auto chunk = static_cast<DWORD>(std::min(bytes.size(), kWriteChunk));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) return false;
    if (written == 0) {
      ::SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    bytes = bytes.subspan(written);
  }
  return true;
}

}  // namespace

struct FileAccess::Platform {
  win32::UniqueFile file;
  win32::UniqueKernelHandle mapping;
  win32::MappedView view;
  std::uint64_t size = kNoSize;
  DWORD lastError = ERROR_SUCCESS;

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

const std::uint8_t* FileAccess::OpenAndMap(std::u16string_view path) {
  currentFile_.assign(path);
  Release();
  auto fail = [this] {
    platform_->lastError = ::GetLastError();
    ReportSystemError();
    Release();
    return nullptr;
  };

  const std::wstring nativePath = win32::Wide(currentFile_);
  platform_->file.reset(::CreateFileW(nativePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!platform_->file) return fail();
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(platform_->file.get(), &size)) return fail();
  if (static_cast<std::uint64_t>(size.QuadPart) > SIZE_MAX) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return fail();
  }
  // An empty file cannot be mapped: the system refuses it with its own text.
  platform_->mapping.reset(
      ::CreateFileMappingW(platform_->file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!platform_->mapping) return fail();
  platform_->view.reset(::MapViewOfFile(platform_->mapping.get(), FILE_MAP_READ, 0, 0, 0));
  if (!platform_->view) return fail();
  platform_->size = static_cast<std::uint64_t>(size.QuadPart);
  return static_cast<const std::uint8_t*>(platform_->view.get());
}

std::uint64_t FileAccess::FileSize() const {
  return platform_->view ? platform_->size : kNoSize;
}

std::span<const std::uint8_t> FileAccess::Content() const {
  if (!platform_->view) return {};
  return {static_cast<const std::uint8_t*>(platform_->view.get()),
          static_cast<std::size_t>(platform_->size)};
}

void FileAccess::Release() {
  platform_->view.reset();
  platform_->mapping.reset();
  platform_->file.reset();
  platform_->size = kNoSize;
}

void FileAccess::SetSavePath(std::u16string_view path) {
  savePath_.assign(path);
}

std::uint64_t FileAccess::WriteWholeFile(std::span<const std::uint8_t> bytes) {
  std::wstring tempPath;
  auto fail = [&](DWORD error) -> std::uint64_t {
    if (!tempPath.empty()) ::DeleteFileW(tempPath.c_str());
    platform_->lastError = error;
    ReportSystemError();
    return 0;
  };
  if (savePath_.empty()) return fail(ERROR_PATH_NOT_FOUND);
  const std::wstring destination = win32::Wide(savePath_);

  win32::UniqueFile temp = CreateTemporaryBeside(destination, tempPath);
  if (!temp) {
    const DWORD error = ::GetLastError();
    tempPath.clear();
    return fail(error);
  }
  if (!WriteAll(temp.get(), bytes)) return fail(::GetLastError());
  if (!::FlushFileBuffers(temp.get())) return fail(::GetLastError());
  if (!::CloseHandle(temp.release())) return fail(::GetLastError());
  if (!::MoveFileExW(tempPath.c_str(), destination.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return fail(::GetLastError());
  return bytes.size();
}

void FileAccess::ReportSystemError() {
  MessageRequest request;
  request.text = win32::SystemMessageText(platform_->lastError);
  request.caption = u"提示!";
  request.buttons = MessageButtons::Ok;
  request.icon = MessageIcon::Information;
  request.owner = MessageOwner::None;
  messages_.Show(request);
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
  dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  // The dialog writes only its own buffer, so a cancel changes nothing here.
  if (!platform_->openDialog(dialog)) return std::nullopt;

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
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
  if (!platform_->saveDialog(dialog)) return std::nullopt;

  buffer.resize(std::wcslen(buffer.c_str()));
  platform_->saveFolder = FolderOfChosenPath(buffer);
  savePath_ = win32::FromWide(buffer);
  return savePath_;
}

const std::uint8_t* FileAccess::OpenAndMap(std::u16string_view title, std::u16string_view filters) {
  const std::optional<std::u16string> chosen = ChooseOpenFile(title, filters);
  if (!chosen) return nullptr;
  return OpenAndMap(*chosen);
}

}  // namespace dorvane
