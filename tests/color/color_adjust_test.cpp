// The colour adjustment as the printer applies it: tone tables, saturation table and
// the per-row pass, checked against values worked out by hand.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "color/color_adjust.h"

namespace velta {
namespace {

struct Options {
  int32_t brightness = 0, contrast = 0, red = 0, green = 0, blue = 0, saturation = 0;
  int monochrome = 0;
};

ColorTableSet TablesFor(Options options) {
  ColorTableSet tables;
  const ColorParams params =
      ComputeColorParams(options.brightness, options.contrast, options.red, options.green, options.blue);
  BuildColorTables(tables, options.saturation, options.monochrome, params);
  return tables;
}

std::array<int, 3> CorrectPixel(const ColorTableSet& tables, int r, int g, int b) {
  uint8_t pixel[3] = {static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
  ColorCorrection(pixel, 1, tables, 0, nullptr);
  return {pixel[0], pixel[1], pixel[2]};
}

const Options kWorkedExample{2, 4, 3, 0, -1, 5, 0};

TEST(ColorParams, WorkedExampleOffsetsAndContrastLine) {
  const ColorParams p = ComputeColorParams(2, 4, 3, 0, -1);
  EXPECT_EQ(p.bdat, 3);
  EXPECT_EQ(p.gdat, 7);
  EXPECT_EQ(p.rdat, 20);
  EXPECT_EQ(p.contrast_offset, 20);
  EXPECT_EQ(p.contrast_divisor, 108);
}

TEST(ColorParams, BalanceIsMultipliedBeforeTheHalvingAndTruncatesTowardZero) {
  struct Case {
    int32_t red, green, blue, bdat, gdat, rdat;
  };
  const Case cases[] = {
      {1, 0, 0, -1, -1, 3},                        // -3/2 is -1, not -2
      {0, 1, 0, -1, 3, -1}, {0, 0, -1, -3, 1, 1},  // 3/2 is 1
      {-1, 0, 0, 1, 1, -3}, {2, 2, 2, 0, 0, 0},    // equal balance cancels
  };
  for (const Case& c : cases) {
    const ColorParams p = ComputeColorParams(0, 0, c.red, c.green, c.blue);
    EXPECT_EQ(p.bdat, c.bdat) << c.red << "," << c.green << "," << c.blue;
    EXPECT_EQ(p.gdat, c.gdat) << c.red << "," << c.green << "," << c.blue;
    EXPECT_EQ(p.rdat, c.rdat) << c.red << "," << c.green << "," << c.blue;
  }
}

TEST(ToneTables, EntriesForTheOptionsOfThePrinter) {
  struct Case {
    const char* what;
    Options options;
    int n, blue, green, red;
  };
  const Case cases[] = {
      {"worked example", kWorkedExample, 0, 0, 0, 0},
      {"worked example", kWorkedExample, 10, 0, 0, 9},
      {"worked example", kWorkedExample, 20, 3, 7, 20},
      {"worked example", kWorkedExample, 64, 55, 59, 72},
      {"worked example", kWorkedExample, 128, 131, 135, 148},
      {"worked example", kWorkedExample, 200, 216, 220, 233},
      {"worked example", kWorkedExample, 238, 255, 255, 255},
      {"worked example", kWorkedExample, 255, 255, 255, 255},
      {"brightness 10", {10}, 0, 50, 50, 50},
      {"brightness 10", {10}, 204, 254, 254, 254},
      {"brightness 10", {10}, 205, 255, 255, 255},
      {"brightness -10", {-10}, 50, 0, 0, 0},
      {"brightness -10", {-10}, 51, 1, 1, 1},
      {"brightness -10", {-10}, 255, 205, 205, 205},
      {"contrast 25 is a near step", {0, 25}, 127, 85, 85, 85},
      {"contrast 25 is a near step", {0, 25}, 128, 128, 128, 128},
      {"contrast 25 is a near step", {0, 25}, 129, 170, 170, 170},
      {"contrast 26 falls", {0, 26}, 0, 255, 255, 255},
      {"contrast 26 falls", {0, 26}, 127, 192, 192, 192},
      {"contrast 26 falls", {0, 26}, 128, 128, 128, 128},
      {"contrast 26 falls", {0, 26}, 129, 64, 64, 64},
      {"contrast 26 falls", {0, 26}, 255, 0, 0, 0},
      {"contrast -10 flattens", {0, -10}, 0, 35, 35, 35},
      {"contrast -10 flattens", {0, -10}, 128, 128, 128, 128},
      {"contrast -10 flattens", {0, -10}, 255, 219, 219, 219},
      {"red 1 alone", {0, 0, 1}, 0, 0, 0, 3},
      {"red 1 alone", {0, 0, 1}, 100, 99, 99, 103},
      {"red 1 alone", {0, 0, 1}, 255, 254, 254, 255},
  };
  for (const Case& c : cases) {
    const ColorTableSet t = TablesFor(c.options);
    EXPECT_EQ(t.blue[c.n], c.blue) << c.what << " entry " << c.n;
    EXPECT_EQ(t.green[c.n], c.green) << c.what << " entry " << c.n;
    EXPECT_EQ(t.red[c.n], c.red) << c.what << " entry " << c.n;
  }
}

TEST(ToneTables, AllOptionsZeroGiveIdentityAndNoSaturation) {
  const ColorTableSet t = TablesFor({});
  for (int n = 0; n < 256; ++n) {
    EXPECT_EQ(t.blue[n], n);
    EXPECT_EQ(t.green[n], n);
    EXPECT_EQ(t.red[n], n);
  }
  for (int i = 0; i < 512; ++i) EXPECT_EQ(t.clrsatable[i], 0) << i;
}

TEST(SaturationTable, EntriesAreTheTruncatedFifteenthsOfTheDifference) {
  const ColorTableSet t = TablesFor(kWorkedExample);
  const int d[] = {-255, -100, -25, -3, -2, 0, 2, 3, 25, 100, 255};
  const int expected[] = {-85, -33, -8, -1, 0, 0, 0, 1, 8, 33, 85};
  for (size_t i = 0; i < std::size(d); ++i) EXPECT_EQ(t.clrsatable[256 + d[i]], expected[i]) << d[i];
  EXPECT_EQ(t.clrsatable[0], 0) << "entry 0 is never written";
}

TEST(SaturationTable, LargeSaturationKeepsTheLowSixteenBits) {
  struct Case {
    int32_t saturation;
    int d;
    int16_t expected;
  };
  const Case cases[] = {
      {1927, 255, 32759},                          // 255 * 1927 / 15 = 32759 still fits
      {-1927, 255, -32759}, {1928, 255, -32760},   // 32776 - 65536
      {1928, -255, 32760},                         // -32776 + 65536
      {30000, 1, 2000},     {30000, 255, -14288},  // 510000 - 8 x 65536
  };
  for (const Case& c : cases) {
    Options o;
    o.saturation = c.saturation;
    EXPECT_EQ(TablesFor(o).clrsatable[256 + c.d], c.expected) << c.saturation << " d " << c.d;
  }
}

TEST(ColorCorrection, WorkedExamplePixel) {
  const ColorTableSet t = TablesFor(kWorkedExample);
  EXPECT_EQ(CorrectPixel(t, 200, 100, 50), (std::array<int, 3>{255, 92, 0}));
}

TEST(ColorCorrection, MonochromePixelsBecomeTheMeanOfTheirChannels) {
  struct Case {
    int r, g, b, out_r, out_g, out_b;
  };
  const Case cases[] = {
      {200, 100, 50, 117, 116, 116},
      {255, 0, 0, 85, 84, 84},
      {0, 0, 255, 84, 84, 85},
      {90, 90, 90, 90, 90, 90},
  };
  for (int32_t saturation : {0, 50, -3, INT_MAX}) {
    Options o;
    o.monochrome = 1;
    o.saturation = saturation;
    const ColorTableSet t = TablesFor(o);
    for (const Case& c : cases)
      EXPECT_EQ(CorrectPixel(t, c.r, c.g, c.b), (std::array<int, 3>{c.out_r, c.out_g, c.out_b}))
          << c.r << "," << c.g << "," << c.b << " with saturation " << saturation;
  }
}

TEST(ColorTables, MonochromeForcesTheJobSaturationForTheRestOfTheJob) {
  int32_t saturation = 7;
  ColorTableSet tables;
  const ColorParams params = ComputeColorParams(0, 0, 0, 0, 0);
  BuildColorTables(tables, saturation, 1, params);
  EXPECT_EQ(saturation, -10);
  // A later page sees the forced value even with the flag off.
  BuildColorTables(tables, saturation, 0, params);
  EXPECT_EQ(tables.clrsatable[256 + 15], -10);
  int32_t untouched = 7;
  BuildColorTables(tables, untouched, 0, params);
  EXPECT_EQ(untouched, 7);
}

TEST(ColorTables, RebuildingClearsThePreviousPage) {
  ColorTableSet tables;
  tables.clrsatable.fill(1234);
  tables.red.fill(9);
  int32_t saturation = 0;
  BuildColorTables(tables, saturation, 0, ComputeColorParams(0, 0, 0, 0, 0));
  EXPECT_EQ(tables.clrsatable[0], 0);
  EXPECT_EQ(tables.clrsatable[300], 0);
  EXPECT_EQ(tables.red[200], 200);
}

// Every colour of the cube, one row of 16384 pixels at a time.
template <typename Check>
void ForEveryColour(const ColorTableSet& tables, Check check) {
  std::vector<uint8_t> row(3 * 16384);
  for (int r = 0; r < 256; ++r) {
    for (int g0 = 0; g0 < 256; g0 += 64) {
      for (int i = 0; i < 16384; ++i) {
        row[3 * i] = static_cast<uint8_t>(r);
        row[3 * i + 1] = static_cast<uint8_t>(g0 + i / 256);
        row[3 * i + 2] = static_cast<uint8_t>(i % 256);
      }
      ColorCorrection(row.data(), 16384, tables, 0, nullptr);
      for (int i = 0; i < 16384; ++i) check(r, g0 + i / 256, i % 256, &row[3 * i]);
    }
  }
}

TEST(ColorCorrection, MonochromeChannelsDifferByAtMostOneForEveryColour) {
  Options o;
  o.monochrome = 1;
  o.saturation = 40;
  const ColorTableSet t = TablesFor(o);  // identity tone tables: the bytes are the saturated values
  int failures = 0;
  ForEveryColour(t, [&](int r, int g, int b, const uint8_t* out) {
    const int hi = std::max({out[0], out[1], out[2]});
    const int lo = std::min({out[0], out[1], out[2]});
    if (hi - lo > 1 && ++failures < 5) ADD_FAILURE() << r << "," << g << "," << b;
  });
  EXPECT_EQ(failures, 0);
}

TEST(ColorCorrection, AllOptionsZeroLeaveEveryColourUnchanged) {
  const ColorTableSet t = TablesFor({});
  int failures = 0;
  ForEveryColour(t, [&](int r, int g, int b, const uint8_t* out) {
    if ((out[0] != r || out[1] != g || out[2] != b) && ++failures < 5) ADD_FAILURE() << r << "," << g << "," << b;
  });
  EXPECT_EQ(failures, 0);
}

TEST(ColorCorrection, GreyPixelsAreNotSaturatedWhateverTheSaturation) {
  for (int32_t saturation : {-10, 5, 1927, -1927, INT_MAX, INT_MIN}) {
    Options o;
    o.saturation = saturation;
    const ColorTableSet t = TablesFor(o);
    for (int v = 0; v < 256; ++v)
      ASSERT_EQ(CorrectPixel(t, v, v, v), (std::array<int, 3>{v, v, v})) << saturation << " grey " << v;
  }
}

TEST(ColorCorrection, ZeroOrNegativeWidthLeavesTheRowUnchanged) {
  const ColorTableSet t = TablesFor({10});  // would brighten every pixel
  // cupsWidth 65536 narrows to 0 and 40000 to a negative count.
  for (int16_t width : {int16_t{0}, int16_t{-1}, static_cast<int16_t>(40000), int16_t{INT16_MIN}}) {
    std::vector<uint8_t> row(30, 77);
    ColorCorrection(row.data(), width, t, 0, nullptr);
    EXPECT_EQ(row, std::vector<uint8_t>(30, 77)) << width;
  }
  std::vector<uint8_t> row(30, 77);
  ColorCorrection(row.data(), 2, t, 0, nullptr);
  EXPECT_EQ(row[5], 127);
  EXPECT_EQ(row[6], 77) << "only the given pixel count is touched";
}

TEST(ColorTables, ExtremeSettingsAreDefined) {
  // Run under the undefined-behaviour sanitizer: any overflow or a zero divisor fails.
  // 1717986944 x 5 wraps to 128 in 32 bits, the one contrast whose divisor is 0.
  const int32_t values[] = {INT_MIN, INT_MIN + 1, -1927, -1, 0, 1, 26, 1717986944, INT_MAX};
  uint8_t pixels[12] = {0, 0, 0, 255, 255, 255, 200, 100, 50, 0, 128, 255};
  for (int32_t a : values) {
    for (int32_t b : values) {
      int32_t saturation = b;
      ColorTableSet tables;
      const ColorParams params = ComputeColorParams(a, b, a, b, a == INT_MIN ? INT_MAX : a);
      BuildColorTables(tables, saturation, 0, params);
      ColorCorrection(pixels, 4, tables, 0, nullptr);
      const ColorParams contrast_only = ComputeColorParams(0, a, 0, 0, 0);
      BuildColorTables(tables, saturation, 0, contrast_only);
      ColorCorrection(pixels, 4, tables, 0, nullptr);
    }
  }
  SUCCEED();
}

}  // namespace
}  // namespace velta
