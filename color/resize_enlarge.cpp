// Enlargement: bilinear interpolation of the picture, keeping the centre window of
// the enlarged picture at the page's own size.
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "color/resize.h"
#include "color/resize_geometry.h"

namespace velta {

int ResizePicture(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight, int32_t iMagnificationX,
                  int32_t iMagnificationY) {
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

  // Output row k replaces page row k, so each source row is first saved in a
  // ring of saved rows, where it stays while later output rows may read it: a
  // row lagging its output row by at most the largest lag of the sampled rows,
  // found with the same running sum as the rows themselves.
  int64_t lag = 0;
  {
    double py = static_cast<double>(firstRow) * by;
    for (int32_t k = 0; k < biHeight; ++k) {
      lag = std::max(lag, k - Sample(py, biHeight).near);
      py += by;
    }
  }
  const size_t ringRows = static_cast<size_t>(lag) + 1;

  // Every output row samples the same source columns: their pixels and
  // fractions come from one running sum along the row, taken once, the
  // fraction repeated for the three bytes of a pixel.
  const size_t rowBytes = 3 * static_cast<size_t>(biWidth);
  std::unique_ptr<SamplePoint[]> columns(new (std::nothrow) SamplePoint[static_cast<size_t>(biWidth)]);
  std::unique_ptr<double[]> byteFraction(new (std::nothrow) double[rowBytes]);
  std::unique_ptr<uint8_t[]> ring(new (std::nothrow) uint8_t[ringRows * rowBytes]);
  if (!columns || !byteFraction || !ring) return -1;
  // Where source row r is read while output row k is worked.
  const auto sourceRow = [&](int64_t r, int32_t k) -> const uint8_t* {
    if (r <= k) return ring.get() + static_cast<size_t>(r) % ringRows * rowBytes;
    return pSrcBitmap + static_cast<size_t>(r) * width_DIB;
  };
  double px = static_cast<double>(firstColumn) * bx;
  for (int32_t m = 0; m < biWidth; ++m) {
    columns[m] = Sample(px, biWidth);
    for (int c = 0; c < 3; ++c) byteFraction[3 * static_cast<size_t>(m) + c] = columns[m].fraction;
    px += bx;
  }
  // A row is worked in stretches of kStretch pixels, whose four integer terms
  // per byte stay in the nearest cache between the two passes.
  constexpr int32_t kStretch = 256;
  int32_t cross[3 * kStretch], across[3 * kStretch], down[3 * kStretch], corner[3 * kStretch];

  double py = static_cast<double>(firstRow) * by;
  for (int32_t k = 0; k < biHeight; ++k) {
    const SamplePoint row = Sample(py, biHeight);
    uint8_t* out = pSrcBitmap + static_cast<size_t>(k) * width_DIB;
    std::memcpy(ring.get() + static_cast<size_t>(k) % ringRows * rowBytes, out, rowBytes);
    const uint8_t* upper = sourceRow(row.near, k);
    const uint8_t* lower = sourceRow(row.next, k);
    const double y2 = row.fraction;

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
      const double* fraction = byteFraction.get() + 3 * static_cast<size_t>(first);
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
    // The bytes after the last pixel carry no picture; they are left white.
    std::memset(out + rowBytes, 255, width_DIB - rowBytes);
    py += by;
  }
  return 0;
}

}  // namespace velta
