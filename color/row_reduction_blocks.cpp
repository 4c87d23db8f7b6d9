#include "color/row_reduction_blocks.h"

#include <cstring>
#include <new>

#include "color/byte_pair_blocks.h"

namespace velta {

namespace {

typedef uint32_t PairDwords __attribute__((vector_size(4 * PAIR_BLOCK_BYTES)));

// The largest units of a target pixel whose weighted sums of bytes fit 16 bits.
constexpr uint32_t MAX_BLOCK_UNITS = 65535 / 255;

}  // namespace

struct RowReductionBlocks::Block {
  BytePairBlock pairs;                // the two overlapped bytes of each target byte
  PairWords firstUnits, secondUnits;  // and their units
};

RowReductionBlocks::RowReductionBlocks() = default;
RowReductionBlocks::~RowReductionBlocks() = default;

bool RowReductionBlocks::Build(const PairOverlap* pairs, std::size_t sourceWidth, std::size_t targetWidth,
                               uint32_t units) {
  count_ = 0;
  if (!BytePairBlocksAvailable() || units == 0 || units > MAX_BLOCK_UNITS) return false;
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
  const std::size_t targetBytes = 3 * targetWidth;
  const std::size_t most = targetBytes / PAIR_BLOCK_BYTES;
  blocks_.reset(new (std::nothrow) Block[most == 0 ? 1 : most]);
  std::unique_ptr<BytePairBlock[]> planned(new (std::nothrow) BytePairBlock[most == 0 ? 1 : most]);
  if (!blocks_ || !planned) return false;
  const std::size_t count = PlanBytePairBlocks(
      targetBytes, 3 * sourceWidth, [pairs](std::size_t k) { return 3 * std::size_t{pairs[k / 3].source[0]} + k % 3; },
      [pairs](std::size_t k) { return 3 * std::size_t{pairs[k / 3].source[1]} + k % 3; }, planned.get());
  for (std::size_t b = 0; b < count; ++b) {
    Block& block = blocks_[b];
    block.pairs = planned[b];
    for (std::size_t k = 0; k < PAIR_BLOCK_BYTES; ++k) {
      const PairOverlap& pair = pairs[(b * PAIR_BLOCK_BYTES + k) / 3];
      block.firstUnits[k] = static_cast<uint16_t>(pair.units[0]);
      block.secondUnits[k] = static_cast<uint16_t>(pair.units[1]);
    }
  }
  count_ = count;
  multiplier_ = multiplier;
  shift_ = shift;
  return count_ > 0;
}

#if VELTA_BYTE_PAIR_BLOCKS
VELTA_AVX512_TARGET
void RowReductionBlocks::Reduce(const uint8_t* source, uint8_t* target) const {
  const uint32_t multiplier = multiplier_, shift = shift_;
  for (std::size_t b = 0; b < count_; ++b) {
    const Block& block = blocks_[b];
    PairWords first, second;
    PickBytePairs(source, block.pairs, first, second);
    const PairWords sum = first * block.firstUnits + second * block.secondUnits;
    const PairDwords quotient = (__builtin_convertvector(sum, PairDwords) * multiplier) >> shift;
    // Narrowed in two steps: the compiler has single instructions for each.
    const PairBytes bytes = __builtin_convertvector(__builtin_convertvector(quotient, PairWords), PairBytes);
    std::memcpy(target + b * PAIR_BLOCK_BYTES, &bytes, sizeof bytes);
  }
}
#else
void RowReductionBlocks::Reduce(const uint8_t*, uint8_t*) const {}
#endif

}  // namespace velta
