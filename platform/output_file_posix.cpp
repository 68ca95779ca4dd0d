#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <random>
#include <string>
#include <vector>

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

// A symbolic link stands for the file it names: writing replaces that file, or
// creates it where a link points to nothing yet. A loop of links stays a link.
std::string ResolveDestination(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat link {};
    if (::lstat(current.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return current;
    char resolved[PATH_MAX];
    if (::realpath(current.c_str(), resolved) != nullptr) return resolved;
    char target[PATH_MAX];
    const ssize_t length = ::readlink(current.c_str(), target, sizeof target);
    if (length <= 0 || length == static_cast<ssize_t>(sizeof target)) return current;
    const std::string text(target, static_cast<std::size_t>(length));
    current = text.front() == '/' ? text : FolderOf(current) + "/" + text;
  }
  return current;
}

std::string RandomSuffix() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  const unsigned long long value = random();
  std::string suffix(16, '0');
  for (int i = 0; i < 16; ++i) suffix[i] = "0123456789abcdef"[(value >> (i * 4)) & 0xF];
  return suffix;
}

// Created with O_EXCL under a random name, readable by its owner only until
// Commit gives it the destination's mode: nobody else may open it meanwhile.
UniqueFd CreatePrivate(const std::string& folder, const std::string& name, int access,
                       std::string& path) {
  for (int attempt = 0; attempt < 64; ++attempt) {
    path = folder + "/" + name + RandomSuffix() + ".tmp";
    UniqueFd fd(::open(path.c_str(), access | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd || errno != EEXIST) return fd;
  }
  return UniqueFd();
}

// Beside the destination, so that the rename stays on one file system.
UniqueFd CreateTemporaryBeside(const std::string& destination, std::string& tempPath) {
  return CreatePrivate(FolderOf(destination), ".dorvane-", O_WRONLY, tempPath);
}

// The mode a new file gets: 0666 less the umask, read without changing it where
// the system tells it.
mode_t NewFileMode() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) == 0)
      return 0666 & ~static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return 0666 & ~mask;
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

void RemoveOnInterrupt(const void* path) {
  ::unlink(static_cast<const char*>(path));
}

void OnInterrupt(int signal) {
  interrupt_cleanup::TakeAll();
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

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

// Holds the interrupts back while a destination written in place is finished or
// put back, so that none stops that halfway; they come when it is done.
class InterruptsHeld {
 public:
  InterruptsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : kInterrupts) sigaddset(&held, signal);
    ::pthread_sigmask(SIG_BLOCK, &held, &saved_);
  }
  ~InterruptsHeld() { ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
  sigset_t saved_;
};

// The previous content of a destination written in place. A signal handler
// reads it: every member is set before it is registered, except `destination`,
// which is set when the first piece is about to change the file.
struct Backup {
  std::atomic<int> destination{-1};
  int file = -1;                           // the copy on disk, or -1
  std::unique_ptr<char[]> path;            // its path
  std::unique_ptr<std::uint8_t[]> memory;  // else the copy in memory
  std::uint64_t size = 0;

  ~Backup() {
    if (file >= 0) ::close(file);
  }
};

bool WriteAllAt(int fd, const std::uint8_t* bytes, std::size_t count, std::uint64_t offset) {
  while (count > 0) {
    const ssize_t written = ::pwrite(fd, bytes, count, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    count -= static_cast<std::size_t>(written);
    offset += static_cast<std::uint64_t>(written);
  }
  return true;
}

// Writes the copy back over the destination. Only calls that a signal handler
// may make.
bool PutBack(int destination, const Backup& backup) {
  constexpr std::size_t kChunk = 64 * 1024;
  std::uint8_t buffer[kChunk];
  for (std::uint64_t done = 0; done < backup.size;) {
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(backup.size - done, kChunk));
    const std::uint8_t* bytes = nullptr;
    std::size_t count = wanted;
    if (backup.file < 0) {
      bytes = backup.memory.get() + done;
    } else {
      const ssize_t read = ::pread(backup.file, buffer, wanted, static_cast<off_t>(done));
      if (read < 0 && errno == EINTR) continue;
      if (read <= 0) return false;
      bytes = buffer;
      count = static_cast<std::size_t>(read);
    }
    if (!WriteAllAt(destination, bytes, count, done)) return false;
    done += count;
  }
  return ::ftruncate(destination, static_cast<off_t>(backup.size)) == 0 &&
         ::fsync(destination) == 0;
}

