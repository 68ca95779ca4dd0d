#include "platform/file_access.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "data/data_block.h"
#include "platform/guarded_read.h"
#include "platform/output_file.h"

#include "support/file_size_limit.h"
#include "support/scripted_message_boxes.h"

namespace dorvane {
namespace {

namespace fs = std::filesystem;
using testing::FileSizeLimit;
using testing::FromUtf8;
using testing::ScriptedMessageBoxes;

std::vector<std::uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, std::string_view content) {
  std::ofstream(path, std::ios::binary) << content;
}

constexpr uid_t kNobody = 65534;

// Runs `body` in a child process as a user without privileges (nobody, member of
// `groups`, when the tests run as root, who may write anything) and returns its
// exit status.
int RunUnprivileged(const std::function<int()>& body, const std::vector<gid_t>& groups = {}) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgroups(groups.size(), groups.data()) != 0 ||
                             ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
      ::_exit(255);
    ::_exit(body());
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

class FileAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "dorvane-fa-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    ::unsetenv("TMPDIR");  // set by the tests that write in place
    fs::permissions(folder_, fs::perms(0700));
    for (const auto& entry : fs::recursive_directory_iterator(folder_))
      if (entry.is_directory() && !entry.is_symlink()) fs::permissions(entry, fs::perms(0755));
    fs::remove_all(folder_);
  }

  std::u16string PathOf(const fs::path& path) const { return FromUtf8(path.string()); }

  // The one message box a failure shows: the system text for `error`.
  void ExpectOneSystemMessage(int error) {
    ASSERT_EQ(messages_.shown().size(), 1u);
    const MessageRequest& shown = messages_.shown().front();
    EXPECT_EQ(shown.text, FromUtf8(std::strerror(error)));
    EXPECT_EQ(shown.caption, u"提示!");
    EXPECT_EQ(shown.buttons, MessageButtons::Ok);
    EXPECT_EQ(shown.icon, MessageIcon::Information);
    EXPECT_EQ(shown.owner, MessageOwner::None);
  }

  // A writable file in a folder that refuses new files, written in place by
  // nobody; the copies of its content go to TemporaryFolder().
  fs::path InPlaceDestination(std::string_view content) {
    fs::permissions(folder_, fs::perms(0755));
    fs::create_directories(folder_ / "read-only");
    fs::create_directories(TemporaryFolder());
    fs::permissions(TemporaryFolder(), fs::perms(0777));
    const fs::path out = folder_ / "read-only" / "long.dat";
    WriteFile(out, content);
    fs::permissions(out, fs::perms(0666));
    fs::permissions(folder_ / "read-only", fs::perms(0555));
    ::setenv("TMPDIR", TemporaryFolder().c_str(), 1);
    return out;
  }
  fs::path TemporaryFolder() const { return folder_ / "tmp"; }
  void TearDownInPlace() {
    ::unsetenv("TMPDIR");
    fs::permissions(folder_ / "read-only", fs::perms(0755));
  }

  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path folder_;
  ScriptedMessageBoxes messages_;
  FileAccess files_{messages_};
};

// The second name is 测线 in GBK, as archives from Chinese Windows unpack: not
// UTF-8, yet a name the file system holds.
TEST_F(FileAccessTest, ReadsAndWritesFilesUnderTheirOwnNameBytes) {
  const std::string content("RES2D\0\xff\r\n12", 11);
  for (const std::string name : {"测线一.dat", "\xB2\xE2\xCF\xDF.dat"}) {
    SCOPED_TRACE(name);
    WriteFile(folder_ / name, content);

    const std::uint8_t* view = files_.OpenAndMap(PathOf(folder_ / name));

    ASSERT_NE(view, nullptr);
    EXPECT_EQ(files_.Content().data(), view);
    EXPECT_EQ(files_.FileSize(), content.size());
    EXPECT_EQ(std::string(files_.Content().begin(), files_.Content().end()), content);
    files_.Release();

    files_.SetSavePath(PathOf(folder_ / ("out-" + name)));
    EXPECT_EQ(files_.WriteWholeFile(Bytes("out")), 3u);
    EXPECT_EQ(ReadFile(folder_ / ("out-" + name)), "out");
    EXPECT_TRUE(messages_.shown().empty());
  }
}

