// The page the benchmarks work on: a 6 x 8 inch photo at 300 dpi.
#pragma once

#include <cstdint>
#include <vector>

namespace velta::bench {

constexpr uint32_t PAGE_WIDTH = 1800;
constexpr uint32_t PAGE_HEIGHT = 2492;

// Returns a photo-like page buffer (rows padded to 4 bytes): a sky gradient
// above, a ground gradient below with a hard horizon, dark vertical posts with
// sharp edges, and an oval skin-tone patch with soft shading, so that both
// sharpening weights, the fades and the history corrections all get work.
std::vector<uint8_t> PhotoPage();

}  // namespace velta::bench
