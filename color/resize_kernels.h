// The per-pixel loops of the resizing, one table of them per instruction set:
// the portable baseline and, on x86-64, AVX2 and AVX-512. The current variant
// (cpu/cpu_variant.h) picks the table; every table computes the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "color/row_reduction_blocks.h"
#include "cpu/cpu_variant.h"

namespace velta {

// The loops of one instruction set.
struct ResizeKernels {
  // The instruction set they are built for.
  Isa isa;
  // Whether the passes along a row pick their byte pairs 32 bytes at a time
  // (color/byte_pair_blocks.h): only in the AVX-512 table, when this compiler
  // builds the blocks.
  bool bytePairBlocks;
  // Reduces targetWidth pixels of a row across, each the multiplied mean of
  // its two overlapped pixels (pairs[j] for target pixel j).
  void (*reduceRowByPairs)(const uint8_t* source, const PairOverlap* pairs, std::size_t targetWidth,
                           uint64_t multiplier, uint8_t* target);
  // Writes (sums[i] x multiplier) >> 32 of the n sums of a multiplied pass
  // down to out.
  void (*meansOf)(const uint32_t* sums, std::size_t n, uint64_t multiplier, uint8_t* out);
  // Adds units times each of the n bytes of source to sums.
  void (*addWeighted)(const uint8_t* source, uint32_t units, std::size_t n, uint32_t* sums);
  // Spreads a source row over `pixels` output pixels: for each byte, the
  // source byte of the pixel at leftPixel (a byte offset) and the step to the
  // same byte of the pixel at rightPixel.
  void (*expandRow)(const uint8_t* row, const uint32_t* leftPixel, const uint32_t* rightPixel, std::size_t pixels,
                    uint8_t* left, int16_t* across);
  // Interpolates `bytes` output bytes between two expanded source rows, y2 of
  // the way from the upper to the lower, byteFraction[i] of the way across.
  void (*interpolateRow)(const uint8_t* upperLeft, const int16_t* upperAcross, const uint8_t* lowerLeft,
                         const int16_t* lowerAcross, double y2, const double* byteFraction, std::size_t bytes,
                         uint8_t* out);
};

// Returns the loops of an instruction set; the caller checks that the
// machine has it (IsaAvailable).
const ResizeKernels& ResizeKernelsFor(Isa isa);

// Returns the loops of the variant chosen now (CurrentVariant).
const ResizeKernels& ActiveResizeKernels();

// The mean of one channel of a target pixel from its two overlapped pixels,
// summed in 32 bits (at most 255 x 4096 for a multiplied mean).
[[gnu::always_inline]] inline uint8_t PairMean(const uint8_t* source, const PairOverlap& pair, std::size_t channel,
                                               uint64_t multiplier) {
  const uint32_t sum = pair.units[0] * source[3 * std::size_t{pair.source[0]} + channel] +
                       pair.units[1] * source[3 * std::size_t{pair.source[1]} + channel];
  return static_cast<uint8_t>((uint64_t{sum} * multiplier) >> 32);
}

}  // namespace velta
