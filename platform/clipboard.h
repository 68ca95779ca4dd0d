#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace dorvane {

// Standard clipboard format numbers (CF_TEXT, CF_SYLK, CF_UNICODETEXT).
inline constexpr std::uint32_t kClipboardText = 1;
inline constexpr std::uint32_t kClipboardSylk = 4;
inline constexpr std::uint32_t kClipboardUnicodeText = 13;

// One block of bytes per format, as the system clipboard holds them.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual bool IsFormatAvailable(std::uint32_t format) const = 0;
  // The whole block (its allocated size), or none.
  virtual std::optional<std::vector<std::uint8_t>> GetBlock(std::uint32_t format) const = 0;
  // Empties the clipboard, then sets this one block.
  virtual bool ReplaceWith(std::uint32_t format, std::span<const std::uint8_t> block) = 0;
};

// The store used where no system clipboard exists (tests, the command-line tool).
class MemoryClipboard : public Clipboard {
 public:
  bool IsFormatAvailable(std::uint32_t format) const override;
  std::optional<std::vector<std::uint8_t>> GetBlock(std::uint32_t format) const override;
  bool ReplaceWith(std::uint32_t format, std::span<const std::uint8_t> block) override;
  // Adds a block beside the others, as a program offering several formats does.
  void AddBlock(std::uint32_t format, std::vector<std::uint8_t> block);
  void Clear() { blocks_.clear(); }

 private:
  std::map<std::uint32_t, std::vector<std::uint8_t>> blocks_;
};

}  // namespace dorvane
