// Reading a PNG file as 8-bit RGB with libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velta::mkraster {

// Reads path into rgb (rows of width x 3 bytes, alpha composed over white).
// Returns false with a message in error when the file cannot be read.
bool ReadPngRgb(const std::string& path, std::vector<uint8_t>& rgb, uint32_t& width, uint32_t& height,
                std::string& error);

}  // namespace velta::mkraster
