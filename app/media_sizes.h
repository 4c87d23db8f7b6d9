// The sheets the printer takes, as PAPPL media sizes, and the other names a job may give them by.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

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

// A standard size that names one of the sheets: the name users and their
// software know a photo print by. A page of that size is placed on the sheet
// by print-scaling (a 4x6 portrait page is turned onto the 6x4 sheet, a 6x8 in
// page scaled onto the 6x8 sheet, 8.3 in long).
struct SheetAlias {
  const char* pwg_name;
  int width;
  int length;
  std::size_t sheet;  // index in kSheetSizes
};

inline constexpr std::array<SheetAlias, 2> kSheetAliases = {{
    {"na_index-4x6_4x6in", 10160, 15240, 1},
    {"na_index-4x6-ext_6x8in", 15240, 20320, 0},
}};

// Every media name the printer offers: the sheets, then their aliases.
inline constexpr std::size_t kMediaNameCount = kSheetSizes.size() + kSheetAliases.size();

// The margins of the bordered variant of each size, in hundredths of mm. The
// head always covers the whole sheet; the margins keep a document's content
// off the edges, and give CUPS's generated PPD a default page size it can
// find (it names the default without the ".Borderless" of a borderless one).
inline constexpr int kBorderedMargin = 300;

// The dots PAPPL gives a media dimension of hundredths at the printer's 300 dpi.
constexpr int DotsAt300Dpi(int hundredths_of_mm) { return hundredths_of_mm * 300 / 2540; }

// True when a page of width x height dots is one of the sheets as it is.
bool IsSheetDots(uint32_t width, uint32_t height);

// The sheet a media size asks for: a sheet's own size or an alias's, within
// half a millimetre either way. Empty for a size the printer has no sheet for.
std::optional<std::size_t> SheetForMedia(int width, int length);

}  // namespace velta
