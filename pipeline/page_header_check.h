// Checks of a page header before anything is allocated for the page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <cups/raster.h>

namespace velta {

// The largest block of head data a page may have: W x H x 3 bytes, 256 MiB
// (a 6x8 sheet needs 13 MB). The page buffer is the same size plus at most
// three pad bytes per row, so one page holds at most about 512 MiB, and the
// 32-bit length of the image data command always carries the whole block.
inline constexpr std::size_t kMaxSendBufferBytes = std::size_t{256} << 20;

// The set-up commands carry each page dimension in 16 bits.
inline constexpr uint32_t kMaxPageDimension = 65535;

// The 32 bits of a header field as an unsigned number. Several fields are C
// enums, and a raster can carry any value in them: reading such a field as its
// enum type is undefined for values outside the enum's range, so its bytes are copied.
template <typename Field>
uint32_t RawField(const Field& field) {
  static_assert(sizeof(Field) == sizeof(uint32_t));
  uint32_t bits;
  std::memcpy(&bits, &field, sizeof bits);
  return bits;
}

// Sizes of one page's buffers, all in size_t.
struct PageGeometry {
  uint32_t width = 0;          // cupsWidth, pixels per row
  uint32_t height = 0;         // cupsHeight, rows
  std::size_t width_DIB = 0;   // page buffer row stride: width x 3 rounded up to 4
  std::size_t line_bytes = 0;  // one raster row, cupsBytesPerLine
  std::size_t page_bytes = 0;  // page buffer, width_DIB x height
  std::size_t send_bytes = 0;  // send buffer, width x height x 3
};

// Checks that the page is 8-bit chunky RGB with rows of exactly 3 x cupsWidth
// bytes, a size the printer can be told and buffers within the memory limit.
// On refusal returns false and writes into problem one sentence that names the
// field and its value.
bool CheckPageHeader(const cups_page_header2_t& header, std::string& problem);

// The buffer sizes of a page whose header passed CheckPageHeader.
PageGeometry PageGeometryOf(const cups_page_header2_t& header);

}  // namespace velta
