// The pieces of the colour row kernels that depend on the width of a group
// of pixels: one plain int (the portable build), or a GCC vector of 8 or 16
// ints (AVX2, AVX-512). Each piece is written for each width: reading and
// writing a group of pixels, and reading tables at one index per lane. Only
// color/colour_row_kernels.cpp includes this; everything here is inlined into
// its kernels, each built for the instruction set of its width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "cpu/isa_target.h"

// The vector builds use GCC's generic vectors and its gather built-ins; the
// clang build (fuzzing) keeps the portable kernel alone.
#if VELTA_ISA_TARGETS && !defined(__clang__)
#define VELTA_COLOUR_LANES 1
#include <immintrin.h>  // declares the gather built-ins
// The helpers here and in the kernel file return vectors by value. They are
// always inlined into a kernel built for their vector width, so the ABI of an
// out-of-line call, which GCC notes for each of them, never arises. (They
// take vectors by reference, which needs no such note.)
#pragma GCC diagnostic ignored "-Wpsabi"
#else
#define VELTA_COLOUR_LANES 0
#endif

#define VELTA_INLINE [[gnu::always_inline]] inline

namespace velta::colour_lanes {

// A group of pixel words, red | green << 8 | blue << 16 in each: one plain
// int, or a vector of 8 or 16.
#if VELTA_COLOUR_LANES
typedef int32_t Words8 __attribute__((vector_size(32)));
typedef int32_t Words16 __attribute__((vector_size(64)));
typedef uint8_t Bytes32 __attribute__((vector_size(32)));
typedef uint8_t Bytes64 __attribute__((vector_size(64)));
#endif

// Pixels in a group.
template <typename Words>
constexpr std::size_t PIXELS = sizeof(Words) / sizeof(int32_t);

// Bytes a group reads from the row: a vector loads whole, one byte past its
// last pixel for each pixel it holds, so it may read only where that many
// bytes of the row are left.
template <typename Words>
constexpr std::size_t READ_BYTES = PIXELS<Words> == 1 ? 3 : sizeof(Words);

// The words of a table at the indices, one per lane: the direct map's nodes,
// gathered.
VELTA_INLINE int32_t Lookup(const int32_t* table, int32_t index) { return table[index]; }

#if VELTA_COLOUR_LANES
VELTA_INLINE Words8 Lookup(const int32_t* table, const Words8& index) {
  return __builtin_ia32_gathersiv8si(Words8{}, table, index, Words8{} - 1, 4);
}

VELTA_INLINE Words16 Lookup(const int32_t* table, const Words16& index) {
  return __builtin_ia32_gathersiv16si(Words16{}, table, index, 0xFFFF, 4);
}
#endif

// The entries of a table of ENTRIES 16-bit entries (colour_lookups.h) at the
// indices, 0 to ENTRIES - 1, one per lane, sign-extended.
template <std::size_t ENTRIES>
VELTA_INLINE int32_t LookupEntry(const int16_t* table, int32_t index) {
  return table[index];
}

// Two lookups in one table.
template <std::size_t ENTRIES>
VELTA_INLINE void LookupEntries(const int16_t* table, int32_t index1, int32_t index2, int32_t& entry1,
                                int32_t& entry2) {
  entry1 = table[index1];
  entry2 = table[index2];
}

#if VELTA_COLOUR_LANES
typedef int16_t Halves32 __attribute__((vector_size(64)));

// AVX2 gathers the 32 bits at each entry (the padding keeps the last one
// inside the table) and keeps the lower half.
template <std::size_t ENTRIES>
VELTA_INLINE Words8 LookupEntry(const int16_t* table, const Words8& index) {
  const Words8 pairs =
      __builtin_ia32_gathersiv8si(Words8{}, reinterpret_cast<const int*>(table), index, Words8{} - 1, 2);
  return pairs << 16 >> 16;
}

// Two lookups in one table: two gathers for AVX2.
template <std::size_t ENTRIES>
VELTA_INLINE void LookupEntries(const int16_t* table, const Words8& index1, const Words8& index2, Words8& entry1,
                                Words8& entry2) {
  entry1 = LookupEntry<ENTRIES>(table, index1);
  entry2 = LookupEntry<ENTRIES>(table, index2);
}

// AVX-512 permutes instead, which on a table this small is many times faster
// than a gather. It works on 32 16-bit halves at once, each with its own
// index (pick): one permutation of two vectors picks each half's entry from a
// block of 64 entries, and the index's higher bits choose among the blocks,
// halving their number at each bit.
template <std::size_t FIRST, std::size_t BLOCKS>
VELTA_INLINE Halves32 PermuteBlocks(const int16_t* table, const Halves32& pick) {
  if constexpr (BLOCKS == 1) {
    Halves32 low, high;
    std::memcpy(&low, table + 64 * FIRST, sizeof low);
    std::memcpy(&high, table + 64 * FIRST + 32, sizeof high);
    return __builtin_ia32_vpermt2varhi512_mask(pick, low, high, ~0u);
  } else {
    const Halves32 lower = PermuteBlocks<FIRST, BLOCKS / 2>(table, pick);
    const Halves32 upper = PermuteBlocks<FIRST + BLOCKS / 2, BLOCKS / 2>(table, pick);
    return (pick & static_cast<int16_t>(64 * BLOCKS / 2)) != 0 ? upper : lower;
  }
}

// One lookup: both halves of a lane ask for its entry.
template <std::size_t ENTRIES>
VELTA_INLINE Words16 LookupEntry(const int16_t* table, const Words16& index) {
  static_assert(ENTRIES % 64 == 0 && ENTRIES <= 32768);
  const Halves32 pick = reinterpret_cast<Halves32>(index | index << 16);
  return reinterpret_cast<Words16>(PermuteBlocks<0, ENTRIES / 64>(table, pick)) >> 16;
}

// Two lookups for the price of one: the lower half of a lane asks for the
// first entry, the upper half for the second.
template <std::size_t ENTRIES>
VELTA_INLINE void LookupEntries(const int16_t* table, const Words16& index1, const Words16& index2, Words16& entry1,
                                Words16& entry2) {
  static_assert(ENTRIES % 64 == 0 && ENTRIES <= 32768);
  const Halves32 pick = reinterpret_cast<Halves32>(index1 | index2 << 16);
  const Words16 entries = reinterpret_cast<Words16>(PermuteBlocks<0, ENTRIES / 64>(table, pick));
  entry1 = entries << 16 >> 16;
  entry2 = entries >> 16;
}

// Byte i of the word vector, from the loaded bytes: pixel i / 4's three
// bytes, and the last of them again above blue.
constexpr uint8_t SpreadIndex(std::size_t i) { return static_cast<uint8_t>(3 * (i / 4) + (i % 4 < 3 ? i % 4 : 2)); }

// Byte i of the packed pixels, from the word vector.
constexpr uint8_t PackIndex(std::size_t i) { return static_cast<uint8_t>(4 * (i / 3) + i % 3); }

// The constant shuffles that spread bytes to words and pack words to bytes.
template <typename Bytes, std::size_t... I>
constexpr Bytes SpreadShuffle(std::index_sequence<I...>) {
  return Bytes{SpreadIndex(I)...};
}
template <typename Bytes, std::size_t... I>
constexpr Bytes PackShuffle(std::index_sequence<I...>) {
  return Bytes{PackIndex(I % (3 * sizeof(Bytes) / 4))...};
}
#endif

// Reads one group of pixels at row as words; the byte above blue is left as
// it comes, for the kernel to mask off.
template <typename Words>
VELTA_INLINE Words ReadPixels(const uint8_t* row) {
  if constexpr (PIXELS<Words> == 1) {
    return row[0] | row[1] << 8 | row[2] << 16;
  } else {
#if VELTA_COLOUR_LANES
    using Bytes = std::conditional_t<sizeof(Words) == 32, Bytes32, Bytes64>;
    Bytes bytes;
    std::memcpy(&bytes, row, sizeof bytes);
    return reinterpret_cast<Words>(
        __builtin_shuffle(bytes, SpreadShuffle<Bytes>(std::make_index_sequence<sizeof(Bytes)>())));
#endif
  }
}

// Writes one group of pixel words to the 3 bytes each of its pixels at row.
template <typename Words>
VELTA_INLINE void WritePixels(uint8_t* row, const Words& words) {
  if constexpr (PIXELS<Words> == 1) {
    row[0] = static_cast<uint8_t>(words);
    row[1] = static_cast<uint8_t>(words >> 8);
    row[2] = static_cast<uint8_t>(words >> 16);
  } else {
#if VELTA_COLOUR_LANES
    using Bytes = std::conditional_t<sizeof(Words) == 32, Bytes32, Bytes64>;
    const Bytes packed = __builtin_shuffle(reinterpret_cast<Bytes>(words),
                                           PackShuffle<Bytes>(std::make_index_sequence<sizeof(Bytes)>()));
    std::memcpy(row, &packed, 3 * PIXELS<Words>);
#endif
  }
}

}  // namespace velta::colour_lanes
