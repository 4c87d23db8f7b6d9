// The scale and place of the photo for each print-scaling.
#include "photo/photo_layout.h"

#include <algorithm>
#include <cmath>

namespace velta {
namespace {

// A stated resolution, or 0 for one that cannot be meant: PNG's pixels a
// metre give at least 0.0254 dpi, JPEG's pixels a centimetre at most
// 166,459 dpi; far outside that a scale would lose its precision.
double Usable(double dpi) { return dpi >= 0.01 && dpi <= 1e6 ? dpi : 0; }

// The first edge of `length` dots centred on `sheet` dots, rounded to a
// whole dot toward the sheet's first edge, so that a photo at one pixel a
// dot lands on whole dots.
double CentredStart(uint32_t sheet, double length) { return std::trunc((sheet - length) / 2); }

}  // namespace

PhotoLayout LayOutPhoto(uint32_t stored_width, uint32_t stored_height, uint8_t exif_orientation, double dpi_x,
                        double dpi_y, const PlacementRequest& request) {
  PhotoLayout layout;
  layout.turn = SheetTurn(stored_width, stored_height, exif_orientation, request.orientation_requested,
                          request.sheet_width, request.sheet_height);
  const bool swap = layout.turn.swap;
  layout.across.pixels = swap ? stored_height : stored_width;
  layout.down.pixels = swap ? stored_width : stored_height;

  double stored_x_dpi = Usable(dpi_x), stored_y_dpi = Usable(dpi_y);
  if (stored_x_dpi == 0) stored_x_dpi = stored_y_dpi;
  if (stored_y_dpi == 0) stored_y_dpi = stored_x_dpi;
  const bool stated = stored_x_dpi > 0;
  // At its stated resolution, or one pixel a dot.
  const double natural_across = stated ? kPrinterDpi / (swap ? stored_y_dpi : stored_x_dpi) : 1.0;
  const double natural_down = stated ? kPrinterDpi / (swap ? stored_x_dpi : stored_y_dpi) : 1.0;

  const double fill_across = static_cast<double>(request.sheet_width) / layout.across.pixels;
  const double fill_down = static_cast<double>(request.sheet_height) / layout.down.pixels;
  const double fill = std::max(fill_across, fill_down);
  const double fit = std::min(fill_across, fill_down);

  PrintScaling scaling = request.scaling;
  if (scaling == PrintScaling::Auto || scaling == PrintScaling::AutoFit) {
    // Larger than the sheet at its own resolution, or of no stated size:
    // auto fills (the sheet has no border), auto-fit fits; else as stated.
    const bool larger = !stated || layout.across.pixels * natural_across > request.sheet_width ||
                        layout.down.pixels * natural_down > request.sheet_height;
    if (!larger)
      scaling = PrintScaling::None;
    else
      scaling = scaling == PrintScaling::Auto ? PrintScaling::Fill : PrintScaling::Fit;
  }
  switch (scaling) {
    case PrintScaling::Fill:
      layout.across.dots_per_pixel = layout.down.dots_per_pixel = fill;
      break;
    case PrintScaling::Fit:
      layout.across.dots_per_pixel = layout.down.dots_per_pixel = fit;
      break;
    default:
      layout.across.dots_per_pixel = natural_across;
      layout.down.dots_per_pixel = natural_down;
      break;
  }
  layout.across.start = CentredStart(request.sheet_width, layout.across.pixels * layout.across.dots_per_pixel);
  layout.down.start = CentredStart(request.sheet_height, layout.down.pixels * layout.down.dots_per_pixel);
  return layout;
}

}  // namespace velta