// A copy that cannot be put back stays where it is, for the user to take.
void RestoreOnInterrupt(const void* data) {
  const int saved = errno;
  const auto& backup = *static_cast<const Backup*>(data);
  const int destination = backup.destination.load();
  if ((destination < 0 || PutBack(destination, backup)) && backup.file >= 0)
    ::unlink(backup.path.get());
  errno = saved;
}

bool CopyInto(int from, std::uint64_t size,
              const std::function<bool(const std::uint8_t*, std::size_t, std::uint64_t)>& write) {
  std::vector<std::uint8_t> buffer(
      static_cast<std::size_t>(std::min<std::uint64_t>(size, 1u << 20)));
  for (std::uint64_t done = 0; done < size;) {
    const ssize_t read =
        ::pread(from, buffer.data(),
                static_cast<std::size_t>(std::min<std::uint64_t>(size - done, buffer.size())),
                static_cast<off_t>(done));
    if (read < 0 && errno == EINTR) continue;
    if (read == 0) errno = EIO;  // shorter than it was a moment ago
    if (read <= 0) return false;
    if (!write(buffer.data(), static_cast<std::size_t>(read), done)) return false;
    done += static_cast<std::uint64_t>(read);
  }
  return true;
}

// The folder for the copy: where temporary files go, since the destination's
// own folder refuses new files.
std::string TemporaryFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

// A copy of the destination's `size` bytes, flushed to disk before the
// destination is changed; in memory where no file can take it.
std::unique_ptr<Backup> KeepACopy(int destination, std::uint64_t size, SystemError& error) {
  auto backup = std::make_unique<Backup>();
  backup->size = size;
  std::string path;
  UniqueFd file = CreatePrivate(TemporaryFolder(), "dorvane-", O_RDWR, path);
  if (file) {
    const bool copied =
        CopyInto(destination, size,
                 [&](const std::uint8_t* bytes, std::size_t count, std::uint64_t at) {
                   return WriteAllAt(file.get(), bytes, count, at);
                 }) &&
        ::fsync(file.get()) == 0;
    if (copied) {
      backup->path = std::make_unique<char[]>(path.size() + 1);
      std::memcpy(backup->path.get(), path.c_str(), path.size() + 1);
      backup->file = file.Release();
      return backup;
    }
    ::unlink(path.c_str());
  }
  backup->memory.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size) + 1]);
  if (!backup->memory) {
    error = {ENOMEM};
    return nullptr;
  }
  const bool copied = CopyInto(destination, size,
                               [&](const std::uint8_t* bytes, std::size_t count, std::uint64_t at) {
                                 std::memcpy(backup->memory.get() + at, bytes, count);
                                 return true;
                               });
  if (!copied) {
    error = LastSystemError();
    return nullptr;
  }
  return backup;
}

// Another user's file in a sticky folder (/tmp) may be written but not
// replaced: only its owner, the folder's owner or root may rename over it.
bool ReplacingIsForbidden(const std::string& destination, const struct stat& existing) {
  struct stat folder {};
  const uid_t user = ::geteuid();
  return ::stat(FolderOf(destination).c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) != 0 &&
         user != 0 && existing.st_uid != user && folder.st_uid != user;
}

enum class Target { Temporary, InPlaceFile, InPlaceStream };

}  // namespace

