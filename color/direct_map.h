// Direct colour map: a 9x9x9 grid of output colours through which every adjusted
// pixel can be passed, interpolated over one of six tetrahedra of its grid cell.
#pragma once

#include <array>
#include <cstdint>

namespace velta {

// Size of a direct-map table: 9 x 9 x 9 nodes of output red, green, blue.
inline constexpr int32_t kDmapTblSize = 2187;

// The built-in tables of the normal and the high-quality print mode (the same map).
extern const std::array<uint8_t, kDmapTblSize> Zorv_DmapTbl_K90_Normal;
extern const std::array<uint8_t, kDmapTblSize> Zorv_DmapTbl_K90_HighQuality;

// Copies the first dwReadSize bytes (limited to 0..2187) of the print mode's
// built-in table into DmapTbl (written); returns 1.
int InitDmapTbl(uint8_t* DmapTbl, int32_t dwReadSize, int iPrintMode);

// Maps the pixel whose bytes Red, Green, Blue point at (read, then written) through
// the table DmapTbl (read); returns 1.
int Change3D(const uint8_t* DmapTbl, uint8_t* Red, uint8_t* Green, uint8_t* Blue);

}  // namespace velta
