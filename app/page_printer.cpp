// PAPPL's print callbacks: each raster page goes through the page road as its rows arrive.
#include "app/page_printer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/printer_copies.h"
#include "app/vendor_settings.h"
#include "pipeline/command_stream.h"
#include "pipeline/mapped_buffer.h"
#include "pipeline/page_header_check.h"
#include "pipeline/page_memory_return.h"
#include "pipeline/page_road.h"

namespace velta {

namespace {

// What a job keeps between the callbacks: its settings (Monochrome changes the
// saturation for the rest of the job, as in the filter) and the open page.
struct RasterJobState {
  JobSettings settings;
  JobTables tables;  // colour parameters, tone table and direct map of the job
  PageGeometry geometry;
  MappedBuffer page;                       // RGB rows of width_DIB bytes
  MappedBuffer send;                       // three planes of head data
  std::optional<PageMemoryReturn> memory;  // moves rendered page rows under the send rows
  std::optional<PageRoad> road;            // declared last: stopped before the buffers go
  uint32_t rows = 0;                       // rows of the open page arrived so far
  bool page_open = false;                  // set-up written, closing commands not yet
  int job_copies = 1;                      // the job's "copies", sent to the printer
};

// The job's state, created by StartRasterJob.
RasterJobState* StateOf(pappl_job_t* job) { return static_cast<RasterJobState*>(papplJobGetData(job)); }

// Writes one block to the printer; false (and a log line) when the device fails.
bool WriteBlock(pappl_job_t* job, pappl_device_t* device, std::span<const uint8_t> bytes) {
  if (papplDeviceWrite(device, bytes.data(), bytes.size()) < 0) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to send %zu bytes to the printer.", bytes.size());
    return false;
  }
  return true;
}

// Ends the open page with the closing and print commands and flushes the device.
bool ClosePage(pappl_job_t* job, pappl_device_t* device, RasterJobState& state, int SpaceFlag) {
  state.page_open = false;
  state.road.reset();
  state.memory.reset();
  state.page.reset();
  state.send.reset();
  const PageClosingCommands closing = BuildPageClosing(SpaceFlag);
  const bool written = WriteBlock(job, device, closing);
  papplDeviceFlush(device);
  return written;
}

// Sets rows [state.rows, end) of the open page white, as rows that never
// arrived print, and passes them to the page road.
void WhiteRowsUpTo(RasterJobState& state, uint32_t end) {
  const std::size_t stride = state.geometry.width_DIB;
  if (end > state.rows) std::memset(state.page.get() + state.rows * stride, 255, (end - state.rows) * stride);
  state.rows = end > state.rows ? end : state.rows;
  state.road->RowsFinal(state.rows);
}

// Asks PAPPL whether the job has been cancelled; the page road polls it.
bool JobCancelled(void* job) { return papplJobIsCanceled(static_cast<pappl_job_t*>(job)); }

}  // namespace

bool PrintReadyFile(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) {
  const int fd = open(papplJobGetFilename(job), O_RDONLY);
  if (fd < 0) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to open the print file: %s", std::strerror(errno));
    return false;
  }
  std::vector<uint8_t> buffer(64 * 1024);
  bool ok = true;
  ssize_t count = 0;
  while (ok && !papplJobIsCanceled(job) && (count = read(fd, buffer.data(), buffer.size())) > 0) {
    ok = WriteBlock(job, device, std::span<const uint8_t>(buffer.data(), static_cast<std::size_t>(count)));
  }
  close(fd);
  papplDeviceFlush(device);
  return ok && count >= 0;
}

bool StartRasterJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*) {
  auto state = std::make_unique<RasterJobState>();
  state->settings = JobSettingsFromVendor(options->num_vendor, options->vendor);
  state->tables = PrepareJobTables(state->settings);
  const JobSettings& s = state->settings;
  papplLogJob(job, PAPPL_LOGLEVEL_DEBUG,
              "Settings: brightness=%d contrast=%d saturation=%d resize=%d sharpness=%d red=%d "
              "green=%d blue=%d direct-map=%d monochrome=%d high-quality=%d",
              s.stp_brightness, s.stp_contrast, s.stp_saturation, s.stp_resize, s.stp_sharpness, s.stp_red, s.stp_green,
              s.stp_blue, s.directmap, s.monochrome, s.high_quality);
  // The printer makes the copies: PAPPL's image path would otherwise send the
  // page once per copy, and its PWG raster path never repeats a page.
  state->job_copies = options->copies;
  options->copies = 1;
  papplJobSetData(job, state.release());
  return true;
}

