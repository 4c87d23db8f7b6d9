// The picture as the printer prints it: a page's head energies with the
// renderer's heat compensation and row-end fade taken back out.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "stream_parser.h"

namespace velta {

// An RGB picture of a page as printed, rows of width x 3 bytes (empty for a
// page without planes). The renderer raises the energies of the first rows
// after the cold start and of every row after cooler ones, and fades dense
// energies at the row ends; this runs its heat histories forward over the
// written energies to recover each tone value, undoes the fade, and turns the
// tone values back through tone_table (768 bytes, block k for plane k, as the
// page's print mode uses it).
std::vector<uint8_t> PrintedPicture(const DecodedPage& page, std::span<const uint8_t, 768> tone_table);

}  // namespace velta
