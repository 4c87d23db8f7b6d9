// The picture resizing as the colour subsystem first wrote it: per-pixel
// sample points and a division per averaged byte. Kept as the expectation for
// the faster resizing in color/.
#include "tests/color/colour_reference.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "color/direct_map.h"
#include "color/resize.h"
#include "color/resize_geometry.h"

namespace velta::colour_reference {
namespace {

// One stretch that a target pixel shares with a source pixel, in common units.
struct OverlapRun {
  uint32_t source;  // source pixel (column or row)
  uint32_t units;   // length of the shared stretch
};

// For a line of sourceSize pixels shrunk to targetSize (at most sourceSize), the
// overlaps of every target pixel with the source pixels. Both lines are cut into
// L = lcm(sourceSize, targetSize) equal units, so every overlap is a whole number.
class OverlapTable {
 public:
  // Computes the runs; false when their memory cannot be taken.
  bool Build(int32_t sourceSize, int32_t targetSize) {
    const int64_t L = CalcLCM(sourceSize, targetSize);
    const int64_t sourceUnits = L / sourceSize;
    targetUnits_ = L / targetSize;
    // Every run ends at a source or a target boundary: fewer than both counts together.
    runs_.reset(new (std::nothrow) OverlapRun[static_cast<size_t>(sourceSize) + targetSize]);
    first_.reset(new (std::nothrow) size_t[static_cast<size_t>(targetSize) + 1]);
    if (!runs_ || !first_) return false;
    // Target pixel j covers units [j t, (j + 1) t), source pixel s covers
    // [s u, (s + 1) u); each pair shares the length of the intersection.
    size_t count = 0;
    for (int64_t j = 0; j < targetSize; ++j) {
      first_[j] = count;
      const int64_t from = j * targetUnits_, to = from + targetUnits_;
      for (int64_t s = from / sourceUnits; s * sourceUnits < to; ++s) {
        const int64_t shared = std::min(to, (s + 1) * sourceUnits) - std::max(from, s * sourceUnits);
        runs_[count++] = {static_cast<uint32_t>(s), static_cast<uint32_t>(shared)};
      }
    }
    first_[targetSize] = count;
    return true;
  }
  // First run of target pixel j; its runs end where those of j + 1 begin.
  const OverlapRun* begin(int64_t j) const { return runs_.get() + first_[j]; }
  const OverlapRun* end(int64_t j) const { return runs_.get() + first_[j + 1]; }
  // Units per target pixel: the divisor that turns a weighted sum into an average.
  int64_t targetUnits() const { return targetUnits_; }

