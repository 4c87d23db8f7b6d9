// Deterministic RGB test pictures for raster streams.
#include "raster_patterns.h"

namespace velta::mkraster {

namespace {

// Scales position p of n (0..n-1) to 0..255 without overflow for any n.
uint8_t Ramp(uint64_t p, uint64_t n) { return n <= 1 ? 0 : static_cast<uint8_t>(p * 255 / (n - 1)); }

// Smooth colour ramps: red across, green down, blue along the diagonal.
void GradientPixel(uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint8_t rgb[3]) {
  rgb[0] = Ramp(x, w);
  rgb[1] = Ramp(y, h);
  rgb[2] = Ramp(uint64_t{x} + y, uint64_t{w} + h - 1);
}

// A photo-like picture: a soft sky-to-ground background, a dark frame with hard
// edges, a black-and-white bar of fine detail and a shaded skin-tone oval.
void PhotoPixel(uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint8_t rgb[3]) {
  const uint8_t down = Ramp(y, h);
  const uint8_t across = Ramp(x, w);
  rgb[0] = static_cast<uint8_t>(90 + down / 2);  // warm towards the bottom
  rgb[1] = static_cast<uint8_t>(140 + across / 4);
  rgb[2] = static_cast<uint8_t>(230 - down * 3 / 4);  // blue sky on top

  // Coordinates in 1/1000 of the picture.
  const uint64_t u = w > 0 ? uint64_t{x} * 1000 / w : 0;
  const uint64_t v = h > 0 ? uint64_t{y} * 1000 / h : 0;

  // A dark rectangle frame: sharp edges in both directions.
  const bool in_outer = u >= 80 && u < 420 && v >= 80 && v < 420;
  const bool in_inner = u >= 110 && u < 390 && v >= 110 && v < 390;
  if (in_outer && !in_inner) rgb[0] = rgb[1] = rgb[2] = 30;

  // A bar of alternating black and white 2-pixel stripes: fine detail.
  if (v >= 880 && v < 930) rgb[0] = rgb[1] = rgb[2] = ((x / 2) % 2) ? 255 : 0;

  // A skin-tone oval, lighter in its upper left, like a lit face.
  const int64_t du = static_cast<int64_t>(u) - 650;
  const int64_t dv = static_cast<int64_t>(v) - 500;
  const int64_t r2 = du * du * 4 + dv * dv * 2;  // oval, taller than wide
  if (r2 < 200 * 200 * 2) {
    const int shade = static_cast<int>((du + dv) / 20);  // -15..15 across the oval
    rgb[0] = static_cast<uint8_t>(224 - shade);
    rgb[1] = static_cast<uint8_t>(172 - shade);
    rgb[2] = static_cast<uint8_t>(140 - shade);
  }
}

}  // namespace

void PicturePixel(const PictureSource& source, uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                  uint8_t rgb[3]) {
  if (source.png_rgb != nullptr) {
    if (x < source.png_width && y < source.png_height) {
      const uint8_t* p = source.png_rgb->data() + (uint64_t{y} * source.png_width + x) * 3;
      rgb[0] = p[0], rgb[1] = p[1], rgb[2] = p[2];
    } else {
      rgb[0] = rgb[1] = rgb[2] = 255;
    }
    return;
  }
  switch (source.pattern) {
    case Pattern::Solid:
      rgb[0] = source.solid[0], rgb[1] = source.solid[1], rgb[2] = source.solid[2];
      return;
    case Pattern::Gradient:
      GradientPixel(x, y, width, height, rgb);
      return;
    case Pattern::Photo:
      PhotoPixel(x, y, width, height, rgb);
      return;
  }
}

bool ParsePattern(const std::string& name, Pattern& pattern) {
  if (name == "solid")
    pattern = Pattern::Solid;
  else if (name == "gradient")
    pattern = Pattern::Gradient;
  else if (name == "photo")
    pattern = Pattern::Photo;
  else
    return false;
  return true;
}

}  // namespace velta::mkraster
