// The sheet the photo route hands the page road, for velta-mkraster --photo.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "photo/photo_placement.h"

namespace velta::mkraster {

// Reads the JPEG or PNG at path, decodes it and places it on the sheet as the
// filter and the printer application do: rgb gets request.sheet_height rows
// of sheet_width x 3 bytes. On failure returns false and sets error.
bool PlacePhotoPage(const std::string& path, const PlacementRequest& request, std::vector<uint8_t>& rgb,
                    std::string& error);

}  // namespace velta::mkraster
