// The rows a raster page arrives with: 8-bit RGB, or 8-bit grey as CUPS
// sends a monochrome job, made RGB for the page road.
#pragma once

#include <cstdint>
#include <string>

#include <cups/raster.h>

namespace velta {

enum class RowFormat {
  Rgb,           // three samples a pixel
  Grey,          // one sample, 255 white (sGray, W)
  InvertedGrey,  // one sample, 255 black (K)
};

// Reads the row layout of a page header. On success sets format and makes
// rgb_header the header of the same page with RGB rows, which then passed
// CheckPageHeader (size, memory limit). False, with problem naming the field
// and its value, for anything else.
bool ReadRowFormat(const cups_page_header2_t& header, RowFormat& format, cups_page_header2_t& rgb_header,
                   std::string& problem);

// Writes the width pixels of row as RGB into rgb (width x 3 bytes).
void RowToRgb(RowFormat format, const uint8_t* row, uint32_t width, uint8_t* rgb);

}  // namespace velta
