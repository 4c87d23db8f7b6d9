// The printer's head data for a page, worked out step by step from the page as
// the raster delivers it: blank-half test, colour adjustment, direct colour map,
// resize, then the plain reference renderer.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/reference/colour_reference.h"
#include "tests/reference/resize_reference.h"

namespace velta::expected {

using reference::ColourAdjustment;
using reference::MapThroughGrid;
using reference::Picture;
using reference::PictureOptions;

// What the printer should receive for one page.
struct PrintedPage {
  int SpaceFlag = 1;            // 0 when a 2492-row page has a blank half
  std::vector<uint8_t> planes;  // plane 0 (from blue), 1 (green), 2 (red), w x h bytes each
};

// Moves the lower half of a 2492-row page whose upper half is blank to the top,
// and returns SpaceFlag (0 when either half is blank). Other heights give 1.
int BlankHalfTest(Picture& page);

// The page after the colour adjustment and, with DirectMap, the direct colour map.
void AdjustColours(Picture& page, const PictureOptions& options);

// The page after the enlargement or reduction that the resize setting asks for.
void ResizeBySetting(Picture& page, int32_t resize);

// The head data planes of a page that is already as the renderer sees it.
std::vector<uint8_t> Render(const Picture& page, bool high_quality, int32_t sharpness);

// The whole road of one page: the page as read (taken by value and changed).
PrintedPage Print(Picture page, const PictureOptions& options);

}  // namespace velta::expected
