#include "photo/photo_decode.h"

#include <cstring>

#include "photo/jpeg_decode.h"
#include "photo/png_decode.h"

namespace velta {

// Tells a JPEG (its start-of-image marker and the next marker's first byte)
// or a PNG (its eight-byte signature) from its first bytes.
PhotoFormat SniffPhotoFormat(std::span<const uint8_t> bytes) {
  static constexpr uint8_t kJpeg[] = {0xFF, 0xD8, 0xFF};
  static constexpr uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() >= sizeof kJpeg && std::memcmp(bytes.data(), kJpeg, sizeof kJpeg) == 0) return PhotoFormat::Jpeg;
  if (bytes.size() >= sizeof kPng && std::memcmp(bytes.data(), kPng, sizeof kPng) == 0) return PhotoFormat::Png;
  return PhotoFormat::Unknown;
}

// Reads the header of the JPEG or PNG in file.
std::unique_ptr<PhotoDecoder> PhotoDecoder::Open(std::span<const uint8_t> file, std::string& problem) {
  problem.clear();
  switch (SniffPhotoFormat(file)) {
    case PhotoFormat::Jpeg:
      return OpenJpeg(file, problem);
    case PhotoFormat::Png:
      return OpenPng(file, problem);
    case PhotoFormat::Unknown:
      break;
  }
  problem = file.empty() ? "The photo file is empty." : "The photo is not a JPEG or PNG file.";
  return nullptr;
}

}  // namespace velta
