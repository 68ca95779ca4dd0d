#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <random>
#include <string>

#include "platform/interrupt_cleanup.h"
#include "platform/output_file.h"
#include "platform/unique_fd.h"
#include "platform/utf8.h"

namespace dorvane {
namespace {

// An input is copied from its mapping this many bytes at a time, its pages
// brought in before and let go after: memory holds one window of it, whatever its
// size. Writing from the mapping beats sendfile and copy_file_range here.
constexpr std::uint64_t kCopyWindow = 4u << 20;
// Write-back starts every this many bytes, so that the disk works while later
// pieces are copied and the flush of Commit finds little left to do.
constexpr std::uint64_t kWriteBackStep = 8u << 20;

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// A symbolic link stands for the file it names: writing replaces that file.
std::string ResolveDestination(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

// Created with O_EXCL under a random name beside the destination, so the
// rename stays on one file system and the umask applies as for any new file.
UniqueFd CreateTemporaryBeside(const std::string& destination, std::string& tempPath) {
  const std::string folder = FolderOf(destination);
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 64; ++attempt) {
    char suffix[17];
    const unsigned long long value = random();
    for (int i = 0; i < 16; ++i) suffix[i] = "0123456789abcdef"[(value >> (i * 4)) & 0xF];
    suffix[16] = '\0';
    tempPath = folder + "/.dorvane-" + suffix + ".tmp";
    UniqueFd fd(::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd || errno != EEXIST) return fd;
  }
  return UniqueFd();
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {
      errno = EIO;
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

void SyncFolder(const std::string& folder) {
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) ::fsync(fd.get());
}

void RemoveOnInterrupt(interrupt_cleanup::Path path) {
  ::unlink(static_cast<const char*>(path));
}

void OnInterrupt(int signal) {
  interrupt_cleanup::TakeAll(RemoveOnInterrupt);
  // Blocked until this handler returns, then delivered with its default action,
  // so the process ends as interrupted.
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  ::sigaction(signal, &standard, nullptr);
  ::raise(signal);
}

// Only where the signal would end the process anyway: a program's own handler or
// an ignored signal stays as it is.
void InstallInterruptHandlersOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction current {};
      if (::sigaction(signal, nullptr, &current) != 0) continue;
      if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
      struct sigaction action {};
      action.sa_handler = OnInterrupt;
      sigemptyset(&action.sa_mask);
      ::sigaction(signal, &action, nullptr);
    }
  });
}

enum class Target { Temporary, InPlaceFile, InPlaceStream };

}  // namespace

struct OutputFile::State {
  UniqueFd fd;
  Target target = Target::Temporary;
  std::string destination;
  std::unique_ptr<char[]> tempPath;  // only for Target::Temporary
  int cleanupSlot = -1;
  std::uint64_t written = 0;
  std::uint64_t writeBackFrom = 0;  // write-back has been started below this
  SystemError error;
  bool inputFailed = false;

  // Starts writing the output up to `end` to disk, without waiting for it.
  void StartWriteBack(std::uint64_t end) {
#ifdef SYNC_FILE_RANGE_WRITE
    if (target == Target::InPlaceStream || end < writeBackFrom + kWriteBackStep) return;
    ::sync_file_range(fd.get(), static_cast<off_t>(writeBackFrom),
                      static_cast<off_t>(end - writeBackFrom), SYNC_FILE_RANGE_WRITE);
    writeBackFrom = end;
#endif
  }

  bool Fail(SystemError why, bool inInput = false) {
    error = why;
    inputFailed = inInput;
    return false;
  }

  void RegisterTemporary(const std::string& path) {
    tempPath = std::make_unique<char[]>(path.size() + 1);
    std::memcpy(tempPath.get(), path.c_str(), path.size() + 1);
    cleanupSlot = interrupt_cleanup::Add(tempPath.get());
  }

  void ForgetTemporary() {
    // An interrupt that took the path may still be reading it.
    if (!interrupt_cleanup::Remove(cleanupSlot)) static_cast<void>(tempPath.release());
    cleanupSlot = -1;
    tempPath.reset();
  }

  // Cuts the output back to what it held before a failed piece.
  void RollBack() {
    if (target == Target::InPlaceStream) return;
    const auto length = static_cast<off_t>(written);
    if (::ftruncate(fd.get(), length) != 0 || ::lseek(fd.get(), length, SEEK_SET) != length) {
      const SystemError why = LastSystemError();
      Drop();
      error = why;
    }
  }

