// Sizes shared by the enlargement and the reduction: the page's row stride and the
// scaled size of the picture for a magnification.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velta {

// Bytes per page-buffer row: three bytes a pixel, rounded up to a multiple of 4.
inline size_t RowStride(int32_t width) {
  return (3 * static_cast<size_t>(width) + 3) & ~static_cast<size_t>(3);
}

// Scale factor of a magnification in percent: 10 gives 1.1, -25 gives 0.75. The sum
// is formed in 64 bits so that the largest magnification does not overflow, and is
// exact in double, as it would be from a 32-bit sum.
inline double ScaleFactor(int64_t magnification) {
  return static_cast<double>(magnification + 100) / 100.0;
}

// Scaled size, truncated toward zero, of size pixels at a magnification. For any
// 32-bit magnification and size the product stays below 2^56 in magnitude, so the
// conversion to 64 bits is always defined.
inline int64_t ScaledSize(int64_t magnification, int32_t size) {
  return static_cast<int64_t>(ScaleFactor(magnification) * static_cast<double>(size));
}

}  // namespace velta
