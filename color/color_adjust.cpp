// Colour adjustment: the per-job offsets, the per-page tone and saturation tables,
// and the per-row pass that applies them.
#include "color/color_adjust.h"

#include <cstring>

#include "color/direct_map.h"

namespace velta {
namespace {

// Limits a value to the byte range 0..255.
constexpr int64_t ClampByte(int64_t value) { return value < 0 ? 0 : (value > 255 ? 255 : value); }

// Offset of one channel's tone table: five steps per brightness step, plus half of
// three times how far the channel's balance stands above the other two. The 3x comes
// before the halving, and the halving truncates toward zero, so stp_red 1 alone gives
// the other channels -3/2 = -1. Computed in 64 bits, where no option value can
// overflow, and narrowed to 32 bits (modulo 2^32) like the printer's own integers;
// every value from an ordinary option range comes out unchanged.
int32_t ChannelOffset(int32_t brightness, int32_t own, int32_t other1, int32_t other2) {
  const int64_t balance = 3 * (2 * int64_t{own} - other1 - other2);
  return static_cast<int32_t>(5 * int64_t{brightness} + balance / 2);
}

// Returns the table set that changes no colour: saturation terms 0, tone
// tables the identity. The default job (every option 0) builds exactly this.
ColorTableSet IdentityTables() {
  ColorTableSet tables{};
  for (int n = 0; n < 256; ++n) {
    tables.blue[n] = tables.green[n] = tables.red[n] = static_cast<uint8_t>(n);
  }
  return tables;
}

}  // namespace

bool LeavesColoursUnchanged(const ColorTableSet& colortable) {
  static const ColorTableSet identity = IdentityTables();
  return std::memcmp(&colortable, &identity, sizeof identity) == 0;
}

ColorParams ComputeColorParams(int32_t stp_brightness, int32_t stp_contrast, int32_t stp_red, int32_t stp_green,
                               int32_t stp_blue) {
  ColorParams params{};
  params.bdat = ChannelOffset(stp_brightness, stp_blue, stp_green, stp_red);
  params.gdat = ChannelOffset(stp_brightness, stp_green, stp_blue, stp_red);
  params.rdat = ChannelOffset(stp_brightness, stp_red, stp_blue, stp_green);
  // The contrast line passes through (K, 0) and (128, 128): K = 5 x contrast, and
  // its divisor 128 - K. Both narrowed to 32 bits the same way as the offsets.
  params.contrast_offset = static_cast<int32_t>(5 * int64_t{stp_contrast});
  params.contrast_divisor = static_cast<int32_t>(128 - 5 * int64_t{stp_contrast});
  return params;
}

void BuildColorTables(ColorTableSet& tables, int32_t& stp_saturation, int monochrome, const ColorParams& params) {
  tables = ColorTableSet{};
  // Monochrome is a saturation of -10, which pulls every channel to the mean of
  // the three; the forced value stays with the job.
  if (monochrome) stp_saturation = -10;

  const int64_t k = params.contrast_offset;
  // For any real contrast option the divisor is never 0; only the 32-bit wrap of
  // 5 x contrast for a contrast near 1.7e9 can reach 0, and that is taken as 1.
  const int64_t d = params.contrast_divisor != 0 ? params.contrast_divisor : 1;
  for (int64_t n = 0; n <= 255; ++n) {
    // Saturation term for a difference of n, truncated toward zero and kept as a
    // signed 16-bit entry (its low 16 bits when the saturation exceeds +-1927).
    // The product is formed in 64 bits, so no saturation value can overflow it.
    const int64_t t = n * stp_saturation / 15;
    tables.clrsatable[256 + n] = static_cast<int16_t>(t);
    tables.clrsatable[256 - n] = static_cast<int16_t>(-t);

    // Contrast: the straight line through (K, 0) and (128, 128), truncated toward
    // zero; in 64 bits the quotient of any 32-bit K and divisor is defined.
    const int64_t q = 128 * (n - k) / d;
    tables.blue[n] = static_cast<uint8_t>(ClampByte(params.bdat + q));
    tables.green[n] = static_cast<uint8_t>(ClampByte(params.gdat + q));
    tables.red[n] = static_cast<uint8_t>(ClampByte(params.rdat + q));
  }
}

void CorrectPixel(uint8_t* pixel, const ColorTableSet& colortable, int bTableRet, const uint8_t* DmapTbl) {
  const auto& sat = colortable.clrsatable;
  const int rdat = pixel[0];
  const int gdat = pixel[1];
  const int bdat = pixel[2];
  // Each channel is pushed away from (or toward) the mean of the other two by the
  // saturation term of its difference; the index stays within 1..511.
  const int btmp = static_cast<int>(ClampByte(bdat + sat[256 + bdat - ((gdat + rdat) >> 1)]));
  const int gtmp = static_cast<int>(ClampByte(gdat + sat[256 + gdat - ((bdat + rdat) >> 1)]));
  const int rtmp = static_cast<int>(ClampByte(rdat + sat[256 + rdat - ((bdat + gdat) >> 1)]));
  pixel[2] = colortable.blue[btmp];
  pixel[1] = colortable.green[gtmp];
  pixel[0] = colortable.red[rtmp];
  if (bTableRet) Change3D(DmapTbl, pixel, pixel + 1, pixel + 2);
}

void ColorCorrection(uint8_t* lpdt, int16_t width, const ColorTableSet& colortable, int bTableRet,
                     const uint8_t* DmapTbl) {
  // Without saturation, tone change or direct map every pixel stays as it
  // is, so the row need not be touched.
  if (!bTableRet && LeavesColoursUnchanged(colortable)) return;
  // Neighbouring pixels of a picture are often equal: a pixel like the one
  // before it gets that pixel's result without working it out again.
  uint8_t last_in[3] = {0, 0, 0}, last_out[3] = {0, 0, 0};
  bool have_last = false;
  for (int x = 0; x < width; ++x) {
    uint8_t* pixel = lpdt + 3 * x;
    if (have_last && pixel[0] == last_in[0] && pixel[1] == last_in[1] && pixel[2] == last_in[2]) {
      pixel[0] = last_out[0], pixel[1] = last_out[1], pixel[2] = last_out[2];
      continue;
    }
    last_in[0] = pixel[0], last_in[1] = pixel[1], last_in[2] = pixel[2];
    CorrectPixel(pixel, colortable, bTableRet, DmapTbl);
    last_out[0] = pixel[0], last_out[1] = pixel[1], last_out[2] = pixel[2];
    have_last = true;
  }
}

RememberingColorCorrection::RememberingColorCorrection(const ColorTableSet& colortable, int bTableRet,
                                                       const uint8_t* DmapTbl)
    : colortable_(colortable),
      bTableRet_(bTableRet),
      DmapTbl_(DmapTbl),
      unchanged_(!bTableRet && LeavesColoursUnchanged(colortable)) {}

void RememberingColorCorrection::operator()(uint8_t* lpdt, int16_t width) {
  if (unchanged_) return;
  for (int x = 0; x < width; ++x) {
    uint8_t* pixel = lpdt + 3 * x;
    const uint32_t input = 1u << 24 | uint32_t{pixel[0]} << 16 | uint32_t{pixel[1]} << 8 | pixel[2];
    // Fibonacci hashing: the top bits of the product spread neighbouring colours.
    const std::size_t slot = (input * 2654435769u) >> 20;
    if (input_[slot] != input) {
      CorrectPixel(pixel, colortable_, bTableRet_, DmapTbl_);
      input_[slot] = input;
      output_[slot] = uint32_t{pixel[0]} << 16 | uint32_t{pixel[1]} << 8 | pixel[2];
      continue;
    }
    const uint32_t output = output_[slot];
    pixel[0] = static_cast<uint8_t>(output >> 16);
    pixel[1] = static_cast<uint8_t>(output >> 8);
    pixel[2] = static_cast<uint8_t>(output);
  }
}

}  // namespace velta
