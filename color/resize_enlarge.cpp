// Enlargement: bilinear interpolation of the picture, keeping the centre window of
// the enlarged picture at the page's own size.
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "color/resize.h"
#include "color/resize_geometry.h"
#include "color/row_bands.h"
#include "color/vector_clones.h"

namespace velta {

namespace {

// Interpolates one output row between the source rows upper and lower (y2 of
// the way down): every byte from its four neighbours, in stretches of
// kStretch pixels whose four integer terms per byte stay in the nearest cache
// between the two passes.
VELTA_VECTOR_CLONES
void EnlargeRow(const uint8_t* upper, const uint8_t* lower, double y2, const SamplePoint* columns,
                const double* byteFraction, int32_t biWidth, uint8_t* out) {
  constexpr int32_t kStretch = 256;
  int32_t cross[3 * kStretch], across[3 * kStretch], down[3 * kStretch], corner[3 * kStretch];
  for (int32_t first = 0; first < biWidth; first += kStretch) {
    const int32_t pixels = std::min(kStretch, biWidth - first);
    // First the integer differences of the four neighbours of every byte ...
    for (int32_t n = 0; n < pixels; ++n) {
      const SamplePoint& column = columns[first + n];
      const size_t left = 3 * static_cast<size_t>(column.near);
      const size_t right = 3 * static_cast<size_t>(column.next);
      for (int c = 0; c < 3; ++c) {
        const size_t i = 3 * static_cast<size_t>(n) + c;
        const int p00 = upper[left + c];
        const int p10 = upper[right + c];
        const int p01 = lower[left + c];
        const int p11 = lower[right + c];
        cross[i] = p00 - p10 - p01 + p11;
        across[i] = p10 - p00;
        down[i] = p01 - p00;
        corner[i] = p00;
      }
    }
    // ... then, byte by byte, the three products and p00 added left to
    // right in double precision, then truncated toward zero.
    const double* fraction = byteFraction + 3 * static_cast<size_t>(first);
    uint8_t* stretchOut = out + 3 * static_cast<size_t>(first);
    const size_t bytes = 3 * static_cast<size_t>(pixels);
    for (size_t i = 0; i < bytes; ++i) {
      const double x2 = fraction[i];
      const double x2y2 = x2 * y2;
      const double value = static_cast<double>(cross[i]) * x2y2 + static_cast<double>(across[i]) * x2 +
                           static_cast<double>(down[i]) * y2 + static_cast<double>(corner[i]);
      stretchOut[i] = static_cast<uint8_t>(std::min(std::max(static_cast<int>(value), 0), 255));
    }
  }
}

}  // namespace

int ResizePicture(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight, int32_t iMagnificationX,
                  int32_t iMagnificationY, int threads) {
  if (biWidth <= 0 || biHeight <= 0) return 0;
  const int64_t magnificationX = EnlargementUsed(iMagnificationX, biWidth);
  const int64_t magnificationY = EnlargementUsed(iMagnificationY, biHeight);
  if (magnificationX == 0 && magnificationY == 0) return 0;

  const double MagnificationX = ScaleFactor(magnificationX);
  const double MagnificationY = ScaleFactor(magnificationY);
  const double bx = 1.0 / MagnificationX;
  const double by = 1.0 / MagnificationY;
  const int64_t tarWidth = ScaledSize(magnificationX, biWidth);
  const int64_t tarHeight = ScaledSize(magnificationY, biHeight);

  const size_t width_DIB = RowStride(biWidth);

  // The retained window starts this far into the enlarged picture.
  const int64_t firstColumn = (tarWidth - biWidth) / 2;
  const int64_t firstRow = (tarHeight - biHeight) / 2;

  // Every output row samples the same source columns: their pixels and
  // fractions come from one running sum along the row, taken once, the
  // fraction repeated for the three bytes of a pixel. The rows' sample points
  // come from the same kind of running sum down the page.
  const size_t rowBytes = 3 * static_cast<size_t>(biWidth);
  const auto height = static_cast<size_t>(biHeight);
  std::unique_ptr<SamplePoint[]> columns(new (std::nothrow) SamplePoint[static_cast<size_t>(biWidth)]);
  std::unique_ptr<double[]> byteFraction(new (std::nothrow) double[rowBytes]);
  std::unique_ptr<SamplePoint[]> rows(new (std::nothrow) SamplePoint[height]);
  std::unique_ptr<int32_t[]> savedSlot(new (std::nothrow) int32_t[height]);
  if (!columns || !byteFraction || !rows || !savedSlot) return -1;
  double px = static_cast<double>(firstColumn) * bx;
  for (int32_t m = 0; m < biWidth; ++m) {
    columns[m] = Sample(px, biWidth);
    for (int c = 0; c < 3; ++c) byteFraction[3 * static_cast<size_t>(m) + c] = columns[m].fraction;
    px += bx;
  }
  double py = static_cast<double>(firstRow) * by;
  for (size_t k = 0; k < height; ++k) {
    rows[k] = Sample(py, biHeight);
    py += by;
  }

  // Output row k replaces page row k. Above the centre an output row samples
  // rows at or below its own, below the centre rows at or above it; so the
  // rows before the first that samples above itself are worked from the top
  // down, the others from the bottom up, and each group only reads rows its
  // own work has not reached yet. The few source rows that the other group
  // overwrites (the two groups may run at once), or that a group reads after
  // passing them, are saved before any row is written.
  size_t split = 0;
  while (split < height && rows[split].near >= static_cast<int64_t>(split)) ++split;
  const auto mayBeOverwritten = [split](size_t source, size_t k) {
    if ((source < split) != (k < split)) return true;
    return k < split ? source < k : source > k;
  };
  size_t savedRows = 0;
  std::fill(savedSlot.get(), savedSlot.get() + height, -1);
  for (size_t k = 0; k < height; ++k) {
    for (const int64_t source : {rows[k].near, rows[k].next}) {
      const auto r = static_cast<size_t>(source);
      if (savedSlot[r] < 0 && mayBeOverwritten(r, k)) savedSlot[r] = static_cast<int32_t>(savedRows++);
    }
  }
  std::unique_ptr<uint8_t[]> saved(new (std::nothrow) uint8_t[std::max<size_t>(savedRows, 1) * rowBytes]);
  if (!saved) return -1;
  for (size_t r = 0; r < height; ++r) {
    if (savedSlot[r] >= 0) {
      std::memcpy(saved.get() + static_cast<size_t>(savedSlot[r]) * rowBytes, pSrcBitmap + r * width_DIB,
                  rowBytes);
    }
  }
  // Each group keeps a copy of the row it is writing, which the row itself
  // may sample: across the page's width it reads columns the row's own left
  // part has already replaced.
  std::unique_ptr<uint8_t[]> ownRows(new (std::nothrow) uint8_t[2 * rowBytes]);
  if (!ownRows) return -1;
  const auto enlargeRow = [&](size_t k, uint8_t* ownRow) {
    uint8_t* out = pSrcBitmap + k * width_DIB;
    const auto sourceRow = [&](int64_t source) -> const uint8_t* {
      const auto r = static_cast<size_t>(source);
      if (savedSlot[r] >= 0) return saved.get() + static_cast<size_t>(savedSlot[r]) * rowBytes;
      return r == k ? ownRow : pSrcBitmap + r * width_DIB;
    };
    if (rows[k].near == static_cast<int64_t>(k) || rows[k].next == static_cast<int64_t>(k))
      std::memcpy(ownRow, out, rowBytes);
    EnlargeRow(sourceRow(rows[k].near), sourceRow(rows[k].next), rows[k].fraction, columns.get(),
               byteFraction.get(), biWidth, out);
    // The bytes after the last pixel carry no picture; they are left white.
    std::memset(out + rowBytes, 255, width_DIB - rowBytes);
  };
  // The two groups as two bands: the top one down, the bottom one up.
  ForRowBands(2, 1, threads, [] { return false; }, [&](size_t group, size_t, int) {
    uint8_t* ownRow = ownRows.get() + group * rowBytes;
    if (group == 0) {
      for (size_t k = 0; k < split; ++k) enlargeRow(k, ownRow);
    } else {
      for (size_t k = height; k-- > split;) enlargeRow(k, ownRow);
    }
  });
  return 0;
}

}  // namespace velta
