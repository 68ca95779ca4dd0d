#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dorvane {

// The data of one input by the positions of their electrodes, looked up while
// the next input is read. A key is a 64-bit digest of the quantized positions
// and a cell a place along the line derived from them (one per unit spacing):
// the table is laid out by cell, so that data read along the line look up
// memory along the table rather than all over it. A slot keeps 32 bits of the
// key as fingerprint and the value in single precision; 8 bytes a datum, twice
// over for room, plus the 16 bytes a datum of the input being read. Memory is
// bounded by the largest input, never by the survey. Keys beyond kMostKeys an
// input are not kept; the check then covers the data that were.
class DuplicateKeys {
 public:
  static constexpr std::size_t kMostKeys = std::size_t{1} << 23;
  // Starts an input of about `expected` data; the sealed table stays.
  void Reset(std::size_t expected);
  // Keeps an input's key; the first value given for a key is the one found.
  void Add(std::uint64_t key, std::int64_t cell, double value);
  // Makes the keys added since Reset the ones found, in place of the last.
  void Seal();
  // The value kept for `key`; false when there is none.
  bool Find(std::uint64_t key, std::int64_t cell, double& value) const;
  // Asks for the memory `key` is looked up in, ahead of Find.
  void Prefetch(std::uint64_t key, std::int64_t cell) const {
    std::size_t region = 0;
    if (RegionOf(cell, region)) __builtin_prefetch(slots_.data() + SlotIn(region, key));
  }

 private:
  struct Added {
    std::uint64_t key;
    std::int32_t cell;  // clamped: cells beyond share the last region
    std::uint32_t valueBits;
  };
  static std::int32_t Clamped(std::int64_t cell) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(cell, INT32_MIN, INT32_MAX));
  }

  // The region of the table where a cell's keys are; false outside the cells.
  bool RegionOf(std::int64_t cell, std::size_t& region) const;
  std::size_t SlotIn(std::size_t region, std::uint64_t key) const {
    const std::size_t start = regionStart_[region];
    const std::size_t size = regionStart_[region + 1] - start;
    return start + static_cast<std::size_t>(((key & 0xFFFFFFFFull) * size) >> 32);
  }
  void Insert(const Added& added);

  std::vector<Added> added_;
  std::vector<std::uint64_t> slots_;
  std::vector<std::uint32_t> regionStart_;  // one more than the regions
  std::int64_t cellLow_ = 0;
  std::uint64_t cellCount_ = 0;
  std::size_t regions_ = 0;
};

// Mixes one more quantized coordinate into a key.
constexpr std::uint64_t MixKey(std::uint64_t key, std::int64_t value) {
  std::uint64_t x = key ^ (static_cast<std::uint64_t>(value) + 0x9E3779B97F4A7C15ull);
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

}  // namespace dorvane
