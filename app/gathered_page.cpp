// A raster page of another size, gathered to be placed on the sheet.
#include "app/gathered_page.h"

#include <algorithm>
#include <cstring>

#include "photo/decode_limits.h"

namespace velta {

bool GatheredPage::Begin(uint32_t width, uint32_t height, uint32_t x_dpi, uint32_t y_dpi, std::string& problem) {
  Release();
  if (x_dpi == 0 || y_dpi == 0 || (x_dpi % y_dpi != 0 && y_dpi % x_dpi != 0)) {
    problem = "The page's resolution " + std::to_string(x_dpi) + "x" + std::to_string(y_dpi) +
              " dpi is not one the printer can square (one must be a whole multiple of the other).";
    return false;
  }
  row_repeat_ = x_dpi > y_dpi ? x_dpi / y_dpi : 1;
  column_repeat_ = y_dpi > x_dpi ? y_dpi / x_dpi : 1;
  const uint64_t square_width = uint64_t{width} * column_repeat_;
  const uint64_t square_height = uint64_t{height} * row_repeat_;
  if (!CheckPhotoSize(square_width, square_height, problem)) {
    problem = "The page is " + std::to_string(square_width) + " x " + std::to_string(square_height) +
              " pixels at its resolution, more than a page placed on the sheet may have.";
    return false;
  }
  if (!TakePixels(static_cast<uint32_t>(square_width), static_cast<uint32_t>(square_height), image_, problem))
    return false;
  std::memset(image_.rgb.get(), 255, image_.row_bytes() * image_.height);
  width_ = width;
  image_.stored_width = image_.width;
  image_.stored_height = image_.height;
  image_.exif_orientation = 1;
  image_.dpi_x = image_.dpi_y = std::max(x_dpi, y_dpi);
  return true;
}

void GatheredPage::AddRow(uint32_t y, const uint8_t* rgb) {
  uint8_t* first = image_.rgb.get() + std::size_t{y} * row_repeat_ * image_.row_bytes();
  if (column_repeat_ == 1) {
    std::memcpy(first, rgb, std::size_t{width_} * 3);
  } else {
    uint8_t* out = first;
    for (uint32_t x = 0; x < width_; ++x)
      for (uint32_t k = 0; k < column_repeat_; ++k, out += 3) std::memcpy(out, rgb + std::size_t{x} * 3, 3);
  }
  for (uint32_t k = 1; k < row_repeat_; ++k) std::memcpy(first + k * image_.row_bytes(), first, image_.row_bytes());
}

}  // namespace velta