TEST_F(FileAccessTest, RefusedOpensReportTheSystemTextAndHoldNothing) {
  WriteFile(folder_ / "empty.dat", "");
  fs::create_directory(folder_ / "folder.dat");
  const struct {
    const char* name;
    int error;
  } cases[] = {
      {"missing.dat", ENOENT},
      {"empty.dat", EINVAL},  // an empty file cannot be mapped
      {"folder.dat", EISDIR},
  };
  WriteFile(folder_ / "good.dat", "data");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    messages_.Clear();
    ASSERT_NE(files_.OpenAndMap(PathOf(folder_ / "good.dat")), nullptr);

    EXPECT_EQ(files_.OpenAndMap(PathOf(folder_ / c.name)), nullptr);

    ExpectOneSystemMessage(c.error);
    EXPECT_EQ(files_.FileSize(), FileAccess::kNoSize);
    EXPECT_TRUE(files_.Content().empty());
  }
}

TEST_F(FileAccessTest, OpeningAnotherFileReplacesTheFirstAndReleaseMayRepeat) {
  WriteFile(folder_ / "a.dat", "first file");
  WriteFile(folder_ / "b.dat", "second");
  ASSERT_NE(files_.OpenAndMap(PathOf(folder_ / "a.dat")), nullptr);
  ASSERT_NE(files_.OpenAndMap(PathOf(folder_ / "b.dat")), nullptr);
  EXPECT_EQ(files_.FileSize(), 6u);
  EXPECT_EQ(files_.Content()[0], 's');

  files_.Release();
  files_.Release();
  EXPECT_EQ(files_.FileSize(), FileAccess::kNoSize);
  EXPECT_TRUE(files_.Content().empty());
  EXPECT_NE(files_.OpenAndMap(PathOf(folder_ / "a.dat")), nullptr);
  EXPECT_EQ(files_.FileSize(), 10u);
}

TEST_F(FileAccessTest, SizesPastFourGibibytesAreKept) {
  constexpr std::uint64_t kSize = 5ull << 30;
  const fs::path big = folder_ / "big.dat";
  WriteFile(big, "x");
  fs::resize_file(big, kSize);  // sparse: no real disk space

  ASSERT_NE(files_.OpenAndMap(PathOf(big)), nullptr);
  EXPECT_EQ(files_.FileSize(), kSize);
  EXPECT_EQ(files_.Content().size(), kSize);
  EXPECT_EQ(files_.Content()[0], 'x');
  EXPECT_EQ(files_.Content()[kSize - 1], 0);
}

TEST_F(FileAccessTest, WriteReplacesTheFileKeepingItsPermissions) {
  const fs::path out = folder_ / "输出.dat";
  WriteFile(out, "an older and longer content");
  fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  files_.SetSavePath(PathOf(out));

  EXPECT_EQ(files_.WriteWholeFile(Bytes("new\r\n")), 5u);

  EXPECT_EQ(ReadFile(out), "new\r\n");
  EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"输出.dat"});
  EXPECT_TRUE(messages_.shown().empty());
}

TEST_F(FileAccessTest, NewFilesGetTheUsualPermissions) {
  const mode_t mask = ::umask(022);
  files_.SetSavePath(PathOf(folder_ / "new.txt"));
  EXPECT_EQ(files_.WriteWholeFile(Bytes("x")), 1u);
  ::umask(mask);
  EXPECT_EQ(fs::status(folder_ / "new.txt").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);
}

