#pragma once

#include <cstdint>

// The arithmetic of one sharpened byte, in the 16-bit lanes that let the row
// kernel work on twice as many bytes per instruction as 32-bit ones would.
namespace velta {

// The largest sum of 25 bytes: the 5 x 5 block of the sharpness filter.
inline constexpr int32_t MAX_SUM_OF_25 = 25 * 255;

// Returns sum div 25 by a multiply and a shift: 5243 / 2^17 exceeds 1/25 by
// less than 1/25 / 6375, so the quotient is exact for every sum from 0 to
// MAX_SUM_OF_25 (a test checks each one). The shift by 17 is the high half of
// the unsigned 16-bit product, halved: floor(floor(x / 2^16) / 2) = floor(x / 2^17).
constexpr uint16_t MeanOf25(uint16_t sum) {
  return static_cast<uint16_t>(static_cast<uint16_t>((uint32_t{sum} * 5243u) >> 16) >> 1);
}

// Returns the sharpened byte c of a block with the given mean at gain w (at
// most 1802): V = 1024 c + (c - mean) w, clamped to 0..261120, shifted down by
// 10. As 1024 c is a whole multiple of 1024, V >> 10 is c + floor((c - mean) w
// / 1024), and clamping V clamps that to 0..255; the floor is the high half of
// the signed 16-bit product of 64 (c - mean), at most 16320 in size, and w. A
// test checks every byte, mean and gain against the 32-bit formula.
constexpr uint8_t SharpenedByte(int16_t c, int16_t mean, int16_t w) {
  const auto scaled = static_cast<int16_t>((c - mean) * 64);
  const auto change = static_cast<int16_t>((int32_t{scaled} * w) >> 16);
  const auto value = static_cast<int16_t>(c + change);
  return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

}  // namespace velta
