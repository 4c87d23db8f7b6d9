// Reads back the pages of an uncompressed CUPS raster file, so that a test knows
// exactly which pixels the filter was given.
#pragma once

#include <string>
#include <vector>

#include "reference_colour.h"

namespace velta::expected {

// The pages of an uncompressed 8-bit RGB raster file as pictures, rows copied
// into the page buffer layout. Stops the test with a message on anything else.
std::vector<Picture> ReadRasterPages(const std::string& path);

}  // namespace velta::expected
