// Checks of a page header before anything is allocated for the page.
#include "pipeline/page_header_check.h"

namespace velta {

namespace {

// True for the colour spaces whose three 8-bit samples are red, green, blue.
bool IsRgbColorSpace(uint32_t space) {
  return space == CUPS_CSPACE_RGB || space == CUPS_CSPACE_SRGB || space == CUPS_CSPACE_ADOBERGB;
}

// Writes "field=value" followed by the reason into problem and returns false.
bool Refuse(std::string& problem, const char* field, unsigned value, const std::string& reason) {
  problem = std::string(field) + "=" + std::to_string(value) + " " + reason;
  return false;
}

}  // namespace

bool CheckPageHeader(const cups_page_header2_t& header, std::string& problem) {
  const uint32_t color_space = RawField(header.cupsColorSpace);
  const uint32_t color_order = RawField(header.cupsColorOrder);
  if (!IsRgbColorSpace(color_space))
    return Refuse(problem, "cupsColorSpace", color_space, "is not supported (expected an RGB space: 1, 19 or 20)");
  if (color_order != CUPS_ORDER_CHUNKED)
    return Refuse(problem, "cupsColorOrder", color_order, "is not supported (expected 0, chunky RGB)");
  if (header.cupsBitsPerColor != 8)
    return Refuse(problem, "cupsBitsPerColor", header.cupsBitsPerColor, "is not supported (expected 8)");
  if (header.cupsBitsPerPixel != 24)
    return Refuse(problem, "cupsBitsPerPixel", header.cupsBitsPerPixel, "is not supported (expected 24)");
  if (header.cupsWidth == 0 || header.cupsWidth > kMaxPageDimension)
    return Refuse(problem, "cupsWidth", header.cupsWidth, "is out of range (1 to 65535)");
  if (header.cupsHeight == 0 || header.cupsHeight > kMaxPageDimension)
    return Refuse(problem, "cupsHeight", header.cupsHeight, "is out of range (1 to 65535)");

  const std::size_t row_bytes = std::size_t{header.cupsWidth} * 3;
  if (header.cupsBytesPerLine != row_bytes)
    return Refuse(problem, "cupsBytesPerLine", header.cupsBytesPerLine,
                  "does not match cupsWidth=" + std::to_string(header.cupsWidth) + " (expected " +
                      std::to_string(row_bytes) + ")");

  // In 64 bits: a 65535 x 65535 page needs more than a 32-bit size_t holds.
  const uint64_t send_bytes = uint64_t{row_bytes} * header.cupsHeight;
  if (send_bytes > kMaxSendBufferBytes)
    return Refuse(problem, "cupsHeight", header.cupsHeight,
                  "with cupsWidth=" + std::to_string(header.cupsWidth) + " needs " + std::to_string(send_bytes) +
                      " bytes of head data, more than the limit of " + std::to_string(kMaxSendBufferBytes));
  return true;
}

PageGeometry PageGeometryOf(const cups_page_header2_t& header) {
  PageGeometry g;
  g.width = header.cupsWidth;
  g.height = header.cupsHeight;
  g.width_DIB = (std::size_t{g.width} * 3 + 3) & ~std::size_t{3};
  g.line_bytes = header.cupsBytesPerLine;
  g.page_bytes = g.width_DIB * g.height;
  g.send_bytes = std::size_t{g.width} * g.height * 3;
  return g;
}

}  // namespace velta
