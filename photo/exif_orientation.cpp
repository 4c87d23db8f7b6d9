#include "photo/exif_orientation.h"

#include <cstring>
#include <vector>

#include <libexif/exif-data.h>

namespace velta {
namespace {

constexpr uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};

}  // namespace

// The Orientation in an EXIF block that starts with "Exif\0\0".
uint8_t ExifOrientation(std::span<const uint8_t> exif) {
  if (exif.size() < sizeof kExifHeader || std::memcmp(exif.data(), kExifHeader, sizeof kExifHeader) != 0) return 1;
  // libexif also mends what it can, such as an Orientation written as a
  // LONG instead of a SHORT.
  ExifData* data = exif_data_new_from_data(exif.data(), static_cast<unsigned>(exif.size()));
  if (data == nullptr) return 1;
  unsigned value = 1;
  const ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
  if (entry != nullptr && entry->format == EXIF_FORMAT_SHORT && entry->components >= 1 && entry->size >= 2 &&
      entry->data != nullptr) {
    value = exif_get_short(entry->data, exif_data_get_byte_order(data));
  }
  exif_data_unref(data);
  return value >= 1 && value <= 8 ? static_cast<uint8_t>(value) : 1;
}

// The Orientation in a bare TIFF header and IFDs.
uint8_t TiffOrientation(std::span<const uint8_t> tiff) {
  // libexif reads a block with the JPEG segment's "Exif\0\0" before the TIFF
  // header, so a PNG's chunk gets one put in front.
  std::vector<uint8_t> exif(kExifHeader, kExifHeader + sizeof kExifHeader);
  exif.insert(exif.end(), tiff.begin(), tiff.end());
  return ExifOrientation(exif);
}

}  // namespace velta
