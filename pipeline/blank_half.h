// The blank-half test of a full 6x8 sheet.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velta {

// The height of a full 6x8 sheet at 300 dpi, the only page height tested.
inline constexpr uint32_t kBlankHalfTestRows = 2492;

// The upper half the test looks at ends before row 1245 (that row is never
// looked at); the lower half is rows 1246 to 2491.
inline constexpr std::size_t kUpperRowsTested = 1245;
inline constexpr std::size_t kLowerHalfFirstRow = 1246;
inline constexpr std::size_t kLowerHalfRows = 1246;

// Tests a page of 2492 rows for a blank (all 255) upper or lower half and returns
// SpaceFlag: 0 when a half is blank, 1 otherwise and for every other height.
// When the upper half (rows 0 to 1244) is blank, rows 1246 to 2491 are copied
// over rows 0 to 1245, so the picture is printed at the top of the sheet.
int BlankHalfTest(uint8_t* page, std::size_t width_DIB, uint32_t width, uint32_t height);

// Tells whether the pixel_bytes bytes of a row are all white (255).
bool RowIsWhite(const uint8_t* row, std::size_t pixel_bytes);

// The same test when the whiteness of the two halves was found as the rows
// came in: returns SpaceFlag and moves the lower half up when the upper one is
// blank.
int BlankHalfResult(uint8_t* page, std::size_t width_DIB, uint32_t height, bool upperBlank, bool lowerBlank);

}  // namespace velta
