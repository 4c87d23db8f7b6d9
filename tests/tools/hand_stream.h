// Printer streams written out byte by byte, as the printer's command tables
// list them, to feed the decoder with inputs it did not make itself.
#pragma once

#include <cstdint>
#include <vector>

namespace velta::test {

// Where the bytes of one page sit, counted from the page's first byte.
inline constexpr size_t kSetupBytes = 66;          // TransCMD..ModeSelectDAT
inline constexpr size_t kCopiesAt = 27;            // CopiesDAT byte 1
inline constexpr size_t kRowFlagAt = 36;           // PrntModeSltDAT byte 1
inline constexpr size_t kModeAt = 37;              // PrntModeSltDAT byte 2
inline constexpr size_t kSltWidthAt = 42;          // PrntModeSltDAT bytes 7-8
inline constexpr size_t kSltHeightAt = 44;         // PrntModeSltDAT bytes 9-10
inline constexpr size_t kModeSelectWidthAt = 62;   // ModeSelectDAT bytes 9-10
inline constexpr size_t kModeSelectHeightAt = 64;  // ModeSelectDAT bytes 11-12
inline constexpr size_t kLengthAt = 72;            // SendDataCMD bytes 6-9
inline constexpr size_t kDataAt = 77;              // first byte of head data
inline constexpr size_t kClosingBytes = 18;        // cpybuf and PrintCMD

// What goes into one page.
struct HandPage {
  uint16_t width = 3;
  uint16_t height = 2;
  uint8_t copies = 1;
  bool high_quality = false;
  int SpaceFlag = 1;
  bool cancelled = false;  // set-up then closing, no head data
  uint8_t seed = 0;        // head data byte i is (seed + 7 i) mod 251
};

// The head data the page carries: three planes of width x height bytes.
inline std::vector<uint8_t> HandData(const HandPage& p) {
  std::vector<uint8_t> data(size_t{p.width} * p.height * 3);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>((p.seed + 7 * i) % 251);
  return data;
}

// The page's bytes on the wire.
inline std::vector<uint8_t> HandPageBytes(const HandPage& p) {
  const uint8_t wh = p.width >> 8, wl = p.width & 0xFF, hh = p.height >> 8, hl = p.height & 0xFF;
  std::vector<uint8_t> out = {
      0x1B,
      0x1E,
      0x00,
      0x00,
      0x00,
      0x0C,
      0x00,  // TransCMD
      0x01,
      0x00,
      0x00,
      0x00,
      0x00,
      0x00,
      0x00,
      0x00,
      0x00,
      0x00,
      0x00,
      0x00,  // TransDAT
      0x1B,
      0xEE,
      0x00,
      0x00,
      0x00,
      0x02,
      0x00,  // CopiesCMD
      0x00,
      p.copies,  // CopiesDAT
      0x1B,
      0xE1,
      0x00,
      0x00,
      0x00,
      0x0B,
      0x00,  // PrntModeSltCMD
      0x00,
      static_cast<uint8_t>(p.height == 2492 ? 0xA4 : 0x04),  // PrntModeSltDAT
      static_cast<uint8_t>(p.high_quality ? 0x00 : 0x0C),
      0x00,
      0x00,
      0x00,
      0x00,
      wh,
      wl,
      hh,
      hl,
      0x1B,
      0x15,
      0x00,
      0x00,
      0x00,
      0x0D,
      0x00,  // ModeSelectCMD
      0x00,
      0x00,
      0x00,
      0x00,
      0x67,
      0x00,
      0x00,
      0x00,
      0x00,
      wh,
      wl,
      hh,
      hl,  // ModeSelectDAT
  };
  if (!p.cancelled) {
    const uint32_t length = uint32_t{p.width} * p.height * 3;
    const std::vector<uint8_t> send = {0x1B,
                                       0xEA,
                                       0x00,
                                       0x00,
                                       0x00,
                                       0x00,
                                       static_cast<uint8_t>(length >> 24),
                                       static_cast<uint8_t>(length >> 16),
                                       static_cast<uint8_t>(length >> 8),
                                       static_cast<uint8_t>(length),
                                       0x00};
    out.insert(out.end(), send.begin(), send.end());
    const auto data = HandData(p);
    out.insert(out.end(), data.begin(), data.end());
  }
  const std::vector<uint8_t> closing = {
      0x1B, 0x23, 0x00, 0x00, 0x00, 0x04, static_cast<uint8_t>(p.SpaceFlag == 0 ? 0x01 : 0x00),
      0xFF, 0xFF, 0xFF, 0xFF,                    // cpybuf
      0x1B, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00,  // PrintCMD
  };
  out.insert(out.end(), closing.begin(), closing.end());
  return out;
}

// Pages back to back.
inline std::vector<uint8_t> HandStream(const std::vector<HandPage>& pages) {
  std::vector<uint8_t> out;
  for (const auto& p : pages) {
    const auto bytes = HandPageBytes(p);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

}  // namespace velta::test
