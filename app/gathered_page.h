// A raster page that is not one of the printer's sheets, gathered whole so
// that it can be placed on the job's sheet as a photo is.
#pragma once

#include <cstdint>
#include <string>

#include "photo/photo_image.h"

namespace velta {

class GatheredPage {
 public:
  // Takes the memory for a width x height page at x_dpi x y_dpi, white.
  // Pixels that are not square are made square by repeating each row (or
  // column) a whole number of times, as CUPS's draft pages at 300 x 150 dpi
  // need. False, with problem set, for another resolution, a page beyond the
  // photo limits, or memory that is not there.
  bool Begin(uint32_t width, uint32_t height, uint32_t x_dpi, uint32_t y_dpi, std::string& problem);

  // Stores row y of the page: width pixels of RGB.
  void AddRow(uint32_t y, const uint8_t* rgb);

  // The page as a photo in its stored orientation, at its square resolution.
  const PhotoImage& image() const { return image_; }

  // Gives the memory back.
  void Release() { image_ = PhotoImage(); }

 private:
  PhotoImage image_;
  uint32_t width_ = 0;  // pixels a row arrives with
  uint32_t row_repeat_ = 1;
  uint32_t column_repeat_ = 1;
};

}  // namespace velta
