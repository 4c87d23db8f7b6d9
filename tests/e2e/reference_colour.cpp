// A plain, pixel-by-pixel account of the printer's picture adjustments.
#include "reference_colour.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace velta::expected {
namespace {

// Keeps a value within the byte range.
int ClampByte(int64_t v) { return static_cast<int>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Area-weighted average of a line of source values into target values: target
// value j covers source positions [j * source, (j + 1) * source) and source value
// s covers [s * target, (s + 1) * target) on a common scale of source x target
// steps, so every overlap is a whole number. The sum is divided by the length of
// a target value (source steps) and truncated.
std::vector<int> AverageLine(const std::vector<int>& source_values, int target) {
  const int64_t source = static_cast<int64_t>(source_values.size());
  std::vector<int> result(target);
  for (int64_t j = 0; j < target; ++j) {
    const int64_t begin = j * source, end = (j + 1) * source;
    int64_t sum = 0;
    for (int64_t s = begin / target; s < source && s * target < end; ++s) {
      const int64_t overlap = std::min(end, (s + 1) * target) - std::max(begin, s * target);
      sum += overlap * source_values[s];
    }
    result[j] = static_cast<int>(sum / source);
  }
  return result;
}

}  // namespace

Picture::Picture(int w, int h)
    : width(w), height(h), stride((3 * w + 3) / 4 * 4), bytes(static_cast<size_t>(stride) * h, 255) {}

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

void Enlarge(Picture& picture, int32_t magnification) {
  const int w = picture.width, h = picture.height;
  const double scale = (magnification + 100) / 100.0;
  const double step = 1.0 / scale;
  const int enlarged_width = static_cast<int>(scale * w);
  const int enlarged_height = static_cast<int>(scale * h);
  const int first_column = (enlarged_width - w) / 2;
  const int first_row = (enlarged_height - h) / 2;

  Picture result(w, h);
  // The source position runs as a sum of steps, as the printer counts it.
  double py = first_row * step;
  for (int k = 0; k < h; ++k) {
    double px = first_column * step;
    for (int m = 0; m < w; ++m) {
      const int ix = static_cast<int>(px), iy = static_cast<int>(py);
      const double x2 = px - ix, y2 = py - iy;
      // A neighbour past the picture's edge is the edge itself.
      const int ix1 = std::min(ix + 1, w - 1), iy1 = std::min(iy + 1, h - 1);
      for (int c = 0; c < 3; ++c) {
        const int p00 = picture.pixel(ix, iy)[c], p10 = picture.pixel(ix1, iy)[c];
        const int p01 = picture.pixel(ix, iy1)[c], p11 = picture.pixel(ix1, iy1)[c];
        const double value = static_cast<double>(p00 - p10 - p01 + p11) * (x2 * y2) +
                             static_cast<double>(p10 - p00) * x2 + static_cast<double>(p01 - p00) * y2 +
                             static_cast<double>(p00);
        result.pixel(m, k)[c] = static_cast<uint8_t>(std::min(std::max(static_cast<int>(value), 0), 255));
      }
      px += step;
    }
    py += step;
  }
  picture = std::move(result);
}

void Reduce(Picture& picture, int32_t magnification) {
  const int w = picture.width, h = picture.height;
  const int reduced_width = static_cast<int>((magnification + 100) / 100.0 * w);
  const int reduced_height = static_cast<int>((magnification + 100) / 100.0 * h);
  Picture result(w, h);
  if (reduced_width > 0 && reduced_height > 0) {
    const int first_row = h / 2 - reduced_height / 2;
    const int first_column = w / 2 - reduced_width / 2;
    for (int c = 0; c < 3; ++c) {
      // Along every row, then down every column of the narrowed rows.
      std::vector<std::vector<int>> narrowed(h);
      for (int y = 0; y < h; ++y) {
        std::vector<int> row(w);
        for (int x = 0; x < w; ++x) row[x] = picture.pixel(x, y)[c];
        narrowed[y] = AverageLine(row, reduced_width);
      }
      for (int x = 0; x < reduced_width; ++x) {
        std::vector<int> column(h);
        for (int y = 0; y < h; ++y) column[y] = narrowed[y][x];
        const std::vector<int> reduced = AverageLine(column, reduced_height);
        for (int y = 0; y < reduced_height; ++y)
          result.pixel(first_column + x, first_row + y)[c] = static_cast<uint8_t>(std::min(reduced[y], 255));
      }
    }
  }
  picture = std::move(result);
}

}  // namespace velta::expected
