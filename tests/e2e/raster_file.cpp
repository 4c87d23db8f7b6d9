// Reads back the pages of an uncompressed CUPS raster file.
#include "raster_file.h"

#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <cups/raster.h>

namespace velta::expected {
namespace {

// The 32-bit header field at byte offset of a page header.
uint32_t HeaderField(const std::string& bytes, size_t header_start, size_t offset) {
  uint32_t value = 0;
  std::memcpy(&value, bytes.data() + header_start + offset, sizeof value);
  return value;
}

}  // namespace

std::vector<Picture> ReadRasterPages(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  // An uncompressed version 3 stream in this machine's byte order.
  uint32_t sync = 0;
  if (bytes.size() < 4) throw std::runtime_error(path + ": too short for a raster");
  std::memcpy(&sync, bytes.data(), sizeof sync);
  if (sync != CUPS_RASTER_SYNC) throw std::runtime_error(path + ": not an uncompressed native raster");

  std::vector<Picture> pages;
  size_t at = 4;
  while (at < bytes.size()) {
    if (bytes.size() - at < sizeof(cups_page_header2_t)) throw std::runtime_error(path + ": cut header");
    const uint32_t width = HeaderField(bytes, at, offsetof(cups_page_header2_t, cupsWidth));
    const uint32_t height = HeaderField(bytes, at, offsetof(cups_page_header2_t, cupsHeight));
    const uint32_t line = HeaderField(bytes, at, offsetof(cups_page_header2_t, cupsBytesPerLine));
    if (line != 3 * width) throw std::runtime_error(path + ": not 8-bit RGB");
    at += sizeof(cups_page_header2_t);
    if (bytes.size() - at < size_t{line} * height) throw std::runtime_error(path + ": cut page");
    Picture page(static_cast<int>(width), static_cast<int>(height));
    for (uint32_t y = 0; y < height; ++y, at += line)
      std::memcpy(page.pixel(0, static_cast<int>(y)), bytes.data() + at, line);
    pages.push_back(std::move(page));
  }
  return pages;
}

}  // namespace velta::expected