 private:
  std::unique_ptr<OverlapRun[]> runs_;
  std::unique_ptr<size_t[]> first_;
  int64_t targetUnits_ = 1;
};

// A positive magnification cannot reduce: that axis keeps its size.
int32_t ReductionUsed(int32_t magnification) { return std::min(magnification, 0); }

}  // namespace

int ResizePictureAverage(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight,
                         int32_t iMagnificationX, int32_t iMagnificationY) {
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
  OverlapTable columns, rows;
  if (!reduced || !horizontal || !columns.Build(biWidth, static_cast<int32_t>(tarWidth)) ||
      !rows.Build(biHeight, static_cast<int32_t>(tarHeight)))
    return -1;

  // Horizontal pass: each source row becomes tarWidth averages of overlapped pixels.
  for (int64_t y = 0; y < biHeight; ++y) {
    const uint8_t* source = pSrcBitmap + static_cast<size_t>(y) * iLength;
    uint8_t* target = horizontal.get() + static_cast<size_t>(y) * targetRow;
    for (int64_t j = 0; j < tarWidth; ++j) {
      int64_t tmp_r = 0, tmp_g = 0, tmp_b = 0;
      for (const OverlapRun* run = columns.begin(j); run != columns.end(j); ++run) {
        const uint8_t* pixel = source + 3 * static_cast<size_t>(run->source);
        tmp_r += int64_t{run->units} * pixel[0];
        tmp_g += int64_t{run->units} * pixel[1];
        tmp_b += int64_t{run->units} * pixel[2];
      }
      target[3 * j + 0] = static_cast<uint8_t>(tmp_r / columns.targetUnits());
      target[3 * j + 1] = static_cast<uint8_t>(tmp_g / columns.targetUnits());
      target[3 * j + 2] = static_cast<uint8_t>(tmp_b / columns.targetUnits());
    }
  }

  // Vertical pass: the same averaging down the columns of the horizontal result.
  for (int64_t t = 0; t < tarHeight; ++t) {
    uint8_t* target = reduced.get() + static_cast<size_t>(t) * targetRow;
    for (size_t byte = 0; byte < targetRow; ++byte) {
      int64_t sum = 0;
      for (const OverlapRun* run = rows.begin(t); run != rows.end(t); ++run)
        sum += int64_t{run->units} * horizontal[static_cast<size_t>(run->source) * targetRow + byte];
      target[byte] = static_cast<uint8_t>(std::min<int64_t>(sum / rows.targetUnits(), 255));
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
namespace {

constexpr int64_t kIntMax = std::numeric_limits<int32_t>::max();

// The magnification used along one axis of size pixels: below 0 it cannot enlarge
// and is taken as 0; so large that the enlarged size would pass the int range it is
// taken as the largest magnification whose enlarged size still fits.
int64_t EnlargementUsed(int32_t magnification, int32_t size) {
  int64_t used = std::max<int32_t>(magnification, 0);
  if (ScaledSize(used, size) <= kIntMax) return used;
  // Start near the limit and step to the exact largest magnification that fits.
  used = static_cast<int64_t>(static_cast<double>(kIntMax) / size * 100.0) - 100;
  while (ScaledSize(used, size) > kIntMax) --used;
  while (used + 1 < magnification && ScaledSize(used + 1, size) <= kIntMax) ++used;
  return used;
}

// One source sample position: the pixel at or left of (above) it, its right (lower)
// neighbour, and the fraction of the way between them. A neighbour past the last
// pixel is the last pixel itself, so nothing outside the picture is ever read.
struct SamplePoint {
  int64_t near, next;
  double fraction;
};

// Splits a running source position into its pixel, neighbour and fraction.
SamplePoint Sample(double position, int32_t size) {
  // The position never falls below 0 and stays below size; the clamp only guards
  // against the last ulp of the running sum.
  int64_t near = position > 0.0 ? static_cast<int64_t>(std::min(position, static_cast<double>(size))) : 0;
  near = std::min<int64_t>(near, size - 1);
  const double fraction = position - static_cast<double>(near);
  return {near, std::min<int64_t>(near + 1, size - 1), fraction};
}

}  // namespace

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
                             static_cast<double>(p10 - p00) * x2 +
                             static_cast<double>(p01 - p00) * y2 + static_cast<double>(p00);
        out[3 * static_cast<size_t>(m) + c] =
            static_cast<uint8_t>(std::min(std::max(static_cast<int>(value), 0), 255));
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
namespace {

// Limits a value to the byte range 0..255.
constexpr int64_t ClampByte(int64_t value) { return value < 0 ? 0 : (value > 255 ? 255 : value); }

}  // namespace

void ColorCorrection(uint8_t* lpdt, int16_t width, const velta::ColorTableSet& colortable,
                     int bTableRet, const uint8_t* DmapTbl) {
  const auto& sat = colortable.clrsatable;
  for (int x = 0; x < width; ++x) {
    uint8_t* pixel = lpdt + 3 * x;
    const int rdat = pixel[0];
    const int gdat = pixel[1];
    const int bdat = pixel[2];
    // Each channel is pushed away from (or toward) the mean of the other two by the
    // saturation term of its difference; the index stays within 1..511.
    const int btmp = static_cast<int>(ClampByte(bdat + sat[256 + bdat - ((gdat + rdat) >> 1)]));
    const int gtmp = static_cast<int>(ClampByte(gdat + sat[256 + gdat - ((bdat + rdat) >> 1)]));
    const int rtmp = static_cast<int>(ClampByte(rdat + sat[256 + rdat - ((bdat + gdat) >> 1)]));
    pixel[2] = colortable.blue[btmp];
    pixel[1] = colortable.green[gtmp];
    pixel[0] = colortable.red[rtmp];
    if (bTableRet) Change3D(DmapTbl, pixel, pixel + 1, pixel + 2);
  }
}

}  // namespace velta::colour_reference
