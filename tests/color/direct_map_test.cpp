// The direct colour map: loading the print mode's table and the interpolation of a
// pixel over one tetrahedron of its grid cell.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "color/direct_map.h"
#include "tests/reference/colour_reference.h"

namespace velta {
namespace {

using Rgb = std::array<int, 3>;

std::vector<uint8_t> LoadedTable(int print_mode) {
  std::vector<uint8_t> table(kDmapTblSize);
  EXPECT_EQ(InitDmapTbl(table.data(), kDmapTblSize, print_mode), 1);
  return table;
}

Rgb Map(const uint8_t* table, Rgb in) {
  uint8_t r = static_cast<uint8_t>(in[0]), g = static_cast<uint8_t>(in[1]), b = static_cast<uint8_t>(in[2]);
  EXPECT_EQ(Change3D(table, &r, &g, &b), 1);
  return {r, g, b};
}

// The reference's reading of the interpolation.
Rgb Reference(const uint8_t* table, Rgb in) {
  uint8_t rgb[3] = {static_cast<uint8_t>(in[0]), static_cast<uint8_t>(in[1]), static_cast<uint8_t>(in[2])};
  reference::MapThroughGrid(table, rgb);
  return {rgb[0], rgb[1], rgb[2]};
}

TEST(Change3D, WorkedExamplesWithTheBuiltInMap) {
  struct Case {
    Rgb in, out;
    const char* remark;
  };
  const Case cases[] = {
      {{0, 0, 0}, {0, 0, 0}, "black node alone"},
      {{255, 255, 255}, {255, 255, 255}, "white node alone"},
      {{128, 128, 128}, {133, 133, 133}, "grey node 4 alone"},
      {{255, 0, 0}, {226, 20, 0}, "red corner alone"},
      {{31, 31, 31}, {33, 35, 34}, "weights 32 reach node 1"},
      {{32, 32, 32}, {33, 35, 34}, "weights 0 sit on node 1"},
      {{1, 1, 1}, {2, 2, 2}, "weights 2"},
      {{100, 150, 200}, {124, 180, 223}, "green > blue > red"},
      {{200, 100, 50}, {198, 101, 46}, "blue >= red > green"},
  };
  for (int mode : {0, 1}) {
    const std::vector<uint8_t> table = LoadedTable(mode);
    for (const Case& c : cases) EXPECT_EQ(Map(table.data(), c.in), c.out) << c.remark << " mode " << mode;
  }
}

TEST(Change3D, FirstStepAboveANodeMovesTwoThirtySecondsTowardTheNext) {
  const std::vector<uint8_t> table = LoadedTable(0);
  // Green axis: node 1 (0, 50, 0) and node 2 (10, 110, 0); 33 lies 2/32 along.
  EXPECT_EQ(Map(table.data(), {0, 33, 0}), (Rgb{(30 * 0 + 2 * 10) / 32, (30 * 50 + 2 * 110) / 32, 0}));
  // Blue axis: node 6 (0, 31, 246), node 7 (0, 44, 254).
  EXPECT_EQ(Map(table.data(), {0, 0, 193}), (Rgb{0, (30 * 31 + 2 * 44) / 32, (30 * 246 + 2 * 254) / 32}));
  // Red axis: node 4 (135, 0, 0), node 5 (154, 6, 0).
  EXPECT_EQ(Map(table.data(), {129, 0, 0}), (Rgb{(30 * 135 + 2 * 154) / 32, (2 * 6) / 32, 0}));
}

TEST(Change3D, JustBelowAndOnANodeGiveTheSameColour) {
  const std::vector<uint8_t> table = LoadedTable(1);
  const int others[] = {0, 17, 64, 100, 223, 255};
  for (int channel = 0; channel < 3; ++channel)
    for (int k = 0; k < 7; ++k)
      for (int a : others)
        for (int b : others) {
          Rgb below{a, a, a}, on{a, a, a};
          below[(channel + 1) % 3] = on[(channel + 1) % 3] = b;
          below[channel] = 32 * k + 31;
          on[channel] = 32 * k + 32;
          EXPECT_EQ(Map(table.data(), below), Map(table.data(), on)) << channel << " k " << k;
        }
}

TEST(Change3D, MatchesThePlainReadingOnEveryTetrahedronAndTie) {
  // A random table shows a corner taken from the wrong place at once.
  std::mt19937 rng(12345);
  std::vector<uint8_t> table(kDmapTblSize);
  for (uint8_t& v : table) v = static_cast<uint8_t>(rng() & 255);
  // Low parts chosen to give every order of the weights and every kind of tie.
  const int lows[] = {0, 1, 2, 5, 16, 30, 31};
  const int cells[] = {0, 3, 7};
  for (int cr : cells)
    for (int cg : cells)
      for (int cb : cells)
        for (int lr : lows)
          for (int lg : lows)
            for (int lb : lows) {
              const Rgb in{32 * cr + lr, 32 * cg + lg, 32 * cb + lb};
              ASSERT_EQ(Map(table.data(), in), Reference(table.data(), in)) << in[0] << "," << in[1] << "," << in[2];
            }
  for (int i = 0; i < 200000; ++i) {
    const Rgb in{static_cast<int>(rng() & 255), static_cast<int>(rng() & 255), static_cast<int>(rng() & 255)};
    ASSERT_EQ(Map(table.data(), in), Reference(table.data(), in)) << in[0] << "," << in[1] << "," << in[2];
  }
}

TEST(Change3D, TiedWeightsGiveTheSameResultAsEitherNeighbouringTetrahedron) {
  std::mt19937 rng(7);
  std::vector<uint8_t> table(kDmapTblSize);
  for (uint8_t& v : table) v = static_cast<uint8_t>(rng() & 255);
  // Each tie is checked against the input nudged by one step to either side of it,
  // scaled back: the weights move by one 32nd, so the result moves by at most a step.
  struct Case {
    Rgb in;
    const char* tie;
  };
  const Case cases[] = {
      {{70, 70, 70}, "all three equal"},        {{40, 80, 80}, "blue = green > red"},
      {{80, 40, 80}, "blue = red > green"},     {{80, 80, 40}, "red = green > blue"},
      {{80, 40, 40}, "green = blue below red"}, {{40, 80, 40}, "red = blue below green"},
      {{40, 40, 80}, "red = green below blue"},
  };
  for (const Case& c : cases) {
    const Rgb tied = Map(table.data(), c.in);
    EXPECT_EQ(tied, Reference(table.data(), c.in)) << c.tie;
    for (int channel = 0; channel < 3; ++channel)
      for (int step : {-1, 1}) {
        Rgb near = c.in;
        near[channel] += step;
        const Rgb moved = Map(table.data(), near);
        for (int out = 0; out < 3; ++out) EXPECT_LE(std::abs(moved[out] - tied[out]), 8) << c.tie;
      }
  }
}

TEST(InitDmapTbl, BothPrintModesLoadTheSameMap) {
  EXPECT_EQ(LoadedTable(0), LoadedTable(1));
  EXPECT_EQ(LoadedTable(0), LoadedTable(7)) << "any non-zero mode is high quality";
  EXPECT_TRUE(
      std::equal(Zorv_DmapTbl_K90_Normal.begin(), Zorv_DmapTbl_K90_Normal.end(), Zorv_DmapTbl_K90_HighQuality.begin()));
}

TEST(InitDmapTbl, CopiesNoMoreThanAskedAndNeverPastTheTable) {
  struct Case {
    int32_t size;
    size_t copied;
  };
  const Case cases[] = {{0, 0}, {-5, 0}, {INT32_MIN, 0}, {10, 10}, {2187, 2187}, {2188, 2187}, {INT32_MAX, 2187}};
  for (const Case& c : cases) {
    std::vector<uint8_t> buffer(kDmapTblSize + 16, 0xAB);
    EXPECT_EQ(InitDmapTbl(buffer.data(), c.size, 1), 1);
    for (size_t i = 0; i < buffer.size(); ++i) {
      const uint8_t expected = i < c.copied ? Zorv_DmapTbl_K90_HighQuality[i] : 0xAB;
      ASSERT_EQ(buffer[i], expected) << "size " << c.size << " byte " << i;
    }
  }
}

}  // namespace
}  // namespace velta