bool StartRasterPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned page) {
  RasterJobState* state = StateOf(job);
  if (state == nullptr) return false;
  std::string problem;
  if (!CheckPageHeader(options->header, problem)) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Page %u refused: %s", page, problem.c_str());
    return false;
  }
  state->geometry = PageGeometryOf(options->header);
  const uint32_t copies = PrinterCopies(state->job_copies, options->header.NumCopies);
  papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Page %u: %ux%u dots, %u copies.", page, state->geometry.width,
              state->geometry.height, copies);
  const PageSetupCommands setup =
      BuildPageSetup(copies, state->geometry.width, state->geometry.height, state->settings.high_quality);
  if (!WriteBlock(job, device, setup)) return false;
  state->page_open = true;
  // The page's memory is not cleared: every row is written as it arrives, or
  // set white at the end of the page if it never does.
  const PageGeometry& g = state->geometry;
  state->page = MappedBuffer::Allocate(g.page_bytes);
  if (state->page) state->send = MappedBuffer::Allocate(g.send_bytes);
  if (!state->page || !state->send) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to allocate %zu bytes for page %u.", g.page_bytes + g.send_bytes,
                page);
    ClosePage(job, device, *state, 1);
    return false;
  }
  state->rows = 0;
  state->memory.emplace(PageMemoryLayout{state->page.get(), g.width_DIB, state->send.get(), g.width, g.height});
  state->road.emplace(
      PageBuffers{state->page.get(), g.width_DIB, state->send.get(), g.width, g.height, state->memory->Notice()},
      state->settings, state->tables);
  return true;
}

bool WriteRasterLine(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned y, const unsigned char* line) {
  RasterJobState* state = StateOf(job);
  // Rows come top down; one that comes again, or after the last, is refused.
  if (state == nullptr || !state->page_open || y >= state->geometry.height || y < state->rows) return false;
  WhiteRowsUpTo(*state, y);
  uint8_t* row = state->page.get() + y * state->geometry.width_DIB;
  const std::size_t pixelBytes = state->geometry.width * std::size_t{3};
  std::memcpy(row, line, pixelBytes);
  std::memset(row + pixelBytes, 255, state->geometry.width_DIB - pixelBytes);
  state->rows = y + 1;
  state->road->RowsFinal(state->rows);
  return true;
}

bool EndRasterPage(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device, unsigned) {
  RasterJobState* state = StateOf(job);
  if (state == nullptr || !state->page_open) return false;
  if (papplJobIsCanceled(job)) return ClosePage(job, device, *state, 1);

  WhiteRowsUpTo(*state, state->geometry.height);
  int SpaceFlag = 1;
  const PageRoadStatus status = state->road->Finish(CancelCheck{JobCancelled, job}, SpaceFlag);
  if (status == PageRoadStatus::Cancelled) return ClosePage(job, device, *state, 1);
  if (status == PageRoadStatus::OutOfMemory || status == PageRoadStatus::HelperFailed) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR,
                status == PageRoadStatus::OutOfMemory ? "Not enough memory to process the page."
                                                      : "A helper thread failed while processing the page.");
    ClosePage(job, device, *state, 1);
    return false;
  }

  const SendDataHeader header = BuildSendDataHeader(state->geometry.width, state->geometry.height);
  const bool sent = WriteBlock(job, device, header) &&
                    WriteBlock(job, device, std::span<const uint8_t>(state->send.get(), state->geometry.send_bytes));
  const bool closed = ClosePage(job, device, *state, SpaceFlag);
  return sent && closed;
}

bool EndRasterJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) {
  std::unique_ptr<RasterJobState> state(StateOf(job));
  papplJobSetData(job, nullptr);
  if (state != nullptr && state->page_open) return ClosePage(job, device, *state, 1);
  return true;
}

}  // namespace velta
