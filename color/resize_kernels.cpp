// The per-pixel loops of the resizing. Each body below is written once as a
// plain loop and inlined into one function per instruction set, which the
// compiler vectorises for that set. The loops do integer arithmetic and, in
// the interpolation, double products and sums each rounded on its own (no
// contraction into fused multiply-adds), so every build computes the same
// bytes.
#include "color/resize_kernels.h"

#include <algorithm>

#include "color/byte_pair_blocks.h"
#include "cpu/isa_target.h"

namespace velta {
namespace {

#define VELTA_INLINE [[gnu::always_inline]] inline

VELTA_INLINE void ReduceRowByPairsBody(const uint8_t* __restrict source, const PairOverlap* __restrict pairs,
                                       std::size_t targetWidth, uint64_t multiplier, uint8_t* __restrict target) {
  for (std::size_t j = 0; j < targetWidth; ++j) {
    for (std::size_t c = 0; c < 3; ++c) target[3 * j + c] = PairMean(source, pairs[j], c, multiplier);
  }
}

VELTA_INLINE void MeansOfBody(const uint32_t* __restrict sums, std::size_t n, uint64_t multiplier,
                              uint8_t* __restrict out) {
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>((uint64_t{sums[i]} * multiplier) >> 32);
}

VELTA_INLINE void AddWeightedBody(const uint8_t* __restrict source, uint32_t units, std::size_t n,
                                  uint32_t* __restrict sums) {
  for (std::size_t i = 0; i < n; ++i) sums[i] += units * source[i];
}

VELTA_INLINE void ExpandRowBody(const uint8_t* __restrict row, const uint32_t* __restrict leftPixel,
                                const uint32_t* __restrict rightPixel, std::size_t pixels, uint8_t* __restrict left,
                                int16_t* __restrict across) {
  for (std::size_t m = 0; m < pixels; ++m) {
    const uint8_t* here = row + leftPixel[m];
    const uint8_t* next = row + rightPixel[m];
    for (std::size_t c = 0; c < 3; ++c) {
      left[3 * m + c] = here[c];
      across[3 * m + c] = static_cast<int16_t>(next[c] - here[c]);
    }
  }
}

// For each byte, the integer differences of its four neighbours, then the
// three products and p00 added left to right in double precision and
// truncated toward zero.
VELTA_INLINE void InterpolateRowBody(const uint8_t* __restrict upperLeft, const int16_t* __restrict upperAcross,
                                     const uint8_t* __restrict lowerLeft, const int16_t* __restrict lowerAcross,
                                     double y2, const double* __restrict byteFraction, std::size_t bytes,
                                     uint8_t* __restrict out) {
  for (std::size_t i = 0; i < bytes; ++i) {
    const int p00 = upperLeft[i];
    const int across = upperAcross[i];          // p10 - p00
    const int down = lowerLeft[i] - p00;        // p01 - p00
    const int cross = lowerAcross[i] - across;  // p00 - p10 - p01 + p11
    const double x2 = byteFraction[i];
    const double x2y2 = x2 * y2;
    const double value = static_cast<double>(cross) * x2y2 + static_cast<double>(across) * x2 +
                         static_cast<double>(down) * y2 + static_cast<double>(p00);
    out[i] = static_cast<uint8_t>(std::min(std::max(static_cast<int>(value), 0), 255));
  }
}

// Stamps out the loops of one instruction set: each is a call of its body,
// inlined and vectorised under the given target attribute.
#define VELTA_RESIZE_KERNELS(NAME, ISA, TARGET, PAIR_BLOCKS)                                                           \
  namespace NAME {                                                                                                     \
  TARGET void ReduceRowByPairs(const uint8_t* source, const PairOverlap* pairs, std::size_t targetWidth,               \
                               uint64_t multiplier, uint8_t* target) {                                                 \
    ReduceRowByPairsBody(source, pairs, targetWidth, multiplier, target);                                              \
  }                                                                                                                    \
  TARGET void MeansOf(const uint32_t* sums, std::size_t n, uint64_t multiplier, uint8_t* out) {                        \
    MeansOfBody(sums, n, multiplier, out);                                                                             \
  }                                                                                                                    \
  TARGET void AddWeighted(const uint8_t* source, uint32_t units, std::size_t n, uint32_t* sums) {                      \
    AddWeightedBody(source, units, n, sums);                                                                           \
  }                                                                                                                    \
  TARGET void ExpandRow(const uint8_t* row, const uint32_t* leftPixel, const uint32_t* rightPixel, std::size_t pixels, \
                        uint8_t* left, int16_t* across) {                                                              \
    ExpandRowBody(row, leftPixel, rightPixel, pixels, left, across);                                                   \
  }                                                                                                                    \
  TARGET void InterpolateRow(const uint8_t* upperLeft, const int16_t* upperAcross, const uint8_t* lowerLeft,           \
                             const int16_t* lowerAcross, double y2, const double* byteFraction, std::size_t bytes,     \
                             uint8_t* out) {                                                                           \
    InterpolateRowBody(upperLeft, upperAcross, lowerLeft, lowerAcross, y2, byteFraction, bytes, out);                  \
  }                                                                                                                    \
  constexpr ResizeKernels KERNELS{                                                                                     \
      ISA, PAIR_BLOCKS, ReduceRowByPairs, MeansOf, AddWeighted, ExpandRow, InterpolateRow};                            \
  }

VELTA_RESIZE_KERNELS(portable, Isa::Portable, , false)
#if VELTA_ISA_TARGETS
VELTA_RESIZE_KERNELS(avx2, Isa::Avx2, VELTA_AVX2_TARGET, false)
VELTA_RESIZE_KERNELS(avx512, Isa::Avx512, VELTA_AVX512_TARGET, VELTA_BYTE_PAIR_BLOCKS != 0)
#endif

}  // namespace

const ResizeKernels& ResizeKernelsFor(Isa isa) {
#if VELTA_ISA_TARGETS
  return KernelsOf(isa, portable::KERNELS, &avx2::KERNELS, &avx512::KERNELS);
#else
  return KernelsOf<ResizeKernels>(isa, portable::KERNELS, nullptr, nullptr);
#endif
}

const ResizeKernels& ActiveResizeKernels() { return ResizeKernelsFor(CurrentVariant().isa); }

}  // namespace velta
