// The hottest loops of the colour stages are compiled for the baseline
// instruction set and, on x86-64 with GCC, also for AVX2 and AVX-512; the
// program picks the best copy for the processor when it starts. The loops do
// only integer and separately rounded double arithmetic (no contraction into
// fused multiply-adds), so every copy computes the same bytes.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VELTA_VECTOR_CLONES [[gnu::target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")]]
#else
#define VELTA_VECTOR_CLONES
#endif
