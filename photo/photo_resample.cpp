// The resampler's weight tables and tiles.
#include "photo/photo_resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>

namespace velta {
namespace {

// The tile sizes: sheet rows per band (the unit the threads share) and
// sheet columns per tile. With 64 x 128 outputs the middle buffer of a tile
// stays near 64 kB for a photo reduced a little, so both passes run in the
// processor's second-level cache.
constexpr uint32_t kBandRows = 64;
constexpr uint32_t kColumnChunk = 128;

// An array of n elements taken without throwing; false when it cannot be had.
template <typename T>
bool Take(std::unique_ptr<T[]>& array, uint64_t n, std::size_t& bytes) {
  if (n > SIZE_MAX / sizeof(T)) return false;
  array.reset(new (std::nothrow) T[static_cast<std::size_t>(n)]);
  bytes += static_cast<std::size_t>(n) * sizeof(T);
  return array != nullptr;
}

}  // namespace

double Lanczos3(double x) {
  if (x == 0) return 1;
  if (x <= -3 || x >= 3) return 0;
  const double pi_x = std::numbers::pi * x;
  return 3 * std::sin(pi_x) * std::sin(pi_x / 3) / (pi_x * pi_x);
}

double DecodedScale(uint32_t stored, uint32_t decoded) {
  if (decoded == stored) return 1;
  // The decoder picks the smallest N that gives enough pixels, so the
  // smallest N that gives this size is the one it used.
  for (uint64_t n = 1; n < 8; ++n) {
    if ((stored * n + 7) / 8 == decoded) return static_cast<double>(n) / 8;
  }
  return static_cast<double>(decoded) / stored;
}

bool AxisTaps::Build(const AxisLayout& layout, uint32_t dots, uint32_t decoded, bool flip) {
  // Dot i is covered when its centre, i + 0.5, lies on the photo.
  const double length = layout.pixels * layout.dots_per_pixel;
  begin = static_cast<uint32_t>(std::clamp(std::ceil(layout.start - 0.5), 0.0, static_cast<double>(dots)));
  end = static_cast<uint32_t>(
      std::clamp(std::ceil(layout.start + length - 0.5), static_cast<double>(begin), static_cast<double>(dots)));
  const uint32_t n = end - begin;
  std::size_t bytes = 0;
  if (n == 0) return true;
  if (!Take(first, n, bytes) || !Take(count, n, bytes) || !Take(offset, n, bytes)) return false;

  const double scale = DecodedScale(layout.pixels, decoded);
  // Decoded pixels a dot; when reducing, the kernel is widened as much so
  // that it averages every pixel under the dot.
  const double step = scale / layout.dots_per_pixel;
  const double widen = std::max(step, 1.0);
  const double support = 3 * widen;
  const double last_pixel = static_cast<double>(decoded) - 1;
  // The centre of dot begin + k in decoded pixels, where pixel j's centre is j.
  const auto centre = [&](uint32_t k) {
    const double along = (begin + k + 0.5 - layout.start) / layout.dots_per_pixel;  // stored pixels from the edge
    return (flip ? layout.pixels - along : along) * scale - 0.5;
  };

  // The taps: every pixel within the support, those off the photo left out.
  uint64_t total = 0;
  uint32_t widest = 1;
  for (uint32_t k = 0; k < n; ++k) {
    const double c = centre(k);
    const double low = std::clamp(std::ceil(c - support), 0.0, last_pixel);
    const double high = std::clamp(std::floor(c + support), low, last_pixel);
    first[k] = static_cast<uint32_t>(low);
    count[k] = static_cast<uint32_t>(high - low) + 1;
    offset[k] = static_cast<std::size_t>(total);
    total += count[k];
    widest = std::max(widest, count[k]);
  }
  std::unique_ptr<double[]> real;
  if (!Take(weights, total, bytes) || !Take(real, widest, bytes)) return false;

  for (uint32_t k = 0; k < n; ++k) {
    const double c = centre(k);
    double sum = 0;
    for (uint32_t t = 0; t < count[k]; ++t) sum += real[t] = Lanczos3((first[k] + t - c) / widen);
    // Quantised so that the taps sum to exactly one unit: the rounding's
    // remainder goes to the largest tap.
    int16_t* w = weights.get() + offset[k];
    int32_t units = 0;
    uint32_t largest = 0;
    for (uint32_t t = 0; t < count[k]; ++t) {
      w[t] = static_cast<int16_t>(std::lround(real[t] / sum * kWeightUnit));
      units += w[t];
      if (w[t] > w[largest]) largest = t;
    }
    w[largest] = static_cast<int16_t>(w[largest] + (kWeightUnit - units));
    // Taps that rounded to nothing at either end are dropped: a photo at one
    // pixel a dot then reads one pixel a dot.
    uint32_t lead = 0, taps = count[k];
    while (w[lead] == 0) ++lead;
    while (w[taps - 1] == 0) --taps;
    first[k] += lead;
    offset[k] += lead;
    count[k] = taps - lead;
  }
  return true;
}

bool PhotoResampler::Prepare(const PhotoImage& image, const PhotoLayout& layout, uint32_t sheet_width,
                             uint32_t sheet_height) {
  kernels_ = &ActivePhotoResampleKernels();
  pixels_ = image.rgb.get();
  row_bytes_ = image.row_bytes();
  swap_ = layout.turn.swap;
  const AxisLayout& along_x = swap_ ? layout.down : layout.across;
  const AxisLayout& along_y = swap_ ? layout.across : layout.down;
  if (!x_.Build(along_x, swap_ ? sheet_height : sheet_width, image.width, layout.turn.flip_x) ||
      !y_.Build(along_y, swap_ ? sheet_width : sheet_height, image.height, layout.turn.flip_y))
    return false;
  x_chunk_ = swap_ ? kBandRows : kColumnChunk;
  y_chunk_ = swap_ ? kColumnChunk : kBandRows;

  // The widest stored-x span any tile reads, over the tiles Render makes:
  // bands from row 0 when the x outputs are sheet rows, chunks from the first
  // covered column otherwise.
  uint64_t widest = 0;
  uint32_t n0 = x_.begin;
  while (n0 < x_.end) {
    const uint32_t n1 = std::min(x_.end, swap_ ? (n0 / x_chunk_ + 1) * x_chunk_ : n0 + x_chunk_);
    uint32_t first, end;
    SourceColumns(n0, n1, first, end);
    widest = std::max<uint64_t>(widest, end - first);
    n0 = n1;
  }
  work_bytes_ = 0;
  for (int worker = 0; worker < 2; ++worker) {
    if (!Take(middle_[worker], widest * y_chunk_ * 3, work_bytes_) ||
        !Take(sums_[worker], std::max<uint64_t>(widest, y_chunk_) * 3, work_bytes_) ||
        !Take(rows_[worker], widest * 3, work_bytes_) || !Take(dots_[worker], y_chunk_ * 3, work_bytes_))
      return false;
  }
  for (const AxisTaps* taps : {&x_, &y_}) {
    const std::size_t n = taps->end - taps->begin;
    work_bytes_ += n * (2 * sizeof(uint32_t) + sizeof(std::size_t));
    if (n > 0) work_bytes_ += (taps->offset[n - 1] + taps->count[n - 1]) * sizeof(int16_t);
  }
  return true;
}

std::size_t PhotoResampler::band_rows() const { return swap_ ? x_chunk_ : y_chunk_; }

void PhotoResampler::SourceColumns(uint32_t n0, uint32_t n1, uint32_t& first, uint32_t& end) const {
  first = UINT32_MAX;
  end = 0;
  for (uint32_t n = n0; n < n1; ++n) {
    first = std::min(first, x_.first[n - x_.begin]);
    end = std::max(end, x_.first[n - x_.begin] + x_.count[n - x_.begin]);
  }
}

void PhotoResampler::RenderRows(uint8_t* page, std::size_t stride, std::size_t begin, std::size_t end, int worker) {
  const AxisTaps& rows = swap_ ? x_ : y_;
  const AxisTaps& columns = swap_ ? y_ : x_;
  const std::size_t left = 3 * std::size_t{columns.begin}, right = 3 * std::size_t{columns.end};
  for (std::size_t r = begin; r < end; ++r) {
    uint8_t* row = page + r * stride;
    if (r < rows.begin || r >= rows.end || columns.begin == columns.end) {
      std::memset(row, 255, stride);
    } else {
      std::memset(row, 255, left);
      std::memset(row + right, 255, stride - right);
    }
  }
  const auto r0 = static_cast<uint32_t>(std::max<std::size_t>(begin, rows.begin));
  const auto r1 = static_cast<uint32_t>(std::min<std::size_t>(end, rows.end));
  if (r0 >= r1) return;
  for (uint32_t c0 = columns.begin; c0 < columns.end;) {
    const uint32_t c1 = std::min(columns.end, c0 + (swap_ ? y_chunk_ : x_chunk_));
    if (swap_) {
      Tile(r0, r1, c0, c1, page, stride, worker);
    } else {
      Tile(c0, c1, r0, r1, page, stride, worker);
    }
    c0 = c1;
  }
}

void PhotoResampler::Tile(uint32_t n0, uint32_t n1, uint32_t m0, uint32_t m1, uint8_t* page, std::size_t stride,
                          int worker) {
  uint32_t first, end;
  SourceColumns(n0, n1, first, end);
  const std::size_t span = end - first;
  const std::size_t across = std::size_t{m1 - m0} * 3;  // a middle row: the tile's y outputs
  int16_t* middle = middle_[worker].get();
  int32_t* sums = sums_[worker].get();
  int16_t* row = rows_[worker].get();
  uint8_t* dots = dots_[worker].get();
  // First pass: each y output combines stored rows over the span, and its
  // pixels go down a column of the middle buffer.
  for (uint32_t m = m0; m < m1; ++m) {
    const uint32_t k = m - y_.begin;
    kernels_->weigh_bytes(pixels_ + std::size_t{y_.first[k]} * row_bytes_ + 3 * std::size_t{first}, row_bytes_,
                          y_.weights.get() + y_.offset[k], y_.count[k], 3 * span, sums);
    kernels_->narrow(sums, 3 * span, row);
    int16_t* column = middle + 3 * std::size_t{m - m0};
    for (std::size_t p = 0; p < span; ++p) std::memcpy(column + p * across, row + 3 * p, 3 * sizeof(int16_t));
  }
  // Second pass: each x output combines rows of the middle buffer, which
  // give a run of sheet pixels: along a sheet row when swapped, down a
  // column otherwise.
  for (uint32_t n = n0; n < n1; ++n) {
    const uint32_t k = n - x_.begin;
    kernels_->weigh_mid(middle + std::size_t{x_.first[k] - first} * across, across, x_.weights.get() + x_.offset[k],
                        x_.count[k], across, sums);
    if (swap_) {
      kernels_->store_row(sums, across, page + std::size_t{n} * stride + 3 * std::size_t{m0});
    } else {
      kernels_->store_row(sums, across, dots);
      uint8_t* column = page + std::size_t{m0} * stride + 3 * std::size_t{n};
      for (uint32_t p = 0; p < m1 - m0; ++p) std::memcpy(column + p * stride, dots + 3 * p, 3);
    }
  }
}

}  // namespace velta
