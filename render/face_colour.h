#pragma once

#include <cstdint>

#include "render/sharpness.h"

// The face-window test of the sharpness filter without its tables. Each table
// entry is coefficient x 1024 x v rounded to the nearest integer, which for
// these coefficients is exactly (A v + 2^(k-1)) >> k with the A and k below,
// for every channel value v (a test checks all of them, and every colour).
// Plain multiplications and shifts vectorise where nine table reads a pixel
// would not.
namespace velta {

// Returns (A v + 2^(k-1)) >> k; A v stays below 2^31 for v up to 255.
constexpr int32_t ScaledChannel(int32_t A, int k, int32_t v) { return (A * v + (int32_t{1} << (k - 1))) >> k; }

// The luminance and colour-difference sums of a pixel, as the tables give them.
constexpr int32_t FaceLuminance(int32_t r, int32_t g, int32_t b) {
  return ScaledChannel(5014911, 14, r) + ScaledChannel(4920850, 13, g) + ScaledChannel(960303, 13, b);
}
constexpr int32_t FaceCb(int32_t r, int32_t g, int32_t b) {
  return -ScaledChannel(1415805, 13, r) - ScaledChannel(2778499, 13, g) + 512 * b;
}
constexpr int32_t FaceCr(int32_t r, int32_t g, int32_t b) {
  return 512 * r - ScaledChannel(3509438, 13, g) - ScaledChannel(684866, 13, b);
}

// Tells whether the pixel (r, g, b) is a face pixel, as IsFacePixel does.
constexpr bool IsFaceColour(int32_t r, int32_t g, int32_t b) {
  return IsFaceWindow(FaceLuminance(r, g, b), FaceCb(r, g, b), FaceCr(r, g, b));
}

}  // namespace velta
