// The resampler's loops, each written once as a plain loop over a row and
// inlined into one function per instruction set, which the compiler
// vectorises. Integer arithmetic only: every build gives the same bytes.
#include "photo/photo_resample_kernels.h"

#include <algorithm>

#include "cpu/isa_target.h"

namespace velta {
namespace {

#define VELTA_INLINE [[gnu::always_inline]] inline

// Sums the weighted rows, two taps at a time so that each pass over the sums
// adds two rows. In 32 bits: a middle value (at most 32767) times weights
// of at most 1.6 units in magnitude stays below 2^31.
template <typename Source>
VELTA_INLINE void WeighBody(const Source* __restrict first_row, std::size_t row_step, const int16_t* __restrict weights,
                            uint32_t taps, std::size_t n, int32_t* __restrict sums) {
  {
    const int32_t w = weights[0];
    for (std::size_t i = 0; i < n; ++i) sums[i] = w * first_row[i];
  }
  uint32_t t = 1;
  for (; t + 1 < taps; t += 2) {
    const Source* __restrict a = first_row + t * row_step;
    const Source* __restrict b = a + row_step;
    const int32_t wa = weights[t], wb = weights[t + 1];
    for (std::size_t i = 0; i < n; ++i) sums[i] += wa * a[i] + wb * b[i];
  }
  if (t < taps) {
    const Source* __restrict a = first_row + t * row_step;
    const int32_t wa = weights[t];
    for (std::size_t i = 0; i < n; ++i) sums[i] += wa * a[i];
  }
}

// Drops the bits below the middle precision, rounding. Lanczos-3 weights
// quantised as the tables are add up to at most 1.6 units in magnitude, so a
// middle value stays within 255 x 1.6 x 64 and the clamp never bites; it
// only makes the narrowing safe by construction.
VELTA_INLINE void NarrowBody(const int32_t* __restrict sums, std::size_t n, int16_t* __restrict out) {
  constexpr int shift = kWeightBits - kMidBits;
  for (std::size_t i = 0; i < n; ++i) {
    const int32_t v = (sums[i] + (1 << (shift - 1))) >> shift;
    out[i] = static_cast<int16_t>(std::clamp(v, -32768, 32767));
  }
}

// The final rounding: the weights of both passes and the middle bits go.
VELTA_INLINE uint8_t ToByte(int32_t sum) {
  constexpr int shift = kWeightBits + kMidBits;
  return static_cast<uint8_t>(std::clamp((sum + (1 << (shift - 1))) >> shift, 0, 255));
}

// Rounds and clamps each sum to a byte.
VELTA_INLINE void StoreRowBody(const int32_t* __restrict sums, std::size_t n, uint8_t* __restrict out) {
  for (std::size_t i = 0; i < n; ++i) out[i] = ToByte(sums[i]);
}

// Stamps out the loops of one instruction set.
#define VELTA_PHOTO_KERNELS(NAME, TARGET)                                                                        \
  namespace NAME {                                                                                               \
  TARGET void WeighBytes(const uint8_t* first_row, std::size_t row_bytes, const int16_t* weights, uint32_t taps, \
                         std::size_t n, int32_t* sums) {                                                         \
    WeighBody(first_row, row_bytes, weights, taps, n, sums);                                                     \
  }                                                                                                              \
  TARGET void Narrow(const int32_t* sums, std::size_t n, int16_t* out) { NarrowBody(sums, n, out); }             \
  TARGET void WeighMid(const int16_t* first_row, std::size_t row_step, const int16_t* weights, uint32_t taps,    \
                       std::size_t n, int32_t* sums) {                                                           \
    WeighBody(first_row, row_step, weights, taps, n, sums);                                                      \
  }                                                                                                              \
  TARGET void StoreRow(const int32_t* sums, std::size_t n, uint8_t* out) { StoreRowBody(sums, n, out); }         \
  constexpr PhotoResampleKernels KERNELS{WeighBytes, Narrow, WeighMid, StoreRow};                                \
  }

VELTA_PHOTO_KERNELS(portable, )
#if VELTA_ISA_TARGETS
VELTA_PHOTO_KERNELS(avx2, VELTA_AVX2_TARGET)
VELTA_PHOTO_KERNELS(avx512, VELTA_AVX512_TARGET)
#endif

}  // namespace

const PhotoResampleKernels& ActivePhotoResampleKernels() {
#if VELTA_ISA_TARGETS
  return KernelsOf(CurrentVariant().isa, portable::KERNELS, &avx2::KERNELS, &avx512::KERNELS);
#else
  return KernelsOf<PhotoResampleKernels>(CurrentVariant().isa, portable::KERNELS, nullptr, nullptr);
#endif
}

}  // namespace velta
