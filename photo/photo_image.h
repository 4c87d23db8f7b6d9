// A photograph decoded for printing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace velta {

// A decoded photograph: 8-bit sRGB pixels in the file's stored orientation
// (its EXIF turn not yet applied), perhaps reduced while decoding.
struct PhotoImage {
  uint32_t width = 0;   // decoded pixels across, as stored
  uint32_t height = 0;  // decoded rows, as stored
  std::unique_ptr<uint8_t[]> rgb;  // height rows of width x 3 bytes, R G B, no padding

  // The file's own size, before any reduction while decoding. The placing
  // works in these coordinates, so a photo decoded at 5/8 lands where the
  // whole photo would.
  uint32_t stored_width = 0;
  uint32_t stored_height = 0;
  uint8_t exif_orientation = 1;  // TIFF/EXIF Orientation, 1 to 8 (1: stored upright)
  double dpi_x = 0;              // resolution the file states, 0 when it states none
  double dpi_y = 0;

  std::size_t row_bytes() const { return std::size_t{width} * 3; }
};

}  // namespace velta
