// The page buffer's rendered rows hand their memory on: whole system pages
// only, never past the rows finished with, in steps; moved pages land only
// under send rows not yet written, and never in a page the next plane shares.
#include "pipeline/page_memory_return.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "pipeline/mapped_buffer.h"

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
  PageMemoryReturn memory({buffer.data, kStride, nullptr, 0, 0}, buffer.page);
  const std::size_t first = buffer.FirstBoundary();

  std::size_t returnedEnd = first;
  for (std::size_t rows : {std::size_t{1}, std::size_t{3}, std::size_t{2}, std::size_t{17}, kRows}) {
    memory.Notice()(rows, 0);
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
  EXPECT_EQ(memory.returned(), returnedEnd - first);
  EXPECT_EQ(memory.moved(), 0u);
}

TEST(PageMemoryReturn, WaitsForAWholeStep) {
  constexpr std::size_t kStride = 4096 + 7;
  OffsetBuffer buffer(kStride * 64);
  PageMemoryReturn memory({buffer.data, kStride, nullptr, 0, 0}, 8 * buffer.page);
  const std::size_t first = buffer.FirstBoundary();
  // Rows covering seven whole pages past the first boundary: less than a step.
  const std::size_t sevenPages = (first + 7 * buffer.page) / kStride + 1;
  memory.RowsDone(sevenPages, 0);
  EXPECT_EQ(Cleared(buffer.data, 0, kStride * 64), 0u);
  memory.RowsDone(64, 0);
  EXPECT_GT(Cleared(buffer.data, first, kStride * 64), 8 * buffer.page);
  EXPECT_EQ(Cleared(buffer.data, 0, first), 0u);
}

TEST(PageMemoryReturn, MovesPagesOnlyUnderUnwrittenSendRows) {
  // Planes of 1000 x 30 bytes: 30000 bytes, so planes share pages.
  constexpr std::size_t kWidth = 1000, kHeight = 30, kStride = 3000, kPlane = kWidth * kHeight;
  constexpr uint8_t kWritten = 0x11;
  MappedBuffer page = MappedBuffer::Allocate(kStride * kHeight);
  MappedBuffer send = MappedBuffer::Allocate(3 * kPlane);
  ASSERT_TRUE(page && send);
  for (std::size_t i = 0; i < kStride * kHeight; ++i) page.get()[i] = static_cast<uint8_t>(0x40 + i % 61);
  for (std::size_t i = 0; i < 3 * kPlane; ++i) send.get()[i] = kWritten;
  const std::size_t systemPage = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  PageMemoryReturn memory({page.get(), kStride, send.get(), kWidth, kHeight}, systemPage);

  for (const auto& [rows, untouched] : {std::pair<std::size_t, std::size_t>{12, 10}, {26, 12}, {30, 29}}) {
    SCOPED_TRACE(std::to_string(rows) + " rows done, send rows from " + std::to_string(untouched) + " unwritten");
    // The renderer has written every row before the untouched ones.
    for (std::size_t plane = 0; plane < 3; ++plane) {
      std::fill(send.get() + plane * kPlane, send.get() + plane * kPlane + untouched * kWidth, kWritten);
    }
    memory.RowsDone(rows, untouched);
    for (std::size_t plane = 0; plane < 3; ++plane) {
      const uint8_t* rowsOfPlane = send.get() + plane * kPlane;
      for (std::size_t i = 0; i < untouched * kWidth; ++i) {
        ASSERT_EQ(rowsOfPlane[i], kWritten) << "a written send byte changed: plane " << plane << ", byte " << i;
      }
    }
    // Every byte of the send buffer is either as written or a moved page byte.
    for (std::size_t i = 0; i < 3 * kPlane; ++i) {
      const uint8_t byte = send.get()[i];
      ASSERT_TRUE(byte == kWritten || (byte >= 0x40 && byte < 0x40 + 61)) << "byte " << i;
    }
  }
  // Whole finished pages all went on, most of them under the send buffer.
  const std::size_t finished = kStride * kHeight / systemPage * systemPage;
  EXPECT_EQ(memory.moved() + memory.returned(), finished);
  EXPECT_GT(memory.moved(), 0u);
}

TEST(MappedBuffer, AByteAfterTheEndIsOutOfBounds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (std::size_t size : {std::size_t{1}, std::size_t{4095}, std::size_t{4096}, std::size_t{13456800}}) {
    MappedBuffer buffer = MappedBuffer::Allocate(size);
    ASSERT_TRUE(buffer);
    buffer.get()[0] = 1;
    buffer.get()[size - 1] = 2;  // the whole buffer is writable
    EXPECT_DEATH(static_cast<volatile uint8_t*>(buffer.get())[size] = 3, "") << size;
  }
}

}  // namespace
}  // namespace velta
