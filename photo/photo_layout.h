// Where a photo lands on the sheet: its turn, the size print-scaling gives
// it and its place, centred. Works in the photo's stored pixels, whatever
// size it was decoded at.
#pragma once

#include <cstdint>

#include "photo/photo_placement.h"
#include "photo/photo_turn.h"

namespace velta {

// The printer's resolution: a photo that states none prints one pixel a dot.
inline constexpr double kPrinterDpi = 300.0;

// The photo along one axis of the sheet (across or down).
struct AxisLayout {
  uint32_t pixels = 0;        // stored photo pixels along this sheet axis
  double dots_per_pixel = 1;  // the scale
  double start = 0;           // sheet position (in dots, a whole number) of the photo's first edge
};

struct PhotoLayout {
  PhotoTurn turn;
  AxisLayout across;  // along the sheet's rows
  AxisLayout down;    // along its columns
};

// Lays the stored photo out on the request's sheet. A resolution of 0, or
// one no file could mean (below 0.01 or above a million dpi, or not a
// number), counts as none stated; one stated for a single axis stands for
// both.
PhotoLayout LayOutPhoto(uint32_t stored_width, uint32_t stored_height, uint8_t exif_orientation, double dpi_x,
                        double dpi_y, const PlacementRequest& request);

}  // namespace velta
