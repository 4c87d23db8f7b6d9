// The faster colour correction and picture resizing of the colour subsystem
// against the versions first written: equal bytes for every option set, page
// shape and magnification tried, including unit counts too large for the
// quotient table, and for the resizing loops of every instruction set.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "color/color_adjust.h"
#include "color/direct_map.h"
#include "color/resize.h"
#include "cpu/cpu_variant.h"
#include "tests/color/colour_reference.h"

namespace velta {
namespace {

// Returns a page buffer of random bytes (pad bytes included).
std::vector<uint8_t> RandomPage(int32_t w, int32_t h, std::mt19937& random) {
  std::vector<uint8_t> page(((3 * static_cast<std::size_t>(w) + 3) & ~std::size_t{3}) * static_cast<std::size_t>(h));
  for (uint8_t& byte : page) byte = static_cast<uint8_t>(random());
  return page;
}

// Resizes a copy of the page both ways, the faster way with the loops of
// every instruction set this machine has, and compares every byte.
void ExpectSameResize(const std::vector<uint8_t>& page, int32_t w, int32_t h, int32_t magnification) {
  std::vector<uint8_t> expected = page;
  const int expectedResult =
      magnification > 0 ? colour_reference::ResizePicture(expected.data(), w, h, magnification, magnification)
                        : colour_reference::ResizePictureAverage(expected.data(), w, h, magnification, magnification);
  const CpuVariant chosen = CurrentVariant();
  for (Isa isa : AvailableIsas()) {
    std::vector<uint8_t> actual = page;
    ASSERT_TRUE(SetVariant({isa, chosen.threads}));
    const int result = magnification > 0 ? ResizePicture(actual.data(), w, h, magnification, magnification)
                                         : ResizePictureAverage(actual.data(), w, h, magnification, magnification);
    ASSERT_TRUE(SetVariant(chosen));
    const std::string what =
        std::to_string(w) + "x" + std::to_string(h) + " by " + std::to_string(magnification) + " in " + IsaName(isa);
    ASSERT_EQ(result, expectedResult) << what;
    ASSERT_EQ(actual, expected) << what;
  }
}

TEST(FasterResizing, EqualsTheFirstResizingOnSmallPagesOfEveryShape) {
  std::mt19937 random(99);
  for (int32_t h = 1; h <= 24; ++h) {
    for (int32_t w = 1; w <= 24; ++w) {
      const std::vector<uint8_t> page = RandomPage(w, h, random);
      for (int32_t magnification : {-99, -50, -41, -10, -1, 1, 10, 37, 100}) {
        ExpectSameResize(page, w, h, magnification);
        if (HasFatalFailure()) return;
      }
    }
  }
}

TEST(FasterResizing, EqualsTheFirstEnlargementForDifferentMagnificationsAcrossAndDown) {
  // Down the page the enlarged rows lag their source rows by up to half the
  // page for large magnifications; across, the columns repeat.
  std::mt19937 random(17);
  const int32_t magnifications[][2] = {{0, 10}, {10, 0}, {0, 400}, {250, 1}, {1, 999}, {5000, 3000}, {37, 100}};
  for (const auto& [across, down] : magnifications) {
    for (const auto& [w, h] : {std::pair{7, 53}, std::pair{300, 5}, std::pair{97, 61}, std::pair{1, 200}}) {
      const std::vector<uint8_t> page = RandomPage(w, h, random);
      std::vector<uint8_t> expected = page, actual = page;
      ASSERT_EQ(ResizePicture(actual.data(), w, h, across, down),
                colour_reference::ResizePicture(expected.data(), w, h, across, down));
      ASSERT_EQ(actual, expected) << w << "x" << h << " by " << across << " across, " << down << " down";
    }
  }
}

TEST(FasterResizing, EqualsTheFirstResizingOnAFullPage) {
  std::mt19937 random(5);
  const std::vector<uint8_t> page = RandomPage(1800, 2492, random);
  for (int32_t magnification : {-10, 10}) ExpectSameResize(page, 1800, 2492, magnification);
}

// Rows wide enough for the reduction's blocks of 32 bytes (and the bytes after
// them), for every reduction that keeps at least half the width and the unit
// counts of many widths.
TEST(FasterResizing, EqualsTheFirstReductionAcrossWideRowsOfManyWidths) {
  std::mt19937 random(8);
  for (int32_t w = 22; w <= 300; w += 7) {
    const std::vector<uint8_t> page = RandomPage(w, 3, random);
    for (int32_t magnification = -1; magnification >= -50; magnification -= 1 + w % 5) {
      ExpectSameResize(page, w, 3, magnification);
      if (HasFatalFailure()) return;
    }
  }
}

// 4099 pixels reduced by 10 % to 3689: the common unit count is 4099 x 3689,
// so a target pixel spans 4099 units, past the quotient table, and divides.
TEST(FasterResizing, EqualsTheFirstResizingWhereUnitsAreTooManyForTheTable) {
  std::mt19937 random(6);
  const std::vector<uint8_t> page = RandomPage(4099, 5, random);
  for (int32_t magnification : {-10, -3}) ExpectSameResize(page, 4099, 5, magnification);
}

// Rows with runs of equal pixels (which the faster correction reuses) and
// single changed bytes inside runs, through random option sets, with and
// without the direct colour map.
TEST(FasterColourCorrection, EqualsTheFirstCorrectionForRandomOptionsAndRuns) {
  std::mt19937 random(17);
  std::array<uint8_t, kDmapTblSize> DmapTbl{};
  for (int round = 0; round < 400; ++round) {
    const auto option = [&random] { return static_cast<int32_t>(random() % 21) - 10; };
    int32_t saturation = option();
    const ColorParams params = ComputeColorParams(option(), option(), option(), option(), option());
    ColorTableSet tables;
    BuildColorTables(tables, saturation, round % 7 == 0, params);
    const int directmap = static_cast<int>(random() % 2);
    InitDmapTbl(DmapTbl.data(), kDmapTblSize, round % 2);
    if (round % 5 == 0) {
      for (uint8_t& node : DmapTbl) node = static_cast<uint8_t>(random());
    }
    std::vector<uint8_t> row(3 * 300);
    for (std::size_t p = 0; p < 300; ++p) {
      if (p == 0 || random() % 4 == 0) {
        for (int c = 0; c < 3; ++c) row[3 * p + c] = static_cast<uint8_t>(random());
      } else {
        for (int c = 0; c < 3; ++c) row[3 * p + c] = row[3 * (p - 1) + c];
        if (random() % 5 == 0) row[3 * p + random() % 3] ^= 1;
      }
    }
    std::vector<uint8_t> expected = row;
    colour_reference::ColorCorrection(expected.data(), 300, tables, directmap, DmapTbl.data());
    ColorCorrection(row.data(), 300, tables, directmap, DmapTbl.data());
    ASSERT_EQ(row, expected) << "round " << round;
  }
}

// The remembering correction over many rows of one page: colours drawn from a
// palette larger than its memory (so slots are shared and overwritten), with
// and without the direct map, and identity tables, which leave rows alone.
TEST(FasterColourCorrection, RememberingCorrectionEqualsTheFirstOverManyRows) {
  std::mt19937 random(23);
  std::array<uint8_t, kDmapTblSize> DmapTbl{};
  for (int round = 0; round < 24; ++round) {
    const auto option = [&random](int32_t range) { return static_cast<int32_t>(random() % (2 * range + 1)) - range; };
    const int32_t range = round % 6 == 0 ? 0 : 10;  // every sixth round: all options 0
    int32_t saturation = option(range);
    const ColorParams params =
        ComputeColorParams(option(range), option(range), option(range), option(range), option(range));
    ColorTableSet tables;
    BuildColorTables(tables, saturation, 0, params);
    const int directmap = round % 6 == 0 ? 0 : static_cast<int>(random() % 2);
    InitDmapTbl(DmapTbl.data(), kDmapTblSize, round % 2);
    std::vector<uint32_t> palette(6000);
    for (uint32_t& colour : palette) colour = random() & 0xFFFFFFu;
    RememberingColorCorrection correct(tables, directmap, DmapTbl.data());
    for (int y = 0; y < 40; ++y) {
      std::vector<uint8_t> row(3 * 300);
      for (std::size_t p = 0; p < 300; ++p) {
        const uint32_t colour = palette[random() % palette.size()];
        for (int c = 0; c < 3; ++c) row[3 * p + c] = static_cast<uint8_t>(colour >> (8 * c));
      }
      std::vector<uint8_t> expected = row;
      colour_reference::ColorCorrection(expected.data(), 300, tables, directmap, DmapTbl.data());
      correct(row.data(), 300);
      ASSERT_EQ(row, expected) << "round " << round << ", row " << y;
    }
    // A width that is negative in 16 bits corrects nothing, as ColorCorrection.
    std::vector<uint8_t> row(30, 77), untouched = row;
    correct(row.data(), static_cast<int16_t>(-5));
    EXPECT_EQ(row, untouched);
  }
}

}  // namespace
}  // namespace velta
