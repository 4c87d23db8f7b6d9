// Direct colour map: loading a built-in table and the tetrahedral interpolation
// of one pixel between the nodes of its grid cell.
#include "color/direct_map.h"

#include <algorithm>
#include <cstring>

namespace velta {
namespace {

// Byte steps between neighbouring nodes: red varies slowest, then green, then blue.
constexpr int kRedStep = 243;
constexpr int kGreenStep = 27;
constexpr int kBlueStep = 3;

// Weight of an input within its cell, in 32nds: 0 at the cell's lower node, and
// 2..32 above it, so that 32k+31 reaches the upper node exactly.
constexpr int CellWeight(int value) {
  const int w = value & 31;
  return w != 0 ? w + 1 : 0;
}

}  // namespace

int InitDmapTbl(uint8_t* DmapTbl, int32_t dwReadSize, int iPrintMode) {
  const auto& source = iPrintMode != 0 ? Zorv_DmapTbl_K90_HighQuality : Zorv_DmapTbl_K90_Normal;
  // The caller passes 2187; anything else is held to the table so it is never over-read.
  const int32_t count = std::clamp<int32_t>(dwReadSize, 0, kDmapTblSize);
  std::memcpy(DmapTbl, source.data(), static_cast<size_t>(count));
  return 1;
}

int Change3D(const uint8_t* DmapTbl, uint8_t* Red, uint8_t* Green, uint8_t* Blue) {
  const int blue = *Blue;
  const int green = *Green;
  const int red = *Red;
  const int w1 = CellWeight(blue);
  const int w2 = CellWeight(green);
  const int w3 = CellWeight(red);
  const uint8_t* base = DmapTbl + (red >> 5) * kRedStep + (green >> 5) * kGreenStep + (blue >> 5) * kBlueStep;

  // The cell is cut along its grey diagonal into six tetrahedra; the order of the
  // three weights picks the one that holds the pixel. Every tetrahedron runs from
  // the base corner to the far corner along the axis of the largest weight, then
  // the next largest. Sorting the weights with their axes finds it without a
  // branch a picture could make unpredictable. Ties need no rule: equal weights
  // give the corner between them a weight of 0.
  struct Axis {
    int weight, step;
  };
  Axis high{w1, kBlueStep}, middle{w2, kGreenStep}, low{w3, kRedStep};
  const auto order = [](Axis& first, Axis& second) {
    const bool swap = second.weight > first.weight;
    const Axis larger = swap ? second : first, smaller = swap ? first : second;
    first = larger, second = smaller;
  };
  order(high, middle);
  order(middle, low);
  order(high, middle);
  const int step1 = high.step, step2 = high.step + middle.step;
  // Weights of the base, first middle, second middle and far corner.
  const int k0 = 32 - high.weight, k1 = high.weight - middle.weight, k2 = middle.weight - low.weight, k3 = low.weight;
  const uint8_t* c0 = base;
  const uint8_t* c1 = base + step1;
  const uint8_t* c2 = base + step2;
  const uint8_t* c3 = base + kRedStep + kGreenStep + kBlueStep;

  // The four weights sum to 32, so each sum is at most 255 x 32 and its 32nd a byte.
  const int dt1 = k0 * c0[0] + k1 * c1[0] + k2 * c2[0] + k3 * c3[0];
  const int dt2 = k0 * c0[1] + k1 * c1[1] + k2 * c2[1] + k3 * c3[1];
  const int dt3 = k0 * c0[2] + k1 * c1[2] + k2 * c2[2] + k3 * c3[2];
  *Red = static_cast<uint8_t>(dt1 >> 5);
  *Green = static_cast<uint8_t>(dt2 >> 5);
  *Blue = static_cast<uint8_t>(dt3 >> 5);
  return 1;
}

}  // namespace velta
