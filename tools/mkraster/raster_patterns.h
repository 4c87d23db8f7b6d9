// Deterministic RGB test pictures for raster streams.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velta::mkraster {

// The synthetic pictures the raster maker can draw.
enum class Pattern { Solid, Gradient, Photo };

// A picture to draw: a pattern, or the pixels of a PNG file.
struct PictureSource {
  Pattern pattern = Pattern::Solid;
  uint8_t solid[3] = {255, 255, 255};             // colour of the Solid pattern
  const std::vector<uint8_t>* png_rgb = nullptr;  // RGB rows of a PNG, or nullptr
  uint32_t png_width = 0;
  uint32_t png_height = 0;
};

// Writes the RGB value of pixel (x, y) of a width x height picture into rgb.
// PNG pixels outside the file's picture are white.
void PicturePixel(const PictureSource& source, uint32_t x, uint32_t y, uint32_t width, uint32_t height, uint8_t rgb[3]);

// Parses "solid", "gradient" or "photo"; false for anything else.
bool ParsePattern(const std::string& name, Pattern& pattern);

}  // namespace velta::mkraster
