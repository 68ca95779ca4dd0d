#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/guarded_read.h"
#include "platform/mapped_file.h"
#include "platform/message_boxes.h"
#include "platform/system_error.h"

#ifdef _WIN32
#include <functional>
#include <optional>

struct HWND__;
struct tagOFNW;
#endif

namespace dorvane {

// The filter list of the program's file dialogs: (description, pattern) pairs,
// double-NUL terminated; the first pair is selected when a dialog opens.
inline constexpr char16_t kDataFileFilterText[] =
    u"数据文件(*.dat)\0*.dat\0文本文件(*.txt)\0*.txt\0所有文件(*.*)\0*.*\0";
inline constexpr std::u16string_view kDataFileFilters{
    kDataFileFilterText, sizeof kDataFileFilterText / sizeof(char16_t)};

// The one object through which the program chooses, reads and writes files on
// the user interface thread. Reading maps a whole file read-only (a MappedFile);
// writing replaces a file in one piece (an OutputFile). Every failure of the file
// system is shown once, with the system's own text, by ReportSystemError.
class FileAccess {
 public:
  static constexpr std::uint64_t kNoSize = UINT64_MAX;

  explicit FileAccess(MessageBoxes& messages);
  ~FileAccess();
  FileAccess(const FileAccess&) = delete;
  FileAccess& operator=(const FileAccess&) = delete;

  // Opens `path` read-only and maps all of it (releasing any file still open).
  // Null after the failure has been reported; an empty file cannot be mapped.
  const std::uint8_t* OpenAndMap(std::u16string_view path);
  // Size of the open file, or kNoSize when none is open.
  std::uint64_t FileSize() const;
  // The mapped content of the open file (empty when none is open).
  std::span<const std::uint8_t> Content() const;
  // Unmaps and closes; any number of calls.
  void Release();
  // Runs `read` over Content() inside ReadGuarded. When a page cannot be read
  // (the file was cut short, its medium removed), the failure is reported like a
  // failed open, the file released, and the result is false.
  template <typename Read>
  bool ReadContent(Read&& read) {
    SystemError error;
    if (ReadGuarded(read, error)) return true;
    ReportSystemError(error);
    Release();
    return false;
  }

  // Destination of WriteWholeFile.
  void SetSavePath(std::u16string_view path);
  const std::u16string& savePath() const { return savePath_; }
  // Writes all bytes to savePath as one OutputFile, so a failed write leaves the
  // old file intact. Returns the number of bytes written, 0 after a reported
  // failure.
  std::uint64_t WriteWholeFile(std::span<const std::uint8_t> bytes);

  // Shows the system's text for `error`: caption "提示!", information icon, no
  // owner.
  void ReportSystemError(SystemError error);

  MessageBoxes& messages() { return messages_; }

#ifdef _WIN32
  // How a file dialog ended: a file chosen, a cancel, or the failure
  // (CommDlgExtendedError) that kept it from giving a file.
  struct DialogResult {
    DialogResult(bool chosen) : chosen(chosen) {}  // a choice or a cancel
    static DialogResult Failed(unsigned long error) {
      DialogResult result(false);
      result.failure = error;
      return result;
    }
    bool chosen = false;
    unsigned long failure = 0;
  };
  // Runs a prepared GetOpenFileNameW / GetSaveFileNameW; tests answer it themselves.
  using FileDialog = std::function<DialogResult(tagOFNW&)>;

  void SetOwnerWindow(HWND__* owner);
  // Empty functions stand for the system's dialogs.
  void SetFileDialogs(FileDialog open, FileDialog save);
  // The chosen full path, or none when the user cancels (nothing is reported)
  // or the dialog fails (reported). Each dialog starts in the folder last chosen
  // in it, with an empty name; the process's current folder stays as it is.
  std::optional<std::u16string> ChooseOpenFile(std::u16string_view title,
                                               std::u16string_view filters);
  // Sets savePath to the chosen path; a cancel leaves savePath as it was.
  std::optional<std::u16string> ChooseSaveFile(std::u16string_view title,
                                               std::u16string_view filters);
  // ChooseOpenFile, then OpenAndMap(path); null on cancel without a message.
  const std::uint8_t* OpenAndMap(std::u16string_view title, std::u16string_view filters);
#endif

 private:
#ifdef _WIN32
  // Whether a file was chosen; a failure other than a cancel is reported.
  bool Chosen(const DialogResult& result);
#endif

  struct Platform;  // the file dialogs and their folders, on Windows

  MessageBoxes& messages_;
  std::u16string currentFile_;
  std::u16string savePath_;
  MappedFile mapped_;
  std::unique_ptr<Platform> platform_;
};

}  // namespace dorvane
