// velta-mkraster: writes CUPS raster streams of test pages with the CUPS library.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <cups/raster.h>

#include "photo_page.h"
#include "png_file.h"
#include "png_reader.h"
#include "raster_patterns.h"

namespace {

using velta::mkraster::PictureSource;

constexpr const char* kUsage =
    "Usage: velta-mkraster [options]\n"
    "Writes a CUPS raster stream of test pages (8-bit RGB at 300 dpi unless told otherwise).\n"
    "\n"
    "  -o FILE                 output file, '-' for standard output (default '-')\n"
    "  --width N               cupsWidth in pixels (default 1800, or the PNG's width)\n"
    "  --height N              cupsHeight in rows (default 2492, or the PNG's height)\n"
    "  --pages N               number of pages (default 1)\n"
    "  --copies N[,N...]       NumCopies per page; the last value repeats (default 1)\n"
    "  --pattern NAME          solid, gradient or photo (default solid)\n"
    "  --color RRGGBB          colour of the solid pattern in hex (default ffffff)\n"
    "  --png FILE              take the pixels from a PNG file (top left; white beyond it)\n"
    "  --photo FILE            place a JPEG or PNG photo on the sheet as the photo route does\n"
    "                          (sets the width and height to the sheet's)\n"
    "  --media 6x8|6x4         the sheet for --photo (default 6x8: 1800 x 2492; 6x4: 1800 x 1200)\n"
    "  --scaling KEYWORD       print-scaling for --photo: fill (default), fit, none, auto, auto-fit\n"
    "  --orientation N         orientation-requested for --photo: 3, 4, 5 or 6 (default: by shape)\n"
    "  --png-out FILE          also write the first page's pixels as a PNG file\n"
    "  --content-rows A:B      draw the picture only in rows A to B-1, white elsewhere\n"
    "  --rows N                write only N rows of the last page (a truncated raster)\n"
    "  --bits N                cupsBitsPerColor (default 8)\n"
    "  --bits-per-pixel N      cupsBitsPerPixel (default 3 x bits, 4 x for CMYK spaces)\n"
    "  --bytes-per-line N      cupsBytesPerLine (default width x bits per pixel / 8)\n"
    "  --colorspace N          cupsColorSpace (default 1, RGB; 6 is CMYK)\n"
    "  --order N               cupsColorOrder (default 0, chunky)\n"
    "  --resolution N          HWResolution in dpi (default 300)\n"
    "  --uncompressed          write an uncompressed stream (default: compressed)\n"
    "  --help                  show this text\n"
    "\n"
    "Row bytes past width x 3 are white; with bits other than 8 the pattern fills the\n"
    "first width x 3 bytes of each row.\n";

// Everything the command line can set.
struct Request {
  std::string output = "-";
  uint32_t width = 1800, height = 2492, pages = 1;
  bool width_set = false, height_set = false;
  std::vector<uint32_t> copies{1};
  PictureSource picture;
  std::string png_path;
  std::string photo_path;
  std::string png_out;
  velta::PlacementRequest placement;
  uint32_t content_first = 0, content_end = UINT32_MAX;
  bool rows_set = false;
  uint32_t rows = 0;
  uint32_t bits = 8, colorspace = CUPS_CSPACE_RGB, order = CUPS_ORDER_CHUNKED, resolution = 300;
  bool bits_per_pixel_set = false, bytes_per_line_set = false;
  uint32_t bits_per_pixel = 0, bytes_per_line = 0;
  bool compressed = true;
};

// Parses an unsigned 32-bit number; exits with a message when it is not one.
uint32_t ParseUnsigned(const char* text, const char* flag) {
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 0);
  if (*text == '\0' || *end != '\0' || *text == '-' || value > UINT32_MAX) {
    std::fprintf(stderr, "velta-mkraster: %s needs a number from 0 to 4294967295, not '%s'\n", flag, text);
    std::exit(2);
  }
  return static_cast<uint32_t>(value);
}

// Number of colour channels of a CUPS colour space.
uint32_t ChannelsOf(uint32_t colorspace) {
  switch (colorspace) {
    case CUPS_CSPACE_W:
    case CUPS_CSPACE_K:
    case CUPS_CSPACE_SW:
      return 1;
    case CUPS_CSPACE_CMYK:
    case CUPS_CSPACE_YMCK:
    case CUPS_CSPACE_KCMY:
    case CUPS_CSPACE_RGBA:
    case CUPS_CSPACE_RGBW:
      return 4;
    default:
      return 3;
  }
}

