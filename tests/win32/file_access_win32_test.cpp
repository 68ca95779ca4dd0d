#include <windows.h>

#include <commdlg.h>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "platform/file_access.h"
#include "platform/guarded_read.h"
#include "platform/output_file.h"
#include "platform/win32/text.h"
#include "win32_test_support.h"

namespace dorvane::win32 {
namespace {

using testing::ReadFileBytes;
using testing::RecordingMessageBoxes;
using testing::ScratchFolder;
using testing::U16;
using testing::WriteFileBytes;

std::vector<std::uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

class FileAccessWin32 : public ::testing::Test {
 protected:
  void ExpectOneSystemMessage(DWORD error) {
    ASSERT_EQ(messages_.shown.size(), 1u);
    const MessageRequest& shown = messages_.shown.front();
    EXPECT_EQ(shown.text, SystemMessageText(error));
    EXPECT_FALSE(shown.text.empty());
    EXPECT_EQ(shown.caption, u"提示!");
    EXPECT_EQ(shown.buttons, MessageButtons::Ok);
    EXPECT_EQ(shown.icon, MessageIcon::Information);
    EXPECT_EQ(shown.owner, MessageOwner::None);
  }

  ScratchFolder folder_;
  RecordingMessageBoxes messages_;
  FileAccess files_{messages_};
};

TEST_F(FileAccessWin32, MapsTheWholeFileUnderAChineseName) {
  const std::string content("RES2D\0\xff\r\n12", 11);
  WriteFileBytes(folder_ / L"测线一.dat", content);

  const std::uint8_t* view = files_.OpenAndMap(U16(folder_ / L"测线一.dat"));

  ASSERT_NE(view, nullptr);
  EXPECT_EQ(files_.Content().data(), view);
  EXPECT_EQ(files_.FileSize(), content.size());
  EXPECT_EQ(std::string(files_.Content().begin(), files_.Content().end()), content);
  files_.Release();
  files_.Release();
  EXPECT_EQ(files_.FileSize(), FileAccess::kNoSize);
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(FileAccessWin32, RefusedOpensReportTheSystemTextAndHoldNothing) {
  WriteFileBytes(folder_ / L"good.dat", "data");
  WriteFileBytes(folder_ / L"empty.dat", "");
  const struct {
    const wchar_t* name;
    DWORD error;
  } cases[] = {
      {L"missing.dat", ERROR_FILE_NOT_FOUND},
      {L"no-folder\\x.dat", ERROR_PATH_NOT_FOUND},
      {L"empty.dat", ERROR_FILE_INVALID},  // the mapping of an empty file
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.error);
    messages_.shown.clear();
    ASSERT_NE(files_.OpenAndMap(U16(folder_ / L"good.dat")), nullptr);

    EXPECT_EQ(files_.OpenAndMap(U16(folder_ / c.name)), nullptr);

    ExpectOneSystemMessage(c.error);
    EXPECT_EQ(files_.FileSize(), FileAccess::kNoSize);
    EXPECT_TRUE(files_.Content().empty());
  }
}

TEST_F(FileAccessWin32, WriteReplacesTheFileAndLeavesNoTemporary) {
  WriteFileBytes(folder_ / L"输出.dat", "an older and longer content");
  files_.SetSavePath(U16(folder_ / L"输出.dat"));

  EXPECT_EQ(files_.WriteWholeFile(Bytes("new\r\n")), 5u);

  EXPECT_EQ(ReadFileBytes(folder_ / L"输出.dat"), "new\r\n");
  EXPECT_EQ(folder_.Entries(), std::vector<std::wstring>{L"输出.dat"});
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(FileAccessWin32, RefusedWritesLeaveWhatWasThere) {
  std::filesystem::create_directory(folder_ / L"taken.dat");
  std::filesystem::create_directory(folder_ / L"gone");
  std::filesystem::remove(folder_ / L"gone");
  const struct {
    std::u16string path;
    DWORD error;
  } cases[] = {
      {u"", ERROR_PATH_NOT_FOUND},
      {U16(folder_ / L"gone" / L"out.dat"), ERROR_PATH_NOT_FOUND},
      {U16(folder_ / L"taken.dat"), ERROR_ACCESS_DENIED},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.error);
    messages_.shown.clear();
    files_.SetSavePath(c.path);

    EXPECT_EQ(files_.WriteWholeFile(Bytes("data")), 0u);

    ExpectOneSystemMessage(c.error);
    EXPECT_EQ(folder_.Entries(), std::vector<std::wstring>{L"taken.dat"});
    EXPECT_TRUE(std::filesystem::is_directory(folder_ / L"taken.dat"));
  }
}

// Another program holds the file without sharing it: for good, or for a moment
// as a virus scanner or a sync client does.
TEST_F(FileAccessWin32, AFileHeldElsewhereIsWaitedForBriefly) {
  const struct {
    const wchar_t* name;
    DWORD heldFor;  // milliseconds; INFINITE: until the write has given up
    bool written;
  } cases[] = {
      {L"locked.dat", INFINITE, false},
      {L"scanned.dat", 300, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.heldFor);
    messages_.shown.clear();
    const auto out = folder_ / c.name;
    WriteFileBytes(out, "the previous merge");
    const HANDLE holder = ::CreateFileW(out.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    std::thread release([&] {
      if (c.heldFor != INFINITE) {
        ::Sleep(c.heldFor);
        ::CloseHandle(holder);
      }
    });
    files_.SetSavePath(U16(out));

    EXPECT_EQ(files_.WriteWholeFile(Bytes("new")), c.written ? 3u : 0u);

    release.join();
    if (c.heldFor == INFINITE) ::CloseHandle(holder);
    EXPECT_EQ(ReadFileBytes(out), c.written ? "new" : "the previous merge");
    EXPECT_EQ(messages_.shown.size(), c.written ? 0u : 1u);
  }
  EXPECT_EQ(folder_.Entries(), (std::vector<std::wstring>{L"locked.dat", L"scanned.dat"}));
}

// A removed medium or a dropped network share: the system raises an in-page
// error for the mapped page, with the status of the failed read.
TEST_F(FileAccessWin32, AnUnreadablePageFailsTheGuardedReadInsteadOfTheProgram) {
  WriteFileBytes(folder_ / L"line.dat", "RES2D data");
  const MappedFile file(U16(folder_ / L"line.dat"));
  ASSERT_TRUE(file.isOpen());
  constexpr DWORD kDeviceNotConnected = 0xC000009D;
  bool reachedTheEnd = false;
  int first = 0;
  SystemError error;

  const bool read = ReadGuarded(
      [&] {
        first = file.content()[0];
        const ULONG_PTR details[3] = {0, reinterpret_cast<ULONG_PTR>(file.content().data()),
                                      kDeviceNotConnected};
        ::RaiseException(EXCEPTION_IN_PAGE_ERROR, 0, 3, details);
        reachedTheEnd = true;
      },
      error);

  EXPECT_FALSE(read);
  EXPECT_FALSE(reachedTheEnd);
  EXPECT_EQ(first, 'R');
  EXPECT_EQ(error, SystemError{ERROR_DEVICE_NOT_CONNECTED});
  EXPECT_TRUE(ReadGuarded([&] { first = file.content()[1]; }, error));
  EXPECT_EQ(first, 'E');
}

TEST_F(FileAccessWin32, AnOutputWrittenInPiecesAppearsOnlyWhenCommitted) {
  WriteFileBytes(folder_ / L"long.dat", "the previous merge");
  WriteFileBytes(folder_ / L"in.dat", "0123456789");
  const MappedFile input(U16(folder_ / L"in.dat"));
  OutputFile output;
  ASSERT_TRUE(output.Begin(U16(folder_ / L"long.dat")));
  ASSERT_TRUE(output.Append(Bytes("head|")));
  ASSERT_TRUE(output.AppendFrom(input, 2, 5));
  ASSERT_TRUE(output.Append(Bytes("|tail")));
  EXPECT_EQ(ReadFileBytes(folder_ / L"long.dat"), "the previous merge");
  EXPECT_EQ(folder_.Entries().size(), 3u);

  ASSERT_TRUE(output.Commit());
  EXPECT_EQ(ReadFileBytes(folder_ / L"long.dat"), "head|23456|tail");
  EXPECT_EQ(folder_.Entries(), (std::vector<std::wstring>{L"in.dat", L"long.dat"}));

  ASSERT_TRUE(output.Begin(U16(folder_ / L"long.dat")));
  ASSERT_TRUE(output.Append(Bytes("half")));
  output.Abandon();
  EXPECT_EQ(ReadFileBytes(folder_ / L"long.dat"), "head|23456|tail");
  EXPECT_EQ(folder_.Entries(), (std::vector<std::wstring>{L"in.dat", L"long.dat"}));
}

// A write that fails while the temporary file is still open.
TEST_F(FileAccessWin32, AFailedWriteTakesItsTemporaryFileAlong) {
  WriteFileBytes(folder_ / L"long.dat", "the previous merge");
  void* unreadable = ::VirtualAlloc(nullptr, 65536, MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_NE(unreadable, nullptr);
  files_.SetSavePath(U16(folder_ / L"long.dat"));

  EXPECT_EQ(files_.WriteWholeFile({static_cast<const std::uint8_t*>(unreadable), 65536}), 0u);

  ::VirtualFree(unreadable, 0, MEM_RELEASE);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].caption, u"提示!");
  EXPECT_EQ(ReadFileBytes(folder_ / L"long.dat"), "the previous merge");
  EXPECT_EQ(folder_.Entries(), std::vector<std::wstring>{L"long.dat"});
}

// "D:" alone is the drive's current folder, which may be anywhere on it.
TEST_F(FileAccessWin32, AFileAtADriveRootHasItsTemporaryFileAtTheRoot) {
  wchar_t saved[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(::SetCurrentDirectoryW(folder_.path().c_str()));
  const std::wstring drive = folder_.path().wstring().substr(0, 3);  // "C:\"
  const std::wstring out =
      drive + L"dorvane-root-" + std::to_wstring(::GetCurrentProcessId()) + L".dat";

  OutputFile output;
  ASSERT_TRUE(output.Begin(U16(out)));
  ASSERT_TRUE(output.Append(Bytes("at the root")));
  const std::vector<std::wstring> duringTheWrite = folder_.Entries();
  bool temporaryAtTheRoot = false;
  for (const auto& entry : std::filesystem::directory_iterator(drive))
    temporaryAtTheRoot |= entry.path().extension() == L".tmp" &&
                          entry.path().filename().wstring().starts_with(L"~dv");
  const bool committed = output.Commit();

  ::SetCurrentDirectoryW(saved);
  EXPECT_TRUE(duringTheWrite.empty());
  EXPECT_TRUE(temporaryAtTheRoot);
  EXPECT_TRUE(committed);
  EXPECT_EQ(ReadFileBytes(out), "at the root");
  std::filesystem::remove(out);
}

// The save dialog takes paths of up to 259 characters; the temporary name must
// not be what fails then, nor must a longer path.
TEST_F(FileAccessWin32, LongPathsAreWritten) {
  std::vector<std::wstring> folders{folder_.path().wstring()};
  while (folders.back().size() < 330) {
    folders.push_back(folders.back() + L"\\" + std::wstring(40, L'长'));
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + folders.back()).c_str(), nullptr));
  }
  for (std::size_t length : {std::size_t{259}, std::size_t{330}}) {
    SCOPED_TRACE(length);
    std::wstring folder;
    for (const std::wstring& f : folders)
      if (f.size() + 6 <= length) folder = f;
    const std::wstring path =
        folder + L"\\" + std::wstring(length - folder.size() - 5, L'x') + L".dat";
    ASSERT_EQ(path.size(), length);
    files_.SetSavePath(FromWide(path));
    EXPECT_EQ(files_.WriteWholeFile(Bytes("long")), 4u);
    EXPECT_EQ(ReadFileBytes(L"\\\\?\\" + path), "long");
  }
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(FileAccessWin32, ReadOnlyFilesAreRefusedAndReplacedFilesKeepTheirAttributes) {
  const struct {
    const wchar_t* name;
    DWORD attributes;
    bool written;
  } cases[] = {
      {L"read-only.dat", FILE_ATTRIBUTE_READONLY, false},
      {L"hidden-read-only.dat", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, false},
      {L"hidden.dat", FILE_ATTRIBUTE_HIDDEN, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.attributes);
    messages_.shown.clear();
    const auto path = folder_ / c.name;
    WriteFileBytes(path, "the previous merge");
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), c.attributes));
    files_.SetSavePath(U16(path));

    EXPECT_EQ(files_.WriteWholeFile(Bytes("new")), c.written ? 3u : 0u);

    const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    EXPECT_EQ(::GetFileAttributesW(path.c_str()) & kept, c.attributes);
    EXPECT_EQ(ReadFileBytes(path), c.written ? "new" : "the previous merge");
    if (!c.written) ExpectOneSystemMessage(ERROR_ACCESS_DENIED);
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  EXPECT_EQ(folder_.Entries().size(), 3u);
}

