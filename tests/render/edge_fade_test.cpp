// Dense energies fade over the ten pixels at each end of a row.
#include <gtest/gtest.h>

#include "render/edge_fade.h"

namespace velta {
namespace {

TEST(FadeRowEnds, DenseEnergiesAtTheRowEnds) {
  struct FadeCase {
    const char* name;
    int Temp;
    std::size_t i, w;
    int expected;
  } cases[] = {
      {"200 is not dense: kept at pixel 0", 200, 0, 40, 200},
      {"201 at pixel 0 prints nothing", 201, 0, 40, 0},
      {"pixel 5 prints 5/20", 220, 15, 40, 55},
      {"pixel 9, last channel, 9/20", 220, 29, 40, 99},
      {"pixel 10 is past the left zone", 220, 30, 40, 220},
      {"middle of the row is only clamped", 300, 60, 40, 255},
      {"full energy in the middle stays", 255, 60, 40, 255},
      {"negative values are left to the caller", -5, 0, 40, -5},
      {"channel 0 of pixel w - 10 is outside the right zone", 220, 90, 40, 220},
      {"channels 1 and 2 of pixel w - 10 have k = 0", 220, 91, 40, 220},
      {"pixel w - 9, k = 1", 220, 93, 40, 209},
      {"k = 6 falls just below 231", 330, 108, 40, 230},
      {"k = 7 falls just below 143", 220, 111, 40, 142},
      {"last pixel, k = 9", 220, 117, 40, 121},
      {"last pixel, last channel", 220, 119, 40, 121},
      {"clamp comes after the right fade", 400, 117, 40, 220},
      {"narrow row: left 22, then right k = 7", 220, 6, 5, 14},
      {"narrow row: left 20, then right k = 8, then clamp", 400, 3, 3, 12},
      {"one-pixel row: pixel 0 prints nothing", 255, 2, 1, 0},
  };
  for (const FadeCase& fade : cases) {
    EXPECT_EQ(FadeRowEnds(fade.Temp, fade.i, fade.w), fade.expected) << fade.name;
  }
}

}  // namespace
}  // namespace velta
