// The built-in tables as CSV text, for calibration work and documentation.
#include "table_csv.h"

namespace velta {

std::string ToneTableRows(const std::string& name, std::span<const uint8_t, 768> table) {
  std::string rows;
  for (int plane = 0; plane < 3; ++plane)
    for (int input = 0; input < 256; ++input)
      rows += name + "," + std::to_string(plane) + "," + std::to_string(input) + "," +
              std::to_string(table[static_cast<size_t>(256 * plane + input)]) + "\n";
  return rows;
}

std::string DirectMapRows(std::span<const uint8_t, 2187> table) {
  std::string rows;
  // Red varies slowest, then green, then blue; a node holds output R, G, B.
  for (int r = 0; r < 9; ++r)
    for (int g = 0; g < 9; ++g)
      for (int b = 0; b < 9; ++b) {
        const size_t at = static_cast<size_t>(r * 243 + g * 27 + b * 3);
        rows += std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b) + "," + std::to_string(32 * r) +
                "," + std::to_string(32 * g) + "," + std::to_string(32 * b) + "," + std::to_string(table[at]) + "," +
                std::to_string(table[at + 1]) + "," + std::to_string(table[at + 2]) + "\n";
      }
  return rows;
}

}  // namespace velta
