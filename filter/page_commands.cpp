// The filter's page operations: they send the printer's commands for one page.
#include "filter/page_commands.h"

#include <span>

#include "filter/cancel_signal.h"
#include "pipeline/command_stream.h"

namespace velta {

namespace {

// Where each of the four set-up commands (header and data) ends in the 66 bytes:
// TransCMD, CopiesCMD, PrntModeSltCMD, ModeSelectCMD.
constexpr std::size_t kSetupCommandEnds[] = {19, 28, 46, 66};

}  // namespace

CommandResult StartPage(PrinterOutput& output, const cups_page_header2_t& header, int32_t high_quality) {
  InstallCancelHandler();
  const PageSetupCommands setup = BuildPageSetup(header.NumCopies, header.cupsWidth, header.cupsHeight, high_quality);
  std::size_t begin = 0;
  for (std::size_t end : kSetupCommandEnds) {
    // A SIGTERM that comes as the handler goes in still lets the first
    // command out: the closing commands of a cancelled page must follow an
    // opened one, or the printer reads a close it cannot match.
    if (begin > 0 && CancelRequested()) return CommandResult::Cancelled;
    if (!output.Write(std::span(setup).subspan(begin, end - begin))) return CommandResult::Failed;
    begin = end;
  }
  return CommandResult::Written;
}

CommandResult OutputLine(PrinterOutput& output, const cups_page_header2_t& header, const uint8_t* send) {
  // Once SendDataCMD is out, the printer takes the next W x H x 3 bytes as head
  // data, so the check comes before it and the block is then written whole.
  if (CancelRequested()) return CommandResult::Cancelled;
  const SendDataHeader SendDataCMD = BuildSendDataHeader(header.cupsWidth, header.cupsHeight);
  const std::size_t length = std::size_t{header.cupsWidth} * header.cupsHeight * 3;
  if (!output.Write(SendDataCMD) || !output.Write({send, length})) return CommandResult::Failed;
  return CommandResult::Written;
}

CommandResult EndPage(PrinterOutput& output, int SpaceFlag, PagePlanes& planes) {
  const PageClosingCommands closing = BuildPageClosing(SpaceFlag);
  // The page is complete once its closing commands are queued: SIGTERM is
  // ignored from here, so the flush that sends them cannot be turned into a
  // cancellation of the job after the printer has the whole page.
  const bool queued = output.Write(closing);
  IgnoreCancelSignal();
  const bool written = queued && output.Flush();
  planes.page.reset();
  planes.send.reset();
  return written ? CommandResult::Written : CommandResult::Failed;
}

CommandResult CancelJob(PrinterOutput& output, PagePlanes& planes) {
  const CommandResult result = EndPage(output, 1, planes);
  return result == CommandResult::Written ? CommandResult::Cancelled : result;
}

}  // namespace velta
