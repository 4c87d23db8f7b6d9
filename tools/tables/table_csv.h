// The built-in tables as CSV text, for calibration work and documentation.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace velta {

// Rows "table,plane,input,energy" for one 768-byte tone table named name:
// block k is plane k (plane 0 from blue, 1 from green, 2 from red).
std::string ToneTableRows(const std::string& name, std::span<const uint8_t, 768> table);

// Header line of the tone table CSV.
inline constexpr const char* kToneCsvHeader = "table,plane,input,energy\n";

// Rows "r_node,g_node,b_node,r_in,g_in,b_in,r_out,g_out,b_out" of a 9x9x9
// direct-map table: node k stands for input level 32k (node 8 for 256).
std::string DirectMapRows(std::span<const uint8_t, 2187> table);

// Header line of the direct-map CSV.
inline constexpr const char* kDirectMapCsvHeader = "r_node,g_node,b_node,r_in,g_in,b_in,r_out,g_out,b_out\n";

}  // namespace velta