// Reads the command line into a request; exits on a mistake.
Request ParseArguments(int argc, char* argv[]) {
  Request r;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--help" || flag == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (flag == "--uncompressed") {
      r.compressed = false;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "velta-mkraster: %s needs a value\n%s", argv[i], kUsage);
      std::exit(2);
    }
    const char* value = argv[++i];
    if (flag == "-o")
      r.output = value;
    else if (flag == "--width")
      r.width = ParseUnsigned(value, argv[i - 1]), r.width_set = true;
    else if (flag == "--height")
      r.height = ParseUnsigned(value, argv[i - 1]), r.height_set = true;
    else if (flag == "--pages")
      r.pages = ParseUnsigned(value, argv[i - 1]);
    else if (flag == "--copies") {
      r.copies.clear();
      std::string list = value;
      for (std::size_t start = 0; start <= list.size();) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        r.copies.push_back(ParseUnsigned(list.substr(start, comma - start).c_str(), "--copies"));
        start = comma + 1;
      }
    } else if (flag == "--pattern") {
      if (!velta::mkraster::ParsePattern(value, r.picture.pattern)) {
        std::fprintf(stderr, "velta-mkraster: unknown pattern '%s'\n", value);
        std::exit(2);
      }
    } else if (flag == "--color") {
      const uint32_t rgb = static_cast<uint32_t>(std::strtoul(value, nullptr, 16));
      r.picture.solid[0] = static_cast<uint8_t>(rgb >> 16);
      r.picture.solid[1] = static_cast<uint8_t>(rgb >> 8);
      r.picture.solid[2] = static_cast<uint8_t>(rgb);
    } else if (flag == "--png")
      r.png_path = value;
    else if (flag == "--photo")
      r.photo_path = value;
    else if (flag == "--media") {
      const std::string media = value;
      if (media != "6x8" && media != "6x4") {
        std::fprintf(stderr, "velta-mkraster: --media takes 6x8 or 6x4, not '%s'\n", value);
        std::exit(2);
      }
      r.placement.sheet_height = media == "6x8" ? 2492 : 1200;
    } else if (flag == "--scaling") {
      const auto scaling = velta::ParsePrintScaling(value);
      if (!scaling) {
        std::fprintf(stderr, "velta-mkraster: unknown print-scaling '%s'\n", value);
        std::exit(2);
      }
      r.placement.scaling = *scaling;
    } else if (flag == "--orientation")
      r.placement.orientation_requested = static_cast<int>(ParseUnsigned(value, argv[i - 1]));
    else if (flag == "--png-out")
      r.png_out = value;
    else if (flag == "--content-rows") {
      const char* colon = std::strchr(value, ':');
      if (colon == nullptr) {
        std::fprintf(stderr, "velta-mkraster: --content-rows needs A:B\n");
        std::exit(2);
      }
      r.content_first = ParseUnsigned(std::string(value, colon).c_str(), "--content-rows");
      r.content_end = ParseUnsigned(colon + 1, "--content-rows");
    } else if (flag == "--rows")
      r.rows = ParseUnsigned(value, argv[i - 1]), r.rows_set = true;
    else if (flag == "--bits")
      r.bits = ParseUnsigned(value, argv[i - 1]);
    else if (flag == "--bits-per-pixel")
      r.bits_per_pixel = ParseUnsigned(value, argv[i - 1]), r.bits_per_pixel_set = true;
    else if (flag == "--bytes-per-line")
      r.bytes_per_line = ParseUnsigned(value, argv[i - 1]), r.bytes_per_line_set = true;
    else if (flag == "--colorspace")
      r.colorspace = ParseUnsigned(value, argv[i - 1]);
    else if (flag == "--order")
      r.order = ParseUnsigned(value, argv[i - 1]);
    else if (flag == "--resolution")
      r.resolution = ParseUnsigned(value, argv[i - 1]);
    else {
      std::fprintf(stderr, "velta-mkraster: unknown option %s\n%s", argv[i - 1], kUsage);
      std::exit(2);
    }
  }
  if (r.resolution == 0) r.resolution = 300;
  if (!r.bits_per_pixel_set) r.bits_per_pixel = r.bits * ChannelsOf(r.colorspace);
  return r;
}

