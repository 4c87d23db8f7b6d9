// Writes and reads 8-bit PNG pictures with libpng.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velta {

// An 8-bit picture: 1 channel (grey) or 3 (R, G, B), rows without padding.
struct PngPicture {
  uint32_t width = 0;
  uint32_t height = 0;
  int channels = 0;
  std::vector<uint8_t> pixels;
};

// Writes width x height pixels of `channels` bytes (1 or 3) to path; on failure
// returns false and sets error (written).
bool WritePng(const std::string& path, uint32_t width, uint32_t height, int channels, std::span<const uint8_t> pixels,
              std::string& error);

// Reads an 8-bit grey or RGB PNG into picture (written); on failure returns
// false and sets error (written).
bool ReadPng(const std::string& path, PngPicture& picture, std::string& error);

}  // namespace velta