// A rename asks only the folder; an editor asks the file.
TEST_F(FileAccessTest, PermissionsOfTheFileAndItsFolderDecideHowItIsWritten) {
  struct Case {
    const char* name;
    fs::perms folder;
    std::optional<fs::perms> file;  // none: no file yet
    int error;
    bool written;
  };
  constexpr fs::perms kReadOnlyFolder = fs::perms(0555);
  constexpr fs::perms kOpenFolder = fs::perms(0777);
  constexpr fs::perms kReadOnlyFile = fs::perms(0444);
  constexpr fs::perms kWritableFile = fs::perms(0666);
  const Case cases[] = {
      {"read-only file", kOpenFolder, kReadOnlyFile, EACCES, false},
      {"read-only file, read-only folder", kReadOnlyFolder, kReadOnlyFile, EACCES, false},
      {"writable file, read-only folder: in place", kReadOnlyFolder, kWritableFile, 0, true},
      {"new file, read-only folder", kReadOnlyFolder, std::nullopt, EACCES, false},
      {"writable file, open folder", kOpenFolder, kWritableFile, 0, true},
      // Only the owner of a file or of the folder may rename over it there.
      {"another user's writable file, sticky folder: in place", fs::perms(01777), kWritableFile, 0,
       true},
  };
  fs::permissions(folder_, fs::perms(0755));
  fs::create_directory(TemporaryFolder());
  fs::permissions(TemporaryFolder(), fs::perms(0777));
  ::setenv("TMPDIR", TemporaryFolder().c_str(), 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path sub = folder_ / c.name;
    fs::create_directory(sub);
    const fs::path out = sub / "long.dat";
    if (c.file) {
      WriteFile(out, "the previous merge, longer than the new one");
      fs::permissions(out, *c.file);
    }
    fs::permissions(sub, c.folder);

    const int status = RunUnprivileged([&] {
      OutputFile output;
      const bool written =
          output.Begin(PathOf(out)) && output.Append(Bytes("new merge")) && output.Commit();
      return written ? 0 : static_cast<int>(output.error().code);
    });

    EXPECT_EQ(status, c.error);
    if (c.file) {
      EXPECT_EQ(ReadFile(out),
                c.written ? "new merge" : "the previous merge, longer than the new one");
      EXPECT_EQ(fs::status(out).permissions() & fs::perms::all, *c.file);
    }
    std::vector<std::string> entries;
    for (const auto& entry : fs::directory_iterator(sub))
      entries.push_back(entry.path().filename().string());
    EXPECT_EQ(entries, c.file || c.written ? std::vector<std::string>{"long.dat"}
                                           : std::vector<std::string>{});
    EXPECT_TRUE(fs::is_empty(TemporaryFolder()));
  }
  ::unsetenv("TMPDIR");
}

// Keeping the owner of a replaced file takes privileges; its group only takes
// belonging to it.
TEST_F(FileAccessTest, AReplacedFileKeepsItsGroupWhenItsOwnerCannotBeKept) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs a file of another user";
  constexpr gid_t kUsers = 100;
  fs::permissions(folder_, fs::perms(0777));
  const fs::path out = folder_ / "long.dat";
  WriteFile(out, "the previous merge");
  ASSERT_EQ(::chown(out.c_str(), 0, kUsers), 0);
  fs::permissions(out, fs::perms(0666));

  const int status = RunUnprivileged(
      [&] {
        OutputFile output;
        return output.Begin(PathOf(out)) && output.Append(Bytes("new")) && output.Commit() ? 0 : 1;
      },
      {kUsers});

  EXPECT_EQ(status, 0);
  struct stat written {};
  ASSERT_EQ(::stat(out.c_str(), &written), 0);
  EXPECT_EQ(ReadFile(out), "new");
  EXPECT_EQ(written.st_uid, kNobody);
  EXPECT_EQ(written.st_gid, kUsers);
  EXPECT_EQ(written.st_mode & 0777, 0666u);
}

