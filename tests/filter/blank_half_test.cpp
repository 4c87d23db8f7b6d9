// The blank-half test on page buffers: which half is blank, and the move up.
#include <vector>

#include <gtest/gtest.h>

#include "pipeline/blank_half.h"

namespace velta {
namespace {

constexpr uint32_t kWidth = 5;  // 15 pixel bytes, stride 16: one pad byte
constexpr std::size_t kStride = 16;
constexpr uint32_t kRows = 2492;

// A white page of kRows rows whose pad bytes hold 0x77, so a move shows in them too.
std::vector<uint8_t> WhitePage() {
  std::vector<uint8_t> page(kStride * kRows, 255);
  for (std::size_t y = 0; y < kRows; ++y) page[y * kStride + 15] = 0x77;
  return page;
}

// Marks row y with a value of its own (y mod 251) in every pixel byte.
void MarkRow(std::vector<uint8_t>& page, std::size_t y) {
  for (std::size_t i = 0; i < 15; ++i) page[y * kStride + i] = static_cast<uint8_t>(y % 251);
}

TEST(BlankHalf, PictureInTheLowerHalfMovesToTheTop) {
  auto page = WhitePage();
  for (std::size_t y = 1246; y < kRows; ++y) MarkRow(page, y);
  EXPECT_EQ(BlankHalfTest(page.data(), kStride, kWidth, kRows), 0);
  for (std::size_t y : {0u, 1u, 700u, 1245u}) {
    EXPECT_EQ(page[y * kStride], (y + 1246) % 251) << "row " << y;
    EXPECT_EQ(page[y * kStride + 14], (y + 1246) % 251) << "row " << y;
  }
  for (std::size_t y : {1246u, 2000u, 2491u}) EXPECT_EQ(page[y * kStride], y % 251) << "row " << y;
}

TEST(BlankHalf, OnlyRow1245IsOverwrittenByTheLastRow) {
  auto page = WhitePage();
  MarkRow(page, 1245);
  MarkRow(page, 2491);
  EXPECT_EQ(BlankHalfTest(page.data(), kStride, kWidth, kRows), 0);
  EXPECT_EQ(page[1245 * kStride], 2491 % 251);
  EXPECT_EQ(page[1244 * kStride], 2490 % 251 == 0 ? 0 : 255);  // row 2490 is white
}

TEST(BlankHalf, FlagsWithoutMove) {
  struct Case {
    std::vector<std::size_t> marked;
    uint32_t height;
    int SpaceFlag;
  };
  const Case cases[] = {
      {{0, 1244}, kRows, 0},     // upper picture, lower half blank
      {{1244, 1246}, kRows, 1},  // both halves
      {{0}, 2491, 1},            // other heights are never tested
      {{}, 2493, 1},
      {{0}, 1, 1},
  };
  for (const Case& c : cases) {
    auto page = WhitePage();
    for (std::size_t y : c.marked) MarkRow(page, y);
    const auto before = page;
    EXPECT_EQ(BlankHalfTest(page.data(), kStride, kWidth, c.height), c.SpaceFlag);
    EXPECT_EQ(page, before) << "the page must not change";
  }
}

TEST(BlankHalf, PadBytesDoNotCount) {
  // Only the width x 3 pixel bytes decide; the pad bytes here are 0x77.
  auto page = WhitePage();
  EXPECT_EQ(BlankHalfTest(page.data(), kStride, kWidth, kRows), 0);
  EXPECT_EQ(page[0 * kStride + 15], 0x77);
}

}  // namespace
}  // namespace velta
