// A plain, pixel-by-pixel account of what the printer does to a picture before
// it is rendered: the colour adjustment, the direct colour map, the enlargement
// and the reduction. Written for clarity, not speed, and kept apart from the
// filter's own colour code so that it can serve as the expected result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velta::expected {

// A picture laid out like the filter's page buffer: width x height pixels of
// red, green, blue bytes, rows (3 width + 3) & ~3 bytes apart.
struct Picture {
  int width = 0;
  int height = 0;
  int stride = 0;
  std::vector<uint8_t> bytes;

  // A white picture of the given size.
  Picture(int w, int h);
  // The three bytes of pixel (x, y), written or read.
  uint8_t* pixel(int x, int y) { return bytes.data() + static_cast<std::size_t>(y) * stride + 3 * x; }
  const uint8_t* pixel(int x, int y) const { return bytes.data() + static_cast<std::size_t>(y) * stride + 3 * x; }
};

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

// Enlarges the picture by magnification percent (1 or more) in both directions
// and keeps the centre, by bilinear interpolation in double precision.
void Enlarge(Picture& picture, int32_t magnification);

// Reduces the picture by magnification percent (-1 to -99) in both directions by
// exact area averaging and places it in the centre of a white page.
void Reduce(Picture& picture, int32_t magnification);

}  // namespace velta::expected
