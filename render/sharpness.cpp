#include "render/sharpness.h"

#include <cstring>

namespace velta {
namespace {

// Returns the page buffer's row stride: 3 bytes a pixel, rounded up to 4.
constexpr std::size_t RowStride(std::size_t w) { return (3 * w + 3) & ~static_cast<std::size_t>(3); }

// Returns the unsharp-masked value of the byte at centre: the byte pushed
// away from the mean of the same channel of the 5 x 5 pixels around it by
// weight/1024 of the difference, clamped to 0..255.
inline int UnsharpMask(const uint8_t* centre, std::ptrdiff_t stride, int32_t weight) {
  int32_t sum = 0;
  for (std::ptrdiff_t dy = -2; dy <= 2; ++dy) {
    const uint8_t* row = centre + dy * stride;
    sum += row[-6] + row[-3] + row[0] + row[3] + row[6];
  }
  const int32_t mean = sum / 25;
  const int32_t c = *centre;
  const int32_t V = c * 1024 + (c - mean) * weight;
  if (V < 0) return 0;
  if (V > 261120) return 255;
  return V >> 10;
}

// Returns the gain for a pixel at sharpness index s (1..8).
inline int32_t PixelWeight(const uint8_t* pixel, int s) {
  return IsFacePixel(pixel[0], pixel[1], pixel[2]) ? WeightFace6k[s] : WeightBack6k[s];
}

}  // namespace

bool IsFacePixel(uint8_t red, uint8_t green, uint8_t blue) {
  const int32_t luminance = Y_TableInt[red] + Y_TableInt[256 + green] + Y_TableInt[512 + blue];
  const int32_t Cb = Cb_TableInt[red] + Cb_TableInt[256 + green] + Cb_TableInt[512 + blue];
  const int32_t Cr = Cr_TableInt[red] + Cr_TableInt[256 + green] + Cr_TableInt[512 + blue];
  return IsFaceWindow(luminance, Cb, Cr);
}

int ChangeSharpness(const uint8_t* lpBits, int y, int x, int h, int w, int16_t s) {
  const auto stride = static_cast<std::ptrdiff_t>(RowStride(static_cast<std::size_t>(w)));
  const std::ptrdiff_t iImagePos = static_cast<std::ptrdiff_t>(y) * stride + x;
  // The first and last three rows and the first and last two pixels of a row
  // lack a full 5 x 5 neighbourhood: they print as they are. The comparisons
  // are on plain integers, so a page lower than 7 rows or narrower than 3
  // pixels is border everywhere.
  const int64_t row = y, byte = x;
  const bool border = row < 3 || byte < 6 || row >= int64_t{h} - 3 || byte >= 3 * int64_t{w} - 6;
  if (border || s < 1 || s > 8) return lpBits[iImagePos];
  const uint8_t* centre = lpBits + iImagePos;
  return UnsharpMask(centre, stride, PixelWeight(centre - x % 3, s));
}

void SharpenRow(const uint8_t* lpBits, std::size_t y, std::size_t h, std::size_t w, int s, uint8_t* out) {
  const std::size_t stride = RowStride(w);
  const uint8_t* row = lpBits + y * stride;
  std::memcpy(out, row, 3 * w);
  if (y < 3 || y + 3 >= h || s < 1 || s > 8) return;
  for (std::size_t p = 2; p + 2 < w; ++p) {
    const uint8_t* pixel = row + 3 * p;
    const int32_t weight = PixelWeight(pixel, s);
    for (std::size_t c = 0; c < 3; ++c) {
      out[3 * p + c] = static_cast<uint8_t>(UnsharpMask(pixel + c, static_cast<std::ptrdiff_t>(stride), weight));
    }
  }
}

}  // namespace velta
