// Reading a printer byte stream back into pages, by its documented layout alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velta::apptest {

// One page as the printer receives it.
struct WirePage {
  uint32_t copies = 0;  // CopiesDAT byte 1
  uint32_t width = 0;   // from the print mode command
  uint32_t height = 0;
  bool high_quality = false;
  bool has_image = false;  // a data block of width x height x 3 bytes came
  int space_flag = 1;      // 0 when cpybuf's parameter byte is 1
};

// The pages of a stream. complete is false when the stream has bytes that are
// not whole pages (a page cut off other than by its closing commands).
struct WireStream {
  std::vector<WirePage> pages;
  bool complete = true;
};

// Where two byte strings first differ, for a readable failure message.
std::string FirstDifference(const std::string& a, const std::string& b);

// Splits bytes into pages: 66 set-up bytes, then either SendDataCMD with its
// data or directly the 18 closing bytes (a page ended early).
WireStream ReadWireStream(const std::string& bytes);

}  // namespace velta::apptest