// The page header of page number index (0-based) of the request.
cups_page_header2_t PageHeader(const Request& r, uint32_t index) {
  cups_page_header2_t h;
  std::memset(&h, 0, sizeof h);
  std::strcpy(h.MediaClass, "PwgRaster");
  h.HWResolution[0] = h.HWResolution[1] = r.resolution;
  h.PageSize[0] = static_cast<unsigned>(uint64_t{r.width} * 72 / r.resolution);
  h.PageSize[1] = static_cast<unsigned>(uint64_t{r.height} * 72 / r.resolution);
  h.ImagingBoundingBox[2] = h.PageSize[0];
  h.ImagingBoundingBox[3] = h.PageSize[1];
  h.NumCopies = r.copies[std::min<std::size_t>(index, r.copies.size() - 1)];
  h.cupsWidth = r.width;
  h.cupsHeight = r.height;
  h.cupsBitsPerColor = r.bits;
  h.cupsBitsPerPixel = r.bits_per_pixel;
  h.cupsBytesPerLine =
      r.bytes_per_line_set ? r.bytes_per_line : static_cast<unsigned>((uint64_t{r.width} * r.bits_per_pixel + 7) / 8);
  h.cupsColorOrder = static_cast<cups_order_t>(r.order);
  h.cupsColorSpace = static_cast<cups_cspace_t>(r.colorspace);
  h.cupsRowCount = 1;
  h.cupsRowStep = 1;
  return h;
}

// Fills row y of the page: picture bytes inside the content rows, white elsewhere.
void FillRow(const Request& r, uint32_t y, std::vector<uint8_t>& row) {
  std::fill(row.begin(), row.end(), uint8_t{255});
  if (y < r.content_first || y >= r.content_end) return;
  const std::size_t pixels = std::min<std::size_t>(r.width, row.size() / 3);
  for (std::size_t x = 0; x < pixels; ++x)
    velta::mkraster::PicturePixel(r.picture, static_cast<uint32_t>(x), y, r.width, r.height, &row[x * 3]);
}

}  // namespace

// Writes the requested pages; status 0 on success, 1 when the stream cannot be written.
int main(int argc, char* argv[]) {
  Request r = ParseArguments(argc, argv);

  std::vector<uint8_t> png_rgb;
  if (!r.png_path.empty()) {
    std::string error;
    if (!velta::mkraster::ReadPngRgb(r.png_path, png_rgb, r.picture.png_width, r.picture.png_height, error)) {
      std::fprintf(stderr, "velta-mkraster: %s: %s\n", r.png_path.c_str(), error.c_str());
      return 1;
    }
    r.picture.png_rgb = &png_rgb;
    if (!r.width_set) r.width = r.picture.png_width;
    if (!r.height_set) r.height = r.picture.png_height;
  }

  if (!r.photo_path.empty()) {
    std::string error;
    if (!velta::mkraster::PlacePhotoPage(r.photo_path, r.placement, png_rgb, error)) {
      std::fprintf(stderr, "velta-mkraster: %s: %s\n", r.photo_path.c_str(), error.c_str());
      return 1;
    }
    r.picture.png_rgb = &png_rgb;
    r.width = r.picture.png_width = r.placement.sheet_width;
    r.height = r.picture.png_height = r.placement.sheet_height;
  }
  if (!r.png_out.empty()) {
    std::vector<uint8_t> first(std::size_t{r.width} * 3);
    std::vector<uint8_t> pixels;
    for (uint32_t y = 0; y < r.height; ++y) {
      FillRow(r, y, first);
      pixels.insert(pixels.end(), first.begin(), first.end());
    }
    std::string error;
    if (!velta::WritePng(r.png_out, r.width, r.height, 3, pixels, error)) {
      std::fprintf(stderr, "velta-mkraster: %s: %s\n", r.png_out.c_str(), error.c_str());
      return 1;
    }
  }

  const int fd = r.output == "-" ? 1 : open(r.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) {
    std::perror(r.output.c_str());
    return 1;
  }
  cups_raster_t* ras = cupsRasterOpen(fd, r.compressed ? CUPS_RASTER_WRITE_COMPRESSED : CUPS_RASTER_WRITE);
  if (ras == nullptr) {
    std::fprintf(stderr, "velta-mkraster: cannot open the raster stream\n");
    return 1;
  }

  int status = 0;
  for (uint32_t page = 0; page < r.pages && status == 0; ++page) {
    cups_page_header2_t header = PageHeader(r, page);
    if (!cupsRasterWriteHeader2(ras, &header)) {
      std::fprintf(stderr, "velta-mkraster: the CUPS library refused the page header\n");
      status = 1;
      break;
    }
    const bool last = page + 1 == r.pages;
    const uint32_t rows = last && r.rows_set ? std::min(r.rows, r.height) : r.height;
    std::vector<uint8_t> row(header.cupsBytesPerLine);
    for (uint32_t y = 0; y < rows; ++y) {
      FillRow(r, y, row);
      if (cupsRasterWritePixels(ras, row.data(), static_cast<unsigned>(row.size())) < row.size()) {
        std::fprintf(stderr, "velta-mkraster: write failed at page %u row %u\n", page + 1, y);
        status = 1;
        break;
      }
    }
  }
  cupsRasterClose(ras);
  if (fd != 1 && close(fd) != 0) status = 1;
  return status;
}
