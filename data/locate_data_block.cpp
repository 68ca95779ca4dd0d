#include <bit>
#include <cstring>
#include <limits>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define DORVANE_X86 1
#endif

#include "data/data_block.h"
#include "data/scan_paths.h"

namespace dorvane {
namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;
constexpr std::size_t kBlock = 64;

// One bit per byte of a 64-byte block, bit i for byte i.
struct BlockClasses {
  std::uint64_t number = 0;
  std::uint64_t letter = 0;
  std::uint64_t carriageReturn = 0;
  std::uint64_t lineFeed = 0;
};

struct PortableClassifier {
  static BlockClasses Classify(const std::uint8_t* bytes) {
    BlockClasses c;
    for (std::size_t i = 0; i < kBlock; ++i) {
      const std::uint64_t bit = std::uint64_t{1} << i;
      const std::uint8_t b = bytes[i];
      if (IsNumberByte(b)) c.number |= bit;
      if (IsLetterByte(b)) c.letter |= bit;
      if (b == kCr) c.carriageReturn |= bit;
      if (b == kLf) c.lineFeed |= bit;
    }
    return c;
  }
};

#if defined(DORVANE_X86)
// The compares are signed, so bytes of 0x80 and above fall outside every range,
// as the byte classes demand.
[[gnu::always_inline]] inline std::uint64_t Between16(__m128i v, char low, char high) {
  const __m128i above = _mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(low - 1)));
  const __m128i below = _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(high + 1)));
  return static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_and_si128(above, below)));
}
[[gnu::always_inline]] inline std::uint64_t Equal16(__m128i v, char byte) {
  return static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(byte))));
}

struct Sse2Classifier {
  static BlockClasses Classify(const std::uint8_t* bytes) {
    BlockClasses c;
    for (unsigned lane = 0; lane < kBlock; lane += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + lane));
      const __m128i folded = _mm_or_si128(v, _mm_set1_epi8(0x20));
      c.number |= (Between16(v, '0', '9') | Between16(v, '-', '.')) << lane;
      c.letter |= Between16(folded, 'a', 'z') << lane;
      c.carriageReturn |= Equal16(v, kCr) << lane;
      c.lineFeed |= Equal16(v, kLf) << lane;
    }
    return c;
  }
};

#define DORVANE_AVX2 __attribute__((target("avx2")))

[[gnu::always_inline]] DORVANE_AVX2 inline std::uint64_t Between32(__m256i v, char low, char high) {
  const __m256i above = _mm256_cmpgt_epi8(v, _mm256_set1_epi8(static_cast<char>(low - 1)));
  const __m256i below = _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(high + 1)), v);
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_and_si256(above, below)));
}
[[gnu::always_inline]] DORVANE_AVX2 inline std::uint64_t Equal32(__m256i v, char byte) {
  return static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(byte))));
}

struct Avx2Classifier {
  static DORVANE_AVX2 BlockClasses Classify(const std::uint8_t* bytes) {
    BlockClasses c;
    for (unsigned lane = 0; lane < kBlock; lane += 32) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + lane));
      const __m256i folded = _mm256_or_si256(v, _mm256_set1_epi8(0x20));
      c.number |= (Between32(v, '0', '9') | Between32(v, '-', '.')) << lane;
      c.letter |= Between32(folded, 'a', 'z') << lane;
      c.carriageReturn |= Equal32(v, kCr) << lane;
      c.lineFeed |= Equal32(v, kLf) << lane;
    }
    return c;
  }
};
#endif

struct ScannedLine {
  std::int64_t tokens = 0;
  bool hasLetter = false;
  std::size_t next = 0;  // start of the following line; may lie past the content
};

std::uint64_t BitsBelow(unsigned index) {
  return index == 0 ? 0 : ~std::uint64_t{0} >> (kBlock - index);
}

// The line rules: a line ends at a CR, or at the byte before an LF, but the end
// is only looked for between tokens and separators, never inside a run of number
// bytes; the two bytes at the end, whatever they are, are the line end. With
// LF-only line ends a number at the end of a line therefore runs on into the
// next line: such files are refused, as the format demands CR LF.
//
// The rules are evaluated for a whole block of bytes at once, as if every byte
// continued the line before it; a line start then only needs its first byte
// corrected, since nothing before it belongs to its line.
template <typename Classifier>
class LineScanner {
 public:
  LineScanner(const std::uint8_t* content, std::size_t length, ScanWindows* windows)
      : content_(content), length_(length), windows_(windows) {}

  // `start` lies inside the content.
  [[gnu::always_inline]] ScannedLine Scan(std::size_t start) {
    if (start - base_ >= kBlock) Load(start - start % kBlock);
    const unsigned offset = static_cast<unsigned>(start - base_);
    const std::uint64_t bit = std::uint64_t{1} << offset;
    std::uint64_t inLine = ~BitsBelow(offset);
    std::uint64_t starts = (runStarts_ | (number_ & bit)) & inLine;
    std::uint64_t ends = (ends_ | (lineFeedNext_ & bit)) & inLine;
    ScannedLine line;
    for (;;) {
      if (ends != 0) {
        const unsigned end = static_cast<unsigned>(std::countr_zero(ends));
        const std::uint64_t before = BitsBelow(end);
        line.tokens += std::popcount(starts & before);
        line.hasLetter = line.hasLetter || (letter_ & inLine & before) != 0;
        line.next = base_ + end + 2;
        return line;
      }
      // The line runs on into the next block; a run that crosses the boundary
      // carries over through the byte before it.
      line.tokens += std::popcount(starts);
      line.hasLetter = line.hasLetter || (letter_ & inLine) != 0;
      Load(base_ + kBlock);
      inLine = ~std::uint64_t{0};
      starts = runStarts_;
      ends = ends_;
    }
  }

