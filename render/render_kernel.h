#pragma once

#include <cstddef>
#include <cstdint>

#include "cpu/cpu_variant.h"
#include "render/smear_step.h"

// The row kernels of the head data rendering: one source, compiled for the
// portable baseline and, on x86-64, for AVX2 and AVX-512. Every variant gives
// the same bytes; only the speed differs.
namespace velta {

// The across-row smoothing of one row's histories, a chain per channel that
// runs along the row: the last three smoothed entries before the next one
// (oldest first).
struct SmoothingChain {
  int32_t middleBefore[3];
  int32_t longBefore[3];
  bool started;  // false until the first step, which reads the three entries before it
};

// Scratch rows a sharpening kernel works in, 3w entries each.
struct SharpenScratch {
  uint16_t* columnSums;   // same-channel sums of five rows
  int16_t* byteWeights;   // the unsharp-mask gain of each byte's pixel
  int16_t* pixelWeights;  // the same, one entry per pixel (w entries)
};

// The kernels of one instruction set.
struct RowKernels {
  // The instruction set they are built for.
  Isa isa;
  // Regenerates and tempers the generator state (mt, *mti; seeded) into
  // count 32-bit numbers.
  void (*generate)(uint32_t* mt, int* mti, uint32_t* out, std::size_t count);
  // The same, keeping only the low 11 bits that dither the head data.
  void (*generateDither)(uint32_t* mt, int* mti, uint16_t* out, std::size_t count);
  // Writes the sharpened bytes of row y of the page (h rows of w pixels,
  // row stride `stride`) at sharpness index s (1..8) to out.
  void (*sharpen)(const uint8_t* page, std::size_t stride, std::size_t y, std::size_t h, std::size_t w, int s,
                  uint8_t* out, const SharpenScratch& scratch);
  // Packs the tone of each of the 3w bytes of row through toneTable (768
  // entries of PackTone, indexed 256 c + v).
  void (*tone)(const uint8_t* row, std::size_t w, const uint16_t* toneTable, uint16_t* out);
  // Smears bytes begin..end-1 of a row: histories updated in place, the
  // energy clamped to 0..255 into out.
  void (*smear)(const uint16_t* tone, const uint16_t* dither, int32_t* MiddleHistory, int32_t* LongHistory,
                uint8_t* out, std::size_t begin, std::size_t end, const SmearConstants& k);
  // Spreads the 3w interleaved bytes of a row over the three channel rows.
  void (*split)(const uint8_t* row, std::size_t w, uint8_t* channel0, uint8_t* channel1, uint8_t* channel2);
  // Smooths history entries firstBegin..firstEnd-1 of one row and, when
  // second is not null, secondBegin..secondEnd-1 of the next: each entry
  // becomes (weight x the entry three before, already smoothed, + centre x
  // its own smeared value + side x that of the entry three on) >> 10; the
  // weights are 310, 404 and 310 for the long history, MWideWeight,
  // 1024 - 2 MWideWeight and MWideWeight for the middle one. Every entry up
  // to two past each range's end holds its smeared value.
  void (*chains)(int32_t* MiddleHistory, int32_t* LongHistory, int32_t MWideWeight, SmoothingChain& first,
                 std::size_t firstBegin, std::size_t firstEnd, SmoothingChain* second, std::size_t secondBegin,
                 std::size_t secondEnd);
};

// Returns the kernels of an instruction set; the caller checks that the
// machine has it (IsaAvailable).
const RowKernels& KernelsFor(Isa isa);

// Returns the kernels of the variant chosen now (CurrentVariant).
const RowKernels& ActiveKernels();

}  // namespace velta
