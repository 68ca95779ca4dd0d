#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <random>
#include <string>

#include "platform/interrupt_cleanup.h"
#include "platform/output_file.h"
#include "platform/win32/handles.h"
#include "platform/win32/paths.h"

namespace dorvane {
namespace {

// WriteFile takes a DWORD count; stay well below it.
constexpr std::size_t kWriteChunk = 1u << 30;
// Another program (a virus scanner, an indexer, a sync client) may hold a new
// file for a moment; about a second in all.
constexpr int kReplaceAttempts = 20;
constexpr DWORD kReplacePause = 50;
// What a replaced file keeps that the replace itself may lose.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The folder part with its final separator, so a file at a drive root gets
// "\\?\D:\" and never "D:", the drive's current folder.
std::wstring FolderPrefix(const std::wstring& path) {
  const std::size_t at = path.find_last_of(L"\\/");
  return at == std::wstring::npos ? std::wstring() : path.substr(0, at + 1);
}

// A short name beside the destination, so that replacing it is a rename within
// one volume. Shared for deleting, so a console interrupt can remove it while
// it is open.
win32::UniqueFile CreateTemporaryBeside(const std::wstring& destination, std::wstring& tempPath) {
  const std::wstring folder = FolderPrefix(destination);
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 64; ++attempt) {
    wchar_t suffix[9];
    const unsigned value = random();
    for (int i = 0; i < 8; ++i) suffix[i] = L"0123456789abcdef"[(value >> (i * 4)) & 0xF];
    suffix[8] = L'\0';
    tempPath = folder + L"~dv" + suffix + L".tmp";
    win32::UniqueFile file(::CreateFileW(tempPath.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE,
                                         nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
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

bool IsMomentary(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
         error == ERROR_USER_MAPPED_FILE;
}

DWORD MoveIntoPlace(const std::wstring& temp, const std::wstring& destination) {
  for (int attempt = 1;; ++attempt) {
    if (::MoveFileExW(temp.c_str(), destination.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return ERROR_SUCCESS;
    const DWORD error = ::GetLastError();
    if (!IsMomentary(error) || attempt == kReplaceAttempts) return error;
    ::Sleep(kReplacePause);
  }
}

// Whether the destination could be moved aside now, asked without moving it:
// a failed ReplaceFileW may leave its own temporary file behind (Wine does).
DWORD ProbeMovable(const std::wstring& destination) {
  const win32::UniqueFile file(::CreateFileW(
      destination.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file ? ERROR_SUCCESS : ::GetLastError();
}

// ReplaceFileW keeps the replaced file's attributes, security and streams.
DWORD ReplaceExisting(const std::wstring& temp, const std::wstring& destination) {
  for (int attempt = 1;; ++attempt) {
    DWORD error = ProbeMovable(destination);
    if (error == ERROR_SUCCESS) {
      if (::ReplaceFileW(destination.c_str(), temp.c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return ERROR_SUCCESS;
      error = ::GetLastError();
    }
    // The destination went away meanwhile (with this error, by the replace
    // itself): the new file just moves there.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT)
      return MoveIntoPlace(temp, destination);
    if (!IsMomentary(error) || attempt == kReplaceAttempts) return error;
    ::Sleep(kReplacePause);
  }
}

void RestoreAttributes(const std::wstring& path, DWORD wanted) {
  const DWORD now = ::GetFileAttributesW(path.c_str());
  if (now == INVALID_FILE_ATTRIBUTES || (now & kKeptAttributes) == (wanted & kKeptAttributes))
    return;
  ::SetFileAttributesW(path.c_str(), (now & ~kKeptAttributes) | (wanted & kKeptAttributes));
}

void RemoveOnInterrupt(interrupt_cleanup::Path path) {
  ::DeleteFileW(static_cast<const wchar_t*>(path));
}

// Runs on a thread of its own; the default handler then ends the process.
BOOL WINAPI OnConsoleEvent(DWORD) {
  interrupt_cleanup::TakeAll(RemoveOnInterrupt);
  return FALSE;
}

void InstallConsoleHandlerOnce() {
  static std::once_flag once;
  std::call_once(once, [] { ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE); });
}

enum class Target { Temporary, InPlaceFile, InPlaceStream };

}  // namespace

struct OutputFile::State {
  win32::UniqueFile file;
  Target target = Target::Temporary;
  std::wstring destination;
  bool replacing = false;  // the destination exists
  DWORD attributes = 0;    // of the destination
  std::unique_ptr<wchar_t[]> tempPath;
  int cleanupSlot = -1;
  std::uint64_t written = 0;
  SystemError error;
  bool inputFailed = false;

  bool Fail(SystemError why, bool inInput = false) {
    error = why;
    inputFailed = inInput;
    return false;
  }

  void RegisterTemporary(const std::wstring& path) {
    tempPath = std::make_unique<wchar_t[]>(path.size() + 1);
    std::memcpy(tempPath.get(), path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    cleanupSlot = interrupt_cleanup::Add(tempPath.get());
  }

  void ForgetTemporary() {
    // An interrupt that took the path may still be reading it.
    if (!interrupt_cleanup::Remove(cleanupSlot)) static_cast<void>(tempPath.release());
    cleanupSlot = -1;
    tempPath.reset();
  }

  bool OpenInPlace(DWORD disposition, Target kind) {
    file.reset(::CreateFileW(destination.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Fail(LastSystemError());
    target = kind;
    return true;
  }

  // Cuts the output back to what it held before a failed piece.
  void RollBack() {
    if (target == Target::InPlaceStream) return;
    LARGE_INTEGER length{};
    length.QuadPart = static_cast<LONGLONG>(written);
    if (!::SetFilePointerEx(file.get(), length, nullptr, FILE_BEGIN) ||
        !::SetEndOfFile(file.get())) {
      const SystemError why = LastSystemError();
      Drop();
      error = why;
    }
  }

  // Closed first: the open file would refuse to be deleted.
  void Drop() {
    file.reset();
    if (tempPath) {
      ::DeleteFileW(tempPath.get());
      ForgetTemporary();
    }
  }
};

OutputFile::OutputFile() : state_(std::make_unique<State>()) {}

OutputFile::~OutputFile() {
  Abandon();
}

bool OutputFile::Begin(std::u16string_view destination) {
  Abandon();
  State& s = *state_;
  s = State();
  if (destination.empty()) return s.Fail({ERROR_PATH_NOT_FOUND});
  InstallConsoleHandlerOnce();
  s.destination = win32::ExtendedLengthPath(destination);
  if (s.destination.empty()) return s.Fail(LastSystemError());
  if (win32::IsDevicePath(s.destination))
    return s.OpenInPlace(OPEN_EXISTING, Target::InPlaceStream);

  WIN32_FILE_ATTRIBUTE_DATA existing{};
  s.replacing = ::GetFileAttributesExW(s.destination.c_str(), GetFileExInfoStandard, &existing);
  if (s.replacing) {
    s.attributes = existing.dwFileAttributes;
    if ((s.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
      return s.Fail({ERROR_ACCESS_DENIED});
  }
  std::wstring tempPath;
  win32::UniqueFile temp = CreateTemporaryBeside(s.destination, tempPath);
  if (!temp) {
    const SystemError why = LastSystemError();
    if (!s.replacing || why.code != ERROR_ACCESS_DENIED) return s.Fail(why);
    return s.OpenInPlace(TRUNCATE_EXISTING, Target::InPlaceFile);
  }
  s.file = std::move(temp);
  s.target = Target::Temporary;
  s.RegisterTemporary(tempPath);
  return true;
}

bool OutputFile::Append(std::span<const std::uint8_t> bytes) {
  State& s = *state_;
  if (!s.file) return s.Fail({ERROR_INVALID_HANDLE});
  if (!WriteAll(s.file.get(), bytes)) {
    const SystemError why = LastSystemError();
    s.RollBack();
    return s.Fail(why);
  }
  s.written += bytes.size();
  return true;
}

bool OutputFile::AppendFrom(const MappedFile& input, std::uint64_t offset, std::uint64_t count) {
  State& s = *state_;
  if (!s.file) return s.Fail({ERROR_INVALID_HANDLE});
  if (!input.isOpen() || offset > input.size() || count > input.size() - offset)
    return s.Fail({ERROR_INVALID_PARAMETER});
  // Large writes straight from the view; a page that cannot be read in fails
  // the write, and the input is to blame when it is no longer what it was.
  if (!WriteAll(s.file.get(), input.content().subspan(offset, count))) {
    const SystemError why = LastSystemError();
    const std::optional<FileStamp> now = input.CurrentStamp();
    const SystemError unreadable = LastSystemError();
    s.RollBack();
    if (!now) return s.Fail(unreadable, true);
    if (*now != input.stamp()) return s.Fail({ERROR_HANDLE_EOF}, true);
    return s.Fail(why);
  }
  s.written += count;
  return true;
}

bool OutputFile::Commit() {
  State& s = *state_;
  if (!s.file) return s.Fail(s.error.code != 0 ? s.error : SystemError{ERROR_INVALID_HANDLE});
  auto fail = [&](SystemError why) {
    s.Drop();
    return s.Fail(why);
  };
  // A device has nothing to flush and may refuse it.
  if (s.target != Target::InPlaceStream && !::FlushFileBuffers(s.file.get()))
    return fail(LastSystemError());
  if (!::CloseHandle(s.file.release())) return fail(LastSystemError());
  if (s.target == Target::Temporary) {
    const std::wstring temp = s.tempPath.get();
    const DWORD error =
        s.replacing ? ReplaceExisting(temp, s.destination) : MoveIntoPlace(temp, s.destination);
    if (error != ERROR_SUCCESS) return fail({error});
    s.ForgetTemporary();
    if (s.replacing) RestoreAttributes(s.destination, s.attributes);
  }
  s.error = {};
  return true;
}

void OutputFile::Abandon() {
  state_->Drop();
}

bool OutputFile::isOpen() const {
  return static_cast<bool>(state_->file);
}

std::uint64_t OutputFile::size() const {
  return state_->written;
}

SystemError OutputFile::error() const {
  return state_->error;
}

bool OutputFile::inputFailed() const {
  return state_->inputFailed;
}

}  // namespace dorvane
