// Placing a decoded photograph on the printer's sheet: the turn, the scale
// and the crop that print-scaling and orientation-requested ask for, and the
// resampling that makes the sheet's rows. Pure code: no I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "photo/photo_image.h"
#include "render/cancel_check.h"

namespace velta {

// IPP print-scaling (PWG 5100.13).
enum class PrintScaling { Auto, AutoFit, Fill, Fit, None };

// Reads a print-scaling keyword ("auto", "auto-fit", "fill", "fit", "none").
std::optional<PrintScaling> ParsePrintScaling(std::string_view keyword);

// What the job asks of the placing.
struct PlacementRequest {
  uint32_t sheet_width = 1800;   // dots across the head
  uint32_t sheet_height = 2492;  // rows along the feed
  PrintScaling scaling = PrintScaling::Fill;
  // IPP orientation-requested: 3 portrait, 4 landscape (a quarter turn
  // counter-clockwise), 5 reverse-landscape (clockwise), 6 reverse-portrait
  // (a half turn). Any other value: the photo is turned a quarter
  // counter-clockwise when its shape (after its EXIF turn) does not match the
  // sheet's, as 4 would turn it.
  int orientation_requested = 0;
};

// The decoded size, in stored orientation, that the placing needs at least:
// what PhotoDecoder::Decode is asked for. Never more than the stored size.
struct DecodeSize {
  uint32_t width = 0;
  uint32_t height = 0;
};
DecodeSize NeededDecodeSize(uint32_t stored_width, uint32_t stored_height, uint8_t exif_orientation, double dpi_x,
                            double dpi_y, const PlacementRequest& request);

// One photo placed on one sheet. Prepare plans and takes all the work memory,
// so that a page that has begun cannot fail for memory; Render writes every
// byte of the sheet.
class PhotoPlacer {
 public:
  PhotoPlacer();
  ~PhotoPlacer();
  PhotoPlacer(const PhotoPlacer&) = delete;
  PhotoPlacer& operator=(const PhotoPlacer&) = delete;

  // Plans the placing of image (which must outlive the placer) on the sheet
  // and takes the work memory. False when the memory cannot be had.
  bool Prepare(const PhotoImage& image, const PlacementRequest& request);

  // Writes the sheet's sheet_height rows into page, rows of `stride` bytes
  // (at least sheet_width x 3): the photo's pixels, white (255) where the
  // photo does not reach and in the bytes after each row's pixels. Uses
  // `threads` threads (1 or 2); the bytes do not depend on it. Returns false
  // when cancelled (page then partly written).
  bool Render(uint8_t* page, std::size_t stride, int threads, const CancelCheck& cancelled);

 private:
  struct Plan;
  std::unique_ptr<Plan> plan_;
};

}  // namespace velta
