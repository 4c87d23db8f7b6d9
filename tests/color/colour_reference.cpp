// The picture resizing as the colour subsystem first wrote it: per-pixel
// sample points and a division per averaged byte. Kept as the expectation for
// the faster resizing in color/.
#include "tests/color/colour_reference.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "color/direct_map.h"
#include "color/resize.h"
#include "color/resize_geometry.h"

namespace velta::colour_reference {
namespace {

// One stretch that a target pixel shares with a source pixel, in common units.
struct Overlap {
  int64_t source;  // source pixel (column or row)
  int64_t units;   // length of the shared stretch
};

// The overlaps of every target pixel with the source pixels, for a line of
// sourceSize pixels shrunk to targetSize: both are cut into lcm(sourceSize,
// targetSize) units, target pixel j covers units [j t, (j + 1) t) and source
// pixel s covers [s u, (s + 1) u); each pair shares their intersection.
std::vector<std::vector<Overlap>> Overlaps(int64_t sourceSize, int64_t targetSize, int64_t& t) {
  const int64_t L = CalcLCM(sourceSize, targetSize);
  const int64_t u = L / sourceSize;
  t = L / targetSize;
  std::vector<std::vector<Overlap>> overlaps(static_cast<size_t>(targetSize));
  for (int64_t j = 0; j < targetSize; ++j) {
    const int64_t from = j * t, to = from + t;
    for (int64_t s = from / u; s * u < to; ++s)
      overlaps[static_cast<size_t>(j)].push_back({s, std::min(to, (s + 1) * u) - std::max(from, s * u)});
  }
  return overlaps;
}

}  // namespace

int ResizePictureAverage(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight, int32_t iMagnificationX,
                         int32_t iMagnificationY) {
  if (biWidth <= 0 || biHeight <= 0) return 0;
  const int32_t magnificationX = ReductionUsed(iMagnificationX);
  const int32_t magnificationY = ReductionUsed(iMagnificationY);
  if (magnificationX == 0 && magnificationY == 0) return 0;

  // A factor of at most 1 keeps each scaled size within the page's own size.
  const int64_t tarWidth = ScaledSize(magnificationX, biWidth);
  const int64_t tarHeight = ScaledSize(magnificationY, biHeight);
  const size_t iLength = RowStride(biWidth);
  const size_t pageSize = iLength * static_cast<size_t>(biHeight);
  if (tarWidth <= 0 || tarHeight <= 0) {
    // Shrunk to nothing (magnification -100 or below, or a picture too small for
    // the factor): the page is left white.
    std::memset(pSrcBitmap, 255, pageSize);
    return 0;
  }

  const size_t targetRow = 3 * static_cast<size_t>(tarWidth);
  std::unique_ptr<uint8_t[]> reduced(new (std::nothrow) uint8_t[targetRow * static_cast<size_t>(tarHeight)]);
  std::unique_ptr<uint8_t[]> horizontal(new (std::nothrow) uint8_t[targetRow * static_cast<size_t>(biHeight)]);
  if (!reduced || !horizontal) return -1;
  int64_t columnUnits = 1, rowUnits = 1;
  const auto columns = Overlaps(biWidth, tarWidth, columnUnits);
  const auto rows = Overlaps(biHeight, tarHeight, rowUnits);

  // Horizontal pass: each source row becomes tarWidth averages of overlapped pixels.
  for (int64_t y = 0; y < biHeight; ++y) {
    const uint8_t* source = pSrcBitmap + static_cast<size_t>(y) * iLength;
    uint8_t* target = horizontal.get() + static_cast<size_t>(y) * targetRow;
    for (int64_t j = 0; j < tarWidth; ++j) {
      int64_t tmp_r = 0, tmp_g = 0, tmp_b = 0;
      for (const Overlap& run : columns[static_cast<size_t>(j)]) {
        const uint8_t* pixel = source + 3 * static_cast<size_t>(run.source);
        tmp_r += run.units * pixel[0];
        tmp_g += run.units * pixel[1];
        tmp_b += run.units * pixel[2];
      }
      target[3 * j + 0] = static_cast<uint8_t>(tmp_r / columnUnits);
      target[3 * j + 1] = static_cast<uint8_t>(tmp_g / columnUnits);
      target[3 * j + 2] = static_cast<uint8_t>(tmp_b / columnUnits);
    }
  }

  // Vertical pass: the same averaging down the columns of the horizontal result.
  for (int64_t t = 0; t < tarHeight; ++t) {
    uint8_t* target = reduced.get() + static_cast<size_t>(t) * targetRow;
    for (size_t byte = 0; byte < targetRow; ++byte) {
      int64_t sum = 0;
      for (const Overlap& run : rows[static_cast<size_t>(t)])
        sum += run.units * horizontal[static_cast<size_t>(run.source) * targetRow + byte];
      target[byte] = static_cast<uint8_t>(std::min<int64_t>(sum / rowUnits, 255));
    }
  }

  // Only now is the page overwritten: white everywhere, the reduced picture centred,
  // each half of the offset truncated on its own.
  std::memset(pSrcBitmap, 255, pageSize);
  const int64_t firstRow = biHeight / 2 - tarHeight / 2;
  const int64_t firstColumn = biWidth / 2 - tarWidth / 2;
  size_t pos2 = 0;
  for (int64_t k = 0; k < tarHeight; ++k) {
    std::memcpy(pSrcBitmap + static_cast<size_t>(firstRow + k) * iLength + 3 * static_cast<size_t>(firstColumn),
                reduced.get() + pos2, targetRow);
    pos2 += targetRow;
  }
  return 0;
}

}  // namespace velta::colour_reference

