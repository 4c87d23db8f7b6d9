// Test rasters: PWG raster files of a photo-like picture written for the app
// and the filter alike, a PNG for the app, and raster files read back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/picture.h"

namespace velta::test {

// One page of a test raster: its size, NumCopies and the rows that carry the
// picture (white elsewhere).
struct RasterPage {
  uint32_t width = 1800;
  uint32_t height = 2492;
  uint32_t NumCopies = 1;
  uint32_t first_picture_row = 0;
  uint32_t end_picture_row = UINT32_MAX;  // one past the last picture row
  uint32_t seed = 1;                      // varies the picture between pages
};

// Writes pages of an 8-bit sRGB PWG raster to path: a photo-like picture of
// gradients, a skin-coloured disc and fine noise, the same for the same page.
bool WritePwgRaster(const std::string& path, const RasterPage* pages, int count);

// Writes a 600 x 400 RGB PNG of colour bands to path.
bool WriteTestPng(const std::string& path);

// The pages of an 8-bit chunky RGB CUPS or PWG raster file, rows copied into
// the page buffer layout, so that a test knows exactly which pixels the filter
// was given. Throws on any other raster.
std::vector<Picture> ReadRasterPages(const std::string& path);

}  // namespace velta::test
