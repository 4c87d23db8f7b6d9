// The built-in tone tables: the energies the head's calibration fixes, and a
// smooth fall from dark to light between them.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "render/smear_control.h"
#include "render/tone_tables.h"

namespace velta {
namespace {

constexpr int ANCHOR_INPUTS[14] = {0, 32, 64, 96, 128, 160, 192, 224, 240, 248, 252, 253, 254, 255};

struct ToneBlockCase {
  std::string name;
  const std::array<uint8_t, 768>* table;
  int block;
  int anchors[14];
};

const ToneBlockCase BLOCKS[] = {
    {"Normal, plane 0", &Zorv_K40_Normal, 0, {235, 202, 174, 149, 129, 111, 94, 79, 68, 56, 46, 42, 30, 26}},
    {"Normal, plane 1", &Zorv_K40_Normal, 1, {237, 204, 176, 151, 131, 113, 98, 85, 74, 64, 55, 52, 30, 26}},
    {"Normal, plane 2", &Zorv_K40_Normal, 2, {246, 206, 176, 149, 127, 110, 94, 81, 71, 62, 54, 51, 30, 26}},
    {"HighQuality, plane 0", &Zorv_K40_HighQuality, 0, {239, 200, 168, 142, 122, 105, 91, 76, 65, 54, 45, 42, 30, 26}},
    {"HighQuality, plane 1", &Zorv_K40_HighQuality, 1, {237, 199, 169, 144, 123, 108, 94, 82, 72, 63, 56, 54, 30, 26}},
    {"HighQuality, plane 2", &Zorv_K40_HighQuality, 2, {247, 202, 169, 141, 120, 103, 91, 78, 69, 60, 53, 51, 30, 26}},
};

TEST(ToneTables, CalibratedEnergiesHold) {
  for (const ToneBlockCase& block : BLOCKS) {
    for (int n = 0; n < 14; ++n) {
      EXPECT_EQ((*block.table)[256 * block.block + ANCHOR_INPUTS[n]], block.anchors[n])
          << block.name << ", input " << ANCHOR_INPUTS[n];
    }
  }
}

// Lighter input never gets more energy, and between two calibrated inputs the
// curve neither jumps nor stalls more than the anchors' slope forces: a step is
// at most twice the mean step of its interval, plus one for rounding, and a run
// of equal values is no longer than the run a straight line would have.
TEST(ToneTables, BlocksFallSmoothlyBetweenAnchors) {
  for (const ToneBlockCase& block : BLOCKS) {
    const uint8_t* curve = block.table->data() + 256 * block.block;
    for (int v = 0; v < 255; ++v) EXPECT_GE(curve[v], curve[v + 1]) << block.name << ", input " << v;
    for (int n = 0; n + 1 < 14; ++n) {
      const int from = ANCHOR_INPUTS[n], to = ANCHOR_INPUTS[n + 1];
      const double meanStep = double(block.anchors[n] - block.anchors[n + 1]) / (to - from);
      int longestRun = 1, run = 1;
      for (int v = from; v < to; ++v) {
        EXPECT_LE(curve[v] - curve[v + 1], 2 * meanStep + 1) << block.name << ", input " << v;
        run = curve[v] == curve[v + 1] ? run + 1 : 1;
        if (run > longestRun) longestRun = run;
      }
      EXPECT_LE(longestRun, meanStep > 0 ? 2 / meanStep + 1 : to - from + 1)
          << block.name << ", inputs " << from << " to " << to;
    }
  }
}

// hotlut is indexed by source channel, red first; the built-in blocks are in
// plane order, blue first.
TEST(ToneTables, HotlutHoldsTheModesBlocksInChannelOrder) {
  struct ModeCase {
    int iPrintMode;
    const std::array<uint8_t, 768>* table;
  } modes[] = {{0, &Zorv_K40_Normal}, {1, &Zorv_K40_HighQuality}, {7, &Zorv_K40_HighQuality}};
  for (const ModeCase& mode : modes) {
    std::array<uint8_t, 768> hotlut{};
    EXPECT_EQ(GetSmearlut(hotlut.data(), mode.iPrintMode), 1);
    for (int v = 0; v < 256; ++v) {
      EXPECT_EQ(hotlut[v], (*mode.table)[512 + v]) << "mode " << mode.iPrintMode << ", red " << v;
      EXPECT_EQ(hotlut[256 + v], (*mode.table)[256 + v]) << "mode " << mode.iPrintMode << ", green " << v;
      EXPECT_EQ(hotlut[512 + v], (*mode.table)[v]) << "mode " << mode.iPrintMode << ", blue " << v;
    }
  }
}

}  // namespace
}  // namespace velta
