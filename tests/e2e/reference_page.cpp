// The printer's head data for a page, step by step.
#include "reference_page.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "color/direct_map.h"
#include "render/tone_tables.h"
#include "tests/render/reference_render.h"

namespace velta::expected {
namespace {

// True when every pixel byte of row y is white.
bool RowIsBlank(const Picture& page, int y) {
  const uint8_t* row = page.pixel(0, y);
  return std::all_of(row, row + 3 * page.width, [](uint8_t v) { return v == 255; });
}

// True when rows first to last - 1 are all blank.
bool RowsAreBlank(const Picture& page, int first, int last) {
  for (int y = first; y < last; ++y)
    if (!RowIsBlank(page, y)) return false;
  return true;
}

}  // namespace

int BlankHalfTest(Picture& page) {
  if (page.height != 2492) return 1;
  // The upper half as examined ends before row 1245; the lower half is 1246 rows.
  if (RowsAreBlank(page, 0, 1245)) {
    for (int y = 0; y < 1246; ++y)
      std::memcpy(page.pixel(0, y), page.pixel(0, y + 1246), static_cast<size_t>(page.stride));
    return 0;
  }
  return RowsAreBlank(page, 1246, 2492) ? 0 : 1;
}

void AdjustColours(Picture& page, const PictureOptions& options) {
  const ColourAdjustment adjustment(options);
  const uint8_t* grid = options.high_quality ? Zorv_DmapTbl_K90_HighQuality.data() : Zorv_DmapTbl_K90_Normal.data();
  // The row routine counts pixels in 16 bits; a count of 0 or less adjusts nothing.
  const int pixels_per_row = static_cast<int16_t>(page.width);
  for (int y = 0; y < page.height; ++y) {
    for (int x = 0; x < pixels_per_row; ++x) {
      adjustment.Apply(page.pixel(x, y));
      if (options.directmap) MapThroughGrid(grid, page.pixel(x, y));
    }
  }
}

void ResizeBySetting(Picture& page, int32_t resize) {
  if (resize > 0) reference::Enlarge(page, resize, resize);
  if (resize < 0) reference::Reduce(page, resize, resize);
}

std::vector<uint8_t> Render(const Picture& page, bool high_quality, int32_t sharpness) {
  // The renderer's tone table is indexed by source channel: red, green, blue,
  // while the built-in table holds the blocks of planes 0 (blue), 1, 2 (red).
  const auto& tone = high_quality ? Zorv_K40_HighQuality : Zorv_K40_Normal;
  std::array<uint8_t, 768> hotlut{};
  for (int block = 0; block < 3; ++block)
    std::copy_n(tone.begin() + 256 * block, 256, hotlut.begin() + 256 * (2 - block));
  const auto w = static_cast<uint32_t>(page.width), h = static_cast<uint32_t>(page.height);
  std::vector<uint8_t> planes(size_t{w} * h * 3);
  reference::SmearControl(page.bytes.data(), w, h, hotlut.data(), planes.data(), high_quality ? 1 : 0,
                          static_cast<int16_t>(sharpness));
  return planes;
}

PrintedPage Print(Picture page, const PictureOptions& options) {
  PrintedPage printed;
  printed.SpaceFlag = BlankHalfTest(page);
  AdjustColours(page, options);
  ResizeBySetting(page, options.resize);
  printed.planes = Render(page, options.high_quality, options.sharpness);
  return printed;
}

}  // namespace velta::expected
