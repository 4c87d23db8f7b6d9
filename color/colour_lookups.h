// The page's colour tables in the form the row kernels read them: the tone
// tables and clrsatable as 16-bit entries on whole 64-byte lines (a vector
// permutation picks from 64 of them at once), and every direct-map node packed
// into one 32-bit word (a vector gather fetches 8 or 16 of them at once).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "color/color_adjust.h"

namespace velta {

// Node (r, g, b) of the direct map is word r x 81 + g x 9 + b of ColourLookups::nodes.
inline constexpr int32_t kNodeRedStep = 81;
inline constexpr int32_t kNodeGreenStep = 9;
inline constexpr int32_t kNodeBlueStep = 1;

// Entries after the end of each 16-bit table: a 32-bit read of the last entry
// stays inside, and the next table starts on a 64-byte line.
inline constexpr std::size_t kTablePadding = 32;

// One page's colour tables as the row kernels read them.
struct alignas(64) ColourLookups {
  // clrsatable: entry 256 + d is the saturation term for a difference d.
  std::array<int16_t, 512 + kTablePadding> saturation;
  // The tone tables of the saturated red, green and blue values.
  std::array<int16_t, 256 + kTablePadding> red, green, blue;
  // The direct map's nodes, each output red | green << 8 | blue << 16.
  std::array<int32_t, 729> nodes;
  // Whether clrsatable holds a term other than 0, whether a tone table is not
  // the identity, and whether the pixels go through the direct map after
  // their tone tables: the steps that change colours.
  bool saturates, tones, directmap;
};

// Fills lookups (written) from the page's colour table set and, when
// bTableRet is non-zero, its direct-map table DmapTbl (2187 bytes, read).
void BuildColourLookups(ColourLookups& lookups, const ColorTableSet& colortable, int bTableRet, const uint8_t* DmapTbl);

}  // namespace velta
