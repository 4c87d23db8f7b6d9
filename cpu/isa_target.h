// The target attributes of the per-instruction-set builds of a kernel: a body
// written once as plain loops is inlined into one function per instruction set
// and vectorised there. On x86-64 these are AVX2 and AVX-512; elsewhere only
// the portable build exists. The processor check for each set is
// IsaAvailable (cpu/cpu_variant.h), which asks for every feature named here.
#pragma once

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VELTA_ISA_TARGETS 1
#define VELTA_AVX2_TARGET [[gnu::target("avx2,bmi2")]]
// GCC is told to use the whole 512-bit registers; clang (the fuzz build) has
// no such target option and picks its own vector width.
#if defined(__clang__)
#define VELTA_AVX512_TARGET [[gnu::target("avx512f,avx512bw,avx512vl,avx512dq,avx2,bmi2")]]
#else
#define VELTA_AVX512_TARGET [[gnu::target("avx512f,avx512bw,avx512vl,avx512dq,avx2,bmi2,prefer-vector-width=512")]]
#endif
#else
#define VELTA_ISA_TARGETS 0
#endif
