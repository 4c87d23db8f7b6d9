// Turns head energies back into approximate colour values.
#include "tone_inversion.h"

#include <cstdlib>

namespace velta {

std::array<uint8_t, 256> InvertToneCurve(std::span<const uint8_t, 256> curve) {
  std::array<uint8_t, 256> inverse{};
  for (int energy = 0; energy < 256; ++energy) {
    int best_distance = 256, sum = 0, count = 0;
    for (int v = 0; v < 256; ++v) {
      const int distance = std::abs(int{curve[v]} - energy);
      if (distance < best_distance) {
        best_distance = distance;
        sum = 0;
        count = 0;
      }
      if (distance == best_distance) {
        sum += v;
        ++count;
      }
    }
    inverse[energy] = static_cast<uint8_t>(sum / count);
  }
  return inverse;
}

std::vector<uint8_t> PreviewPicture(const DecodedPage& page, std::span<const uint8_t, 768> tone_table) {
  if (!page.has_planes) return {};
  const size_t pixels = static_cast<size_t>(page.plane_size());
  std::vector<uint8_t> rgb(pixels * 3);
  for (int plane = 0; plane < 3; ++plane) {
    const auto inverse = InvertToneCurve(tone_table.subspan(256 * static_cast<size_t>(plane)).first<256>());
    const auto energies = page.plane(plane);
    const size_t channel = 2 - static_cast<size_t>(plane);  // plane 0 holds blue
    for (size_t i = 0; i < pixels; ++i) rgb[3 * i + channel] = inverse[energies[i]];
  }
  return rgb;
}

std::vector<uint8_t> PlanePicture(const DecodedPage& page, int plane) {
  const auto energies = page.plane(plane);
  std::vector<uint8_t> grey(energies.size());
  for (size_t i = 0; i < energies.size(); ++i) grey[i] = static_cast<uint8_t>(255 - energies[i]);
  return grey;
}

}  // namespace velta
