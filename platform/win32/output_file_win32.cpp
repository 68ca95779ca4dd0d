#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/interrupt_cleanup.h"
#include "platform/output_file.h"
#include "platform/win32/handles.h"
#include "platform/win32/paths.h"
#include "platform/win32/text.h"

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

// A new file named `prefix` and a random part.
win32::UniqueFile CreateNamed(const std::wstring& prefix, DWORD access, DWORD share,
                              std::wstring& path) {
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 64; ++attempt) {
    wchar_t suffix[9];
    const unsigned value = random();
    for (int i = 0; i < 8; ++i) suffix[i] = L"0123456789abcdef"[(value >> (i * 4)) & 0xF];
    suffix[8] = L'\0';
    path = prefix + suffix + L".tmp";
    win32::UniqueFile file(::CreateFileW(path.c_str(), access, share, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file || ::GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return {};
}

// A short name beside the destination, so that replacing it is a rename within
// one volume. Shared for deleting, so a console interrupt can remove it while
// it is open.
win32::UniqueFile CreateTemporaryBeside(const std::wstring& destination, std::wstring& tempPath) {
  return CreateNamed(FolderPrefix(destination) + L"~dv", GENERIC_WRITE, FILE_SHARE_DELETE,
                     tempPath);
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
      destination.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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

void RemoveOnInterrupt(const void* path) {
  ::DeleteFileW(static_cast<const wchar_t*>(path));
}

// Runs on a thread of its own; the default handler then ends the process.
BOOL WINAPI OnConsoleEvent(DWORD) {
  interrupt_cleanup::TakeAll();
  return FALSE;
}

void InstallConsoleHandlerOnce() {
  static std::once_flag once;
  std::call_once(once, [] { ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE); });
}

std::optional<std::uint64_t> IdentityOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) return std::nullopt;
  return (std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow) ^
         std::uint64_t{info.dwVolumeSerialNumber} * 0x9E3779B97F4A7C15ull;
}

// The previous content of a destination written in place. The lock keeps a
// console interrupt, which puts the content back on a thread of its own, and
// the writer apart.
struct Backup {
  SRWLOCK lock = SRWLOCK_INIT;
  HANDLE destination = INVALID_HANDLE_VALUE;  // set, under the lock, before its first change
  win32::UniqueFile file;                     // the copy on disk
  std::wstring path;                          // its path
  std::unique_ptr<std::uint8_t[]> memory;     // else the copy in memory
  std::uint64_t size = 0;
  std::uint64_t identity = 0;  // of the destination
};

class ExclusiveLock {
 public:
  explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
  ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&lock_); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

 private:
  SRWLOCK& lock_;
};

bool MoveTo(HANDLE file, std::uint64_t offset) {
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(offset);
  return ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN);
}

constexpr std::size_t kCopyChunk = 1u << 20;

// Reads `size` bytes of `from` from its start and hands them on a chunk at a time.
bool CopyFrom(HANDLE from, std::uint64_t size,
              const std::function<bool(const std::uint8_t*, std::size_t)>& take) {
  if (!MoveTo(from, 0)) return false;
  std::vector<std::uint8_t> buffer(
      static_cast<std::size_t>(std::min<std::uint64_t>(size, kCopyChunk)));
  for (std::uint64_t done = 0; done < size;) {
    DWORD read = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::uint64_t>(size - done, buffer.size()));
    if (!::ReadFile(from, buffer.data(), wanted, &read, nullptr)) return false;
    if (read == 0) {
      ::SetLastError(ERROR_HANDLE_EOF);  // shorter than it was a moment ago
      return false;
    }
    if (!take(buffer.data(), read)) return false;
    done += read;
  }
  return true;
}

