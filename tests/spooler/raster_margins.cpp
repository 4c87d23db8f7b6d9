// raster-margins: reads a CUPS or PWG raster (a file or standard input) and
// prints one line per page: its size, its copy count, and how many entirely
// white rows or columns lie along each edge. A photo that fills the page has
// none, or a hairline of one; a letterboxed photo has hundreds.
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

namespace {

// True when every byte of the pixel at column x of row is 255 (white paper).
bool IsWhite(const unsigned char* row, unsigned x) {
  return row[3 * x] == 255 && row[3 * x + 1] == 255 && row[3 * x + 2] == 255;
}

// Counts the white lines along the four edges of an 8-bit RGB page (read).
struct Margins {
  unsigned top = 0, bottom = 0, left = 0, right = 0;
};

Margins MeasureMargins(const std::vector<unsigned char>& page, unsigned width, unsigned height, unsigned stride) {
  auto row_white = [&](unsigned y) {
    for (unsigned x = 0; x < width; ++x)
      if (!IsWhite(&page[size_t(y) * stride], x)) return false;
    return true;
  };
  auto column_white = [&](unsigned x) {
    for (unsigned y = 0; y < height; ++y)
      if (!IsWhite(&page[size_t(y) * stride], x)) return false;
    return true;
  };
  Margins m;
  while (m.top < height && row_white(m.top)) ++m.top;
  while (m.bottom < height && row_white(height - 1 - m.bottom)) ++m.bottom;
  while (m.left < width && column_white(m.left)) ++m.left;
  while (m.right < width && column_white(width - 1 - m.right)) ++m.right;
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  int fd = 0;
  if (argc > 2 || (argc == 2 && (fd = open(argv[1], O_RDONLY)) < 0)) {
    std::fputs("usage: raster-margins [RASTER-FILE]\n", stderr);
    return 2;
  }
  cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_READ);
  cups_page_header2_t header;
  int pages = 0;
  while (cupsRasterReadHeader2(ras, &header)) {
    ++pages;
    if (header.cupsBitsPerPixel != 24 || header.cupsBytesPerLine < header.cupsWidth * 3) {
      std::fprintf(stderr, "page %d is not 8-bit RGB (%u bits per pixel)\n", pages, header.cupsBitsPerPixel);
      return 1;
    }
    std::vector<unsigned char> page(size_t(header.cupsBytesPerLine) * header.cupsHeight);
    for (unsigned y = 0; y < header.cupsHeight; ++y) {
      if (cupsRasterReadPixels(ras, &page[size_t(y) * header.cupsBytesPerLine], header.cupsBytesPerLine) == 0) {
        std::fprintf(stderr, "page %d ends after %u of %u rows\n", pages, y, header.cupsHeight);
        return 1;
      }
    }
    const Margins m = MeasureMargins(page, header.cupsWidth, header.cupsHeight, header.cupsBytesPerLine);
    std::printf("page %d: %ux%u copies %u white top %u bottom %u left %u right %u\n", pages, header.cupsWidth,
                header.cupsHeight, header.NumCopies, m.top, m.bottom, m.left, m.right);
  }
  cupsRasterClose(ras);
  if (fd != 0) close(fd);
  return pages > 0 ? 0 : 1;
}
