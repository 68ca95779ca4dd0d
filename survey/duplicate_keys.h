#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dorvane {

// The data of one input by the positions of their electrodes: a 64-bit digest of
// the quantized positions, kept as a table slot and 32 bits of fingerprint, with
// the value in single precision; 8 bytes a datum. A survey keeps two of these at
// a time (see AnalyseSurvey), so its memory is bounded by the largest input,
// never by the survey. The room is set when the table is reset; keys beyond it
// (more than kMostKeys, or far more than expected) are not kept, and the check
// then covers the data that were.
class DuplicateKeys {
 public:
  static constexpr std::size_t kMostKeys = std::size_t{1} << 23;

  // Empties the table, with room for `expected` keys.
  void Reset(std::size_t expected);
  // Keeps the first value given for a key.
  void Insert(std::uint64_t key, double value);
  // The value kept for `key`; false when there is none.
  bool Find(std::uint64_t key, double& value) const;
  // Asks for the memory `key` is looked up in, ahead of Find or Insert.
  void Prefetch(std::uint64_t key) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[key & (slots_.size() - 1)]);
  }

 private:
  // Fingerprint in the high half, never 0 (a free slot is 0), value bits below.
  static std::uint64_t Fingerprint(std::uint64_t key) { return (key >> 32 | 1) << 32; }
  std::vector<std::uint64_t> slots_;
  std::size_t used_ = 0;
};

// Mixes one more quantized coordinate into a key.
constexpr std::uint64_t MixKey(std::uint64_t key, std::int64_t value) {
  std::uint64_t x = key ^ (static_cast<std::uint64_t>(value) + 0x9E3779B97F4A7C15ull);
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

}  // namespace dorvane