namespace velta::colour_reference {
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
  const size_t PictureSize = width_DIB * static_cast<size_t>(biHeight);
  std::unique_ptr<uint8_t[]> work(new (std::nothrow) uint8_t[PictureSize]);
  if (!work) return -1;

  // The retained window starts this far into the enlarged picture.
  const int64_t firstColumn = (tarWidth - biWidth) / 2;
  const int64_t firstRow = (tarHeight - biHeight) / 2;

  double py = static_cast<double>(firstRow) * by;
  for (int32_t k = 0; k < biHeight; ++k) {
    const SamplePoint row = Sample(py, biHeight);
    const uint8_t* upper = pSrcBitmap + static_cast<size_t>(row.near) * width_DIB;
    const uint8_t* lower = pSrcBitmap + static_cast<size_t>(row.next) * width_DIB;
    const double y2 = row.fraction;
    uint8_t* out = work.get() + static_cast<size_t>(k) * width_DIB;

    double px = static_cast<double>(firstColumn) * bx;
    for (int32_t m = 0; m < biWidth; ++m) {
      const SamplePoint column = Sample(px, biWidth);
      const size_t left = 3 * static_cast<size_t>(column.near);
      const size_t right = 3 * static_cast<size_t>(column.next);
      const double x2 = column.fraction;
      for (int c = 0; c < 3; ++c) {
        const int p00 = upper[left + c];
        const int p10 = upper[right + c];
        const int p01 = lower[left + c];
        const int p11 = lower[right + c];
        // The integer differences first, then the three products and p00 added
        // left to right in double precision, then truncated toward zero.
        const double value = static_cast<double>(p00 - p10 - p01 + p11) * (x2 * y2) +
                             static_cast<double>(p10 - p00) * x2 + static_cast<double>(p01 - p00) * y2 +
                             static_cast<double>(p00);
        out[3 * static_cast<size_t>(m) + c] = static_cast<uint8_t>(std::min(std::max(static_cast<int>(value), 0), 255));
      }
      px += bx;
    }
    // The bytes after the last pixel carry no picture; they are left white.
    std::memset(out + 3 * static_cast<size_t>(biWidth), 255, width_DIB - 3 * static_cast<size_t>(biWidth));
    py += by;
  }
  std::memcpy(pSrcBitmap, work.get(), PictureSize);
  return 0;
}

}  // namespace velta::colour_reference

namespace velta::colour_reference {

void ColorCorrection(uint8_t* lpdt, int16_t width, const velta::ColorTableSet& colortable, int bTableRet,
                     const uint8_t* DmapTbl) {
  for (int x = 0; x < width; ++x) CorrectPixel(lpdt + 3 * x, colortable, bTableRet, DmapTbl);
}

}  // namespace velta::colour_reference
