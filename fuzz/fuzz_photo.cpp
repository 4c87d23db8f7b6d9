// Fuzz target: a photo file decoded and placed on a small sheet.
//
// Input: one byte that picks the sheet's shape and the scaling, then the file.
// A photo the decoder refuses must be refused with a sentence, never a crash,
// and whatever it accepts must place on the sheet.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "photo/photo_decode.h"
#include "photo/photo_placement.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  velta::PlacementRequest request;
  request.sheet_width = 60 + (data[0] & 7) * 10;
  request.sheet_height = (data[0] & 8) != 0 ? 40 : 83;
  const velta::PrintScaling scalings[] = {velta::PrintScaling::Fill, velta::PrintScaling::Fit,
                                          velta::PrintScaling::None, velta::PrintScaling::Auto};
  request.scaling = scalings[(data[0] >> 4) & 3];
  request.orientation_requested = 3 + (data[0] >> 6);
  const std::span<const uint8_t> file(data + 1, size - 1);

  std::string problem;
  const auto decoder = velta::PhotoDecoder::Open(file, problem);
  if (decoder == nullptr) {
    if (problem.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  const velta::PhotoHeader& header = decoder->header();
  const velta::DecodeSize needed = velta::NeededDecodeSize(header.width, header.height, header.exif_orientation,
                                                           header.dpi_x, header.dpi_y, request);
  velta::PhotoImage image;
  if (!decoder->Decode(needed.width, needed.height, velta::CancelCheck{}, image, problem)) {
    if (problem.empty()) __builtin_trap();
    return 0;
  }
  velta::PhotoPlacer placer;
  if (!placer.Prepare(image, request)) return 0;
  const std::size_t stride = request.sheet_width * 3 + 2;
  std::vector<uint8_t> sheet(stride * request.sheet_height);
  placer.Render(sheet.data(), stride, 1, velta::CancelCheck{});
  return 0;
}
