// The eight ways a stored photo can be turned onto the sheet: quarter turns
// and mirrors, from the file's EXIF orientation and the job's
// orientation-requested.
#pragma once

#include <cstdint>

namespace velta {

// How a turned picture is read from the stored one. The turned picture's
// pixel (u, v) is the stored pixel (x, y) with
//   a = swap ? v : u,  b = swap ? u : v,
//   x = flip_x ? stored_width - 1 - a : a,  y = flip_y ? stored_height - 1 - b : b.
struct PhotoTurn {
  bool swap = false;
  bool flip_x = false;
  bool flip_y = false;

  bool operator==(const PhotoTurn&) const = default;
};

// The turn that makes a stored photo upright, from its EXIF orientation
// (1 to 8; anything else is taken as 1).
PhotoTurn ExifTurn(uint8_t orientation);

// The turn orientation-requested asks of an upright photo: 4 a quarter turn
// counter-clockwise, 5 clockwise, 6 a half turn, anything else none.
PhotoTurn RequestedTurn(int orientation_requested);

// The single turn that does `first`, then `then` on its result.
PhotoTurn Combine(PhotoTurn first, PhotoTurn then);

// The whole turn from the stored photo to the sheet: the EXIF turn, then the
// requested one; when orientation-requested is none of 3 to 6, a quarter turn
// counter-clockwise when the upright photo is landscape on a portrait sheet
// or portrait on a landscape one (squares are never turned).
PhotoTurn SheetTurn(uint32_t stored_width, uint32_t stored_height, uint8_t exif_orientation, int orientation_requested,
                    uint32_t sheet_width, uint32_t sheet_height);

}  // namespace velta
