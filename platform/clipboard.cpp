#include "platform/clipboard.h"

namespace dorvane {

bool MemoryClipboard::IsFormatAvailable(std::uint32_t format) const {
  return blocks_.contains(format);
}

std::optional<std::vector<std::uint8_t>> MemoryClipboard::GetBlock(std::uint32_t format) const {
  auto found = blocks_.find(format);
  if (found == blocks_.end()) return std::nullopt;
  return found->second;
}

bool MemoryClipboard::ReplaceWith(std::uint32_t format, std::span<const std::uint8_t> block) {
  blocks_.clear();
  blocks_[format].assign(block.begin(), block.end());
  return true;
}

void MemoryClipboard::AddBlock(std::uint32_t format, std::vector<std::uint8_t> block) {
  blocks_[format] = std::move(block);
}

}  // namespace dorvane
