#include "photo/icc_to_srgb.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace velta {
namespace {

// The colour space a profile must describe to fit the pixels.
cmsColorSpaceSignature SpaceOf(SourcePixels pixels) {
  switch (pixels) {
    case SourcePixels::Grey:
      return cmsSigGrayData;
    case SourcePixels::Rgb:
      return cmsSigRgbData;
    default:
      return cmsSigCmykData;
  }
}

// Little CMS's name for the pixels' layout. Inverted CMYK is its "reversed"
// flavour: 0 is full ink.
cmsUInt32Number FormatOf(SourcePixels pixels) {
  switch (pixels) {
    case SourcePixels::Grey:
      return TYPE_GRAY_8;
    case SourcePixels::Rgb:
      return TYPE_RGB_8;
    case SourcePixels::Cmyk:
      return TYPE_CMYK_8;
    case SourcePixels::InvertedCmyk:
      return TYPE_CMYK_8_REV;
  }
  return TYPE_RGB_8;
}

// True when the transform keeps every probe within one level of itself: the
// photo's profile is sRGB in all but rounding (cameras and editors embed
// their own copies of it). Probes: every grey, every level of each primary
// alone, and a 9 x 9 x 9 grid through the cube.
bool NearlySrgb(cmsHTRANSFORM transform, SourcePixels pixels) {
  if (pixels != SourcePixels::Grey && pixels != SourcePixels::Rgb) return false;
  std::vector<uint8_t> probes;  // as RGB; a grey probe is its R
  for (int v = 0; v < 256; ++v) {
    const uint8_t level = static_cast<uint8_t>(v);
    probes.insert(probes.end(), {level, level, level});
    if (pixels == SourcePixels::Rgb) probes.insert(probes.end(), {level, 0, 0, 0, level, 0, 0, 0, level});
  }
  if (pixels == SourcePixels::Rgb) {
    for (int r = 0; r <= 256; r += 32) {
      for (int g = 0; g <= 256; g += 32) {
        for (int b = 0; b <= 256; b += 32) {
          const auto level = [](int v) { return static_cast<uint8_t>(v > 255 ? 255 : v); };
          probes.insert(probes.end(), {level(r), level(g), level(b)});
        }
      }
    }
  }
  const size_t count = probes.size() / 3;
  std::vector<uint8_t> in(count * (pixels == SourcePixels::Grey ? 1 : 3));
  for (size_t i = 0; i < count; ++i) {
    if (pixels == SourcePixels::Grey) {
      in[i] = probes[i * 3];
    } else {
      std::memcpy(&in[i * 3], &probes[i * 3], 3);
    }
  }
  std::vector<uint8_t> out(count * 3);
  cmsDoTransform(transform, in.data(), out.data(), static_cast<cmsUInt32Number>(count));
  for (size_t i = 0; i < out.size(); ++i) {
    if (std::abs(int{out[i]} - int{probes[i]}) > 1) return false;
  }
  return true;
}

// R, G or B of a CMYK pixel without a profile: the part of white that the
// ink and the black leave, in no-ink-is-255 terms, rounded.
inline uint8_t PlainCmykPrimary(uint32_t left_by_ink, uint32_t left_by_black) {
  return static_cast<uint8_t>((left_by_ink * left_by_black + 127) / 255);
}

}  // namespace

// Builds the transform from the photo's profile to sRGB, or none.
SrgbConverter::SrgbConverter(SourcePixels pixels, std::span<const uint8_t> icc_profile) : pixels_(pixels) {
  if (icc_profile.empty()) return;
  // A context of our own: Little CMS's messages and state stay with this
  // photo, and nothing is shared with another thread.
  context_ = cmsCreateContext(nullptr, nullptr);
  if (context_ == nullptr) return;
  cmsHPROFILE source = cmsOpenProfileFromMemTHR(context_, icc_profile.data(), icc_profile.size());
  cmsHPROFILE srgb = cmsCreate_sRGBProfileTHR(context_);
  if (source != nullptr && srgb != nullptr && cmsGetColorSpace(source) == SpaceOf(pixels)) {
    // Perceptual, with the black point compensated: a table profile's
    // perceptual table is its maker's mapping for pictures, bringing its
    // gamut and paper white to the output's rather than clipping them, and
    // the compensation takes its darkest ink to sRGB's black (a CMYK photo's
    // press black would print as dark grey). Little CMS compensates for a
    // perceptual transform to its own sRGB (a version 4 profile) anyway; the
    // flag says so. A matrix profile (Adobe RGB, Display P3) has no
    // perceptual table and a black at zero: Little CMS uses its matrix, the
    // same as relative colorimetric, clipping what lies outside sRGB.
    transform_ = cmsCreateTransformTHR(context_, source, FormatOf(pixels), srgb, TYPE_RGB_8, INTENT_PERCEPTUAL,
                                       cmsFLAGS_BLACKPOINTCOMPENSATION);
  }
  if (source != nullptr) cmsCloseProfile(source);
  if (srgb != nullptr) cmsCloseProfile(srgb);
  // An sRGB profile is skipped so that an sRGB photo keeps its own bytes, as
  // every other program shows them.
  if (transform_ != nullptr && NearlySrgb(transform_, pixels)) {
    cmsDeleteTransform(transform_);
    transform_ = nullptr;
  }
}

// Frees the transform and its context.
SrgbConverter::~SrgbConverter() {
  if (transform_ != nullptr) cmsDeleteTransform(transform_);
  if (context_ != nullptr) cmsDeleteContext(context_);
}

// Bytes that one source pixel takes.
uint32_t SrgbConverter::source_bytes() const {
  switch (pixels_) {
    case SourcePixels::Grey:
      return 1;
    case SourcePixels::Rgb:
      return 3;
    default:
      return 4;
  }
}

// Converts width pixels from in to out.
void SrgbConverter::Convert(const uint8_t* in, uint8_t* out, uint32_t width) const {
  if (transform_ != nullptr) {
    cmsDoTransform(transform_, in, out, width);
    return;
  }
  switch (pixels_) {
    case SourcePixels::Grey:
      for (uint32_t x = 0; x < width; ++x, out += 3) out[0] = out[1] = out[2] = in[x];
      break;
    case SourcePixels::Rgb:
      std::memcpy(out, in, size_t{width} * 3);
      break;
    case SourcePixels::Cmyk:
    case SourcePixels::InvertedCmyk: {
      // In inverted data each sample already is what its ink leaves of white.
      const uint8_t flip = pixels_ == SourcePixels::Cmyk ? 255 : 0;
      for (uint32_t x = 0; x < width; ++x, in += 4, out += 3) {
        const uint32_t black = in[3] ^ flip;
        for (int c = 0; c < 3; ++c) out[c] = PlainCmykPrimary(in[c] ^ flip, black);
      }
      break;
    }
  }
}

}  // namespace velta