// A device, a FIFO or a link to one (/dev/stdout is one) is written into, never
// replaced by a file.
TEST_F(FileAccessTest, DevicesAndFifosAreWrittenInPlace) {
  ASSERT_EQ(::mkfifo((folder_ / "fifo").c_str(), 0600), 0);
  fs::create_symlink("fifo", folder_ / "stdout");
  // Only root makes devices, and only where the file system lets them work.
  bool devices = ::mknod((folder_ / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0;
  if (devices) {
    const int device = ::open((folder_ / "null").c_str(), O_WRONLY | O_CLOEXEC);
    devices = device >= 0;
    if (devices) ::close(device);
    if (!devices) fs::remove(folder_ / "null");
  }
  for (const char* name : {"fifo", "stdout", "null"}) {
    SCOPED_TRACE(name);
    if (name == std::string("null") && !devices) continue;
    // Open before the write, so a FIFO replaced by a file shows as nothing received.
    const int fifo = ::open((folder_ / "fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fifo, 0);
    std::string received;
    std::thread reader([&] {
      pollfd ready{fifo, POLLIN, 0};
      if (::poll(&ready, 1, 5000) > 0) {
        ::fcntl(fifo, F_SETFL, 0);
        char buffer[64];
        for (ssize_t n; (n = ::read(fifo, buffer, sizeof buffer)) > 0;) received.append(buffer, n);
      }
      ::close(fifo);
    });
    files_.SetSavePath(PathOf(folder_ / name));

    EXPECT_EQ(files_.WriteWholeFile(Bytes("merged\r\n")), 8u);

    reader.join();
    EXPECT_TRUE(messages_.shown().empty());
    EXPECT_EQ(received, name == std::string("null") ? "" : "merged\r\n");
  }
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(folder_ / "fifo")));
  EXPECT_TRUE(fs::is_symlink(folder_ / "stdout"));
  if (devices) {
    EXPECT_TRUE(fs::is_character_file(fs::symlink_status(folder_ / "null")));
  }
  EXPECT_EQ(FolderEntries().size(), devices ? 3u : 2u);
}

// A link to a file that does not exist yet creates that file, as the user who
// made the link expects.
TEST_F(FileAccessTest, WritingThroughALinkReplacesOrCreatesItsTarget) {
  fs::create_directory(folder_ / "sub");
  WriteFile(folder_ / "target.dat", "old");
  const struct {
    const char* link;
    const char* pointsTo;
    fs::path target;
  } cases[] = {
      {"link.dat", "target.dat", folder_ / "target.dat"},
      {"dangling.dat", "sub/new.dat", folder_ / "sub" / "new.dat"},
      {"to-a-link.dat", "dangling.dat", folder_ / "sub" / "new.dat"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.link);
    fs::create_symlink(c.pointsTo, folder_ / c.link);
    fs::remove(folder_ / "sub" / "new.dat");
    files_.SetSavePath(PathOf(folder_ / c.link));

    EXPECT_EQ(files_.WriteWholeFile(Bytes("fresh")), 5u);

    EXPECT_TRUE(fs::is_symlink(folder_ / c.link));
    EXPECT_EQ(ReadFile(c.target), "fresh");
  }
  EXPECT_TRUE(messages_.shown().empty());
}

TEST_F(FileAccessTest, RefusedWritesReportTheSystemTextAndLeaveNoTrace) {
  fs::create_directory(folder_ / "gone");
  fs::create_directory(folder_ / "taken.dat");
  fs::remove(folder_ / "gone");
  const struct {
    std::string path;
    int error;
  } cases[] = {
      {"", ENOENT},
      {(folder_ / "gone" / "out.dat").string(), ENOENT},  // folder deleted before the write
      {(folder_ / "taken.dat").string(), EISDIR},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    messages_.Clear();
    files_.SetSavePath(FromUtf8(c.path));

    EXPECT_EQ(files_.WriteWholeFile(Bytes("data")), 0u);

    ExpectOneSystemMessage(c.error);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"taken.dat"});
    EXPECT_TRUE(fs::is_directory(folder_ / "taken.dat"));
  }
}

TEST_F(FileAccessTest, AWriteThatFailsHalfwayLeavesTheOldFile) {
  const fs::path out = folder_ / "out.dat";
  WriteFile(out, "the previous merge");
  files_.SetSavePath(PathOf(out));
  const std::vector<std::uint8_t> large(64 * 1024, 'z');
  {
    FileSizeLimit limit(4096);
    EXPECT_EQ(files_.WriteWholeFile(large), 0u);
  }
  ExpectOneSystemMessage(EFBIG);
  EXPECT_EQ(ReadFile(out), "the previous merge");
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"out.dat"});
}

// A data file of several pages, so a truncation can cut the reader off in the middle.
std::string LongDataFile() {
  std::string text = "Line 1\r\n1.0\r\n1\r\n3000\r\n0\r\n0\r\n";
  for (int i = 0; i < 3000; ++i) text += std::to_string(i) + " 1 10.5\r\n";
  return text + "0\r\n0\r\n0\r\n0";
}

TEST_F(FileAccessTest, MappedFilesAreIndependentAcrossThreads) {
  constexpr int kFiles = 4;
  for (int i = 0; i < kFiles; ++i)
    WriteFile(folder_ / ("line" + std::to_string(i) + ".dat"),
              LongDataFile() + std::string(i, 'x'));
  std::vector<std::thread> readers;
  std::vector<std::int32_t> counts(kFiles);
  std::vector<std::uint64_t> sizes(kFiles);
  for (int i = 0; i < kFiles; ++i) {
    readers.emplace_back([&, i] {
      for (int round = 0; round < 20; ++round) {
        const MappedFile file(PathOf(folder_ / ("line" + std::to_string(i) + ".dat")));
        DataBlock block;
        SystemError error;
        ReadGuarded([&] { counts[i] = LocateDataBlock(file.content().data(), file.size(), block); },
                    error);
        sizes[i] = file.size();
      }
    });
  }
  for (std::thread& reader : readers) reader.join();
  for (int i = 0; i < kFiles; ++i) {
    EXPECT_EQ(counts[i], 3000) << i;
    EXPECT_EQ(sizes[i], LongDataFile().size() + i) << i;
  }
}

