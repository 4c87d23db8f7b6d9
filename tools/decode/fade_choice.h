// Choosing, along a run of faded bytes, between the faded and the unfaded
// reading of each written energy.
#pragma once

#include <array>
#include <span>
#include <vector>

namespace velta {

// Tone values from low to high, both included; an end may be infinite.
struct ToneRange {
  double low;
  double high;
};

// Returns the gap between two ranges: 0 when they meet.
double Gap(const ToneRange& a, const ToneRange& b);

// What one faded byte may have been: the tone values of each reading its
// written energy allows (one, or two when it reads the same faded or not),
// and the values the same byte took in the row above.
struct FadedByte {
  std::array<ToneRange, 2> readings;
  int count = 0;
  ToneRange above;
};

// Picks a reading for every byte of a run, walked from its anchor outward
// (anchor null when there is none), that makes the run smoothest: the least
// sum of the gaps between neighbours along the walk, with a small share of
// the gaps to the row above and a penalty for values the tone curve cannot
// reach (reach). A photo rarely changes much from pixel to pixel, while the
// fade makes the written energies climb steeply along the run, so a wrong
// reading shows up as a jump. Returns the index of the reading of each byte.
std::vector<int> SmoothestReadings(std::span<const FadedByte> run, const ToneRange* anchor, const ToneRange& reach);

}  // namespace velta
