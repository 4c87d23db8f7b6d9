#include "photo/png_rows.h"

namespace velta {
namespace {

// An 8-bit sample c of coverage a over white, rounded: the largest sum,
// 255 * 255, fits easily.
inline uint8_t OverWhite8(uint32_t c, uint32_t a) {
  return static_cast<uint8_t>((c * a + 255 * (255 - a) + 127) / 255);
}

// The same at 16 bits: c * a + 65535 * (65535 - a) is at most 65535^2, which
// with the rounding half still fits in 32 bits.
inline uint32_t OverWhite16(uint32_t c, uint32_t a) { return (c * a + 65535 * (65535 - a) + 32767) / 65535; }

// A 16-bit sample rounded to the nearest 8-bit one (v / 257 never lies
// half-way between two).
inline uint8_t To8(uint32_t v) { return static_cast<uint8_t>((v * 255 + 32767) / 65535); }

// A big-endian 16-bit sample.
inline uint32_t Sample16(const uint8_t* at) { return uint32_t{at[0]} << 8 | at[1]; }

}  // namespace

// Flattens width pixels to 8-bit grey or RGB.
void FlattenPngRow(const uint8_t* in, uint8_t* out, uint32_t width, uint32_t channels, uint32_t bit_depth) {
  const bool alpha = channels == 2 || channels == 4;
  const uint32_t colours = alpha ? channels - 1 : channels;
  if (bit_depth == 8) {
    for (uint32_t x = 0; x < width; ++x, in += channels, out += colours) {
      const uint32_t a = alpha ? in[colours] : 255;
      for (uint32_t c = 0; c < colours; ++c) out[c] = OverWhite8(in[c], a);
    }
    return;
  }
  for (uint32_t x = 0; x < width; ++x, in += channels * 2, out += colours) {
    const uint32_t a = alpha ? Sample16(in + colours * 2) : 65535;
    for (uint32_t c = 0; c < colours; ++c) out[c] = To8(OverWhite16(Sample16(in + c * 2), a));
  }
}

}  // namespace velta
