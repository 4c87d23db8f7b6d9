// A photo's own pixels to 8-bit sRGB, row by row: through its embedded ICC
// profile with Little CMS when there is a usable one, by plain arithmetic
// otherwise.
#pragma once

#include <cstdint>
#include <span>

#include <lcms2.h>

namespace velta {

// How the decoded samples of one pixel are laid out.
enum class SourcePixels {
  Grey,          // one sample
  Rgb,           // R G B
  Cmyk,          // C M Y K, 0 no ink
  InvertedCmyk,  // C M Y K, 255 no ink: what Photoshop writes with its Adobe marker
};

// Turns rows of SourcePixels into rows of sRGB.
class SrgbConverter {
 public:
  // A profile that Little CMS cannot read, that names another colour space
  // than the pixels have, or that is sRGB in all but rounding is set aside:
  // the pixels are then taken as sRGB (grey, CMYK by plain arithmetic).
  SrgbConverter(SourcePixels pixels, std::span<const uint8_t> icc_profile);
  ~SrgbConverter();
  SrgbConverter(const SrgbConverter&) = delete;
  SrgbConverter& operator=(const SrgbConverter&) = delete;

  // Bytes that one source pixel takes.
  uint32_t source_bytes() const;
  // True when the embedded profile is used.
  bool uses_profile() const { return transform_ != nullptr; }
  // True when source rows are sRGB already and Convert only copies them.
  bool copies() const { return pixels_ == SourcePixels::Rgb && transform_ == nullptr; }

  // Converts width pixels from in to out (width x 3 bytes); the two must not
  // overlap.
  void Convert(const uint8_t* in, uint8_t* out, uint32_t width) const;

 private:
  SourcePixels pixels_;
  cmsContext context_ = nullptr;
  cmsHTRANSFORM transform_ = nullptr;
};

}  // namespace velta
