// Reading the printer stream back in the tests: hex texts and page framing.
#include "wire_pages.h"

#include <cctype>

namespace velta::test {

std::string Hex(const std::string& pairs) {
  // Digits are taken two at a time; blanks between pairs are optional, so
  // adjacent literals ("... 00" "1B ...") join correctly.
  std::string digits;
  for (char c : pairs)
    if (std::isxdigit(static_cast<unsigned char>(c))) digits.push_back(c);
  std::string bytes;
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  return bytes;
}

bool SplitPages(const std::string& stream, uint32_t width, uint32_t height, std::size_t pages,
                std::vector<WirePage>& out) {
  const std::size_t data = std::size_t{width} * height * 3;
  const std::size_t page_bytes = 66 + 11 + data + 18;
  if (stream.size() != pages * page_bytes) return false;
  out.clear();
  for (std::size_t p = 0; p < pages; ++p) {
    const std::size_t at = p * page_bytes;
    out.push_back({stream.substr(at, 66), stream.substr(at + 66, 11), stream.substr(at + 77 + data, 18)});
  }
  return true;
}

}  // namespace velta::test