// A device is written into, never replaced by a file.
TEST_F(FileAccessWin32, TheNullDeviceIsWrittenInPlace) {
  for (const wchar_t* name : {L"NUL", L"nul.txt"}) {
    files_.SetSavePath(U16(folder_ / name));
    EXPECT_EQ(files_.WriteWholeFile(Bytes("merged")), 6u) << name;
  }
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(folder_.Entries().empty());
}

// Wine runs the tests as root, whom no permission stops: a folder that refuses
// new files is made immutable by the Linux tool, which Wine starts like any
// program (without an exit code to wait for: the folder itself tells). Not on
// such a file system, or not under Wine: no folder.
class FolderRefusingNewFiles {
 public:
  explicit FolderRefusingNewFiles(const std::filesystem::path& folder) : folder_(folder) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixName == nullptr ? nullptr : unixName(folder.c_str());
    if (name == nullptr) return;
    unixPath_.assign(name, name + std::strlen(name));
    ::HeapFree(::GetProcessHeap(), 0, name);
    // A change that lands between a probe's creation and its removal leaves the
    // probe inside: then again.
    for (int attempt = 0; attempt < 5; ++attempt) {
      if (!Chattr(L"+i", false)) return;
      made_ = !std::filesystem::exists(Probe());
      if (made_ || !Chattr(L"-i", true)) return;
    }
  }
  ~FolderRefusingNewFiles() {
    if (made_) Chattr(L"-i", true);
  }
  bool made() const { return made_; }

 private:
  bool Chattr(const std::wstring& flag, bool accepting) const {
    std::wstring command = L"chattr " + flag + L" \"" + unixPath_ + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(L"Z:\\usr\\bin\\chattr", command.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, nullptr, &startup, &process))
      return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    for (int attempt = 0; attempt < 100; ++attempt, ::Sleep(50))
      if (AcceptsNewFiles() == accepting) return true;
    return false;
  }

  std::filesystem::path Probe() const { return folder_ / L"probe.tmp"; }

  bool AcceptsNewFiles() const {
    ::DeleteFileW(Probe().c_str());
    const HANDLE file = ::CreateFileW(Probe().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(file);
    ::DeleteFileW(Probe().c_str());
    return true;
  }

  std::filesystem::path folder_;
  std::wstring unixPath_;
  bool made_ = false;
};

