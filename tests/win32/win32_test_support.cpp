#include "win32_test_support.h"

#include <algorithm>
#include <random>
#include <stdexcept>

namespace dorvane::win32::testing {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  std::random_device seed;
  path_ = fs::temp_directory_path() / (L"dorvane-test-" + std::to_wstring(seed()));
  fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::vector<std::wstring> ScratchFolder::Entries() const {
  std::vector<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(path_))
    names.push_back(entry.path().filename().wstring());
  std::sort(names.begin(), names.end());
  return names;
}

// The C++ streams take narrow names here, which cannot carry Chinese file names.
void WriteFileBytes(const fs::path& path, std::string_view bytes) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create a test file");
  DWORD written = 0;
  const bool ok = bytes.empty() || ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                               &written, nullptr);
  ::CloseHandle(file);
  if (!ok || written != bytes.size()) throw std::runtime_error("cannot write a test file");
}

std::string ReadFileBytes(const fs::path& path) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string content;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
    content.append(buffer, read);
  ::CloseHandle(file);
  return content;
}

std::u16string U16(const fs::path& path) {
  const std::wstring& wide = path.native();
  return {wide.begin(), wide.end()};
}

HiddenWindow::HiddenWindow()
    : window_(::CreateWindowExW(0, L"STATIC", L"dorvane test owner", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                100, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr)) {}

HiddenWindow::~HiddenWindow() {
  if (window_ != nullptr) ::DestroyWindow(window_);
}

}  // namespace dorvane::win32::testing
