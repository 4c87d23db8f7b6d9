#pragma once

#include <array>
#include <cstdint>

namespace velta {

// The printer's built-in tone tables, one per print mode: three blocks of 256
// head energies, block k for send-buffer plane k (plane 0 from blue, 1 from
// green, 2 from red), entry v the energy for input value v. Every block falls
// from about 240 at v = 0 to 30 at 254 and 26 at 255.
extern const std::array<uint8_t, 768> Zorv_K40_Normal;
extern const std::array<uint8_t, 768> Zorv_K40_HighQuality;

}  // namespace velta
