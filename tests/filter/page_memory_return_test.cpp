// The page buffer's rendered rows give their memory back: whole system pages
// only, never past the rows finished with, and in steps.
#include "filter/page_memory_return.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

namespace velta {
namespace {

constexpr uint8_t kFill = 0xAB;

// A buffer of fill bytes starting off a page boundary, as the heap hands out.
struct OffsetBuffer {
  explicit OffsetBuffer(std::size_t size) : page(static_cast<std::size_t>(sysconf(_SC_PAGESIZE))) {
    storage.assign(size + 2 * page, kFill);
    auto address = reinterpret_cast<uintptr_t>(storage.data());
    address = (address + page - 1) / page * page + 100;  // 100 bytes into a page
    data = reinterpret_cast<uint8_t*>(address);
  }
  // The offset of the first system page boundary inside the buffer.
  std::size_t FirstBoundary() const { return page - 100; }
  std::vector<uint8_t> storage;
  std::size_t page;
  uint8_t* data;
};

// Counts the bytes in [begin, end) of data that no longer hold the fill.
std::size_t Cleared(const uint8_t* data, std::size_t begin, std::size_t end) {
  std::size_t count = 0;
  for (std::size_t i = begin; i < end; ++i) count += data[i] != kFill;
  return count;
}

TEST(PageMemoryReturn, GivesBackOnlyWholePagesWithinTheFinishedRows) {
  constexpr std::size_t kStride = 5403;  // odd, so row ends never meet page ends
  constexpr std::size_t kRows = 40;
  OffsetBuffer buffer(kStride * kRows);
  PageMemoryReturn memory(buffer.data, kStride, buffer.page);
  const std::size_t first = buffer.FirstBoundary();

  std::size_t returnedEnd = first;
  for (std::size_t rows : {std::size_t{1}, std::size_t{3}, std::size_t{2}, std::size_t{17}, kRows}) {
    memory.Notice()(rows);
    const std::size_t finished = rows * kStride;
    // Every whole page up to the last boundary within the finished rows.
    const std::size_t boundary = first + (finished - first) / buffer.page * buffer.page;
    if (finished >= first + buffer.page && boundary > returnedEnd) returnedEnd = boundary;
    SCOPED_TRACE(rows);
    EXPECT_EQ(Cleared(buffer.data, 0, first), 0u) << "the part page before the first boundary stays";
    EXPECT_EQ(Cleared(buffer.data, first, returnedEnd), returnedEnd - first) << "returned pages read as zero";
    EXPECT_EQ(Cleared(buffer.data, returnedEnd, kStride * kRows), 0u) << "nothing past them is touched";
  }
  EXPECT_GT(returnedEnd, first + 30 * buffer.page);
}

TEST(PageMemoryReturn, WaitsForAWholeStep) {
  constexpr std::size_t kStride = 4096 + 7;
  OffsetBuffer buffer(kStride * 64);
  PageMemoryReturn memory(buffer.data, kStride, 8 * buffer.page);
  const std::size_t first = buffer.FirstBoundary();
  // Rows covering seven whole pages past the first boundary: less than a step.
  const std::size_t sevenPages = (first + 7 * buffer.page) / kStride + 1;
  memory.RowsDone(sevenPages);
  EXPECT_EQ(Cleared(buffer.data, 0, kStride * 64), 0u);
  memory.RowsDone(64);
  EXPECT_GT(Cleared(buffer.data, first, kStride * 64), 8 * buffer.page);
  EXPECT_EQ(Cleared(buffer.data, 0, first), 0u);
}

}  // namespace
}  // namespace velta
