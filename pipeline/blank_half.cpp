// The blank-half test of a full 6x8 sheet.
#include "pipeline/blank_half.h"

#include <algorithm>
#include <cstring>

namespace velta {

namespace {

// True when the pixels of rows [first, first + count) are all white (255).
bool RowsAreBlank(const uint8_t* page, std::size_t width_DIB, std::size_t pixel_bytes, std::size_t first,
                  std::size_t count) {
  for (std::size_t y = first; y < first + count; ++y) {
    if (!RowIsWhite(page + y * width_DIB, pixel_bytes)) return false;
  }
  return true;
}

}  // namespace

bool RowIsWhite(const uint8_t* row, std::size_t pixel_bytes) {
  return std::all_of(row, row + pixel_bytes, [](uint8_t v) { return v == 255; });
}

int BlankHalfResult(uint8_t* page, std::size_t width_DIB, uint32_t height, bool upperBlank, bool lowerBlank) {
  if (height != kBlankHalfTestRows) return 1;
  if (upperBlank) {
    std::memcpy(page, page + kLowerHalfFirstRow * width_DIB, kLowerHalfRows * width_DIB);
    return 0;
  }
  return lowerBlank ? 0 : 1;
}

int BlankHalfTest(uint8_t* page, std::size_t width_DIB, uint32_t width, uint32_t height) {
  if (height != kBlankHalfTestRows) return 1;
  const std::size_t pixel_bytes = std::size_t{width} * 3;
  // The lower half is looked at only when the upper one is not blank.
  const bool upperBlank = RowsAreBlank(page, width_DIB, pixel_bytes, 0, kUpperRowsTested);
  const bool lowerBlank = !upperBlank && RowsAreBlank(page, width_DIB, pixel_bytes, kLowerHalfFirstRow, kLowerHalfRows);
  return BlankHalfResult(page, width_DIB, height, upperBlank, lowerBlank);
}

}  // namespace velta
