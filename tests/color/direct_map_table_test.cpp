// The built-in direct colour map: the nodes that pin it, the two colours that fix
// its inside, and the smoothness that keeps printed gradients free of bands.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <tuple>

#include "color/direct_map.h"

namespace velta {
namespace {

using Node = std::array<int, 3>;
using Rgb = std::array<int, 3>;

Rgb At(Node n) {
  const size_t offset = static_cast<size_t>(n[0] * 243 + n[1] * 27 + n[2] * 3);
  return {Zorv_DmapTbl_K90_Normal[offset], Zorv_DmapTbl_K90_Normal[offset + 1], Zorv_DmapTbl_K90_Normal[offset + 2]};
}

const Rgb kGrey[9] = {{0, 0, 0},       {33, 35, 34},    {64, 66, 66},    {98, 98, 98},   {133, 133, 133},
                      {162, 162, 162}, {191, 192, 190}, {221, 221, 220}, {255, 255, 255}};
const Rgb kRedAxis[9] = {{0, 0, 0},   {36, 0, 0},   {73, 0, 0},   {108, 0, 0}, {135, 0, 0},
                         {154, 6, 0}, {168, 10, 0}, {195, 14, 0}, {226, 20, 0}};
const Rgb kGreenAxis[9] = {{0, 0, 0},    {0, 50, 0},    {10, 110, 0},  {27, 166, 0}, {34, 210, 0},
                           {38, 238, 0}, {50, 249, 16}, {56, 255, 28}, {55, 255, 25}};
const Rgb kBlueAxis[9] = {{0, 0, 0},    {0, 0, 54},   {0, 8, 106},  {0, 16, 161}, {0, 19, 200},
                          {0, 25, 231}, {0, 31, 246}, {0, 44, 254}, {0, 51, 255}};

std::set<Node> PinnedNodes() {
  std::set<Node> pinned;
  for (int k = 0; k < 9; ++k) {
    pinned.insert({k, k, k});
    pinned.insert({k, 0, 0});
    pinned.insert({0, k, 0});
    pinned.insert({0, 0, k});
  }
  pinned.insert({8, 8, 0});
  pinned.insert({0, 8, 8});
  pinned.insert({8, 0, 8});
  return pinned;
}

TEST(BuiltInMap, PinnedNodesHoldTheirColours) {
  for (int k = 0; k < 9; ++k) {
    EXPECT_EQ(At({k, k, k}), kGrey[k]) << "grey " << k;
    EXPECT_EQ(At({k, 0, 0}), kRedAxis[k]) << "red " << k;
    EXPECT_EQ(At({0, k, 0}), kGreenAxis[k]) << "green " << k;
    EXPECT_EQ(At({0, 0, k}), kBlueAxis[k]) << "blue " << k;
  }
  struct Corner {
    Node node;
    Rgb colour;
    const char* name;
  };
  const Corner corners[] = {
      {{0, 0, 0}, {0, 0, 0}, "black"},     {{8, 8, 8}, {255, 255, 255}, "white"},
      {{8, 0, 0}, {226, 20, 0}, "red"},    {{0, 8, 0}, {55, 255, 25}, "green"},
      {{0, 0, 8}, {0, 51, 255}, "blue"},   {{8, 8, 0}, {244, 255, 104}, "yellow"},
      {{0, 8, 8}, {61, 255, 193}, "cyan"}, {{8, 0, 8}, {252, 10, 255}, "magenta"},
  };
  for (const Corner& c : corners) EXPECT_EQ(At(c.node), c.colour) << c.name;
}

TEST(BuiltInMap, InnerNodesOfTheTwoWorkedColoursSumIntoTheirOutputs) {
  struct Term {
    int weight;
    Node node;
  };
  struct Case {
    const char* colour;
    std::array<Term, 4> terms;
    Rgb low;
  };
  const Case cases[] = {
      {"100,150,200", {{{9, {3, 4, 6}}, {14, {3, 5, 6}}, {4, {3, 5, 7}}, {5, {4, 5, 7}}}}, {3968, 5760, 7136}},
      {"200,100,50", {{{13, {6, 3, 1}}, {10, {6, 3, 2}}, {4, {7, 3, 2}}, {5, {7, 4, 2}}}}, {6336, 3232, 1472}},
  };
  for (const Case& c : cases)
    for (int channel = 0; channel < 3; ++channel) {
      int sum = 0;
      for (const Term& t : c.terms) sum += t.weight * At(t.node)[channel];
      EXPECT_GE(sum, c.low[channel]) << c.colour << " channel " << channel;
      EXPECT_LE(sum, c.low[channel] + 31) << c.colour << " channel " << channel;
    }
}

TEST(BuiltInMap, EachOutputChannelNeverFallsAlongItsOwnInputAxis) {
  // More red in never gives less red out; likewise green and blue.
  for (int r = 0; r < 9; ++r)
    for (int g = 0; g < 9; ++g)
      for (int b = 0; b < 9; ++b)
        for (int axis = 0; axis < 3; ++axis) {
          Node next{r, g, b};
          if (++next[axis] > 8) continue;
          EXPECT_LE(At({r, g, b})[axis], At(next)[axis]) << r << g << b << " along " << axis;
        }
}

TEST(BuiltInMap, NoFreeNodeJumpsAwayFromItsNeighbours) {
  // Outside the pinned nodes a node stays within 24 of the mean of its neighbours
  // along the three axes, and no two neighbouring nodes differ by more than 64 (the
  // pinned green axis itself climbs 60 in one step).
  const std::set<Node> pinned = PinnedNodes();
  for (int r = 0; r < 9; ++r)
    for (int g = 0; g < 9; ++g)
      for (int b = 0; b < 9; ++b) {
        const Node node{r, g, b};
        const Rgb here = At(node);
        std::array<int, 3> sum{};
        int count = 0;
        for (int axis = 0; axis < 3; ++axis)
          for (int step : {-1, 1}) {
            Node other = node;
            other[axis] += step;
            if (other[axis] < 0 || other[axis] > 8) continue;
            const Rgb there = At(other);
            for (int c = 0; c < 3; ++c) {
              EXPECT_LE(std::abs(there[c] - here[c]), 64) << r << g << b;
              sum[c] += there[c];
            }
            ++count;
          }
        if (pinned.count(node)) continue;
        for (int c = 0; c < 3; ++c)
          EXPECT_LE(std::abs(count * here[c] - sum[c]), 24 * count) << r << g << b << " channel " << c;
      }
}

TEST(BuiltInMap, NeutralInputsStayNearNeutral) {
  // Greys print as greys at every level, and a near-grey input (channels within 8 of
  // each other) is never tinted by more than 3 times its own spread plus 4.
  std::vector<uint8_t> table(Zorv_DmapTbl_K90_Normal.begin(), Zorv_DmapTbl_K90_Normal.end());
  for (int v = 0; v < 256; ++v) {
    for (int dr = -8; dr <= 8; dr += 4)
      for (int db = -8; db <= 8; db += 4) {
        const int in[3] = {std::clamp(v + dr, 0, 255), v, std::clamp(v + db, 0, 255)};
        uint8_t r = static_cast<uint8_t>(in[0]), g = static_cast<uint8_t>(in[1]), b = static_cast<uint8_t>(in[2]);
        Change3D(table.data(), &r, &g, &b);
        const int spread_in = std::max({in[0], in[1], in[2]}) - std::min({in[0], in[1], in[2]});
        const int spread_out = std::max({r, g, b}) - std::min({r, g, b});
        EXPECT_LE(spread_out, 3 * spread_in + 4) << in[0] << "," << in[1] << "," << in[2];
        if (spread_in == 0) {
          EXPECT_LE(spread_out, 2) << "grey " << v;
          EXPECT_LE(std::abs(g - v), 6) << "grey " << v;
        }
      }
  }
}

}  // namespace
}  // namespace velta
