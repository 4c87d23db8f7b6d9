// The bytes of the printer's commands, built without knowing where they go.
#include "pipeline/command_stream.h"

#include <algorithm>
#include <span>

namespace velta {

namespace {

constexpr uint8_t ESC = 0x1B;

// Opcodes of the printer's commands.
constexpr uint8_t kTransOpcode = 0x1E;
constexpr uint8_t kCopiesOpcode = 0xEE;
constexpr uint8_t kPrntModeSltOpcode = 0xE1;
constexpr uint8_t kModeSelectOpcode = 0x15;
constexpr uint8_t kSendDataOpcode = 0xEA;
constexpr uint8_t kCpybufOpcode = 0x23;
constexpr uint8_t kPrintOpcode = 0x0A;

// The one page height the printer's paper feed knows as a full 6x8 sheet.
constexpr uint32_t kFullSheetRows = 2492;

// Writes the 7-byte command header: ESC, opcode, data length big-endian, parameter.
void PutCommandHeader(std::span<uint8_t, 7> out, uint8_t opcode, uint32_t data_length, uint8_t parameter) {
  out[0] = ESC;
  out[1] = opcode;
  out[2] = static_cast<uint8_t>(data_length >> 24);
  out[3] = static_cast<uint8_t>(data_length >> 16);
  out[4] = static_cast<uint8_t>(data_length >> 8);
  out[5] = static_cast<uint8_t>(data_length);
  out[6] = parameter;
}

// Writes the low 16 bits of value, high byte first: the printer's page sizes.
void PutLow16(uint8_t* out, uint32_t value) {
  out[0] = static_cast<uint8_t>(value >> 8);
  out[1] = static_cast<uint8_t>(value);
}

}  // namespace

uint8_t CopyCount(uint32_t NumCopies) {
  if (NumCopies > 99) return 99;
  if (NumCopies == 0) return 1;
  return static_cast<uint8_t>(NumCopies);
}

PageSetupCommands BuildPageSetup(uint32_t NumCopies, uint32_t cupsWidth, uint32_t cupsHeight, int32_t high_quality) {
  PageSetupCommands bytes{};
  std::span<uint8_t> out(bytes);

  // TransCMD + TransDAT (7 + 12): a constant 01 opens the page.
  PutCommandHeader(out.subspan<0, 7>(), kTransOpcode, 12, 0);
  uint8_t* TransDAT = &out[7];
  TransDAT[0] = 0x01;

  // CopiesCMD + CopiesDAT (7 + 2).
  PutCommandHeader(out.subspan<19, 7>(), kCopiesOpcode, 2, 0);
  uint8_t* CopiesDAT = &out[26];
  CopiesDAT[1] = CopyCount(NumCopies);

  // PrntModeSltCMD + PrntModeSltDAT (7 + 11): sheet, head speed and page size.
  PutCommandHeader(out.subspan<28, 7>(), kPrntModeSltOpcode, 11, 0);
  uint8_t* PrntModeSltDAT = &out[35];
  PrntModeSltDAT[1] = cupsHeight == kFullSheetRows ? 0xA4 : 0x04;
  PrntModeSltDAT[2] = high_quality != 0 ? 0x00 : 0x0C;
  PutLow16(&PrntModeSltDAT[7], cupsWidth);
  PutLow16(&PrntModeSltDAT[9], cupsHeight);

  // ModeSelectCMD + ModeSelectDAT (7 + 13): a constant 0x67 and the page size.
  PutCommandHeader(out.subspan<46, 7>(), kModeSelectOpcode, 13, 0);
  uint8_t* ModeSelectDAT = &out[53];
  ModeSelectDAT[4] = 0x67;
  PutLow16(&ModeSelectDAT[9], cupsWidth);
  PutLow16(&ModeSelectDAT[11], cupsHeight);
  return bytes;
}

SendDataHeader BuildSendDataHeader(uint32_t cupsWidth, uint32_t cupsHeight) {
  // The length is a 32-bit quantity on the wire; unsigned arithmetic keeps it
  // defined for any size (the filter refuses pages that would not fit).
  const uint32_t length = cupsWidth * cupsHeight * 3u;
  SendDataHeader SendDataCMD{};
  SendDataCMD[0] = ESC;
  SendDataCMD[1] = kSendDataOpcode;
  SendDataCMD[6] = static_cast<uint8_t>(length >> 24);
  SendDataCMD[7] = static_cast<uint8_t>(length >> 16);
  SendDataCMD[8] = static_cast<uint8_t>(length >> 8);
  SendDataCMD[9] = static_cast<uint8_t>(length);
  return SendDataCMD;
}

PageClosingCommands BuildPageClosing(int SpaceFlag) {
  PageClosingCommands bytes{};
  std::span<uint8_t> out(bytes);
  // cpybuf (11): parameter 1 marks a half-blank sheet; four FF data bytes.
  PutCommandHeader(out.subspan<0, 7>(), kCpybufOpcode, 4, SpaceFlag == 0 ? 0x01 : 0x00);
  std::fill_n(&out[7], 4, uint8_t{0xFF});
  // PrintCMD (7): no data.
  PutCommandHeader(out.subspan<11, 7>(), kPrintOpcode, 0, 0);
  return bytes;
}

}  // namespace velta
