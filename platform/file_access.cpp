#include "platform/file_access.h"

#include "platform/output_file.h"

namespace dorvane {

const std::uint8_t* FileAccess::OpenAndMap(std::u16string_view path) {
  currentFile_.assign(path);
  Release();
  mapped_ = MappedFile(currentFile_);
  if (!mapped_.isOpen()) {
    ReportSystemError(mapped_.error());
    return nullptr;
  }
  return mapped_.content().data();
}

std::uint64_t FileAccess::FileSize() const {
  return mapped_.isOpen() ? mapped_.size() : kNoSize;
}

std::span<const std::uint8_t> FileAccess::Content() const {
  return mapped_.content();
}

void FileAccess::Release() {
  mapped_.Release();
}

void FileAccess::SetSavePath(std::u16string_view path) {
  savePath_.assign(path);
}

std::uint64_t FileAccess::WriteWholeFile(std::span<const std::uint8_t> bytes) {
  OutputFile output;
  if (output.Begin(savePath_) && output.Append(bytes) && output.Commit()) return bytes.size();
  ReportSystemError(output.error());
  return 0;
}

void FileAccess::ReportSystemError(SystemError error) {
  MessageRequest request;
  request.text = SystemErrorText(error);
  request.caption = u"提示!";
  request.buttons = MessageButtons::Ok;
  request.icon = MessageIcon::Information;
  request.owner = MessageOwner::None;
  messages_.Show(request);
}

}  // namespace dorvane
