#include "survey/median_depth.h"

#include <cmath>
#include <cstring>

#include "survey/duplicate_keys.h"

namespace dorvane {
namespace {

struct Pair {
  double r;
  double sign;
};

constexpr struct {
  int a, b;
  double sign;
} kPairs[] = {{kC1, kP1, 1}, {kC1, kP2, -1}, {kC2, kP1, -1}, {kC2, kP2, 1}};

}  // namespace

double SolveMedianDepth(const std::array<Electrode, 4>& e) {
  Pair pairs[4];
  int count = 0;
  double g = 0, longest = 0;
  for (const auto& p : kPairs) {
    if (!e[p.a].present || !e[p.b].present) continue;
    const double r = std::hypot(e[p.a].x - e[p.b].x, e[p.a].across - e[p.b].across);
    if (!(r > 0) || !std::isfinite(r)) return kNoValue;
    pairs[count++] = {r, p.sign};
    g += p.sign / r;
    longest = std::fmax(longest, r);
  }
  if (count == 0 || !(std::fabs(g) > 1e-9 / longest) || !std::isfinite(g)) return kNoValue;
  // The share of G left below z: 1 at the surface, falling to 0 far down.
  auto below = [&](double z) {
    double sum = 0;
    for (int i = 0; i < count; ++i)
      sum += pairs[i].sign / std::sqrt(pairs[i].r * pairs[i].r + 4 * z * z);
    return sum / g;
  };
  double low = 0, high = longest;
  for (int i = 0; below(high) > 0.5; ++i) {
    if (i == 64) return kNoValue;
    low = high;
    high *= 2;
  }
  for (int i = 0; i < 200 && high - low > 1e-12 * high; ++i) {
    const double middle = (low + high) / 2;
    (below(middle) > 0.5 ? low : high) = middle;
  }
  return (low + high) / 2;
}

MedianDepthCache::MedianDepthCache() : entries_(1024) {}

double MedianDepthCache::Depth(const std::array<Electrode, 4>& e) {
  // The shape: positions from the first electrode present, over the array's size.
  int first = -1;
  std::uint32_t present = 0;
  for (int role = 3; role >= 0; --role)
    if (e[role].present) {
      first = role;
      present |= 1u << role;
    }
  if (first < 0) return kNoValue;
  double size = 0;
  for (const Electrode& electrode : e)
    if (electrode.present)
      size = std::fmax(size, std::fmax(std::fabs(electrode.x - e[first].x),
                                       std::fabs(electrode.across - e[first].across)));
  if (!(size > 0) || !std::isfinite(size)) return kNoValue;
  // Rounded to 2^-30 of the size, so that the same shape at another place, with
  // other rounding errors, finds its entry; the depth changes by far less.
  auto rounded = [size](double offset) { return std::round(offset / size * 0x1p30) * 0x1p-30; };
  std::array<double, 8> shape{};
  for (int role = 0; role < 4; ++role)
    if (e[role].present) {
      shape[2 * role] = rounded(e[role].x - e[first].x);
      shape[2 * role + 1] = rounded(e[role].across - e[first].across);
    }
  std::uint64_t hash = present;
  for (const double v : shape) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    hash = MixKey(hash, static_cast<std::int64_t>(bits));
  }
  Entry& entry = entries_[hash % entries_.size()];
  if (entry.present != present || entry.shape != shape) {
    std::array<Electrode, 4> unit{};
    for (int role = 0; role < 4; ++role) {
      unit[role].present = e[role].present;
      unit[role].x = shape[2 * role];
      unit[role].across = shape[2 * role + 1];
    }
    entry = {present, shape, SolveMedianDepth(unit)};
  }
  return entry.depth * size;
}

}  // namespace dorvane
