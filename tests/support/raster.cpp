// Test rasters written and read back through libcups.
#include "tests/support/raster.h"

#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>

#include <cups/raster.h>

#include "tests/support/process.h"

namespace velta::test {

namespace {

// The RGB value of pixel (x, y) of page: smooth ramps, a disc of skin tone
// (so the gentler sharpening of faces is exercised) and a little noise.
void PagePixel(const RasterPage& page, uint32_t x, uint32_t y, uint8_t rgb[3]) {
  if (y < page.first_picture_row || y >= page.end_picture_row) {
    rgb[0] = rgb[1] = rgb[2] = 255;
    return;
  }
  const uint32_t noise = (x * 2654435761u ^ y * 40503u ^ page.seed * 97u) >> 27;  // 0..31
  const int64_t dx = static_cast<int64_t>(x) - page.width / 2;
  const int64_t dy = static_cast<int64_t>(y) - page.height / 2;
  const int64_t r = static_cast<int64_t>(page.width / 4);
  if (dx * dx + dy * dy < r * r) {
    rgb[0] = static_cast<uint8_t>(215 + noise / 2);
    rgb[1] = static_cast<uint8_t>(165 + noise / 2);
    rgb[2] = static_cast<uint8_t>(135 + noise / 2);
    return;
  }
  rgb[0] = static_cast<uint8_t>((x * 255 / page.width + noise + page.seed * 40) & 255);
  rgb[1] = static_cast<uint8_t>((y * 255 / page.height + noise) & 255);
  rgb[2] = static_cast<uint8_t>(((x + y) * 128 / (page.width + page.height) + 64 + noise) & 255);
}

}  // namespace

bool WritePwgRaster(const std::string& path, const RasterPage* pages, int count) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_WRITE_PWG);
  bool ok = raster != nullptr;
  for (int p = 0; ok && p < count; ++p) {
    const RasterPage& page = pages[p];
    cups_page_header2_t header;
    pwg_media_t* media =
        pwgMediaForSize(static_cast<int>(page.width * 2540 / 300), static_cast<int>(page.height * 2540 / 300));
    ok = cupsRasterInitPWGHeader(&header, media, "srgb_8", 300, 300, "one-sided", nullptr);
    header.cupsWidth = page.width;
    header.cupsHeight = page.height;
    header.cupsBytesPerLine = page.width * 3;
    header.NumCopies = page.NumCopies;
    ok = ok && cupsRasterWriteHeader2(raster, &header);
    std::vector<uint8_t> row(page.width * 3);
    for (uint32_t y = 0; ok && y < page.height; ++y) {
      for (uint32_t x = 0; x < page.width; ++x) PagePixel(page, x, y, &row[x * 3]);
      ok = cupsRasterWritePixels(raster, row.data(), static_cast<unsigned>(row.size())) == row.size();
    }
  }
  if (raster) cupsRasterClose(raster);
  return close(fd) == 0 && ok;
}

bool WriteTestPng(const std::string& path) {
  // ImageMagick draws it; the test only needs some picture of a known size.
  Command convert({"convert", "-size", "600x400", "gradient:red-blue", "-depth", "8", "PNG24:" + path});
  convert.stderr_file = "/dev/null";
  return Run(convert).status == 0;
}

std::vector<Picture> ReadRasterPages(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error(path + ": cannot be read");
  cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
  std::vector<Picture> pages;
  cups_page_header2_t header;
  std::string fault;
  while (fault.empty() && raster && cupsRasterReadHeader2(raster, &header)) {
    if (header.cupsBitsPerColor != 8 || header.cupsColorOrder != CUPS_ORDER_CHUNKED ||
        header.cupsBytesPerLine != 3 * header.cupsWidth) {
      fault = path + ": not 8-bit chunky RGB";
      break;
    }
    Picture page(static_cast<int>(header.cupsWidth), static_cast<int>(header.cupsHeight));
    for (int y = 0; fault.empty() && y < page.height; ++y)
      if (cupsRasterReadPixels(raster, page.pixel(0, y), header.cupsBytesPerLine) != header.cupsBytesPerLine)
        fault = path + ": cut page";
    pages.push_back(std::move(page));
  }
  if (raster) cupsRasterClose(raster);
  close(fd);
  if (!fault.empty()) throw std::runtime_error(fault);
  return pages;
}

}  // namespace velta::test
