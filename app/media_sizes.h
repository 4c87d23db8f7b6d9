// The sheets the printer takes, as PAPPL media sizes.
#pragma once

#include <array>

namespace velta {

// One borderless sheet: its PWG name and its size in hundredths of a millimetre.
// PAPPL makes the page cupsWidth = width x 300 / 2540 and cupsHeight =
// length x 300 / 2540 dots, both truncated, so the sizes are chosen to land on
// the printer's dot counts exactly.
struct SheetSize {
  const char* pwg_name;
  int width;   // across the head, hundredths of mm
  int length;  // along the feed, hundredths of mm
  int dots_across;
  int dots_along;
};

// 6x8: 1800 x 2492 dots. 6 in is 15240 exactly; 2492 dots need a length from
// 21099 to 21107, and 211 mm (21100) is the round value in that window.
// 6x4: 1800 x 1200 dots, 6 in by 4 in exactly, fed along its short side.
inline constexpr std::array<SheetSize, 2> kSheetSizes = {{
    {"om_photo-6x8_152.4x211mm", 15240, 21100, 1800, 2492},
    {"oe_photo-6x4_6x4in", 15240, 10160, 1800, 1200},
}};

// The sheet loaded when a printer is added.
inline constexpr const SheetSize& kDefaultSheet = kSheetSizes[0];

// The dots PAPPL gives a media dimension of hundredths at the printer's 300 dpi.
constexpr int DotsAt300Dpi(int hundredths_of_mm) { return hundredths_of_mm * 300 / 2540; }

}  // namespace velta
