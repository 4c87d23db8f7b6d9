// A plain, pixel-by-pixel account of the printer's colour correction: the
// colour adjustment and the direct colour map. Worked out from the formulas,
// with no tables and none of the filter's own colour code, so that it can
// serve as the expected result.
#pragma once

#include <cstdint>

namespace velta::reference {

// The job's picture settings as the printer resolves them.
struct PictureOptions {
  int32_t brightness = 0;
  int32_t contrast = 0;
  int32_t saturation = 0;
  int32_t red = 0;
  int32_t green = 0;
  int32_t blue = 0;
  int32_t resize = 0;
  int32_t sharpness = 0;
  bool directmap = false;
  bool monochrome = false;
  bool high_quality = false;
};

// The colour adjustment of one job: brightness and balance offsets, contrast
// line, saturation against the other two channels. Computed per pixel from the
// formulas, with no tables.
class ColourAdjustment {
 public:
  // The adjustment for options (read); monochrome prints with saturation -10.
  explicit ColourAdjustment(const PictureOptions& options);
  // Adjusts the red, green, blue bytes of one pixel in place.
  void Apply(uint8_t* rgb) const;

  // Per-channel offsets, for the record in failure messages.
  int red_offset() const { return red_offset_; }
  int green_offset() const { return green_offset_; }
  int blue_offset() const { return blue_offset_; }

 private:
  // The saturation term for a channel standing d above the mean of the other two.
  int SaturationTerm(int d) const;
  // The tone curve: the contrast line through (K, 0) and (128, 128), moved by offset.
  int Tone(int n, int offset) const;

  int red_offset_, green_offset_, blue_offset_;
  int contrast_offset_, contrast_divisor_;
  int saturation_;
};

// Maps the red, green, blue bytes of one pixel through a 9 x 9 x 9 grid of output
// colours (table read, 2187 bytes), interpolated over the tetrahedron of the cell
// that the pixel's position inside the cell picks.
void MapThroughGrid(const uint8_t* table, uint8_t* rgb);

}  // namespace velta::reference
