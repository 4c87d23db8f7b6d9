#pragma once

#include <cstdint>

namespace velta {

// The largest sum of 25 bytes: the 5 x 5 block of the sharpness filter.
inline constexpr int32_t MAX_SUM_OF_25 = 25 * 255;

// Returns sum div 25 by a multiply and a shift: 5243 / 2^17 exceeds 1/25 by
// less than 1/25 / 6375, so the quotient is exact for every sum from 0 to
// MAX_SUM_OF_25 (a test checks each one).
constexpr int32_t MeanOf25(int32_t sum) { return (sum * 5243) >> 17; }

}  // namespace velta
