// A picture laid out like the filter's page buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velta::test {

// width x height pixels of red, green, blue bytes, rows (3 width + 3) & ~3
// bytes apart; the bytes after a row's last pixel carry no picture.
struct Picture {
  int width = 0;
  int height = 0;
  int stride = 0;
  std::vector<uint8_t> bytes;

  // A white picture of the given size, its row ends white too.
  Picture(int w, int h) : width(w), height(h), stride((3 * w + 3) / 4 * 4), bytes(std::size_t(stride) * h, 255) {}
  // The three bytes of pixel (x, y), written or read.
  uint8_t* pixel(int x, int y) { return bytes.data() + static_cast<std::size_t>(y) * stride + 3 * x; }
  const uint8_t* pixel(int x, int y) const { return bytes.data() + static_cast<std::size_t>(y) * stride + 3 * x; }
};

}  // namespace velta::test