// A copy of the destination's content, flushed to disk before the destination
// changes; in memory where the temporary folder refuses it.
std::unique_ptr<Backup> KeepACopy(HANDLE destination, std::uint64_t size, SystemError& error) {
  auto backup = std::make_unique<Backup>();
  backup->size = size;
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  if (length > 0 && length <= MAX_PATH) {
    std::wstring path;
    win32::UniqueFile file =
        CreateNamed(std::wstring(folder) + L"dorvane-", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_DELETE, path);
    if (file &&
        CopyFrom(destination, size,
                 [&](const std::uint8_t* bytes, std::size_t count) {
                   return WriteAll(file.get(), {bytes, count});
                 }) &&
        ::FlushFileBuffers(file.get())) {
      backup->file = std::move(file);
      backup->path = path;
      return backup;
    }
    if (file) {
      file.reset();
      ::DeleteFileW(path.c_str());
    }
  }
  backup->memory.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size) + 1]);
  if (!backup->memory) {
    error = {ERROR_NOT_ENOUGH_MEMORY};
    return nullptr;
  }
  std::uint64_t at = 0;
  if (!CopyFrom(destination, size, [&](const std::uint8_t* bytes, std::size_t count) {
        std::memcpy(backup->memory.get() + at, bytes, count);
        at += count;
        return true;
      })) {
    error = LastSystemError();
    return nullptr;
  }
  return backup;
}

// Writes the copy back over the destination.
bool PutBack(HANDLE destination, Backup& backup) {
  if (!MoveTo(destination, 0)) return false;
  if (backup.file) {
    if (!CopyFrom(backup.file.get(), backup.size,
                  [&](const std::uint8_t* bytes, std::size_t count) {
                    return WriteAll(destination, {bytes, count});
                  }))
      return false;
  } else if (!WriteAll(destination, {backup.memory.get(), static_cast<std::size_t>(backup.size)})) {
    return false;
  }
  return MoveTo(destination, backup.size) && ::SetEndOfFile(destination) &&
         ::FlushFileBuffers(destination);
}

void RemoveCopy(Backup& backup) {
  if (!backup.file) return;
  backup.file.reset();
  ::DeleteFileW(backup.path.c_str());
}

