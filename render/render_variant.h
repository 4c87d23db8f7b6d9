#pragma once

// Which build of the row kernels renders a page, and on how many threads.
// Every choice gives the same bytes. The default is the fastest instruction
// set the processor has and two threads; the environment variables VELTA_ISA
// (portable, avx2, avx512) and VELTA_THREADS (1, 2) override it, and tests
// and benchmarks set it directly.
namespace velta {

enum class RenderIsa { Portable, Avx2, Avx512 };

struct RenderVariant {
  RenderIsa isa = RenderIsa::Portable;
  int threads = 1;  // 1 or 2
};

// Tells whether this build and this processor can run the instruction set.
bool RenderIsaAvailable(RenderIsa isa);

// Returns the name of an instruction set ("portable", "avx2", "avx512").
const char* RenderIsaName(RenderIsa isa);

// Returns the fastest available instruction set with two threads.
RenderVariant BestRenderVariant();

// Returns the variant in use: the last one set, else the environment's, else
// the best.
RenderVariant CurrentRenderVariant();

// Chooses the variant for the following pages; returns false (and changes
// nothing) for an instruction set the machine lacks or a thread count other
// than 1 or 2. Not to be called while a page renders.
bool SetRenderVariant(RenderVariant variant);

}  // namespace velta
