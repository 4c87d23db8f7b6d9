#include "bench/photo_page.h"

#include <cstddef>

namespace velta::bench {

std::vector<uint8_t> PhotoPage() {
  const std::size_t stride = (3 * std::size_t{PAGE_WIDTH} + 3) / 4 * 4;
  std::vector<uint8_t> page(stride * PAGE_HEIGHT, 0);
  for (uint32_t y = 0; y < PAGE_HEIGHT; ++y) {
    for (uint32_t x = 0; x < PAGE_WIDTH; ++x) {
      uint8_t* pixel = &page[y * stride + 3 * x];
      int r, g, b;
      if (y < PAGE_HEIGHT / 2) {
        r = 120 + static_cast<int>(x * 80 / PAGE_WIDTH);
        g = 160 + static_cast<int>(y * 60 / PAGE_HEIGHT);
        b = 250 - static_cast<int>(y * 40 / PAGE_HEIGHT);
      } else {
        r = 70 + static_cast<int>((x + y) % 97);
        g = 110 + static_cast<int>(y * 50 / PAGE_HEIGHT);
        b = 40 + static_cast<int>(x * 30 / PAGE_WIDTH);
      }
      if (x % 300 < 24) r = g = b = 25;  // posts
      const int64_t dx = int64_t{x} - 900, dy = int64_t{y} - 1100;
      const int64_t distance = dx * dx * 4 + dy * dy * 3;
      if (distance < 360000 * 3) {  // the face, darker towards its rim
        const int shade = static_cast<int>(distance / 40000);
        r = 235 - shade, g = 185 - shade, b = 155 - shade;
      }
      pixel[0] = static_cast<uint8_t>(r);
      pixel[1] = static_cast<uint8_t>(g);
      pixel[2] = static_cast<uint8_t>(b);
    }
  }
  return page;
}

}  // namespace velta::bench
