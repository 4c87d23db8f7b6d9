// Geometry shared by the enlargement and the reduction: the page's row stride, the
// scaled size of the picture for a magnification, the magnification each can use
// and the enlargement's source sample points.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace velta {

// Bytes per page-buffer row: three bytes a pixel, rounded up to a multiple of 4.
inline size_t RowStride(int32_t width) { return (3 * static_cast<size_t>(width) + 3) & ~static_cast<size_t>(3); }

// Scale factor of a magnification in percent: 10 gives 1.1, -25 gives 0.75. The sum
// is formed in 64 bits so that the largest magnification does not overflow, and is
// exact in double, as it would be from a 32-bit sum.
inline double ScaleFactor(int64_t magnification) { return static_cast<double>(magnification + 100) / 100.0; }

// Scaled size, truncated toward zero, of size pixels at a magnification. For any
// 32-bit magnification and size the product stays below 2^56 in magnitude, so the
// conversion to 64 bits is always defined.
inline int64_t ScaledSize(int64_t magnification, int32_t size) {
  return static_cast<int64_t>(ScaleFactor(magnification) * static_cast<double>(size));
}

// A scaled size must stay within the int range of the page sizes.
constexpr int64_t kLargestScaledSize = std::numeric_limits<int32_t>::max();

// The magnification used along one axis of size pixels: below 0 it cannot enlarge
// and is taken as 0; so large that the enlarged size would pass the int range it is
// taken as the largest magnification whose enlarged size still fits.
inline int64_t EnlargementUsed(int32_t magnification, int32_t size) {
  int64_t used = std::max<int32_t>(magnification, 0);
  if (ScaledSize(used, size) <= kLargestScaledSize) return used;
  // Start near the limit and step to the exact largest magnification that fits.
  used = static_cast<int64_t>(static_cast<double>(kLargestScaledSize) / size * 100.0) - 100;
  while (ScaledSize(used, size) > kLargestScaledSize) --used;
  while (used + 1 < magnification && ScaledSize(used + 1, size) <= kLargestScaledSize) ++used;
  return used;
}

// One source sample position: the pixel at or left of (above) it, its right (lower)
// neighbour, and the fraction of the way between them. A neighbour past the last
// pixel is the last pixel itself, so nothing outside the picture is ever read.
struct SamplePoint {
  int64_t near, next;
  double fraction;
};

// Splits a running source position into its pixel, neighbour and fraction.
inline SamplePoint Sample(double position, int32_t size) {
  // The position never falls below 0 and stays below size; the clamp only guards
  // against the last ulp of the running sum.
  int64_t near = position > 0.0 ? static_cast<int64_t>(std::min(position, static_cast<double>(size))) : 0;
  near = std::min<int64_t>(near, size - 1);
  const double fraction = position - static_cast<double>(near);
  return {near, std::min<int64_t>(near + 1, size - 1), fraction};
}

// A positive magnification cannot reduce: that axis keeps its size.
inline int32_t ReductionUsed(int32_t magnification) { return std::min(magnification, 0); }

}  // namespace velta
