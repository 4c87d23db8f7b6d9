// The placing of a photo on the sheet: the layout (turn, scale, place) and
// the resampler that writes the sheet's rows, shared between two threads.
#include "photo/photo_placement.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "color/row_bands.h"
#include "photo/photo_layout.h"
#include "photo/photo_resample.h"

namespace velta {

struct PhotoPlacer::Plan {
  PhotoResampler resampler;
  uint32_t sheet_width = 0;
  uint32_t sheet_height = 0;
};

std::optional<PrintScaling> ParsePrintScaling(std::string_view keyword) {
  if (keyword == "auto") return PrintScaling::Auto;
  if (keyword == "auto-fit") return PrintScaling::AutoFit;
  if (keyword == "fill") return PrintScaling::Fill;
  if (keyword == "fit") return PrintScaling::Fit;
  if (keyword == "none") return PrintScaling::None;
  return std::nullopt;
}

DecodeSize NeededDecodeSize(uint32_t stored_width, uint32_t stored_height, uint8_t exif_orientation, double dpi_x,
                            double dpi_y, const PlacementRequest& request) {
  if (stored_width == 0 || stored_height == 0 || request.sheet_width == 0 || request.sheet_height == 0)
    return {stored_width, stored_height};
  const PhotoLayout layout = LayOutPhoto(stored_width, stored_height, exif_orientation, dpi_x, dpi_y, request);
  // The stored size times the scale, rounded up; a hair is taken off first
  // so that a scale like 1800 / 3600, rounded in double, does not ask for a
  // pixel more than half and so rule out the decoder's reduction by half.
  const auto needed = [](uint32_t stored, double dots_per_pixel) {
    const double pixels = std::ceil(stored * dots_per_pixel - 1e-6);
    return static_cast<uint32_t>(std::clamp(pixels, 1.0, static_cast<double>(stored)));
  };
  const bool swap = layout.turn.swap;
  return {needed(stored_width, (swap ? layout.down : layout.across).dots_per_pixel),
          needed(stored_height, (swap ? layout.across : layout.down).dots_per_pixel)};
}

PhotoPlacer::PhotoPlacer() = default;
PhotoPlacer::~PhotoPlacer() = default;

bool PhotoPlacer::Prepare(const PhotoImage& image, const PlacementRequest& request) {
  plan_.reset();
  // No photo or no sheet: nothing that could be placed.
  if (!image.rgb || image.width == 0 || image.height == 0 || image.stored_width == 0 || image.stored_height == 0 ||
      request.sheet_width == 0 || request.sheet_height == 0)
    return false;
  std::unique_ptr<Plan> plan(new (std::nothrow) Plan);
  if (!plan) return false;
  const PhotoLayout layout =
      LayOutPhoto(image.stored_width, image.stored_height, image.exif_orientation, image.dpi_x, image.dpi_y, request);
  if (!plan->resampler.Prepare(image, layout, request.sheet_width, request.sheet_height)) return false;
  plan->sheet_width = request.sheet_width;
  plan->sheet_height = request.sheet_height;
  plan_ = std::move(plan);
  return true;
}

bool PhotoPlacer::Render(uint8_t* page, std::size_t stride, int threads, const CancelCheck& cancelled) {
  if (!plan_ || stride < 3 * std::size_t{plan_->sheet_width}) return false;
  PhotoResampler& resampler = plan_->resampler;
  const auto work = [&](std::size_t begin, std::size_t end, int worker) {
    resampler.RenderRows(page, stride, begin, end, worker);
  };
  BandsEnd end = ForRowBands(plan_->sheet_height, resampler.band_rows(), threads, cancelled, work);
  // A helper that failed may have left a band half written: the calling
  // thread writes the whole sheet again, to the same bytes.
  if (end == BandsEnd::Failed) end = ForRowBands(plan_->sheet_height, resampler.band_rows(), 1, cancelled, work);
  return end == BandsEnd::Done;
}

}  // namespace velta
