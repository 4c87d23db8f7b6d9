// The sheet the photo route hands the page road, for velta-mkraster --photo.
#include "photo_page.h"

#include <fstream>
#include <iterator>

#include "cpu/cpu_variant.h"
#include "photo/photo_decode.h"

namespace velta::mkraster {

bool PlacePhotoPage(const std::string& path, const PlacementRequest& request, std::vector<uint8_t>& rgb,
                    std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open the photo";
    return false;
  }
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto decoder = PhotoDecoder::Open(file, error);
  if (decoder == nullptr) return false;
  const PhotoHeader& header = decoder->header();
  const DecodeSize needed = NeededDecodeSize(header.width, header.height, header.exif_orientation, header.dpi_x,
                                             header.dpi_y, request);
  PhotoImage image;
  if (!decoder->Decode(needed.width, needed.height, CancelCheck{}, image, error)) return false;
  PhotoPlacer placer;
  if (!placer.Prepare(image, request)) {
    error = "not enough memory to place the photo";
    return false;
  }
  const std::size_t stride = std::size_t{request.sheet_width} * 3;
  rgb.resize(stride * request.sheet_height);
  placer.Render(rgb.data(), stride, CurrentVariant().threads, CancelCheck{});
  return true;
}

}  // namespace velta::mkraster
