// The rows a raster page arrives with, made RGB.
#include "app/raster_rows.h"

#include <cstring>

#include "pipeline/page_header_check.h"

namespace velta {

bool ReadRowFormat(const cups_page_header2_t& header, RowFormat& format, cups_page_header2_t& rgb_header,
                   std::string& problem) {
  rgb_header = header;
  const uint32_t space = RawField(header.cupsColorSpace);
  const bool grey = space == CUPS_CSPACE_W || space == CUPS_CSPACE_SW || space == CUPS_CSPACE_K;
  if (grey && header.cupsBitsPerColor == 8 && header.cupsBitsPerPixel == 8 &&
      header.cupsBytesPerLine == header.cupsWidth) {
    // The same page as RGB rows, so that the checks and the buffers are those of any page.
    rgb_header.cupsColorSpace = CUPS_CSPACE_SRGB;
    rgb_header.cupsBitsPerPixel = 24;
    rgb_header.cupsNumColors = 3;
    rgb_header.cupsBytesPerLine = header.cupsWidth * 3;
    format = space == CUPS_CSPACE_K ? RowFormat::InvertedGrey : RowFormat::Grey;
  } else {
    format = RowFormat::Rgb;
  }
  return CheckPageHeader(rgb_header, problem);
}

void RowToRgb(RowFormat format, const uint8_t* row, uint32_t width, uint8_t* rgb) {
  if (format == RowFormat::Rgb) {
    std::memcpy(rgb, row, std::size_t{width} * 3);
    return;
  }
  const uint8_t flip = format == RowFormat::InvertedGrey ? 255 : 0;
  for (uint32_t x = 0; x < width; ++x, rgb += 3) rgb[0] = rgb[1] = rgb[2] = static_cast<uint8_t>(row[x] ^ flip);
}

}  // namespace velta
