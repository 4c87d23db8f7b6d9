// The row kernel of the colour correction, one per instruction set: the
// portable baseline and, on x86-64, AVX2 and AVX-512. The current variant
// (cpu/cpu_variant.h) picks the table; every table computes the bytes of
// ColorCorrection.
#pragma once

#include <cstddef>
#include <cstdint>

#include "color/colour_lookups.h"
#include "cpu/cpu_variant.h"

namespace velta {

// The kernel of one instruction set.
struct ColourRowKernels {
  // The instruction set it is built for.
  Isa isa;
  // Saturates and tones the width RGB pixels at row in place and, when the
  // lookups say so, maps them through the direct map; the bytes after the
  // row are neither read nor written.
  void (*correctRow)(uint8_t* row, std::size_t width, const ColourLookups& lookups);
};

// Returns the kernel of an instruction set; the caller checks that the
// machine has it (IsaAvailable).
const ColourRowKernels& ColourRowKernelsFor(Isa isa);

}  // namespace velta
