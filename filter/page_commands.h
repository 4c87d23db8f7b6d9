// The filter's page operations: they send the printer's commands for one page.
#pragma once

#include <cstdint>

#include <cups/raster.h>

#include "pipeline/mapped_buffer.h"
#include "filter/printer_output.h"

namespace velta {

// The page's two big buffers, from their allocation to EndPage: the page
// buffer (Planes entry 0) and the send buffer (Planes entry 1). Empty before
// they are allocated, so ending a page early releases only what this page holds.
struct PagePlanes {
  MappedBuffer page;
  MappedBuffer send;
};

// What became of a command sequence.
enum class CommandResult { Written, Cancelled, Failed };

// Installs the SIGTERM handler, then writes the four set-up commands, looking
// at the cancel flag between them.
CommandResult StartPage(PrinterOutput& output, const cups_page_header2_t& header, int32_t high_quality);

// Writes SendDataCMD and the whole send buffer, unless the page was cancelled first.
CommandResult OutputLine(PrinterOutput& output, const cups_page_header2_t& header, const uint8_t* send);

// Writes cpybuf and PrintCMD, makes SIGTERM ignored, flushes and releases the
// page buffer, then the send buffer.
CommandResult EndPage(PrinterOutput& output, int SpaceFlag, PagePlanes& planes);

// Ends a cancelled page: the closing commands with SpaceFlag 1 after whatever
// the page has written, flush, release of this page's buffers.
CommandResult CancelJob(PrinterOutput& output, PagePlanes& planes);

}  // namespace velta
