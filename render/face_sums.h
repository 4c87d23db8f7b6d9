#pragma once

#include <cstdint>

#include "render/sharpness.h"

// The face-window test of the sharpness filter with three table reads a pixel
// instead of nine: each entry holds a channel value's luminance, Cb and Cr
// contributions side by side in one 64-bit word, 21 bits each, the colour
// differences raised by 2^17 so that no field is negative. A pixel's three
// words add up without carries between the fields.
namespace velta {

// Returns the 768 packed words: red values, then green, then blue.
const uint64_t* PackedFaceSums();

// The raise of one colour-difference field for the sum of three words.
inline constexpr int32_t FACE_SUM_BIAS = 3 << 17;

// Tells whether the sum of a pixel's three packed words falls in the window.
inline bool IsFaceSum(uint64_t sum) {
  const auto luminance = static_cast<int32_t>(sum & 0x1FFFFF);
  const auto Cb = static_cast<int32_t>((sum >> 21) & 0x1FFFFF) - FACE_SUM_BIAS;
  const auto Cr = static_cast<int32_t>(sum >> 42) - FACE_SUM_BIAS;
  return IsFaceWindow(luminance, Cb, Cr);
}

}  // namespace velta