TEST_F(FileAccessTest, AStampTellsAChangedOrReplacedFile) {
  const fs::path path = folder_ / "line.dat";
  WriteFile(path, "first content");
  const MappedFile original(PathOf(path));
  ASSERT_TRUE(original.isOpen());
  EXPECT_EQ(original.CurrentStamp(), original.stamp());
  EXPECT_EQ(original.stamp().size, 13u);

  // Rewritten to the same size with its times put back, as `cp -p`, `touch -r` or
  // a sync client leave it; a clock tick later, so that the change time can move.
  struct stat old {};
  ASSERT_EQ(::stat(path.c_str(), &old), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::fstream(path, std::ios::in | std::ios::out | std::ios::binary) << "FIRST";
  const timespec times[2] = {old.st_atim, old.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_NE(original.CurrentStamp(), original.stamp());

  // Same size and modification time, but another file now bears the name.
  WriteFile(folder_ / "new.dat", "other content");
  ASSERT_EQ(::utimensat(AT_FDCWD, (folder_ / "new.dat").c_str(), times, 0), 0);
  fs::rename(folder_ / "new.dat", path);
  EXPECT_NE(MappedFile(PathOf(path)).stamp(), original.stamp());

  std::ofstream(path, std::ios::app) << "more";
  const MappedFile grown(PathOf(path));
  EXPECT_EQ(grown.stamp().size, 17u);

  const MappedFile missing(PathOf(folder_ / "missing.dat"));
  EXPECT_FALSE(missing.isOpen());
  EXPECT_EQ(missing.error(), SystemError{ENOENT});
  EXPECT_EQ(missing.CurrentStamp(), std::nullopt);
}

// The file is cut short by another program while the reader is halfway through it.
TEST_F(FileAccessTest, ReadingAFileThatShrinksFailsInsteadOfCrashing) {
  const fs::path path = folder_ / "line.dat";
  WriteFile(path, LongDataFile());
  MappedFile file(PathOf(path));
  ASSERT_TRUE(file.isOpen());
  ASSERT_GT(file.size(), 3 * 4096u);

  DataBlock block;
  std::int32_t count = -1;
  bool reachedTheEnd = false;
  SystemError error;
  const bool read = ReadGuarded(
      [&] {
        count = LocateDataBlock(file.content().data(), 4096, block);  // the first page
        ::truncate(path.c_str(), 4096);
        count = LocateDataBlock(file.content().data(), file.size(), block);
        reachedTheEnd = true;
      },
      error);

  EXPECT_FALSE(read);
  EXPECT_EQ(error, SystemError{EIO});
  EXPECT_FALSE(reachedTheEnd);
  EXPECT_EQ(count, 0);  // the first page alone holds no terminated block

  // The thread goes on guarding: a second fault is caught too, and a clean read passes.
  EXPECT_FALSE(ReadGuarded([&] { count = file.content()[file.size() - 1]; }, error));
  EXPECT_TRUE(ReadGuarded([&] { count = file.content()[0]; }, error));
  EXPECT_EQ(count, 'L');

  // Through FileAccess, as the dialog checks a chosen file: reported like a failed open.
  WriteFile(path, LongDataFile());
  ASSERT_NE(files_.OpenAndMap(PathOf(path)), nullptr);
  ::truncate(path.c_str(), 0);
  EXPECT_FALSE(files_.ReadContent(
      [&] { count = LocateDataBlock(files_.Content().data(), files_.FileSize(), block); }));
  ExpectOneSystemMessage(EIO);
  EXPECT_EQ(files_.FileSize(), FileAccess::kNoSize);
}

TEST_F(FileAccessTest, GuardedReadsNestAndStayOnTheirThread) {
  const fs::path path = folder_ / "short.dat";
  WriteFile(path, std::string(3 * 4096, 'a'));
  MappedFile file(PathOf(path));
  ::truncate(path.c_str(), 4096);
  const std::uint8_t* beyond = file.content().data() + 2 * 4096;

  SystemError inner;
  SystemError outer;
  bool innerResult = true;
  bool afterInner = false;
  const bool outerResult = ReadGuarded(
      [&] {
        innerResult = ReadGuarded(
            [&] { static_cast<void>(*static_cast<const volatile std::uint8_t*>(beyond)); }, inner);
        afterInner = true;
      },
      outer);
  EXPECT_FALSE(innerResult);
  EXPECT_TRUE(afterInner);
  EXPECT_TRUE(outerResult);
  EXPECT_EQ(inner, SystemError{EIO});

  // A fault on one thread does not disturb a guarded read running on another.
  bool otherFinished = false;
  std::thread other([&] {
    SystemError error;
    ReadGuarded(
        [&] {
          for (int i = 0; i < 1000; ++i)
            static_cast<void>(*static_cast<const volatile std::uint8_t*>(file.content().data()));
          otherFinished = true;
        },
        error);
  });
  EXPECT_FALSE(ReadGuarded(
      [&] { static_cast<void>(*static_cast<const volatile std::uint8_t*>(beyond)); }, outer));
  other.join();
  EXPECT_TRUE(otherFinished);
}

TEST_F(FileAccessTest, AnOutputWrittenInPiecesAppearsOnlyWhenCommitted) {
  const fs::path out = folder_ / "long.dat";
  WriteFile(out, "the previous merge");
  WriteFile(folder_ / "in.dat", "0123456789");
  const MappedFile input(PathOf(folder_ / "in.dat"));

  OutputFile output;
  ASSERT_TRUE(output.Begin(PathOf(out)));
  ASSERT_TRUE(output.Append(Bytes("head|")));
  ASSERT_TRUE(output.AppendFrom(input, 2, 5));
  ASSERT_TRUE(output.AppendFrom(input, 0, 0));
  ASSERT_TRUE(output.Append(Bytes("|tail")));
  EXPECT_EQ(output.size(), 15u);
  EXPECT_EQ(ReadFile(out), "the previous merge");
  EXPECT_EQ(FolderEntries().size(), 3u);  // the temporary file beside it
  // Nobody else may read the merged data before it is in place.
  for (const auto& entry : fs::directory_iterator(folder_)) {
    if (entry.path().filename().string().starts_with(".dorvane-")) {
      EXPECT_EQ(entry.status().permissions(), fs::perms::owner_read | fs::perms::owner_write);
    }
  }

  ASSERT_TRUE(output.Commit());
  EXPECT_EQ(ReadFile(out), "head|23456|tail");
  EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"in.dat", "long.dat"}));
  EXPECT_FALSE(output.isOpen());
}

