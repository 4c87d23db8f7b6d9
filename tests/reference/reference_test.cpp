// The reference colour correction and resizing reproduce the printer's known
// results, so that agreement with the filter means something.
#include <array>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "color/direct_map.h"
#include "tests/reference/colour_reference.h"
#include "tests/reference/resize_reference.h"

namespace velta::reference {
namespace {

using Rgb = std::array<int, 3>;

// Adjusts one pixel with options and returns its bytes.
Rgb Adjusted(const PictureOptions& options, Rgb in) {
  uint8_t rgb[3] = {static_cast<uint8_t>(in[0]), static_cast<uint8_t>(in[1]), static_cast<uint8_t>(in[2])};
  ColourAdjustment(options).Apply(rgb);
  return {rgb[0], rgb[1], rgb[2]};
}

struct AdjustExample {
  PictureOptions options;
  Rgb in, out;
};

TEST(ModelColourAdjustment, ReproducesTheWorkedPixels) {
  PictureOptions worked;
  worked.brightness = 2, worked.contrast = 4, worked.red = 3, worked.blue = -1, worked.saturation = 5;
  PictureOptions mono;
  mono.monochrome = true, mono.saturation = 12;
  PictureOptions brighter;
  brighter.brightness = 10;
  PictureOptions steep;
  steep.contrast = 25;
  PictureOptions inverted;
  inverted.contrast = 26;
  PictureOptions flat;
  flat.contrast = -10;
  const std::vector<AdjustExample> examples = {
      {worked, {200, 100, 50}, {255, 92, 0}},
      {worked, {20, 20, 20}, {20, 7, 3}},  // grey is not saturated; tone entries 20
      {worked, {128, 128, 128}, {148, 135, 131}},
      {mono, {200, 100, 50}, {117, 116, 116}},
      {mono, {255, 0, 0}, {85, 84, 84}},
      {mono, {0, 0, 255}, {84, 84, 85}},
      {brighter, {205, 204, 0}, {255, 254, 50}},
      {steep, {127, 128, 129}, {85, 128, 170}},
      {inverted, {0, 128, 255}, {255, 128, 0}},
      {flat, {0, 0, 255}, {35, 35, 219}},
  };
  for (const auto& e : examples) EXPECT_EQ(Adjusted(e.options, e.in), e.out) << e.in[0] << "," << e.in[1];
}

TEST(ModelColourAdjustment, RedBalanceTruncatesTowardZero) {
  PictureOptions o;
  o.red = 1;
  const ColourAdjustment a(o);
  EXPECT_EQ(a.blue_offset(), -1);
  EXPECT_EQ(a.green_offset(), -1);
  EXPECT_EQ(a.red_offset(), 3);
}

TEST(ModelDirectMap, ReproducesTheWorkedPixels) {
  const std::vector<std::pair<Rgb, Rgb>> examples = {
      {{0, 0, 0}, {0, 0, 0}},      {{255, 255, 255}, {255, 255, 255}}, {{128, 128, 128}, {133, 133, 133}},
      {{255, 0, 0}, {226, 20, 0}}, {{31, 31, 31}, {33, 35, 34}},       {{32, 32, 32}, {33, 35, 34}},
      {{1, 1, 1}, {2, 2, 2}},      {{100, 150, 200}, {124, 180, 223}}, {{200, 100, 50}, {198, 101, 46}},
  };
  for (const auto* table : {Zorv_DmapTbl_K90_Normal.data(), Zorv_DmapTbl_K90_HighQuality.data()}) {
    for (const auto& [in, out] : examples) {
      uint8_t rgb[3] = {static_cast<uint8_t>(in[0]), static_cast<uint8_t>(in[1]), static_cast<uint8_t>(in[2])};
      MapThroughGrid(table, rgb);
      EXPECT_EQ((Rgb{rgb[0], rgb[1], rgb[2]}), out) << in[0] << "," << in[1] << "," << in[2];
    }
  }
}

// A picture whose every pixel at column x (or row y) has all three bytes value(x).
Picture Striped(int w, int h, bool columns, const std::vector<int>& values) {
  Picture p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) p.pixel(x, y)[c] = static_cast<uint8_t>(values[columns ? x : y]);
  return p;
}

TEST(ModelResize, EnlargesTheFourByFourPicturesByHundred) {
  for (bool columns : {true, false}) {
    Picture p = Striped(4, 4, columns, {0, 100, 200, 255});
    Enlarge(p, 100, 100);
    const std::vector<int> expected = {100, 150, 200, 227};
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(p.pixel(x, y)[1], expected[columns ? x : y]) << x << "," << y;
  }
}

TEST(ModelResize, ReducesTheFiveByFivePictureByForty) {
  Picture p = Striped(5, 5, true, {0, 50, 100, 150, 250});
  Reduce(p, -40, -40);
  const std::vector<int> inner = {255, 20, 100, 210, 255};
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 5; ++x) {
      const int expected = (y == 0 || y == 4) ? 255 : inner[x];
      EXPECT_EQ(p.pixel(x, y)[0], expected) << x << "," << y;
    }
  }
}

TEST(ModelResize, ReductionTruncatesTwiceAndPlacesOddSizes) {
  // 0 and 255 side by side average to 127 along the row, then 127 down the column.
  Picture p = Striped(8, 8, true, {0, 255, 0, 255, 0, 255, 0, 255});
  Reduce(p, -50, -50);
  EXPECT_EQ(p.pixel(2, 2)[0], 127);
  EXPECT_EQ(p.pixel(5, 5)[2], 127);
  EXPECT_EQ(p.pixel(1, 2)[0], 255);
  EXPECT_EQ(p.pixel(6, 2)[0], 255);
  // Nine columns to four: columns 2 to 5, two white columns left and three right.
  Picture q = Striped(9, 9, true, {0, 0, 0, 0, 0, 0, 0, 0, 0});
  Reduce(q, -50, -50);
  for (int x = 0; x < 9; ++x) EXPECT_EQ(q.pixel(x, 4)[0], (x >= 2 && x <= 5) ? 0 : 255) << x;
}

}  // namespace
}  // namespace velta::reference