  void Drop() {
    fd.Reset();
    if (tempPath) {
      ::unlink(tempPath.get());
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
  if (destination.empty()) return s.Fail({ENOENT});
  InstallInterruptHandlersOnce();
  s.destination = ResolveDestination(Utf16ToUtf8(destination));
  const char* path = s.destination.c_str();

  struct stat existing {};
  const bool exists = ::stat(path, &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return s.Fail({EISDIR});
  if (exists && !S_ISREG(existing.st_mode)) {
    s.fd.Reset(::open(path, O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (!s.fd) return s.Fail(LastSystemError());
    s.target = Target::InPlaceStream;
    return true;
  }
  // rename() asks only the folder: a file the user may not write must be refused here.
  if (exists && ::faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) != 0)
    return s.Fail(LastSystemError());

  std::string tempPath;
  UniqueFd temp = CreateTemporaryBeside(s.destination, tempPath);
  if (!temp) {
    const SystemError why = LastSystemError();
    const bool folderRefused = why.code == EACCES || why.code == EPERM;
    if (!exists || !folderRefused) return s.Fail(why);
    s.fd.Reset(::open(path, O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC));
    if (!s.fd) return s.Fail(LastSystemError());
    s.target = Target::InPlaceFile;
    return true;
  }
  s.fd = std::move(temp);
  s.target = Target::Temporary;
  s.RegisterTemporary(tempPath);
  if (exists) {
    // Keeping the owner needs privileges; without them the writer owns the file.
    [[maybe_unused]] const int kept = ::fchown(s.fd.get(), existing.st_uid, existing.st_gid);
    if (::fchmod(s.fd.get(), existing.st_mode & 07777) != 0) {
      const SystemError why = LastSystemError();
      s.Drop();
      return s.Fail(why);
    }
  }
  return true;
}

bool OutputFile::Append(std::span<const std::uint8_t> bytes) {
  State& s = *state_;
  if (!s.fd) return s.Fail({EBADF});
  if (!WriteAll(s.fd.get(), bytes)) {
    const SystemError why = LastSystemError();
    s.RollBack();
    return s.Fail(why);
  }
  s.written += bytes.size();
  s.StartWriteBack(s.written);
  return true;
}

bool OutputFile::AppendFrom(const MappedFile& input, std::uint64_t offset, std::uint64_t count) {
  State& s = *state_;
  if (!s.fd) return s.Fail({EBADF});
  if (!input.isOpen() || offset > input.size() || count > input.size() - offset)
    return s.Fail({EINVAL});
  auto failInInput = [&] {
    s.RollBack();
    return s.Fail({EIO}, true);
  };
  // A failed copy is the input's fault when the input is no longer what it was.
  auto failed = [&](SystemError why) {
    const std::optional<FileStamp> now = input.CurrentStamp();
    if (!now || now->size < offset + count) return failInInput();
    s.RollBack();
    return s.Fail(why);
  };

  // A page that the file no longer has fails the write with EFAULT.
  for (std::uint64_t done = 0; done < count;) {
    const std::uint64_t window = std::min(count - done, kCopyWindow);
    input.LoadPages(offset + done, window);
    const bool copied =
        WriteAll(s.fd.get(), input.content().subspan(static_cast<std::size_t>(offset + done),
                                                     static_cast<std::size_t>(window)));
    const SystemError why = LastSystemError();
    input.DropPages(offset + done, window);
    if (!copied) return why.code == EFAULT ? failInInput() : failed(why);
    done += window;
    s.StartWriteBack(s.written + done);
  }
  s.written += count;
  return true;
}

bool OutputFile::Commit() {
  State& s = *state_;
  if (!s.fd) return s.Fail(s.error.code != 0 ? s.error : SystemError{EBADF});
  auto fail = [&](SystemError why) {
    s.Drop();
    return s.Fail(why);
  };
  // A FIFO or terminal has nothing to flush and refuses fsync.
  if (s.target != Target::InPlaceStream && ::fsync(s.fd.get()) != 0) return fail(LastSystemError());
  if (!s.fd.Close()) return fail(LastSystemError());
  if (s.target == Target::Temporary) {
    if (::rename(s.tempPath.get(), s.destination.c_str()) != 0) return fail(LastSystemError());
    s.ForgetTemporary();
    SyncFolder(FolderOf(s.destination));
  }
  s.error = {};
  return true;
}

void OutputFile::Abandon() {
  state_->Drop();
}

bool OutputFile::isOpen() const {
  return static_cast<bool>(state_->fd);
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
