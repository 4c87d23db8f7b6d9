#pragma once

#include <vector>

// Which build of the vector kernels runs (the row kernels of the head data and
// the colour stages' resizing alike), and on how many threads. Every choice
// gives the same bytes. The default is the fastest instruction set the
// processor has and two threads; the environment variables VELTA_ISA
// (portable, avx2, avx512) and VELTA_THREADS (1, 2) override it, and tests and
// benchmarks set it directly. This is the only place that asks the processor
// what it can do: each stage looks its kernels up from the variant.
namespace velta {

enum class Isa { Portable, Avx2, Avx512 };

struct CpuVariant {
  Isa isa = Isa::Portable;
  int threads = 1;  // 1 or 2
};

// Tells whether this build and this processor can run the instruction set.
bool IsaAvailable(Isa isa);

// Returns the name of an instruction set ("portable", "avx2", "avx512").
const char* IsaName(Isa isa);

// Returns every instruction set this build and processor can run, the
// portable one first.
std::vector<Isa> AvailableIsas();

// Returns the fastest available instruction set with two threads.
CpuVariant BestVariant();

// Returns the variant in use: the last one set, else the environment's, else
// the best.
CpuVariant CurrentVariant();

// Chooses the variant for the following pages; returns false (and changes
// nothing) for an instruction set the machine lacks or a thread count other
// than 1 or 2. Not to be called while a page is worked on.
bool SetVariant(CpuVariant variant);

// The entry of a table of kernels, one per instruction set, for isa: the
// build's own for each set it was compiled for (nullptr where it was not),
// the portable ones otherwise. Every library picks its kernels this way.
template <typename Kernels>
const Kernels& KernelsOf(Isa isa, const Kernels& portable, const Kernels* avx2, const Kernels* avx512) {
  if (isa == Isa::Avx512 && avx512 != nullptr) return *avx512;
  if (isa == Isa::Avx2 && avx2 != nullptr) return *avx2;
  return portable;
}

}  // namespace velta
