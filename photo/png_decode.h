// PNG photographs with libpng.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "photo/photo_decode.h"

namespace velta {

// Reads the header of the PNG in file (which must outlive the decoder); on
// failure nullptr with problem set.
std::unique_ptr<PhotoDecoder> OpenPng(std::span<const uint8_t> file, std::string& problem);

}  // namespace velta
