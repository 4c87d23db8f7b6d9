// Reading the printer stream back in the tests: hex texts and page framing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velta::test {

// Bytes from a text of hex digit pairs, e.g. "1B 1E 00".
std::string Hex(const std::string& pairs);

// The framing of one page on the wire, with the head data left out.
struct WirePage {
  std::string setup;     // the 66 bytes before SendDataCMD
  std::string send_cmd;  // SendDataCMD, 11 bytes
  std::string closing;   // cpybuf and PrintCMD, 18 bytes
};

// Cuts a stream of pages of width x height into their framing. Returns false
// when the stream is not exactly that many such pages.
bool SplitPages(const std::string& stream, uint32_t width, uint32_t height, std::size_t pages,
                std::vector<WirePage>& out);

}  // namespace velta::test
