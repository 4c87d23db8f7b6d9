// Decoding JPEG and PNG photographs into 8-bit sRGB: libjpeg-turbo, libpng,
// Little CMS for embedded ICC profiles and libexif for the orientation tag.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "photo/photo_image.h"
#include "render/cancel_check.h"

namespace velta {

enum class PhotoFormat { Unknown, Jpeg, Png };

// Tells a JPEG or PNG from its first bytes.
PhotoFormat SniffPhotoFormat(std::span<const uint8_t> bytes);

// The largest photo the decoder takes, in pixels as stored, checked from the
// header before any pixel memory is taken: a decompression bomb is refused,
// not decoded.
inline constexpr uint64_t kMaxPhotoPixels = 100'000'000;

// What a photo's header says, read before any pixel memory is taken.
struct PhotoHeader {
  PhotoFormat format = PhotoFormat::Unknown;
  uint32_t width = 0;   // as stored
  uint32_t height = 0;  // as stored
  uint8_t exif_orientation = 1;
  double dpi_x = 0;  // 0 when the file states no resolution
  double dpi_y = 0;
};

// One photo file held in memory, from its header to its pixels.
class PhotoDecoder {
 public:
  virtual ~PhotoDecoder() = default;

  // Reads the header of the JPEG or PNG in `file`, which must outlive the
  // decoder. On failure returns nullptr and sets problem to one sentence that
  // names it, for the job's "ERROR:" line (a truncated or corrupt file, a
  // size of zero, one above kMaxPhotoPixels, a kind the decoder refuses).
  static std::unique_ptr<PhotoDecoder> Open(std::span<const uint8_t> file, std::string& problem);

  virtual const PhotoHeader& header() const = 0;

  // Decodes the pixels into image as 8-bit sRGB: an embedded ICC profile is
  // converted, grey and CMYK become RGB, alpha is laid over white. A JPEG is
  // reduced by DCT scaling (eighths) as far as it stays at least
  // min_width x min_height (stored orientation). cancelled is asked between
  // rows; a cancelled decode returns false with problem empty. Any other
  // failure returns false with problem set.
  virtual bool Decode(uint32_t min_width, uint32_t min_height, const CancelCheck& cancelled, PhotoImage& image,
                      std::string& problem) = 0;
};

}  // namespace velta
