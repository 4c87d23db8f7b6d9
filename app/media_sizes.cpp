// The sheet a media size names.
#include "app/media_sizes.h"

#include <cstdlib>

namespace velta {

namespace {

// Sizes this close count as the same, as CUPS matches PWG sizes: half a millimetre.
constexpr int kSizeTolerance = 50;

// True when width x length is within the tolerance of w x l.
bool SameSize(int width, int length, int w, int l) {
  return std::abs(width - w) <= kSizeTolerance && std::abs(length - l) <= kSizeTolerance;
}

}  // namespace

bool IsSheetDots(uint32_t width, uint32_t height) {
  for (const SheetSize& sheet : kSheetSizes)
    if (width == static_cast<uint32_t>(sheet.dots_across) && height == static_cast<uint32_t>(sheet.dots_along))
      return true;
  return false;
}

std::optional<std::size_t> SheetForMedia(int width, int length) {
  for (std::size_t i = 0; i < kSheetSizes.size(); ++i)
    if (SameSize(width, length, kSheetSizes[i].width, kSheetSizes[i].length)) return i;
  for (const SheetAlias& alias : kSheetAliases)
    if (SameSize(width, length, alias.width, alias.length)) return alias.sheet;
  return std::nullopt;
}

}  // namespace velta
