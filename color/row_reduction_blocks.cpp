#include "color/row_reduction_blocks.h"

#include <cstring>
#include <new>

namespace velta {

// Blocks need a byte permutation across 64 words in one instruction, which
// GCC builds from its generic vector shuffle for AVX-512 BW; elsewhere every
// row goes byte by byte.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VELTA_ROW_REDUCTION_BLOCKS 1
#else
#define VELTA_ROW_REDUCTION_BLOCKS 0
#endif

namespace {

constexpr std::size_t BLOCK_BYTES = 32;   // target bytes of a block
constexpr std::size_t WINDOW_BYTES = 64;  // source bytes a block reads

typedef uint16_t Words __attribute__((vector_size(2 * BLOCK_BYTES)));
typedef uint8_t HalfWindow __attribute__((vector_size(BLOCK_BYTES)));
typedef uint32_t Dwords __attribute__((vector_size(4 * BLOCK_BYTES)));

// The largest units of a target pixel whose weighted sums of bytes fit 16 bits.
constexpr uint32_t MAX_BLOCK_UNITS = 65535 / 255;

}  // namespace

struct RowReductionBlocks::Block {
  Words first, second;            // offsets of the two overlapped bytes in the window
  Words firstUnits, secondUnits;  // and their units
  uint32_t window;                // the window's first byte in the source row
};

RowReductionBlocks::RowReductionBlocks() = default;
RowReductionBlocks::~RowReductionBlocks() = default;

bool RowReductionBlocks::Build(const PairOverlap* pairs, std::size_t sourceWidth, std::size_t targetWidth,
                               uint32_t units) {
  count_ = 0;
#if VELTA_ROW_REDUCTION_BLOCKS
  if (!__builtin_cpu_supports("avx512bw") || units == 0 || units > MAX_BLOCK_UNITS) return false;
  // sum div units as (sum x multiplier) >> shift, the product below 2^32 for
  // every sum up to 255 units: the widest shift whose multiplier stays below
  // 2^16, taken only when it is exact for every such sum.
  uint32_t shift = 16;
  while ((uint32_t{1} << (shift + 1 - 16)) <= units) ++shift;
  const auto multiplierFor = [units](uint32_t s) {
    return static_cast<uint32_t>(((uint64_t{1} << s) + units - 1) / units);
  };
  if (multiplierFor(shift) > 0xFFFF) --shift;  // units a power of two
  const uint32_t multiplier = multiplierFor(shift);
  if (multiplier > 0xFFFF) return false;
  for (uint32_t sum = 0; sum <= 255 * units; ++sum) {
    if ((sum * multiplier) >> shift != sum / units) return false;
  }
  const std::size_t sourceBytes = 3 * sourceWidth, targetBytes = 3 * targetWidth;
  const std::size_t most = targetBytes / BLOCK_BYTES;
  blocks_.reset(new (std::nothrow) Block[most == 0 ? 1 : most]);
  if (!blocks_) return false;
  std::size_t count = 0;
  for (; count < most; ++count) {
    Block& block = blocks_[count];
    const std::size_t begin = count * BLOCK_BYTES;
    // The sources only move right along the row: the block's first pixel
    // reads the leftmost one.
    block.window = 3 * pairs[begin / 3].source[0];
    if (block.window + WINDOW_BYTES > sourceBytes) break;
    bool fits = true;
    for (std::size_t k = 0; k < BLOCK_BYTES; ++k) {
      const PairOverlap& pair = pairs[(begin + k) / 3];
      const auto channel = static_cast<uint32_t>((begin + k) % 3);
      const uint32_t first = 3 * pair.source[0] + channel - block.window;
      const uint32_t second = 3 * pair.source[1] + channel - block.window;
      if (first >= WINDOW_BYTES || second >= WINDOW_BYTES) fits = false;
      block.first[k] = static_cast<uint16_t>(first);
      block.second[k] = static_cast<uint16_t>(second);
      block.firstUnits[k] = static_cast<uint16_t>(pair.units[0]);
      block.secondUnits[k] = static_cast<uint16_t>(pair.units[1]);
    }
    if (!fits) break;
  }
  count_ = count;
  multiplier_ = multiplier;
  shift_ = shift;
  return count_ > 0;
#else
  (void)pairs, (void)sourceWidth, (void)targetWidth, (void)units;
  return false;
#endif
}

#if VELTA_ROW_REDUCTION_BLOCKS
[[gnu::target("avx512f,avx512bw,avx512vl,avx2,bmi2,prefer-vector-width=512")]]
void RowReductionBlocks::Reduce(const uint8_t* source, uint8_t* target) const {
  const uint32_t multiplier = multiplier_, shift = shift_;
  for (std::size_t b = 0; b < count_; ++b) {
    const Block& block = blocks_[b];
    HalfWindow low, high;
    std::memcpy(&low, source + block.window, sizeof low);
    std::memcpy(&high, source + block.window + BLOCK_BYTES, sizeof high);
    const Words lowWords = __builtin_convertvector(low, Words);
    const Words highWords = __builtin_convertvector(high, Words);
    const Words first = __builtin_shuffle(lowWords, highWords, block.first);
    const Words second = __builtin_shuffle(lowWords, highWords, block.second);
    const Words sum = first * block.firstUnits + second * block.secondUnits;
    const Dwords quotient = (__builtin_convertvector(sum, Dwords) * multiplier) >> shift;
    // Narrowed in two steps: the compiler has single instructions for each.
    const HalfWindow bytes = __builtin_convertvector(__builtin_convertvector(quotient, Words), HalfWindow);
    std::memcpy(target + b * BLOCK_BYTES, &bytes, sizeof bytes);
  }
}
#else
void RowReductionBlocks::Reduce(const uint8_t*, uint8_t*) const {}
#endif

}  // namespace velta
