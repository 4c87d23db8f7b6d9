// A plain, pixel-by-pixel account of the printer's colour correction.
#include "tests/reference/colour_reference.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace velta::reference {
namespace {

// Keeps a value within the byte range.
int ClampByte(int64_t v) { return static_cast<int>(v < 0 ? 0 : v > 255 ? 255 : v); }

}  // namespace

ColourAdjustment::ColourAdjustment(const PictureOptions& options) {
  // Brightness moves all three channels by 5 steps a unit; each balance setting
  // moves its own channel up and the other two down, three halves of a step a
  // unit, the halving truncated toward zero after the multiplication.
  const int64_t bright = 5 * int64_t{options.brightness};
  const int64_t r = options.red, g = options.green, b = options.blue;
  red_offset_ = static_cast<int>(bright + (3 * (2 * r - b - g)) / 2);
  green_offset_ = static_cast<int>(bright + (3 * (2 * g - b - r)) / 2);
  blue_offset_ = static_cast<int>(bright + (3 * (2 * b - g - r)) / 2);
  contrast_offset_ = 5 * options.contrast;
  contrast_divisor_ = 128 - contrast_offset_;
  // Monochrome pulls every channel fully to the mean of the three.
  saturation_ = options.monochrome ? -10 : options.saturation;
}

int ColourAdjustment::SaturationTerm(int d) const {
  // The printer keeps each term in 16 bits.
  return static_cast<int16_t>((int64_t{d} * saturation_) / 15);
}

int ColourAdjustment::Tone(int n, int offset) const {
  return ClampByte(offset + (int64_t{128} * (n - contrast_offset_)) / contrast_divisor_);
}

void ColourAdjustment::Apply(uint8_t* rgb) const {
  const int r = rgb[0], g = rgb[1], b = rgb[2];
  const int saturated_blue = ClampByte(b + SaturationTerm(b - ((g + r) >> 1)));
  const int saturated_green = ClampByte(g + SaturationTerm(g - ((b + r) >> 1)));
  const int saturated_red = ClampByte(r + SaturationTerm(r - ((b + g) >> 1)));
  rgb[0] = static_cast<uint8_t>(Tone(saturated_red, red_offset_));
  rgb[1] = static_cast<uint8_t>(Tone(saturated_green, green_offset_));
  rgb[2] = static_cast<uint8_t>(Tone(saturated_blue, blue_offset_));
}

void MapThroughGrid(const uint8_t* table, uint8_t* rgb) {
  // Per axis (0 red, 1 green, 2 blue): the cell and the position inside it in
  // 32nds, where a position past 0 counts one more, so that 31 reaches the far node.
  std::array<int, 3> cell{}, weight{};
  for (int axis = 0; axis < 3; ++axis) {
    cell[axis] = rgb[axis] >> 5;
    weight[axis] = rgb[axis] & 31;
    if (weight[axis] != 0) ++weight[axis];
  }
  // The tetrahedron walks from the cell's base node along the axes in order of
  // falling weight: base, +first axis, +first two, +all three, with weights
  // 32 - w(first), w(first) - w(second), w(second) - w(third), w(third). On equal
  // weights either order gives the same sums, since the node between them then
  // carries weight 0.
  std::array<int, 3> order = {0, 1, 2};
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return weight[a] > weight[b]; });
  std::array<int, 3> node = cell;
  const auto node_byte = [&](int channel) { return table[node[0] * 243 + node[1] * 27 + node[2] * 3 + channel]; };
  std::array<int, 3> sum{};
  int previous = 32;
  for (int step = 0; step <= 3; ++step) {
    const int w = step < 3 ? weight[order[step]] : 0;
    for (int channel = 0; channel < 3; ++channel) sum[channel] += (previous - w) * node_byte(channel);
    if (step < 3) ++node[order[step]];
    previous = w;
  }
  for (int channel = 0; channel < 3; ++channel) rgb[channel] = static_cast<uint8_t>(sum[channel] >> 5);
}

}  // namespace velta::reference
