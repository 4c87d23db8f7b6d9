// The head energies, before the row-end fade and the clamp to 0..255, that a
// written byte can have come from.
#pragma once

#include <limits>

namespace velta {

// Energies from low to high, both included; a clamped byte leaves one end
// open (minus or plus infinity). Empty when low > high.
struct EnergyRange {
  double low;
  double high;

  // True when no energy lies in the range.
  bool empty() const { return low > high; }
};

// No end: what a clamped byte says about the energy beyond the clamp.
inline constexpr double kNoLimit = std::numeric_limits<double>::infinity();

// The energies that write `written` where the fade does not act: the energy
// itself, except that 255 stands for every hotter energy and 0 for every
// colder one.
inline EnergyRange UnfadedRange(int written) {
  return {written == 0 ? -kNoLimit : written, written == 255 ? kNoLimit : written};
}

}  // namespace velta
