// The colour correction's row kernels against the plain per-pixel routine:
// every one of the 16,777,216 colours for option sets from the default to the
// extremes, in both print modes, with and without the direct map, on every
// instruction set this machine has; and rows of every short width, whose
// bytes after the last pixel stay as they were.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "color/color_adjust.h"
#include "color/colour_lookups.h"
#include "color/colour_row_kernels.h"
#include "color/direct_map.h"
#include "color/page_color_correction.h"
#include "cpu/cpu_variant.h"

namespace velta {
namespace {

// Under the sanitizers the sweep takes every 7th colour (7 is prime to 2^24,
// so the colours taken fall on every value of every channel).
#if defined(__SANITIZE_ADDRESS__)
constexpr uint32_t COLOUR_STRIDE = 7;
#else
constexpr uint32_t COLOUR_STRIDE = 1;
#endif

// One job's colour options.
struct ColourJob {
  const char* name;
  int32_t brightness, contrast, saturation, red, green, blue;
  int monochrome, directmap, high_quality;
};

// A page's tables for a job: the colour table set and, with the direct map
// on, the print mode's map.
struct JobTables {
  ColorTableSet colortable{};
  std::array<uint8_t, kDmapTblSize> DmapTbl{};
  int bTableRet = 0;

  explicit JobTables(const ColourJob& job) {
    int32_t saturation = job.saturation;
    BuildColorTables(colortable, saturation, job.monochrome,
                     ComputeColorParams(job.brightness, job.contrast, job.red, job.green, job.blue));
    if (job.directmap) bTableRet = InitDmapTbl(DmapTbl.data(), kDmapTblSize, job.high_quality);
  }
};

// The colours of the sweep, one pixel each: red the highest byte of the
// colour's number, blue the lowest.
std::vector<uint8_t> SweepColours() {
  std::vector<uint8_t> pixels;
  pixels.reserve(3 * (std::size_t{1} << 24) / COLOUR_STRIDE + 3);
  for (uint32_t colour = 0; colour < 1u << 24; colour += COLOUR_STRIDE) {
    pixels.insert(pixels.end(), {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                                 static_cast<uint8_t>(colour)});
  }
  return pixels;
}

// Names the first pixel where two buffers of pixels differ, or "" when none.
std::string FirstDifference(const std::vector<uint8_t>& actual, const std::vector<uint8_t>& expected) {
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (actual[i] == expected[i]) continue;
    const std::size_t p = i - i % 3;
    return "pixel " + std::to_string(p / 3) + ": " + std::to_string(actual[p]) + "," + std::to_string(actual[p + 1]) +
           "," + std::to_string(actual[p + 2]) + " instead of " + std::to_string(expected[p]) + "," +
           std::to_string(expected[p + 1]) + "," + std::to_string(expected[p + 2]);
  }
  return actual.size() == expected.size() ? "" : "a different length";
}

TEST(ColourRowKernels, EveryColourComesOutAsThePlainRoutineMakesItOnEveryInstructionSet) {
  const ColourJob jobs[] = {
      {"brightness 2", 2, 0, 0, 0, 0, 0, 0, 0, 0},
      {"direct map, normal mode", 0, 0, 0, 0, 0, 0, 0, 1, 0},
      {"every option, high quality", 2, 2, 3, 1, -1, 2, 0, 1, 1},
      {"monochrome", 0, 0, 0, 0, 0, 0, 1, 0, 0},
      {"monochrome over saturation 10, mapped", 3, 0, 10, 0, 0, 0, 1, 1, 1},
      {"all at -10, mapped", -10, -10, -10, -10, -10, -10, 0, 1, 0},
      {"all at +10, mapped", 10, 10, 10, 10, 10, 10, 0, 1, 1},
      {"balance apart, contrast 26 (a falling line)", 0, 26, -7, 10, -10, 3, 0, 0, 0},
      // Terms past 16 bits keep their low 16 bits: large and of either sign.
      {"saturation 2500", -1, 3, 2500, 0, 0, 0, 0, 1, 0},
  };
  const std::vector<uint8_t> colours = SweepColours();
  const std::size_t pixels = colours.size() / 3;
  for (const ColourJob& job : jobs) {
    const JobTables tables(job);
    std::vector<uint8_t> expected = colours;
    for (std::size_t p = 0; p < pixels; ++p)
      CorrectPixel(&expected[3 * p], tables.colortable, tables.bTableRet, tables.DmapTbl.data());
    ColourLookups lookups;
    BuildColourLookups(lookups, tables.colortable, tables.bTableRet, tables.DmapTbl.data());
    for (Isa isa : AvailableIsas()) {
      // In two rows, the second starting 5 pixels in: its groups of 8 or 16
      // then span two cells of the direct map where blue crosses 32k.
      std::vector<uint8_t> actual = colours;
      ColourRowKernelsFor(isa).correctRow(actual.data(), 5, lookups);
      ColourRowKernelsFor(isa).correctRow(actual.data() + 15, pixels - 5, lookups);
      ASSERT_EQ(FirstDifference(actual, expected), "") << job.name << " in " << IsaName(isa);
    }
  }
}

// Rows of 1 to 40 pixels and a page's 1800, each followed by the pad bytes of
// a page row, through the page's correction with each instruction set: the
// pixels as ColorCorrection makes them, the pad bytes untouched (and, in the
// sanitizer build, nothing read past them).
TEST(ColourRowKernels, RowsOfEveryWidthEqualThePlainRowAndLeaveTheirPadBytesAlone) {
  std::mt19937 random(41);
  const ColourJob job{"every option", -3, 4, 6, 2, 0, -5, 0, 1, 0};
  const JobTables tables(job);
  std::vector<int> widths;
  for (int w = 1; w <= 40; ++w) widths.push_back(w);
  widths.push_back(1800);
  for (Isa isa : AvailableIsas()) {
    PageColorCorrection correct(tables.colortable, tables.bTableRet, tables.DmapTbl.data(), isa);
    for (int w : widths) {
      std::vector<uint8_t> row((3 * w + 3) / 4 * 4);
      for (uint8_t& byte : row) byte = static_cast<uint8_t>(random());
      std::vector<uint8_t> expected = row;
      ColorCorrection(expected.data(), static_cast<int16_t>(w), tables.colortable, tables.bTableRet,
                      tables.DmapTbl.data());
      correct(row.data(), static_cast<int16_t>(w));
      ASSERT_EQ(FirstDifference(row, expected), "") << w << " pixels in " << IsaName(isa);
    }
    // A width of 0 or less in 16 bits corrects nothing, as in ColorCorrection.
    std::vector<uint8_t> row(96, 200), untouched = row;
    for (int16_t w : {int16_t{0}, int16_t{-5}}) correct(row.data(), w);
    EXPECT_EQ(row, untouched) << IsaName(isa);
  }
}

}  // namespace
}  // namespace velta
