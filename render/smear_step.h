#pragma once

#include <cstdint>

// The work of one byte of the smear control after the first row: everything
// that depends only on the byte's own column of heat history, not on its
// neighbours in the row. Shared by the vectorised row kernel and by the
// scalar code for the faded bytes at the row ends.
namespace velta {

// How the heat histories of a print mode behave, in units of 1/1024.
struct SmearConstants {
  int32_t MiddleWeight;    // push of a new energy away from the middle history
  int32_t LongWeight;      // push of the middle result away from the long history
  int32_t LongLength;      // share of the long history kept from row to row
  int32_t MiddleLength_H;  // share of the middle history kept (base, dense side)
  int32_t MiddleLength_L;  // share of the middle history kept when it overshoots below 0
  int32_t MWideWeight;     // side weight of the middle history's smoothing across the row
};

inline constexpr SmearConstants HIGH_QUALITY_CONSTANTS{930, 135, 1019, 750, 830, 200};
inline constexpr SmearConstants NORMAL_CONSTANTS{970, 150, 1020, 835, 900, 100};

// A byte's tone comes packed in 16 bits: the head energy t in the low byte and
// (t x 80) div 255, the extra middle-history retention of a dense energy, above it.
inline constexpr uint16_t PackTone(uint32_t t) { return static_cast<uint16_t>(t | ((t * 80 / 255) << 8)); }

// The result of one byte: the head energy before the row-end fade and the
// clamp, and the byte's two history entries after this row.
struct ByteStep {
  int32_t Temp;
  int32_t MiddleHistory;
  int32_t LongHistory;
};

// Returns history H blended toward S, keeping a/1024 of H; the two products
// are shifted separately, rounding each toward minus infinity. Both histories
// stay within about -1.5 to 2.5 times 261120, so no product exceeds 2^30.
inline int32_t Blend(int32_t H, int32_t S, int32_t a) { return ((a * H) >> 10) + S - ((a * S) >> 10); }

// Computes one byte from its packed tone, its random number (low 11 bits) and
// its column's middle and long history from the row before.
inline ByteStep SmearByte(uint32_t tone, uint32_t dither, int32_t MiddleHistory, int32_t LongHistory,
                          const SmearConstants& k) {
  const int32_t OrgData = static_cast<int32_t>(tone & 0xFFu) * 1024;
  const int32_t denseRetention = static_cast<int32_t>(tone >> 8);
  // Raise an energy printed after cooler rows, lower it after hotter ones:
  // first against the fast middle history, then against the slow long one.
  const int32_t MiddleSmear = OrgData + (((OrgData - MiddleHistory) * k.MiddleWeight) >> 10);
  const int32_t LongSmear = MiddleSmear + (((MiddleSmear - LongHistory) * k.LongWeight) >> 10);
  // The dither adds 0 to 2047/1024 before the fraction is dropped.
  const int32_t Temp = (LongSmear + static_cast<int32_t>(dither & 0x7FFu)) >> 10;
  const int32_t retention = MiddleSmear < 0 ? k.MiddleLength_L : k.MiddleLength_H + denseRetention;
  return {Temp, Blend(MiddleHistory, MiddleSmear, retention), Blend(LongHistory, LongSmear, k.LongLength)};
}

}  // namespace velta
