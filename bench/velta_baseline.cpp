// velta-baseline: the floor under the filter's time. Reads a CUPS raster with
// the same libcups calls into the same buffers as rastertovelta and writes as
// many bytes per page (95 command bytes + 3 x W x H head data), doing nothing
// in between. The filter's speed is measured as a ratio to this program.
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

// Bytes of printer commands around one page's head data: 66 of set-up, 11 of
// the image data command, 18 of closing and print commands.
constexpr std::size_t SETUP_BYTES = 66 + 11;
constexpr std::size_t CLOSING_BYTES = 18;

// Writes count bytes to standard output; returns false on an error.
bool WriteAll(const uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t written = ::write(1, bytes, count);
    if (written <= 0) return false;
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

// Reads one page into a page buffer and writes a page's worth of bytes.
bool CopyPage(cups_raster_t* ras, const cups_page_header2_t& header) {
  const std::size_t w = header.cupsWidth, h = header.cupsHeight;
  const std::size_t width_DIB = (3 * w + 3) & ~std::size_t{3};
  // Nothing is filled beforehand: the reading sets every page byte, whitening
  // only the row-end pads and rows never delivered, and the send buffer is
  // written out as it is. The floor is reading and writing, nothing else.
  const std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[header.cupsBytesPerLine + 1]);
  const std::unique_ptr<uint8_t[]> page(new (std::nothrow) uint8_t[width_DIB * h + 1]);
  const std::unique_ptr<uint8_t[]> send(new (std::nothrow) uint8_t[3 * w * h + 1]);
  if (!line || !page || !send) return false;
  std::size_t y = 0;
  for (; y < h; ++y) {
    const unsigned delivered = cupsRasterReadPixels(ras, line.get(), header.cupsBytesPerLine);
    if (delivered == 0) break;
    const std::size_t kept = delivered < width_DIB ? delivered : width_DIB;
    std::memcpy(page.get() + y * width_DIB, line.get(), kept);
    std::memset(page.get() + y * width_DIB + kept, 255, width_DIB - kept);
  }
  std::memset(page.get() + y * width_DIB, 255, (h - y) * width_DIB);
  const uint8_t commands[SETUP_BYTES] = {};
  return WriteAll(commands, SETUP_BYTES) && WriteAll(send.get(), 3 * w * h) && WriteAll(commands, CLOSING_BYTES);
}

}  // namespace

// Usage: velta-baseline [raster-file]; the raster comes from standard input
// when no file is named.
int main(int argc, char* argv[]) {
  const int fd = argc > 1 ? open(argv[1], O_RDONLY) : 0;
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_READ);
  cups_page_header2_t header;
  int pages = 0;
  while (ras != nullptr && cupsRasterReadHeader2(ras, &header)) {
    if (!CopyPage(ras, header)) return 1;
    ++pages;
  }
  cupsRasterClose(ras);
  if (fd != 0) close(fd);
  return pages > 0 ? 0 : 1;
}
