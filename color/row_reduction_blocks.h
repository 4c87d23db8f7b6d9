// The pass across of a reduction to half the width or more, 32 output bytes
// at a time on processors with 512-bit byte and word vectors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace velta {

// The overlaps of a target pixel that covers at most two source pixels: the
// two pixels (the same one twice, with no units, when it covers one) and
// their units, which add up to the units of a target pixel.
struct PairOverlap {
  uint32_t source[2];
  uint32_t units[2];
};

// A row's target bytes in blocks of 32 (color/byte_pair_blocks.h): the two
// overlapped bytes of each target byte, their weighted sum in 16-bit lanes
// and its quotient by a multiplication and a shift in 32-bit lanes. Built
// only where every step is exact: a target pixel spans at most 257 units, so
// a weighted sum of bytes fits 16 bits, and the quotient is checked against
// the division for every sum. The rest of the row goes byte by byte.
class RowReductionBlocks {
 public:
  RowReductionBlocks();
  ~RowReductionBlocks();
  RowReductionBlocks(const RowReductionBlocks&) = delete;
  RowReductionBlocks& operator=(const RowReductionBlocks&) = delete;

  // Plans the blocks for rows of sourceWidth pixels reduced to targetWidth
  // through pairs, `units` a target pixel. False when this processor or
  // reduction has no blocks, or memory is short: the row then goes byte by
  // byte.
  bool Build(const PairOverlap* pairs, std::size_t sourceWidth, std::size_t targetWidth, uint32_t units);

  // The number of leading target bytes the blocks write.
  std::size_t bytes() const { return 32 * count_; }

  // Writes the first bytes() target bytes of the source row to target.
  void Reduce(const uint8_t* source, uint8_t* target) const;

 private:
  struct Block;
  std::unique_ptr<Block[]> blocks_;
  std::size_t count_ = 0;
  uint32_t multiplier_ = 0;
  uint32_t shift_ = 0;
};

}  // namespace velta
