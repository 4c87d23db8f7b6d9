// A plain, pixel-by-pixel account of the printer's picture resizing.
#include "tests/reference/resize_reference.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace velta::reference {
namespace {

// The scale factor of a magnification in percent: 10 gives 1.1, -25 gives 0.75.
double Factor(int64_t magnification) { return static_cast<double>(magnification + 100) / 100.0; }

// The size of size pixels scaled by a magnification, truncated toward zero.
int64_t Scaled(int64_t magnification, int size) { return static_cast<int64_t>(Factor(magnification) * size); }

// Area-weighted average of a line of source values into target values: target
// value j covers source positions [j * source, (j + 1) * source) and source value
// s covers [s * target, (s + 1) * target) on a common scale of source x target
// steps, so every overlap is a whole number. The sum is divided by the length of
// a target value (source steps) and truncated.
std::vector<int> AverageLine(const std::vector<int>& source_values, int64_t target) {
  const int64_t source = static_cast<int64_t>(source_values.size());
  std::vector<int> result(static_cast<std::size_t>(target));
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

void Enlarge(Picture& picture, int32_t across, int32_t down) {
  const int64_t mx = std::max(across, 0), my = std::max(down, 0);
  if (mx == 0 && my == 0) return;
  const int w = picture.width, h = picture.height;
  const double step_x = 1.0 / Factor(mx), step_y = 1.0 / Factor(my);
  // The kept window starts this far into the enlarged picture.
  const int64_t first_column = (Scaled(mx, w) - w) / 2;
  const int64_t first_row = (Scaled(my, h) - h) / 2;

  Picture result(w, h);
  // The source position runs as a sum of steps, as the printer counts it.
  double py = static_cast<double>(first_row) * step_y;
  for (int k = 0; k < h; ++k) {
    double px = static_cast<double>(first_column) * step_x;
    for (int m = 0; m < w; ++m) {
      const int ix = static_cast<int>(px), iy = static_cast<int>(py);
      const double x2 = px - ix, y2 = py - iy;
      // A neighbour past the picture's edge is the edge itself.
      const int ix1 = std::min(ix + 1, w - 1), iy1 = std::min(iy + 1, h - 1);
      for (int c = 0; c < 3; ++c) {
        const int p00 = picture.pixel(ix, iy)[c], p10 = picture.pixel(ix1, iy)[c];
        const int p01 = picture.pixel(ix, iy1)[c], p11 = picture.pixel(ix1, iy1)[c];
        // The integer differences first, then the three products and p00 added
        // left to right in double precision, then truncated toward zero.
        const double value = static_cast<double>(p00 - p10 - p01 + p11) * (x2 * y2) +
                             static_cast<double>(p10 - p00) * x2 + static_cast<double>(p01 - p00) * y2 +
                             static_cast<double>(p00);
        result.pixel(m, k)[c] = static_cast<uint8_t>(std::clamp(static_cast<int>(value), 0, 255));
      }
      px += step_x;
    }
    py += step_y;
  }
  picture = std::move(result);
}

void Reduce(Picture& picture, int32_t across, int32_t down) {
  const int64_t mx = std::min(across, 0), my = std::min(down, 0);
  if (mx == 0 && my == 0) return;
  const int w = picture.width, h = picture.height;
  const int64_t reduced_width = Scaled(mx, w), reduced_height = Scaled(my, h);
  Picture result(w, h);
  if (reduced_width > 0 && reduced_height > 0) {
    // Each half of the offset truncated on its own.
    const int64_t first_row = h / 2 - reduced_height / 2;
    const int64_t first_column = w / 2 - reduced_width / 2;
    for (int c = 0; c < 3; ++c) {
      // Along every row, then down every column of the narrowed rows.
      std::vector<std::vector<int>> narrowed(h);
      for (int y = 0; y < h; ++y) {
        std::vector<int> row(w);
        for (int x = 0; x < w; ++x) row[x] = picture.pixel(x, y)[c];
        narrowed[y] = AverageLine(row, reduced_width);
      }
      for (int64_t x = 0; x < reduced_width; ++x) {
        std::vector<int> column(h);
        for (int y = 0; y < h; ++y) column[y] = narrowed[y][x];
        const std::vector<int> reduced = AverageLine(column, reduced_height);
        for (int64_t y = 0; y < reduced_height; ++y)
          result.pixel(static_cast<int>(first_column + x), static_cast<int>(first_row + y))[c] =
              static_cast<uint8_t>(reduced[y]);
      }
    }
  }
  picture = std::move(result);
}

}  // namespace velta::reference
