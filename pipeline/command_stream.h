// The bytes of the printer's commands, built without knowing where they go.
#pragma once

#include <array>
#include <cstdint>

namespace velta {

// Sizes of the three parts of a page on the wire: the set-up commands, the
// header in front of the head data, and the closing and print commands.
inline constexpr std::size_t kPageSetupBytes = 66;
inline constexpr std::size_t kSendDataHeaderBytes = 11;
inline constexpr std::size_t kPageClosingBytes = 18;

using PageSetupCommands = std::array<uint8_t, kPageSetupBytes>;
using SendDataHeader = std::array<uint8_t, kSendDataHeaderBytes>;
using PageClosingCommands = std::array<uint8_t, kPageClosingBytes>;

// The copy count the printer accepts: 1 for 0, 99 for 100 and more.
uint8_t CopyCount(uint32_t NumCopies);

// The four set-up commands of a page (TransCMD, CopiesCMD, PrntModeSltCMD,
// ModeSelectCMD, each with its data): copies, print mode and page size.
PageSetupCommands BuildPageSetup(uint32_t NumCopies, uint32_t cupsWidth, uint32_t cupsHeight, int32_t high_quality);

// SendDataCMD: announces W x H x 3 bytes of head data (three planes).
SendDataHeader BuildSendDataHeader(uint32_t cupsWidth, uint32_t cupsHeight);

// cpybuf and PrintCMD: end the page and print it. SpaceFlag 0 tells the
// printer that one half of a 2492-row page is blank.
PageClosingCommands BuildPageClosing(int SpaceFlag);

}  // namespace velta
