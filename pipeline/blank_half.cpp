// The blank-half test of a full 6x8 sheet.
#include "pipeline/blank_half.h"

#include <algorithm>
#include <cstring>

namespace velta {

namespace {

// True when the pixel_bytes bytes of a row are all white (255).
bool RowIsWhite(const uint8_t* row, std::size_t pixel_bytes) {
  return std::all_of(row, row + pixel_bytes, [](uint8_t v) { return v == 255; });
}

}  // namespace

BlankHalfWatch::BlankHalfWatch(const uint8_t* page, std::size_t width_DIB, uint32_t width, uint32_t height)
    : page_(page), width_DIB_(width_DIB), pixelBytes_(std::size_t{width} * 3), tested_(height == kBlankHalfTestRows) {}

void BlankHalfWatch::RowsFinal(std::size_t rows) {
  if (!tested_) return;
  // A half stops being looked at once a row of it is not white; the lower
  // half matters only when the upper one is not blank.
  for (std::size_t y = seen_; y < rows; ++y) {
    const uint8_t* row = page_ + y * width_DIB_;
    if (y < kUpperRowsTested && upperBlank_) upperBlank_ = RowIsWhite(row, pixelBytes_);
    if (y >= kLowerHalfFirstRow && lowerBlank_ && !upperBlank_) lowerBlank_ = RowIsWhite(row, pixelBytes_);
  }
  seen_ = std::max(seen_, rows);
}

int BlankHalfWatch::Result(uint8_t* page) const {
  if (!tested_) return 1;
  if (upperBlank_) {
    std::memcpy(page, page + kLowerHalfFirstRow * width_DIB_, kLowerHalfRows * width_DIB_);
    return 0;
  }
  return lowerBlank_ ? 0 : 1;
}

int BlankHalfTest(uint8_t* page, std::size_t width_DIB, uint32_t width, uint32_t height) {
  BlankHalfWatch watch(page, width_DIB, width, height);
  watch.RowsFinal(height);
  return watch.Result(page);
}

}  // namespace velta