std::vector<std::wstring> CopiesInTheTemporaryFolder() {
  std::vector<std::wstring> copies;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
    if (entry.path().filename().wstring().starts_with(L"dorvane-") &&
        entry.path().extension() == L".tmp")
      copies.push_back(entry.path().filename().wstring());
  return copies;
}

// No temporary file can be made beside it: the file is written in place, and
// whatever ends the output before Commit puts its old content back.
TEST_F(FileAccessWin32, AFileInAFolderRefusingNewFilesIsWrittenInPlaceAndPutBack) {
  const auto out = folder_ / L"long.dat";
  void* unreadable = ::VirtualAlloc(nullptr, 65536, MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_NE(unreadable, nullptr);
  const struct {
    const char* name;
    std::span<const std::uint8_t> piece;
    bool commit;
  } cases[] = {
      {"committed", {reinterpret_cast<const std::uint8_t*>("new merge"), 9}, true},
      {"abandoned after a piece", {reinterpret_cast<const std::uint8_t*>("new merge"), 9}, false},
      {"a piece that fails", {static_cast<const std::uint8_t*>(unreadable), 65536}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(out, "the previous merge, longer than the new one");
    const FolderRefusingNewFiles locked(folder_.path());
    if (!locked.made()) GTEST_SKIP() << "no folder refusing new files here";
    OutputFile output;
    ASSERT_TRUE(output.Begin(U16(out)));
    EXPECT_TRUE(output.writesInPlace());
    const bool appended = output.Append(c.piece);
    EXPECT_EQ(appended, c.piece.size() == 9);
    if (c.commit && appended) {
      EXPECT_TRUE(output.Commit());
    } else {
      output.Abandon();
    }
    EXPECT_FALSE(output.restoreFailed());
    EXPECT_EQ(ReadFileBytes(out),
              c.commit && appended ? "new merge" : "the previous merge, longer than the new one");
    EXPECT_EQ(folder_.Entries(), std::vector<std::wstring>{L"long.dat"});
    EXPECT_TRUE(CopiesInTheTemporaryFolder().empty());
  }
  ::VirtualFree(unreadable, 0, MEM_RELEASE);
}

// A console Ctrl-C, Ctrl-Break or close runs its handler on a thread of its own,
// which deletes the temporary file while the writer still has it open.
TEST_F(FileAccessWin32, AnOpenTemporaryFileCanBeDeletedByAnInterrupt) {
  WriteFileBytes(folder_ / L"long.dat", "the previous merge");
  OutputFile output;
  ASSERT_TRUE(output.Begin(U16(folder_ / L"long.dat")));
  ASSERT_TRUE(output.Append(Bytes("half")));
  const std::vector<std::wstring> entries = folder_.Entries();
  ASSERT_EQ(entries.size(), 2u);
  ASSERT_TRUE(entries[1].starts_with(L"~dv"));
  const std::wstring temporary = (folder_ / entries[1]).wstring();

  std::thread interrupt([&] { EXPECT_TRUE(::DeleteFileW(temporary.c_str())); });
  interrupt.join();

  output.Abandon();
  EXPECT_EQ(folder_.Entries(), std::vector<std::wstring>{L"long.dat"});
  EXPECT_EQ(ReadFileBytes(folder_ / L"long.dat"), "the previous merge");
}

}  // namespace
}  // namespace dorvane::win32
