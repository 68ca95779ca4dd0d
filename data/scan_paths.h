#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "data/data_block.h"

namespace dorvane {

// The reader classifies its bytes sixty-four at a time; how depends on the
// processor. LocateDataBlock takes the fastest path this processor runs; tests,
// fuzzers and benchmarks name a path to hold the others against the portable one.
enum class ScanPath { Portable, Sse2, Avx2 };

// The paths this processor runs, the portable one first.
std::vector<ScanPath> AvailableScanPaths();
std::string_view ScanPathName(ScanPath path);

// LocateDataBlock on a given path; the path must be available.
std::int32_t LocateDataBlockUsing(ScanPath path, const std::uint8_t* content, std::size_t length,
                                  DataBlock& block);

}  // namespace dorvane
