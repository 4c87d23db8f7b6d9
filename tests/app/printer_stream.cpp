// Reading a printer byte stream back into pages, by its documented layout alone.
#include "tests/app/printer_stream.h"

#include <cstring>

namespace velta::apptest {

namespace {

// Byte i of s as an unsigned value.
uint32_t At(const std::string& s, std::size_t i) { return static_cast<uint8_t>(s[i]); }

// True when s holds the seven-byte command header ESC opcode length at position i.
bool HasCommand(const std::string& s, std::size_t i, uint8_t opcode, uint32_t length) {
  return i + 7 <= s.size() && At(s, i) == 0x1B && At(s, i + 1) == opcode && At(s, i + 2) == 0 && At(s, i + 3) == 0 &&
         At(s, i + 4) == 0 && At(s, i + 5) == length;
}

// Reads the 18 closing bytes at i into page; false when they are not there.
bool ReadClosing(const std::string& s, std::size_t i, WirePage& page) {
  if (!HasCommand(s, i, 0x23, 4) || i + 18 > s.size()) return false;
  for (std::size_t k = 7; k < 11; ++k)
    if (At(s, i + k) != 0xFF) return false;
  page.space_flag = At(s, i + 6) == 1 ? 0 : 1;
  static const uint8_t kPrint[7] = {0x1B, 0x0A, 0, 0, 0, 0, 0};
  return std::memcmp(s.data() + i + 11, kPrint, 7) == 0;
}

}  // namespace

std::string FirstDifference(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size()) + ", first difference at byte " +
         std::to_string(i);
}

WireStream ReadWireStream(const std::string& s) {
  WireStream stream;
  std::size_t i = 0;
  while (i < s.size()) {
    WirePage page;
    if (!HasCommand(s, i, 0x1E, 12) || !HasCommand(s, i + 19, 0xEE, 2) || !HasCommand(s, i + 28, 0xE1, 11) ||
        !HasCommand(s, i + 46, 0x15, 13) || i + 66 > s.size()) {
      stream.complete = false;
      return stream;
    }
    page.copies = At(s, i + 27);
    page.high_quality = At(s, i + 37) == 0x00;
    page.width = At(s, i + 42) << 8 | At(s, i + 43);
    page.height = At(s, i + 44) << 8 | At(s, i + 45);
    i += 66;
    if (i + 11 <= s.size() && At(s, i) == 0x1B && At(s, i + 1) == 0xEA) {
      const std::size_t length = At(s, i + 6) << 24 | At(s, i + 7) << 16 | At(s, i + 8) << 8 | At(s, i + 9);
      if (length != std::size_t{page.width} * page.height * 3 || i + 11 + length > s.size()) {
        stream.complete = false;
        return stream;
      }
      page.has_image = true;
      i += 11 + length;
    }
    if (!ReadClosing(s, i, page)) {
      stream.complete = false;
      return stream;
    }
    i += 18;
    stream.pages.push_back(page);
  }
  return stream;
}

}  // namespace velta::apptest
