#include "platform/file_access.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

class FileAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "dorvane-fa-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }

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

TEST_F(FileAccessTest, MapsTheWholeFileUnderANonAsciiName) {
  const std::string content("RES2D\0\xff\r\n12", 11);
  WriteFile(folder_ / "测线一.dat", content);

  const std::uint8_t* view = files_.OpenAndMap(PathOf(folder_ / "测线一.dat"));

  ASSERT_NE(view, nullptr);
  EXPECT_EQ(files_.Content().data(), view);
  EXPECT_EQ(files_.FileSize(), content.size());
  EXPECT_EQ(std::string(files_.Content().begin(), files_.Content().end()), content);
  EXPECT_TRUE(messages_.shown().empty());
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

TEST_F(FileAccessTest, WritingThroughALinkReplacesItsTarget) {
  WriteFile(folder_ / "target.dat", "old");
  fs::create_symlink("target.dat", folder_ / "link.dat");
  files_.SetSavePath(PathOf(folder_ / "link.dat"));

  EXPECT_EQ(files_.WriteWholeFile(Bytes("fresh")), 5u);

  EXPECT_TRUE(fs::is_symlink(folder_ / "link.dat"));
  EXPECT_EQ(ReadFile(folder_ / "target.dat"), "fresh");
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

}  // namespace
}  // namespace dorvane
