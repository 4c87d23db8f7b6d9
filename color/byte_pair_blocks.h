// Two source bytes for every target byte of a row, 32 target bytes at a time:
// each block loads one window of 64 source bytes and picks its pairs from it
// with a permutation of 16-bit words, which GCC builds from its generic vector
// shuffle in one instruction for AVX-512 BW. The resizing's passes along a row
// read such pairs; where no block fits (or the current variant's instruction
// set is not AVX-512) they read byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "color/resize_kernels.h"
#include "cpu/isa_target.h"

// The block kernels are built for AVX-512 (VELTA_AVX512_TARGET) with GCC's
// generic vector shuffle.
#if VELTA_ISA_TARGETS && !defined(__clang__)
#define VELTA_BYTE_PAIR_BLOCKS 1
#else
#define VELTA_BYTE_PAIR_BLOCKS 0
#endif

namespace velta {

inline constexpr std::size_t PAIR_BLOCK_BYTES = 32;   // target bytes of a block
inline constexpr std::size_t PAIR_WINDOW_BYTES = 64;  // source bytes a block reads

typedef uint16_t PairWords __attribute__((vector_size(2 * PAIR_BLOCK_BYTES)));
typedef uint8_t PairBytes __attribute__((vector_size(PAIR_BLOCK_BYTES)));

// One block: the offsets in the window of the two bytes of each target byte,
// and the window's first byte in the source row.
struct BytePairBlock {
  PairWords first, second;
  uint32_t window;
};

// Tells whether the current variant picks pairs in blocks.
inline bool BytePairBlocksAvailable() { return ActiveResizeKernels().bytePairBlocks; }

// Plans the blocks of the leading target bytes of a row, at most
// targetBytes / 32 of them: target byte k reads source bytes firstOf(k) and
// secondOf(k), both of a source row of sourceBytes bytes. The blocks stop at
// the first one whose bytes do not fit one window within the row. Returns
// the number of blocks.
template <typename FirstOf, typename SecondOf>
std::size_t PlanBytePairBlocks(std::size_t targetBytes, std::size_t sourceBytes, FirstOf firstOf, SecondOf secondOf,
                               BytePairBlock* blocks) {
  std::size_t count = 0;
  for (; count < targetBytes / PAIR_BLOCK_BYTES; ++count) {
    BytePairBlock& block = blocks[count];
    const std::size_t begin = count * PAIR_BLOCK_BYTES;
    std::size_t low = SIZE_MAX, high = 0;
    for (std::size_t k = begin; k < begin + PAIR_BLOCK_BYTES; ++k) {
      const std::size_t first = firstOf(k), second = secondOf(k);
      low = first < low ? first : low;
      low = second < low ? second : low;
      high = first > high ? first : high;
      high = second > high ? second : high;
    }
    if (high - low >= PAIR_WINDOW_BYTES || low + PAIR_WINDOW_BYTES > sourceBytes) break;
    block.window = static_cast<uint32_t>(low);
    for (std::size_t k = 0; k < PAIR_BLOCK_BYTES; ++k) {
      block.first[k] = static_cast<uint16_t>(firstOf(begin + k) - low);
      block.second[k] = static_cast<uint16_t>(secondOf(begin + k) - low);
    }
  }
  return count;
}

#if VELTA_BYTE_PAIR_BLOCKS
// Picks a block's pairs from a source row as 16-bit words; inlined into the
// block kernels, which are built for AVX-512 BW.
[[gnu::always_inline]] inline void PickBytePairs(const uint8_t* source, const BytePairBlock& block, PairWords& first,
                                                 PairWords& second) {
  PairBytes low, high;
  std::memcpy(&low, source + block.window, sizeof low);
  std::memcpy(&high, source + block.window + PAIR_BLOCK_BYTES, sizeof high);
  const PairWords lowWords = __builtin_convertvector(low, PairWords);
  const PairWords highWords = __builtin_convertvector(high, PairWords);
  first = __builtin_shuffle(lowWords, highWords, block.first);
  second = __builtin_shuffle(lowWords, highWords, block.second);
}
#endif

}  // namespace velta
