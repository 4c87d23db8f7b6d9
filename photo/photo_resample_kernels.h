// The loops of the photo resampler, one table of them per instruction set
// (cpu/cpu_variant.h); every table computes the same bytes, in integers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cpu/cpu_variant.h"

namespace velta {

// Weights are fixed-point numbers whose taps sum to exactly kWeightUnit; the
// values between the two passes keep kMidBits bits below the 8-bit level.
inline constexpr int kWeightBits = 14;
inline constexpr int32_t kWeightUnit = 1 << kWeightBits;
inline constexpr int kMidBits = 6;

struct PhotoResampleKernels {
  // sums[i] = the sum over t < taps of weights[t] x first_row[t x row_bytes + i], for i < n.
  void (*weigh_bytes)(const uint8_t* first_row, std::size_t row_bytes, const int16_t* weights, uint32_t taps,
                      std::size_t n, int32_t* sums);
  // Rounds the n sums of weigh_bytes to the passes' middle precision, out[i].
  void (*narrow)(const int32_t* sums, std::size_t n, int16_t* out);
  // sums[i] = the sum over t < taps of weights[t] x first_row[t x row_step + i], for i < n.
  void (*weigh_mid)(const int16_t* first_row, std::size_t row_step, const int16_t* weights, uint32_t taps,
                    std::size_t n, int32_t* sums);
  // Rounds and clamps the n sums of weigh_mid to bytes, out[i].
  void (*store_row)(const int32_t* sums, std::size_t n, uint8_t* out);
};

// Returns the loops of the variant chosen now (CurrentVariant).
const PhotoResampleKernels& ActivePhotoResampleKernels();

}  // namespace velta
