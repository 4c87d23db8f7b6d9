// The blank-half test of a full 6x8 sheet.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velta {

// The height of a full 6x8 sheet at 300 dpi, the only page height tested.
inline constexpr uint32_t kBlankHalfTestRows = 2492;

// Tests a page of 2492 rows for a blank (all 255) upper or lower half and returns
// SpaceFlag: 0 when a half is blank, 1 otherwise and for every other height.
// When the upper half (rows 0 to 1244) is blank, rows 1246 to 2491 are copied
// over rows 0 to 1245, so the picture is printed at the top of the sheet.
int BlankHalfTest(uint8_t* page, std::size_t width_DIB, uint32_t width, uint32_t height);

}  // namespace velta