 private:
  // The block at `base`; past the content it is filled with CR, which ends a
  // line exactly where the content ends and is never an LF for the byte before.
  void Load(std::size_t base) {
    // Read before a change of window, which may let the byte's page go.
    const bool numberBefore = base > 0 && IsNumberByte(content_[base - 1]);
    if (windows_ != nullptr && base - windowStart_ >= ScanWindows::kBytes) {
      windowStart_ = base - base % ScanWindows::kBytes;
      windows_->Entering(windowStart_);
    }
    BlockClasses c;
    std::uint64_t lineFeedAfter = 0;  // the byte after the block is an LF
    if (length_ - base >= kBlock) {
      c = Classifier::Classify(content_ + base);
      lineFeedAfter = length_ - base > kBlock && content_[base + kBlock] == kLf;
    } else {
      std::uint8_t tail[kBlock];
      std::memset(tail, kCr, kBlock);
      std::memcpy(tail, content_ + base, length_ - base);
      c = Classifier::Classify(tail);
    }
    const std::uint64_t numberAt = (c.number << 1) | (numberBefore ? 1 : 0);  // at byte i - 1
    base_ = base;
    number_ = c.number;
    letter_ = c.letter;
    lineFeedNext_ = (c.lineFeed >> 1) | (lineFeedAfter << 63);
    runStarts_ = c.number & ~numberAt;
    ends_ = c.carriageReturn | (lineFeedNext_ & ~(c.number & numberAt));
  }

  const std::uint8_t* content_;
  std::size_t length_;
  ScanWindows* windows_;
  std::size_t windowStart_ = std::numeric_limits<std::size_t>::max() - ScanWindows::kBytes;
  std::size_t base_ = std::numeric_limits<std::size_t>::max() - kBlock;  // nothing loaded
  std::uint64_t number_ = 0;
  std::uint64_t letter_ = 0;
  std::uint64_t lineFeedNext_ = 0;
  std::uint64_t runStarts_ = 0;
  std::uint64_t ends_ = 0;
};

template <typename Classifier>
std::int32_t Locate(const std::uint8_t* content, std::size_t length, DataBlock& block,
                    ScanWindows* windows) {
  LineScanner<Classifier> scanner(content, length, windows);
  std::size_t firstLine = 0;
  ScannedLine first;
  for (;;) {
    if (firstLine >= length) return 0;
    first = scanner.Scan(firstLine);
    if (first.tokens >= 3 && !first.hasLetter) break;
    firstLine = first.next;
  }
  if (first.next >= length) return 0;

  std::int32_t count = 0;
  std::size_t position = firstLine;
  for (;;) {
    const ScannedLine line = scanner.Scan(position);
    const bool sameShape = line.tokens == first.tokens && !line.hasLetter;
    if (sameShape && line.next < length) {
      // Every line takes at least two bytes, so only contents beyond 4 GiB get here.
      if (count == std::numeric_limits<std::int32_t>::max()) return 0;
      ++count;
      position = line.next;
      continue;
    }
    if ((line.tokens == 1 || line.hasLetter) && line.next < length) {
      block = {firstLine, position, count};
      return count;
    }
    return 0;
  }
}

#if defined(DORVANE_X86)
// Flattened so that the whole scan, not only the classification, is compiled
// for the wider registers.
[[gnu::flatten]] DORVANE_AVX2 std::int32_t LocateAvx2(const std::uint8_t* content,
                                                      std::size_t length, DataBlock& block,
                                                      ScanWindows* windows) {
  return Locate<Avx2Classifier>(content, length, block, windows);
}

bool ProcessorHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

ScanPath FastestPath() {
#if defined(DORVANE_X86)
  return ProcessorHasAvx2() ? ScanPath::Avx2 : ScanPath::Sse2;
#else
  return ScanPath::Portable;
#endif
}

std::int32_t Run(ScanPath path, const std::uint8_t* content, std::size_t length, DataBlock& block,
                 ScanWindows* windows) {
  switch (path) {
#if defined(DORVANE_X86)
    case ScanPath::Sse2:
      return Locate<Sse2Classifier>(content, length, block, windows);
    case ScanPath::Avx2:
      return LocateAvx2(content, length, block, windows);
#endif
    default:
      return Locate<PortableClassifier>(content, length, block, windows);
  }
}

ScanPath Fastest() {
  static const ScanPath fastest = FastestPath();
  return fastest;
}

}  // namespace

std::vector<ScanPath> AvailableScanPaths() {
  std::vector<ScanPath> paths{ScanPath::Portable};
#if defined(DORVANE_X86)
  paths.push_back(ScanPath::Sse2);
  if (ProcessorHasAvx2()) paths.push_back(ScanPath::Avx2);
#endif
  return paths;
}

std::string_view ScanPathName(ScanPath path) {
  switch (path) {
    case ScanPath::Portable:
      return "portable";
    case ScanPath::Sse2:
      return "sse2";
    case ScanPath::Avx2:
      return "avx2";
  }
  return "?";
}

std::int32_t LocateDataBlockUsing(ScanPath path, const std::uint8_t* content, std::size_t length,
                                  DataBlock& block) {
  return Run(path, content, length, block, nullptr);
}

std::int32_t LocateDataBlock(const std::uint8_t* content, std::size_t length, DataBlock& block) {
  return Run(Fastest(), content, length, block, nullptr);
}

std::int32_t LocateDataBlock(const std::uint8_t* content, std::size_t length, DataBlock& block,
                             ScanWindows& windows) {
  return Run(Fastest(), content, length, block, &windows);
}

}  // namespace dorvane