TEST_F(FileAccessTest, AnAbandonedOutputLeavesTheDestinationAsItWas) {
  const fs::path out = folder_ / "long.dat";
  WriteFile(out, "the previous merge");
  {
    OutputFile dropped;
    ASSERT_TRUE(dropped.Begin(PathOf(out)));
    ASSERT_TRUE(dropped.Append(Bytes("half")));
  }
  OutputFile abandoned;
  ASSERT_TRUE(abandoned.Begin(PathOf(out)));
  ASSERT_TRUE(abandoned.Append(Bytes("half")));
  abandoned.Abandon();
  EXPECT_FALSE(abandoned.Commit());
  // A second Begin drops the first output.
  ASSERT_TRUE(abandoned.Begin(PathOf(out)));
  ASSERT_TRUE(abandoned.Begin(PathOf(folder_ / "other.dat")));
  abandoned.Abandon();

  EXPECT_EQ(ReadFile(out), "the previous merge");
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"long.dat"});
}

TEST_F(FileAccessTest, AFailedPieceIsTakenBackAndTheOutputGoesOn) {
  const fs::path out = folder_ / "long.dat";
  const std::string shrinking = LongDataFile();
  WriteFile(folder_ / "in.dat", shrinking);
  MappedFile input(PathOf(folder_ / "in.dat"));
  OutputFile output;
  ASSERT_TRUE(output.Begin(PathOf(out)));
  ASSERT_TRUE(output.Append(Bytes("header\r\n")));
  {
    FileSizeLimit limit(4096);
    EXPECT_FALSE(output.Append(std::vector<std::uint8_t>(8192, 'z')));
  }
  EXPECT_EQ(output.error(), SystemError{EFBIG});
  EXPECT_FALSE(output.inputFailed());
  EXPECT_EQ(output.size(), 8u);

  ::truncate((folder_ / "in.dat").c_str(), 100);
  EXPECT_FALSE(output.AppendFrom(input, 50, shrinking.size() - 50));
  EXPECT_TRUE(output.inputFailed());
  EXPECT_EQ(output.error(), SystemError{EIO});
  EXPECT_FALSE(output.AppendFrom(input, 50, shrinking.size()));  // past the end of the mapping
  EXPECT_EQ(output.error(), SystemError{EINVAL});

  ASSERT_TRUE(output.AppendFrom(input, 0, 6));
  ASSERT_TRUE(output.Commit());
  EXPECT_EQ(ReadFile(out), "header\r\nLine 1");
}

