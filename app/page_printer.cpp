// PAPPL's print callbacks: a raster page of one of the sheets goes through the
// page road as its rows arrive; a page of another size is gathered and placed
// on the job's sheet by print-scaling, as a photo is.
#include "app/page_printer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/gathered_page.h"
#include "app/job_device.h"
#include "app/job_gate.h"
#include "app/job_placing.h"
#include "app/media_sizes.h"
#include "app/placed_sheet.h"
#include "app/printer_copies.h"
#include "app/printer_page.h"
#include "app/raster_rows.h"
#include "app/vendor_settings.h"

namespace velta {

namespace {

// What a job keeps between the callbacks.
struct RasterJobState {
  RasterJobState(pappl_job_t* job, pappl_device_t* device) : output(job, device) {}

  JobDevice output;  // where the pages go
  JobInk ink;
  int job_copies = 1;           // the job's "copies", sent to the printer
  PlacementRequest placing;     // where a page of another size goes
  std::string placing_problem;  // why it cannot go anywhere, when it cannot
  // The open page: straight through the page road, or gathered.
  PrinterPage page;
  GatheredPage gathered;
  bool gathering = false;
  RowFormat format = RowFormat::Rgb;
  uint32_t width = 0;            // pixels a row arrives with
  uint32_t height = 0;           // rows the page has
  uint32_t rows = 0;             // rows arrived so far
  uint32_t copies = 1;           // the open page's copies
  unsigned number = 0;           // the open page's number
  std::vector<uint8_t> rgb_row;  // a grey row made RGB, for a gathered page
};

// The job's state, created by StartRasterJob.
RasterJobState* StateOf(pappl_job_t* job) { return static_cast<RasterJobState*>(papplJobGetData(job)); }

// True when a page of this size and resolution is one of the sheets as it is.
bool IsSheetPage(const cups_page_header2_t& header) {
  return header.HWResolution[0] == 300 && header.HWResolution[1] == 300 &&
         IsSheetDots(header.cupsWidth, header.cupsHeight);
}

// Copies the job's file to the device.
bool CopyReadyFile(pappl_job_t* job, pappl_device_t* device) {
  const int fd = open(papplJobGetFilename(job), O_RDONLY);
  if (fd < 0) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to open the print file: %s", std::strerror(errno));
    return false;
  }
  std::vector<uint8_t> buffer(64 * 1024);
  bool ok = true;
  ssize_t count = 0;
  while (ok && !papplJobIsCanceled(job) && (count = read(fd, buffer.data(), buffer.size())) > 0)
    ok = WriteToPrinter(job, device, buffer.data(), static_cast<std::size_t>(count));
  close(fd);
  papplDeviceFlush(device);
  return ok && count >= 0;
}

}  // namespace

bool PrintReadyFile(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) {
  return RunSpooledJob(job, device, CopyReadyFile);
}

bool StartRasterJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
  // EndRasterJob, which leaves the gate, follows only a job that started.
  if (EnterJob(job, false) == JobRun::End) return false;
  auto state = std::make_unique<RasterJobState>(job, device);
  if (state->output.get() == nullptr) {
    LeaveJob(job);
    return false;
  }
  state->ink.settings = JobSettingsForJob(job, options);
  state->ink.tables = PrepareJobTables(state->ink.settings);
  // The printer makes the copies: PAPPL's image path would otherwise send the
  // page once per copy, and its PWG raster path never repeats a page.
  state->job_copies = options->copies;
  options->copies = 1;
  if (!PlacingForJob(job, options, state->placing, state->placing_problem))
    papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "%s", state->placing_problem.c_str());
  papplJobSetData(job, state.release());
  return true;
}

bool StartRasterPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned page) {
  RasterJobState* state = StateOf(job);
  if (state == nullptr) return false;
  const cups_page_header2_t& header = options->header;
  cups_page_header2_t rgb_header;
  std::string problem;
  if (!ReadRowFormat(header, state->format, rgb_header, problem)) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Page %u refused: %s", page, problem.c_str());
    return false;
  }
  state->width = header.cupsWidth;
  state->height = header.cupsHeight;
  state->rows = 0;
  state->number = page;
  state->copies = PrinterCopies(state->job_copies, header.NumCopies);
  state->gathering = !IsSheetPage(header);
  if (!state->gathering)
    return state->page.Open(job, state->output.get(), state->ink, state->copies, state->width, state->height, page);

  // Another size: gathered now, placed on the sheet at the end of the page.
  if (!state->placing_problem.empty()) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Page %u refused: %s", page, state->placing_problem.c_str());
    return false;
  }
  papplLogJob(job, PAPPL_LOGLEVEL_INFO,
              "Page %u is %ux%u pixels at %ux%u dpi, not a sheet: placing it on the %ux%u sheet.", page, state->width,
              state->height, header.HWResolution[0], header.HWResolution[1], state->placing.sheet_width,
              state->placing.sheet_height);
  if (!state->gathered.Begin(state->width, state->height, header.HWResolution[0], header.HWResolution[1], problem)) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Page %u refused: %s", page, problem.c_str());
    return false;
  }
  state->rgb_row.resize(std::size_t{state->width} * 3);
  return true;
}

bool WriteRasterLine(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned y, const unsigned char* line) {
  RasterJobState* state = StateOf(job);
  // Rows come top down; one that comes again, or after the last, is refused.
  if (state == nullptr || y >= state->height || y < state->rows) return false;
  if (state->gathering) {
    RowToRgb(state->format, line, state->width, state->rgb_row.data());
    state->gathered.AddRow(y, state->rgb_row.data());
  } else {
    if (!state->page.open()) return false;
    RowToRgb(state->format, line, state->width, state->page.Row(y));
    state->page.RowWritten(y);
  }
  state->rows = y + 1;
  return true;
}

bool EndRasterPage(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned) {
  RasterJobState* state = StateOf(job);
  if (state == nullptr) return false;
  bool printed = true;
  if (!state->gathering) {
    printed = state->page.Finish();
  } else {
    if (!papplJobIsCanceled(job))
      printed = PrintPlacedSheet(job, state->output.get(), state->ink, state->gathered.image(), state->placing,
                                 state->copies, state->number);
    state->gathered.Release();
    state->gathering = false;
  }
  return printed;
}

bool EndRasterJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*) {
  std::unique_ptr<RasterJobState> state(StateOf(job));
  papplJobSetData(job, nullptr);
  if (state == nullptr) return true;
  if (papplJobIsCanceled(job)) ReportCancelled(job, state->ink.pages_sent);
  const bool closed = state->page.Abandon();
  state.reset();  // closes the job's own device before the next job may print
  LeaveJob(job);
  return closed;
}

}  // namespace velta
