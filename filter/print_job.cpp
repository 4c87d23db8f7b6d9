// One print job from the spooler's arguments to its exit status.
#include "filter/print_job.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include <cups/cups.h>
#include <cups/ppd.h>

#include "filter/cancel_signal.h"
#include "filter/job_sheet.h"
#include "pipeline/job_settings.h"
#include "pipeline/page_header_check.h"
#include "filter/print_options.h"
#include "filter/printer_output.h"
#include "filter/raster_job.h"

namespace velta {

namespace {

// Reads raster bytes from the file descriptor at context. libcups would try a
// read that a signal interrupts again, so a job cancelled while the filter
// waits for rows would wait on until more data or the end of the input came;
// here an interrupted read of a cancelled job ends the input instead.
ssize_t ReadUnlessCancelled(void* context, unsigned char* buffer, size_t length) {
  const int fd = *static_cast<const int*>(context);
  for (;;) {
    const ssize_t count = read(fd, buffer, length);
    if (count >= 0 || errno != EINTR) return count;
    if (CancelRequested()) return 0;
  }
}

// The raster's bytes on their way to libcups, counted. libcups answers a
// corrupt page header just as it answers the end of the stream; what reached
// it while it looked for the header tells the two apart.
struct RasterInput {
  cups_raster_iocb_t read = nullptr;
  void* context = nullptr;
  uint64_t delivered = 0;  // bytes handed to libcups
  uint64_t reads = 0;      // calls libcups made
  bool ended = false;      // a read found the end of the input (or failed)

  // libcups's read callback over this input.
  static ssize_t Read(void* self, unsigned char* buffer, size_t length) {
    auto& input = *static_cast<RasterInput*>(self);
    const ssize_t count = input.read(input.context, buffer, length);
    ++input.reads;
    if (count > 0) input.delivered += static_cast<uint64_t>(count);
    if (count <= 0) input.ended = true;
    return count;
  }
};

// Reads the next page header. False at the end of the stream; false with
// corrupt set when libcups refused a header although the input went on: it
// took bytes while looking for it, or took none at all because what it had
// read ahead was the refused header.
bool ReadNextHeader(cups_raster_t* ras, RasterInput& input, cups_page_header2_t& header, bool& corrupt) {
  const uint64_t delivered = input.delivered, reads = input.reads;
  if (cupsRasterReadHeader2(ras, &header)) return true;
  corrupt = !(input.ended && input.reads > reads && input.delivered == delivered);
  return false;
}

// The sheet the job's options name, for the warnings below.
SheetChoice SheetOfJob(const char* option_text, ppd_file_t* ppd) {
  cups_option_t* options = nullptr;
  const int num_options = cupsParseOptions(option_text, 0, &options);
  SheetChoice sheet = ChooseSheet(ppd, num_options, options);
  cupsFreeOptions(num_options, options);
  return sheet;
}

// Says so when the job names a size this printer does not take, or names one
// of its sheets but the pages arrive in the other: the spooler could not map
// the name to the PPD's sizes, and the rasteriser made the default sheet.
void WarnOfOtherSheet(const SheetChoice& sheet, const cups_page_header2_t& header) {
  if (!sheet.unknown.empty())
    std::fprintf(stderr, "WARNING: The job asks for the size \"%s\", which this printer does not take\n",
                 sheet.unknown.c_str());
  else if (!sheet.named.empty() && (header.cupsWidth != sheet.width || header.cupsHeight != sheet.height))
    std::fprintf(stderr, "WARNING: The job asks for the size \"%s\" (%ux%u dots), but its pages arrive as %ux%u\n",
                 sheet.named.c_str(), sheet.width, sheet.height, header.cupsWidth, header.cupsHeight);
}

}  // namespace

int RunPrintJob(int argc, char* argv[], const JobStreams& streams) {
  if (argc != 6 && argc != 7) {
    std::fputs("ERROR: rastertovelta job-id user title copies options [file]\n", stderr);
    return 1;
  }
  ResetCancelRequest();
  int fd = streams.input_fd;
  if (argc == 7 && (fd = open(argv[6], O_RDONLY)) < 0) {
    std::perror("ERROR: Unable to open raster file - ");
    sleep(1);
    return 1;
  }
  // A printer connection that goes away is a failed write, reported, not a kill.
  std::signal(SIGPIPE, SIG_IGN);

  // The raster from the named file, else through the caller's reader when it
  // has one, else from the input descriptor.
  RasterInput input{ReadUnlessCancelled, &fd};
  if (fd == streams.input_fd && streams.read_input != nullptr) input = {streams.read_input, streams.read_context};
  cups_raster_t* ras = cupsRasterOpenIO(RasterInput::Read, &input, CUPS_RASTER_READ);
  if (ras == nullptr) std::fprintf(stderr, "ERROR: cupsRasterOpen fd=%d\n", fd);
  ppd_file_t* ppd = OpenPrinterPpd(streams.ppd_path);
  JobSettings settings;
  if (ppd != nullptr) settings = ResolvePrintOptions(argv[5], ppd, stderr);
  JobTables tables = PrepareJobTables(settings);
  const SheetChoice sheet = SheetOfJob(argv[5], ppd);

  PrinterOutput output(streams.output_fd);
  PageOutcome outcome = PageOutcome::Printed;
  int page = 0;
  cups_page_header2_t header;
  bool corrupt = false;
  while (ras != nullptr && ReadNextHeader(ras, input, header, corrupt)) {
    LogPageHeader(header, stderr);
    std::string problem;
    if (!CheckPageHeader(header, problem)) {
      std::fprintf(stderr, "ERROR: %s\n", problem.c_str());
      outcome = PageOutcome::Failed;
      break;
    }
    ++page;
    if (page == 1) WarnOfOtherSheet(sheet, header);
    std::fprintf(stderr, "PAGE: %d %d\n", page, static_cast<int>(header.NumCopies));
    RasterPageRows rows(ras, page);
    outcome = PrintPage(header, page, settings, tables, output, rows);
    if (outcome != PageOutcome::Printed) break;
  }

  if (corrupt && page > 0 && outcome == PageOutcome::Printed) {
    std::fprintf(stderr, "ERROR: The header of page %d is corrupt; the %d page%s before it printed\n", page + 1, page,
                 page == 1 ? "" : "s");
    outcome = PageOutcome::Failed;
  }
  ClosePrinterPpd(ppd);
  if (ras != nullptr) cupsRasterClose(ras);
  if (fd != streams.input_fd) close(fd);

  if (outcome == PageOutcome::Failed) return 1;
  if (outcome == PageOutcome::Cancelled) return 0;
  if (page == 0) {
    std::fputs("ERROR: No pages found!\n", stderr);
    return 1;
  }
  std::fputs("INFO: CUPS v1.2.12 is ready to print.\n", stderr);
  return 0;
}

}  // namespace velta
