// A PNG's rows as libpng hands them over, made into 8-bit grey or RGB.
#pragma once

#include <cstdint>

namespace velta {

// Flattens width pixels of channels samples (grey, grey + alpha, RGB or
// RGBA) of bit_depth 8 or 16 (big-endian) from in to 8-bit grey or RGB at
// out: alpha is laid over white at the file's own precision, then 16 bits
// are rounded to 8.
void FlattenPngRow(const uint8_t* in, uint8_t* out, uint32_t width, uint32_t channels, uint32_t bit_depth);

}  // namespace velta