// A file written in place has changed with the first piece: whatever ends the
// output before its Commit puts the old content back from the copy kept in the
// temporary folder, or says that it could not.
TEST_F(FileAccessTest, AFileWrittenInPlaceGetsItsContentBackWhenTheOutputFails) {
  const std::string previous(40, 'p');
  struct Case {
    const char* name;
    rlim_t sizeLimit;  // a full disk
    bool abandon;      // else the destructor
    bool restored;
  };
  const Case cases[] = {
      {"disk full", 64, false, true},
      {"abandoned after a piece", RLIM_INFINITY, true, true},
      // Even the old content no longer fits: its copy stays.
      {"disk full below the old size", 24, true, false},
  };
  const fs::path out = InPlaceDestination(previous);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(out, previous);
    const int status = RunUnprivileged([&] {
      OutputFile output;
      if (!output.Begin(PathOf(out)) || !output.writesInPlace()) return 1;
      FileSizeLimit limit(c.sizeLimit);
      const bool appended = output.Append(std::vector<std::uint8_t>(8192, 'n'));
      if (appended != (c.sizeLimit == RLIM_INFINITY)) return 2;
      if (!c.abandon) return 0;
      output.Abandon();
      if (c.restored) return output.restoreFailed() ? 3 : 0;
      const fs::path kept = testing::ToUtf8(output.keptCopy());
      return output.restoreFailed() && kept.parent_path() == TemporaryFolder() ? 0 : 4;
    });
    EXPECT_EQ(status, 0);
    if (c.restored) {
      EXPECT_EQ(ReadFile(out), previous);
      EXPECT_TRUE(fs::is_empty(TemporaryFolder()));
    } else {
      const fs::directory_iterator kept(TemporaryFolder());
      ASSERT_NE(kept, fs::directory_iterator());
      EXPECT_EQ(ReadFile(kept->path()), previous);
      fs::remove(kept->path());
    }
  }
  TearDownInPlace();
}

// What a terminal's Ctrl-C, a kill or a closed terminal does during a long merge.
TEST_F(FileAccessTest, AnInterruptedOutputTakesItsTemporaryFileAlong) {
  const fs::path inPlace = InPlaceDestination("the previous merge, written in place");
  fs::create_directory(folder_ / "open");
  fs::permissions(folder_ / "open", fs::perms(0777));
  const fs::path replaced = folder_ / "open" / "long.dat";
  WriteFile(replaced, "the previous merge");
  fs::permissions(replaced, fs::perms(0666));
  for (const fs::path& out : {replaced, inPlace}) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
      SCOPED_TRACE(out.string() + " " + std::to_string(signal));
      // An ignored signal stays ignored (nohup): nothing to clean up then.
      struct sigaction current {};
      ::sigaction(signal, nullptr, &current);
      if (current.sa_handler == SIG_IGN) continue;
      const int status = RunUnprivileged([&] {
        OutputFile output;
        if (!output.Begin(PathOf(out)) || !output.Append(Bytes("half"))) return 1;
        ::raise(signal);
        return 2;
      });
      EXPECT_EQ(status, -1);  // ended by the signal
      for (const fs::path& folder : {folder_ / "open", folder_ / "read-only"}) {
        const std::vector<fs::path> entries{fs::directory_iterator(folder), {}};
        EXPECT_EQ(entries, std::vector<fs::path>{folder / "long.dat"});
      }
      EXPECT_TRUE(fs::is_empty(TemporaryFolder()));
    }
  }
  EXPECT_EQ(ReadFile(replaced), "the previous merge");
  EXPECT_EQ(ReadFile(inPlace), "the previous merge, written in place");
  TearDownInPlace();
}

}  // namespace
}  // namespace dorvane
