#include "photo/decode_limits.h"

#include <cstddef>
#include <limits>
#include <new>

#include "photo/photo_decode.h"

namespace velta {

// Checks a stored size from a header against the printer's limits.
bool CheckPhotoSize(uint64_t width, uint64_t height, std::string& problem) {
  const std::string size = std::to_string(width) + " x " + std::to_string(height);
  if (width == 0 || height == 0) {
    problem = "The photo is " + size + " pixels.";
    return false;
  }
  // Both sides are below 2^32 here, so the product cannot wrap in 64 bits.
  if (width > std::numeric_limits<uint32_t>::max() || height > std::numeric_limits<uint32_t>::max() ||
      width * height > kMaxPhotoPixels) {
    problem =
        "The photo has " + size + " pixels, more than the " + std::to_string(kMaxPhotoPixels) + " this printer takes.";
    return false;
  }
  if (width > kMaxPhotoSide || height > kMaxPhotoSide) {
    problem = "The photo has " + size + " pixels, a side longer than the " + std::to_string(kMaxPhotoSide) +
              " this printer takes.";
    return false;
  }
  return true;
}

// Takes count bytes of work memory, not zeroed.
std::unique_ptr<uint8_t[]> TakeBytes(uint64_t count, std::string& problem) {
  // On a 32-bit machine size_t is narrower than the count; the comparison
  // keeps a wrapped, smaller request from ever being made.
  uint8_t* bytes = nullptr;
  if (count <= std::numeric_limits<std::size_t>::max()) bytes = new (std::nothrow) uint8_t[std::size_t(count)];
  if (bytes == nullptr) problem = "Not enough memory to decode the photo (" + std::to_string(count) + " bytes).";
  return std::unique_ptr<uint8_t[]>(bytes);
}

// Takes the memory for width x height sRGB pixels into image.
bool TakePixels(uint32_t width, uint32_t height, PhotoImage& image, std::string& problem) {
  image.rgb = TakeBytes(uint64_t{width} * height * 3, problem);
  if (image.rgb == nullptr) return false;
  image.width = width;
  image.height = height;
  return true;
}

void TakeHeaderFacts(const PhotoHeader& header, PhotoImage& image) {
  image.stored_width = header.width;
  image.stored_height = header.height;
  image.exif_orientation = header.exif_orientation;
  image.dpi_x = header.dpi_x;
  image.dpi_y = header.dpi_y;
}

}  // namespace velta
