// Reading a PNG file as 8-bit RGB with libpng.
#include "png_reader.h"

#include <cstring>

#include <png.h>

namespace velta::mkraster {

bool ReadPngRgb(const std::string& path, std::vector<uint8_t>& rgb, uint32_t& width, uint32_t& height,
                std::string& error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    error = image.message;
    return false;
  }
  image.format = PNG_FORMAT_RGB;
  width = image.width;
  height = image.height;
  rgb.resize(PNG_IMAGE_SIZE(image));
  const png_color white = {255, 255, 255};
  if (!png_image_finish_read(&image, &white, rgb.data(), 0, nullptr)) {
    error = image.message;
    png_image_free(&image);
    return false;
  }
  return true;
}

}  // namespace velta::mkraster
