// Turns head energies back into approximate colour values.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "stream_parser.h"

namespace velta {

// For every energy 0..255, the input value whose entry in curve (256 entries,
// input value -> head energy) is nearest; where several inputs are equally near,
// their mean, rounded down.
std::array<uint8_t, 256> InvertToneCurve(std::span<const uint8_t, 256> curve);

// An approximate RGB picture of a page, rows of width x 3 bytes: each plane
// goes back through the inverse of its block of tone_table (768 bytes, block k
// for plane k), plane 0 to blue, plane 1 to green, plane 2 to red.
std::vector<uint8_t> PreviewPicture(const DecodedPage& page, std::span<const uint8_t, 768> tone_table);

// A plane as a grey picture: more energy prints darker, so grey = 255 - energy.
std::vector<uint8_t> PlanePicture(const DecodedPage& page, int plane);

}  // namespace velta
