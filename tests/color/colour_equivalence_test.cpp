// The colour subsystem's colour correction and picture resizing against the
// references worked out pixel by pixel: equal bytes for every option set, page
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
#include "tests/reference/colour_reference.h"
#include "tests/reference/resize_reference.h"

namespace velta {
namespace {

// Returns a page buffer of random bytes (pad bytes included).
std::vector<uint8_t> RandomPage(int32_t w, int32_t h, std::mt19937& random) {
  std::vector<uint8_t> page(((3 * static_cast<std::size_t>(w) + 3) & ~std::size_t{3}) * static_cast<std::size_t>(h));
  for (uint8_t& byte : page) byte = static_cast<uint8_t>(random());
  return page;
}

// The page as the reference enlarges (magnifications above 0) or reduces it.
std::vector<uint8_t> ReferenceResize(const std::vector<uint8_t>& page, int32_t w, int32_t h, int32_t across,
                                     int32_t down) {
  reference::Picture picture(w, h);
  picture.bytes = page;
  if (across > 0 || down > 0)
    reference::Enlarge(picture, across, down);
  else
    reference::Reduce(picture, across, down);
  return picture.bytes;
}

// Resizes a copy of the page with the loops of every instruction set this
// machine has, and compares every byte with the reference.
void ExpectSameResize(const std::vector<uint8_t>& page, int32_t w, int32_t h, int32_t magnification) {
  const std::vector<uint8_t> expected = ReferenceResize(page, w, h, magnification, magnification);
  const CpuVariant chosen = CurrentVariant();
  for (Isa isa : AvailableIsas()) {
    std::vector<uint8_t> actual = page;
    ASSERT_TRUE(SetVariant({isa, chosen.threads}));
    const int result = magnification > 0 ? ResizePicture(actual.data(), w, h, magnification, magnification)
                                         : ResizePictureAverage(actual.data(), w, h, magnification, magnification);
    ASSERT_TRUE(SetVariant(chosen));
    const std::string what =
        std::to_string(w) + "x" + std::to_string(h) + " by " + std::to_string(magnification) + " in " + IsaName(isa);
    ASSERT_EQ(result, 0) << what;
    ASSERT_EQ(actual, expected) << what;
  }
}

// Tone, contrast, balance and saturation drawn at random from -range to range.
reference::PictureOptions RandomOptions(std::mt19937& random, int32_t range) {
  const auto option = [&] { return static_cast<int32_t>(random() % (2 * range + 1)) - range; };
  reference::PictureOptions options;
  for (int32_t* setting :
       {&options.saturation, &options.brightness, &options.contrast, &options.red, &options.green, &options.blue})
    *setting = option();
  return options;
}

// The colour subsystem's tables for options.
ColorTableSet TablesFor(const reference::PictureOptions& options) {
  int32_t saturation = options.saturation;
  ColorTableSet tables;
  BuildColorTables(tables, saturation, options.monochrome,
                   ComputeColorParams(options.brightness, options.contrast, options.red, options.green, options.blue));
  return tables;
}

// The row as the reference corrects it: adjusted with options, then mapped
// through table when directmap is set.
std::vector<uint8_t> ReferenceCorrection(std::vector<uint8_t> row, const reference::PictureOptions& options,
                                         int directmap, const uint8_t* table) {
  const reference::ColourAdjustment adjustment(options);
  for (std::size_t p = 0; p + 3 <= row.size(); p += 3) {
    adjustment.Apply(&row[p]);
    if (directmap) reference::MapThroughGrid(table, &row[p]);
  }
  return row;
}

TEST(FasterResizing, EqualsTheReferenceOnSmallPagesOfEveryShape) {
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

TEST(FasterResizing, EqualsTheReferenceEnlargementForDifferentMagnificationsAcrossAndDown) {
  // Down the page the enlarged rows lag their source rows by up to half the
  // page for large magnifications; across, the columns repeat.
  std::mt19937 random(17);
  const int32_t magnifications[][2] = {{0, 10}, {10, 0}, {0, 400}, {250, 1}, {1, 999}, {5000, 3000}, {37, 100}};
  for (const auto& [across, down] : magnifications) {
    for (const auto& [w, h] : {std::pair{7, 53}, std::pair{300, 5}, std::pair{97, 61}, std::pair{1, 200}}) {
      const std::vector<uint8_t> page = RandomPage(w, h, random);
      std::vector<uint8_t> actual = page;
      ASSERT_EQ(ResizePicture(actual.data(), w, h, across, down), 0);
      ASSERT_EQ(actual, ReferenceResize(page, w, h, across, down))
          << w << "x" << h << " by " << across << " across, " << down << " down";
    }
  }
}

TEST(FasterResizing, EqualsTheReferenceOnAFullPage) {
  std::mt19937 random(5);
  const std::vector<uint8_t> page = RandomPage(1800, 2492, random);
  for (int32_t magnification : {-10, 10}) ExpectSameResize(page, 1800, 2492, magnification);
}

// Rows wide enough for the reduction's blocks of 32 bytes (and the bytes after
// them), for every reduction that keeps at least half the width and the unit
// counts of many widths.
TEST(FasterResizing, EqualsTheReferenceReductionAcrossWideRowsOfManyWidths) {
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
TEST(FasterResizing, EqualsTheReferenceWhereUnitsAreTooManyForTheTable) {
  std::mt19937 random(6);
  const std::vector<uint8_t> page = RandomPage(4099, 5, random);
  for (int32_t magnification : {-10, -3}) ExpectSameResize(page, 4099, 5, magnification);
}

// Rows with runs of equal pixels (which the faster correction reuses) and
// single changed bytes inside runs, through random option sets, with and
// without the direct colour map.
TEST(FasterColourCorrection, EqualsTheReferenceForRandomOptionsAndRuns) {
  std::mt19937 random(17);
  std::array<uint8_t, kDmapTblSize> DmapTbl{};
  for (int round = 0; round < 400; ++round) {
    reference::PictureOptions options = RandomOptions(random, 10);
    options.monochrome = round % 7 == 0;
    const ColorTableSet tables = TablesFor(options);
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
    const std::vector<uint8_t> expected = ReferenceCorrection(row, options, directmap, DmapTbl.data());
    ColorCorrection(row.data(), 300, tables, directmap, DmapTbl.data());
    ASSERT_EQ(row, expected) << "round " << round;
  }
}

// The remembering correction over many rows of one page: colours drawn from a
// palette larger than its memory (so slots are shared and overwritten), with
// and without the direct map, and identity tables, which leave rows alone.
TEST(FasterColourCorrection, RememberingCorrectionEqualsTheReferenceOverManyRows) {
  std::mt19937 random(23);
  std::array<uint8_t, kDmapTblSize> DmapTbl{};
  for (int round = 0; round < 24; ++round) {
    const reference::PictureOptions options = RandomOptions(random, round % 6 == 0 ? 0 : 10);  // every sixth: all 0
    const ColorTableSet tables = TablesFor(options);
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
      const std::vector<uint8_t> expected = ReferenceCorrection(row, options, directmap, DmapTbl.data());
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
