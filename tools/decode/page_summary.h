// One line that says what the printer was told about a page.
#pragma once

#include <string>

#include "stream_parser.h"

namespace velta {

// "page 1: 1800x2492, copies 2, normal mode, 2492-row page, SpaceFlag 1", or
// for a page cancelled before its head data, "page 3: cancelled before the
// image data (1800x1200, copies 1, normal mode)".
std::string PageSummary(int number, const DecodedPage& page);

}  // namespace velta
