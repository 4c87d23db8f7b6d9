#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The sharpness filter: an unsharp mask over the same colour channel of the
// 5 x 5 pixels around a byte of the page buffer, gentle on skin tones and
// stronger everywhere else. Values are fixed point in units of 1/1024.
namespace velta {

// Contributions of red (block 0), green (block 1) and blue (block 2) value v
// to a pixel's luminance, Cb and Cr: coefficient x 1024 x v, rounded.
extern const std::array<int32_t, 768> Y_TableInt;
extern const std::array<int32_t, 768> Cb_TableInt;
extern const std::array<int32_t, 768> Cr_TableInt;

// Unsharp-mask gains per sharpness index 0..8: gentle for face pixels,
// strong for the background.
extern const std::array<int32_t, 9> WeightFace6k;
extern const std::array<int32_t, 9> WeightBack6k;

// Tells whether the luminance and colour-difference sums of a pixel fall in
// the skin-tone window that is sharpened gently.
constexpr bool IsFaceWindow(int32_t luminance, int32_t Cb, int32_t Cr) {
  return luminance >= 90001 && luminance <= 255999 && Cb > -40000 && Cb < -9000 && Cr > 1024 && Cr <= 54999;
}

// Tells whether the pixel (red, green, blue) is a face pixel.
bool IsFacePixel(uint8_t red, uint8_t green, uint8_t blue);

// Returns the sharpened value (0..255) of byte x of row y of the page buffer
// lpBits (h rows of w pixels, row stride (3w + 3) & ~3) at sharpness index s.
// Bytes within two pixels or three rows of the page's edge come back
// unchanged, and so does every byte when s is outside 1..8.
// y must lie in 0..h-1 and x in 0..3w-1.
int ChangeSharpness(const uint8_t* lpBits, int y, int x, int h, int w, int16_t s);

// Writes the sharpened values of all 3w bytes of row y to out, exactly as
// ChangeSharpness gives them byte by byte, testing the face window once per
// pixel.
void SharpenRow(const uint8_t* lpBits, std::size_t y, std::size_t h, std::size_t w, int s, uint8_t* out);

}  // namespace velta
