// Colour adjustment of the RGB page: brightness, contrast, colour balance,
// saturation and monochrome, applied per pixel through tables built per page.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace velta {

// Per-job offsets of the three tone tables and the two terms of the contrast line.
struct ColorParams {
  int32_t bdat, gdat, rdat, contrast_offset, contrast_divisor;
};

// The colour table set of one page: three tone tables (entry v is the output for a
// saturated value v) and clrsatable, whose entry 256 + d is the saturation term for
// a difference d between a channel and the mean of the other two.
struct ColorTableSet {
  std::array<uint8_t, 256> blue, green, red;
  std::array<int16_t, 512> clrsatable;
};
static_assert(sizeof(ColorTableSet) == 1792, "the colour table set is one 1792-byte block");

// Derives the per-job channel offsets and contrast terms from the job's options.
ColorParams ComputeColorParams(int32_t stp_brightness, int32_t stp_contrast, int32_t stp_red, int32_t stp_green,
                               int32_t stp_blue);

// Builds the page's colour table set (written); monochrome forces stp_saturation
// (read and written) to -10, and the caller keeps that value for the rest of the job.
void BuildColorTables(ColorTableSet& tables, int32_t& stp_saturation, int monochrome, const ColorParams& params);

// Tells whether a table set leaves every pixel as it is: saturation terms 0
// and identity tone tables, as the default job (every option 0) builds.
bool LeavesColoursUnchanged(const ColorTableSet& colortable);

// Saturates and tones one pixel (red, green, blue bytes, read and written), then
// maps it through the direct colour map DmapTbl when bTableRet is non-zero.
void CorrectPixel(uint8_t* pixel, const ColorTableSet& colortable, int bTableRet, const uint8_t* DmapTbl);

// Saturates and tones one row of width RGB pixels at lpdt in place, then passes each
// pixel through the direct colour map DmapTbl when bTableRet is non-zero.
void ColorCorrection(uint8_t* lpdt, int16_t width, const ColorTableSet& colortable, int bTableRet,
                     const uint8_t* DmapTbl);

// ColorCorrection for many rows of one page, remembering the results of the
// colours it has met: a photo repeats most of its colours, and a remembered
// pixel costs a table read instead of the whole correction. The bytes are
// those of ColorCorrection. One per thread: it is not safe to share.
class RememberingColorCorrection {
 public:
  RememberingColorCorrection(const ColorTableSet& colortable, int bTableRet, const uint8_t* DmapTbl);
  // Corrects one row of width pixels (counted in 16 bits, as ColorCorrection does).
  void operator()(uint8_t* lpdt, int16_t width);
  // Tells whether the tables change any colour at all.
  bool changes_colours() const { return !unchanged_; }

 private:
  static constexpr std::size_t kEntries = 4096;
  const ColorTableSet& colortable_;
  int bTableRet_;
  const uint8_t* DmapTbl_;
  bool unchanged_;
  // Each entry: the input colour with bit 24 set (0 when empty), and its result.
  std::array<uint32_t, kEntries> input_{};
  std::array<uint32_t, kEntries> output_{};
};

}  // namespace velta
