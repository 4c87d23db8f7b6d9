// The page header of a sheet made from a photo rather than read from a raster.
#include "pipeline/sheet_header.h"

namespace velta {

cups_page_header2_t SheetHeader(uint32_t width, uint32_t height, uint32_t copies) {
  cups_page_header2_t header{};
  header.HWResolution[0] = 300;
  header.HWResolution[1] = 300;
  // Points, as the PPD states the sheet: 1800 dots are 432 pt.
  header.PageSize[0] = width * 72 / 300;
  header.PageSize[1] = height * 72 / 300;
  header.NumCopies = copies;
  header.cupsWidth = width;
  header.cupsHeight = height;
  header.cupsBitsPerColor = 8;
  header.cupsBitsPerPixel = 24;
  header.cupsBytesPerLine = width * 3;
  header.cupsColorOrder = CUPS_ORDER_CHUNKED;
  header.cupsColorSpace = CUPS_CSPACE_SRGB;
  return header;
}

}  // namespace velta