struct OutputFile::State {
  UniqueFd fd;
  Target target = Target::Temporary;
  std::string destination;
  std::optional<mode_t> mode;        // Target::Temporary: the mode Commit gives it
  std::unique_ptr<char[]> tempPath;  // only for Target::Temporary
  int cleanupSlot = -1;
  std::unique_ptr<Backup> backup;  // only for Target::InPlaceFile
  int backupSlot = -1;
  bool restoreFailed = false;
  std::string keptCopy;
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
    cleanupSlot = interrupt_cleanup::Add(RemoveOnInterrupt, tempPath.get());
  }

  void ForgetTemporary() {
    // An interrupt that took the path may still be reading it.
    if (!interrupt_cleanup::Remove(cleanupSlot)) static_cast<void>(tempPath.release());
    cleanupSlot = -1;
    tempPath.reset();
  }

  // Opens the destination, keeping its content to put back; nothing changes yet.
  bool BeginInPlace() {
    fd.Reset(::open(destination.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0) return Fail(LastSystemError());
    SystemError why;
    backup = KeepACopy(fd.get(), static_cast<std::uint64_t>(status.st_size), why);
    if (!backup) {
      fd.Reset();
      return Fail(why);
    }
    backupSlot = interrupt_cleanup::Add(RestoreOnInterrupt, backup.get());
    target = Target::InPlaceFile;
    return true;
  }

  // From here on an interrupt puts the old content back.
  void Touch() {
    if (backup) backup->destination.store(fd.get());
  }

  // The copy is no longer needed (or, when it could not be put back, kept).
  void ForgetBackup(bool removeCopy) {
    if (!interrupt_cleanup::Remove(backupSlot)) {
      // An interrupt is putting it back and will end the process.
      static_cast<void>(backup.release());
      return;
    }
    backupSlot = -1;
    if (removeCopy && backup->file >= 0) ::unlink(backup->path.get());
    backup.reset();
  }

  // Cuts the output back to what it held before a failed piece. In place, what
  // lies past it is the old content or a failed piece: both go by Commit.
  void RollBack() {
    if (target == Target::InPlaceStream) return;
    const auto length = static_cast<off_t>(written);
    const bool cut = target == Target::InPlaceFile || ::ftruncate(fd.get(), length) == 0;
    if (!cut || ::lseek(fd.get(), length, SEEK_SET) != length) {
      const SystemError why = LastSystemError();
      Drop();
      error = why;
    }
  }

  void Drop() {
    if (backup) {
      const InterruptsHeld held;
      const bool touched = backup->destination.load() >= 0;
      const bool restored = !touched || PutBack(fd.get(), *backup);
      if (!restored) {
        restoreFailed = true;
        if (backup->file >= 0) keptCopy = backup->path.get();
      }
      ForgetBackup(restored);
    }
    fd.Reset();
    if (tempPath) {
      ::unlink(tempPath.get());
      ForgetTemporary();
    }
  }

  // The destination written in place becomes the output: cut to its length and
  // flushed, then its copy goes.
  bool CommitInPlace() {
    const InterruptsHeld held;
    Touch();
    if (::ftruncate(fd.get(), static_cast<off_t>(written)) != 0 || ::fsync(fd.get()) != 0) {
      const SystemError why = LastSystemError();
      Drop();
      return Fail(why);
    }
    ForgetBackup(true);
    fd.Reset();
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
  if (destination.empty()) return s.Fail({ENOENT});
  InstallInterruptHandlersOnce();
  s.destination = ResolveDestination(Utf16ToUtf8(destination));
  const char* path = s.destination.c_str();

  struct stat existing {};
  const bool exists = ::stat(path, &existing) == 0;
  if (!exists && errno == ELOOP) return s.Fail({ELOOP});
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
  if (exists && ReplacingIsForbidden(s.destination, existing)) return s.BeginInPlace();

  std::string tempPath;
  UniqueFd temp = CreateTemporaryBeside(s.destination, tempPath);
  if (!temp) {
    const SystemError why = LastSystemError();
    const bool folderRefused = why.code == EACCES || why.code == EPERM;
    if (!exists || !folderRefused) return s.Fail(why);
    return s.BeginInPlace();
  }
  s.fd = std::move(temp);
  s.target = Target::Temporary;
  s.RegisterTemporary(tempPath);
  if (exists) {
    // Keeping the owner needs privileges; a group the writer belongs to can be
    // kept without them.
    if (::fchown(s.fd.get(), existing.st_uid, existing.st_gid) != 0)
      static_cast<void>(::fchown(s.fd.get(), static_cast<uid_t>(-1), existing.st_gid));
    s.mode = existing.st_mode & 07777;
  } else {
    s.mode = NewFileMode();
  }
  return true;
}

bool OutputFile::Append(std::span<const std::uint8_t> bytes) {
  State& s = *state_;
  if (!s.fd) return s.Fail({EBADF});
  s.Touch();
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
  s.Touch();
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
  if (s.target == Target::InPlaceFile) {
    if (!s.CommitInPlace()) return false;
    s.error = {};
    return true;
  }
  auto fail = [&](SystemError why) {
    s.Drop();
    return s.Fail(why);
  };
  // Opened to others only now that it is complete.
  if (s.mode && ::fchmod(s.fd.get(), *s.mode) != 0) return fail(LastSystemError());
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

bool OutputFile::writesInPlace() const {
  return state_->fd && state_->target == Target::InPlaceFile;
}

bool OutputFile::restoreFailed() const {
  return state_->restoreFailed;
}

std::u16string OutputFile::keptCopy() const {
  return Utf8ToUtf16(state_->keptCopy);
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
