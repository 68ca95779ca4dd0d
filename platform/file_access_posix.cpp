#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <utility>

#include "platform/file_access.h"
#include "platform/utf8.h"

namespace dorvane {
namespace {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.fd_, -1));
    return *this;
  }
  ~UniqueFd() { Reset(); }

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes and reports the close's own failure, which can carry a deferred write error.
  bool Close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0 || errno == EINTR;
  }

 private:
  int fd_ = -1;
};

// The GNU strerror_r returns the text; the XSI one fills the buffer.
[[maybe_unused]] const char* ChooseErrorText(int result, const char* buffer) {
  return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char* ChooseErrorText(const char* result, const char*) {
  return result;
}

std::string ErrorText(int error) {
  char buffer[256] = {};
  return ChooseErrorText(strerror_r(error, buffer, sizeof buffer), buffer);
}

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

}  // namespace

struct FileAccess::Platform {
  UniqueFd file;
  void* mapping = nullptr;
  std::uint64_t size = kNoSize;
  int lastError = 0;
};

FileAccess::FileAccess(MessageBoxes& messages)
    : messages_(messages), platform_(std::make_unique<Platform>()) {}

FileAccess::~FileAccess() {
  Release();
}

const std::uint8_t* FileAccess::OpenAndMap(std::u16string_view path) {
  currentFile_.assign(path);
  Release();
  const std::string nativePath = Utf16ToUtf8(currentFile_);
  auto fail = [this](int error) -> const std::uint8_t* {
    platform_->lastError = error;
    ReportSystemError();
    Release();
    return nullptr;
  };

  // The whole file is read at once: mapping its pages in one call spares a page
  // fault per page of the scan.
#ifdef MAP_POPULATE
  constexpr int kPopulate = MAP_POPULATE;
#else
  constexpr int kPopulate = 0;
#endif
  // O_NONBLOCK keeps a FIFO from stalling the open; it changes nothing for files.
  platform_->file.Reset(::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!platform_->file) return fail(errno);
  struct stat status {};
  if (::fstat(platform_->file.get(), &status) != 0) return fail(errno);
  if (S_ISDIR(status.st_mode)) return fail(EISDIR);
  const auto size = static_cast<std::uint64_t>(status.st_size);
  // mmap refuses a length of 0 with EINVAL; say so without asking it.
  if (size == 0) return fail(EINVAL);
  if (size > SIZE_MAX) return fail(EFBIG);
  void* mapping = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ,
                         MAP_PRIVATE | kPopulate, platform_->file.get(), 0);
  if (mapping == MAP_FAILED) return fail(errno);
  platform_->mapping = mapping;
  platform_->size = size;
  return static_cast<const std::uint8_t*>(mapping);
}

std::uint64_t FileAccess::FileSize() const {
  return platform_->mapping != nullptr ? platform_->size : kNoSize;
}

std::span<const std::uint8_t> FileAccess::Content() const {
  if (platform_->mapping == nullptr) return {};
  return {static_cast<const std::uint8_t*>(platform_->mapping),
          static_cast<std::size_t>(platform_->size)};
}

void FileAccess::Release() {
  if (platform_->mapping != nullptr) {
    ::munmap(platform_->mapping, static_cast<std::size_t>(platform_->size));
    platform_->mapping = nullptr;
  }
  platform_->size = kNoSize;
  platform_->file.Reset();
}

void FileAccess::SetSavePath(std::u16string_view path) {
  savePath_.assign(path);
}

std::uint64_t FileAccess::WriteWholeFile(std::span<const std::uint8_t> bytes) {
  std::string tempPath;
  auto fail = [&](int error) -> std::uint64_t {
    if (!tempPath.empty()) ::unlink(tempPath.c_str());
    platform_->lastError = error;
    ReportSystemError();
    return 0;
  };
  if (savePath_.empty()) return fail(ENOENT);
  const std::string destination = ResolveDestination(Utf16ToUtf8(savePath_));

  UniqueFd temp = CreateTemporaryBeside(destination, tempPath);
  if (!temp) {
    const int error = errno;
    tempPath.clear();
    return fail(error);
  }
  struct stat existing {};
  if (::stat(destination.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    // Keeping the owner needs privileges; without them the writer owns the file.
    [[maybe_unused]] const int kept = ::fchown(temp.get(), existing.st_uid, existing.st_gid);
    if (::fchmod(temp.get(), existing.st_mode & 07777) != 0) return fail(errno);
  }
  if (!WriteAll(temp.get(), bytes)) return fail(errno);
  if (::fsync(temp.get()) != 0) return fail(errno);
  if (!temp.Close()) return fail(errno);
  if (::rename(tempPath.c_str(), destination.c_str()) != 0) return fail(errno);
  SyncFolder(FolderOf(destination));
  return bytes.size();
}

void FileAccess::ReportSystemError() {
  MessageRequest request;
  request.text = Utf8ToUtf16(ErrorText(platform_->lastError));
  request.caption = u"提示!";
  request.buttons = MessageButtons::Ok;
  request.icon = MessageIcon::Information;
  request.owner = MessageOwner::None;
  messages_.Show(request);
}

}  // namespace dorvane