// Keeps the lock for good: the writer stops before its next piece, and the
// process ends. A copy that cannot be put back stays for the user to take.
void RestoreOnInterrupt(const void* data) {
  auto& backup = *static_cast<Backup*>(const_cast<void*>(data));
  ::AcquireSRWLockExclusive(&backup.lock);
  if (backup.destination == INVALID_HANDLE_VALUE || PutBack(backup.destination, backup))
    RemoveCopy(backup);
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
  std::unique_ptr<Backup> backup;  // only for Target::InPlaceFile
  int backupSlot = -1;
  bool restoreFailed = false;
  std::u16string keptCopy;
  std::uint64_t written = 0;
  SystemError error;
  bool inputFailed = false;

  bool Fail(SystemError why, bool inInput = false) {
    error = why;
    inputFailed = inInput;
    return false;
  }

  bool isOpen() const { return file || backup; }

  void RegisterTemporary(const std::wstring& path) {
    tempPath = std::make_unique<wchar_t[]>(path.size() + 1);
    std::memcpy(tempPath.get(), path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    cleanupSlot = interrupt_cleanup::Add(RemoveOnInterrupt, tempPath.get());
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

  // Keeps the destination's content to put back. The destination is opened for
  // writing only with the first piece: until then it may be read as an input,
  // which refuses to share with a writer.
  bool BeginInPlace() {
    const win32::UniqueFile source(::CreateFileW(destination.c_str(), GENERIC_READ,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    const std::optional<std::uint64_t> identity = source ? IdentityOf(source.get()) : std::nullopt;
    if (!identity || !::GetFileSizeEx(source.get(), &size)) return Fail(LastSystemError());
    SystemError why;
    backup = KeepACopy(source.get(), static_cast<std::uint64_t>(size.QuadPart), why);
    if (!backup) return Fail(why);
    backup->identity = *identity;
    backupSlot = interrupt_cleanup::Add(RestoreOnInterrupt, backup.get());
    target = Target::InPlaceFile;
    return true;
  }

  // Opens the destination written in place for its first change; it must still
  // be the file whose content was kept.
  bool Touch() {
    if (target != Target::InPlaceFile || file) return true;
    win32::UniqueFile opened(::CreateFileW(destination.c_str(), GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!opened) return Fail(LastSystemError());
    if (IdentityOf(opened.get()) != backup->identity) return Fail(FileChangedError());
    const ExclusiveLock lock(backup->lock);
    file = std::move(opened);
    backup->destination = file.get();
    return true;
  }

  bool Write(std::span<const std::uint8_t> bytes) {
    if (target != Target::InPlaceFile) return WriteAll(file.get(), bytes);
    const ExclusiveLock lock(backup->lock);
    return WriteAll(file.get(), bytes);
  }

  // Cuts the output back to what it held before a failed piece. In place, what
  // lies past it is the old content or a failed piece: both go by Commit.
  void RollBack() {
    if (target == Target::InPlaceStream || !file) return;
    LARGE_INTEGER length{};
    length.QuadPart = static_cast<LONGLONG>(written);
    if (!::SetFilePointerEx(file.get(), length, nullptr, FILE_BEGIN) ||
        (target != Target::InPlaceFile && !::SetEndOfFile(file.get()))) {
      const SystemError why = LastSystemError();
      Drop();
      error = why;
    }
  }

  // Lets the copy go; false when an interrupt has taken it and owns it now.
  bool ForgetBackup() {
    if (!interrupt_cleanup::Remove(backupSlot)) {
      static_cast<void>(backup.release());
      static_cast<void>(file.release());
      return false;
    }
    backupSlot = -1;
    return true;
  }

  void Drop() {
    if (backup && ForgetBackup()) {
      const bool restored = !file || PutBack(file.get(), *backup);
      file.reset();
      if (restored) {
        RemoveCopy(*backup);
      } else {
        restoreFailed = true;
        if (backup->file) keptCopy = win32::FromWide(backup->path);
      }
      backup.reset();
    }
    // Closed first: the open file would refuse to be deleted.
    file.reset();
    if (tempPath) {
      ::DeleteFileW(tempPath.get());
      ForgetTemporary();
    }
  }

  // The destination written in place becomes the output: cut to its length and
  // flushed, then its copy goes.
  bool CommitInPlace() {
    if (!Touch()) {
      const SystemError why = error;
      Drop();
      return Fail(why);
    }
    bool done = false;
    {
      const ExclusiveLock lock(backup->lock);
      LARGE_INTEGER length{};
      length.QuadPart = static_cast<LONGLONG>(written);
      done = ::SetFilePointerEx(file.get(), length, nullptr, FILE_BEGIN) &&
             ::SetEndOfFile(file.get()) && ::FlushFileBuffers(file.get());
    }
    if (!done) {
      const SystemError why = LastSystemError();
      Drop();
      return Fail(why);
    }
    if (ForgetBackup()) {
      RemoveCopy(*backup);
      backup.reset();
      file.reset();
    }
    return true;
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
    return s.BeginInPlace();
  }
  s.file = std::move(temp);
  s.target = Target::Temporary;
  s.RegisterTemporary(tempPath);
  return true;
}

bool OutputFile::Append(std::span<const std::uint8_t> bytes) {
  State& s = *state_;
  if (!s.isOpen()) return s.Fail({ERROR_INVALID_HANDLE});
  if (!s.Touch()) return false;
  if (!s.Write(bytes)) {
    const SystemError why = LastSystemError();
    s.RollBack();
    return s.Fail(why);
  }
  s.written += bytes.size();
  return true;
}

bool OutputFile::AppendFrom(const MappedFile& input, std::uint64_t offset, std::uint64_t count) {
  State& s = *state_;
  if (!s.isOpen()) return s.Fail({ERROR_INVALID_HANDLE});
  if (!input.isOpen() || offset > input.size() || count > input.size() - offset)
    return s.Fail({ERROR_INVALID_PARAMETER});
  if (!s.Touch()) return false;
  // Large writes straight from the view; a page that cannot be read in fails
  // the write, and the input is to blame when it is no longer what it was.
  if (!s.Write(input.content().subspan(offset, count))) {
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
  if (!s.isOpen()) return s.Fail(s.error.code != 0 ? s.error : SystemError{ERROR_INVALID_HANDLE});
  if (s.target == Target::InPlaceFile) {
    if (!s.CommitInPlace()) return false;
    s.error = {};
    return true;
  }
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
  return state_->isOpen();
}

bool OutputFile::writesInPlace() const {
  return state_->target == Target::InPlaceFile && state_->backup != nullptr;
}

bool OutputFile::restoreFailed() const {
  return state_->restoreFailed;
}

std::u16string OutputFile::keptCopy() const {
  return state_->keptCopy;
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
