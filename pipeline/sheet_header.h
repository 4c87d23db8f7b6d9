// The page header of a sheet made from a photo rather than read from a raster.
#pragma once

#include <cstdint>

#include <cups/raster.h>

namespace velta {

// A header of 8-bit chunky sRGB rows at 300 dpi, width x height dots, with
// copies in NumCopies: what a rasteriser would have sent for the sheet, so
// the page's commands are those of the raster route.
cups_page_header2_t SheetHeader(uint32_t width, uint32_t height, uint32_t copies);

}  // namespace velta
