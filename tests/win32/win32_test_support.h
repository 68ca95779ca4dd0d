#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/message_boxes.h"

namespace dorvane::win32::testing {

// Records every message; answers Ok, or No to a question.
class RecordingMessageBoxes : public MessageBoxes {
 public:
  MessageAnswer Show(const MessageRequest& request) override {
    shown.push_back(request);
    return request.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
  }
  std::vector<MessageRequest> shown;
};

// A fresh folder under the temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::wstring_view name) const { return path_ / name; }
  std::vector<std::wstring> Entries() const;

 private:
  std::filesystem::path path_;
};

void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFileBytes(const std::filesystem::path& path);
std::u16string U16(const std::filesystem::path& path);

// A hidden top-level window to own message boxes and the clipboard.
class HiddenWindow {
 public:
  HiddenWindow();
  ~HiddenWindow();
  HiddenWindow(const HiddenWindow&) = delete;
  HiddenWindow& operator=(const HiddenWindow&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_;
};

}  // namespace dorvane::win32::testing
