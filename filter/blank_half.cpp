// The blank-half test of a full 6x8 sheet.
#include "filter/blank_half.h"

#include <algorithm>
#include <cstring>

namespace velta {

namespace {

// The upper half the test looks at ends before row 1245 (that row is never
// looked at); the lower half is rows 1246 to 2491.
constexpr std::size_t kUpperRowsTested = 1245;
constexpr std::size_t kLowerHalfFirstRow = 1246;
constexpr std::size_t kLowerHalfRows = 1246;

// True when the pixels of rows [first, first + count) are all white (255).
bool RowsAreBlank(const uint8_t* page, std::size_t width_DIB, std::size_t pixel_bytes,
                  std::size_t first, std::size_t count) {
  for (std::size_t y = first; y < first + count; ++y) {
    const uint8_t* row = page + y * width_DIB;
    if (!std::all_of(row, row + pixel_bytes, [](uint8_t v) { return v == 255; })) return false;
  }
  return true;
}

}  // namespace

int BlankHalfTest(uint8_t* page, std::size_t width_DIB, uint32_t width, uint32_t height) {
  if (height != kBlankHalfTestRows) return 1;
  const std::size_t pixel_bytes = std::size_t{width} * 3;
  if (RowsAreBlank(page, width_DIB, pixel_bytes, 0, kUpperRowsTested)) {
    std::memcpy(page, page + kLowerHalfFirstRow * width_DIB, kLowerHalfRows * width_DIB);
    return 0;
  }
  if (RowsAreBlank(page, width_DIB, pixel_bytes, kLowerHalfFirstRow, kLowerHalfRows)) return 0;
  return 1;
}

}  // namespace velta
