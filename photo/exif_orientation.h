// The EXIF Orientation tag: how the camera was held, read with libexif.
#pragma once

#include <cstdint>
#include <span>

namespace velta {

// The Orientation (1 to 8) in an EXIF block that starts with "Exif\0\0", as
// in a JPEG's APP1 segment; 1 when the tag is missing, unreadable or outside
// 1 to 8.
uint8_t ExifOrientation(std::span<const uint8_t> exif);

// The same for a bare TIFF header and IFDs, as in a PNG's eXIf chunk.
uint8_t TiffOrientation(std::span<const uint8_t> tiff);

}  // namespace velta
