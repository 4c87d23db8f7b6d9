#pragma once

#include <cstddef>

namespace velta {

// Fades a dense head energy Temp at byte i of a row of w pixels and clamps it
// to 255. The paper's margins take heat badly, so energies above 200 are
// scaled down over the ten pixels at each end of a row: on the left by p/20
// (pixel 0 prints nothing), on the right by 1 - 0.05 k, k counting from 0 at
// pixel w - 10 to 9 on the last pixel. A row narrower than 20 pixels has bytes
// in both zones; the left fade comes first, the clamp last. The double
// arithmetic is part of the result: f is a double, so some products fall just
// below a whole number and truncate one lower (220 at k = 7 gives 142).
inline int FadeRowEnds(int Temp, std::size_t i, std::size_t w) {
  if (Temp <= 200) return Temp;
  const std::size_t p = i / 3;
  if (i < 30) Temp = static_cast<int>(static_cast<double>(Temp * static_cast<int>(p)) * 0.05);
  if (i + 30 > 3 * w) {
    const int k = static_cast<int>(p + 10 - w);  // i >= 3w - 29, so p >= w - 10
    const double f = 1.0 + static_cast<double>(k) * (-0.05);
    Temp = static_cast<int>(f * static_cast<double>(Temp));
  }
  if (Temp > 255) Temp = 255;
  return Temp;
}

}  // namespace velta
