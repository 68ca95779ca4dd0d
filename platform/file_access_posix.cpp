#include "platform/file_access.h"

namespace dorvane {

// No file dialogs here: the command-line tool names its files.
struct FileAccess::Platform {};

FileAccess::FileAccess(MessageBoxes& messages)
    : messages_(messages), platform_(std::make_unique<Platform>()) {}

FileAccess::~FileAccess() {
  Release();
}

}  // namespace dorvane
