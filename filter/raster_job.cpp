// One page of a raster job, from its header to the printer's print command.
#include "filter/raster_job.h"

#include <cstring>
#include <memory>
#include <new>

#include "filter/cancel_signal.h"
#include "filter/page_commands.h"
#include "pipeline/page_header_check.h"
#include "pipeline/page_memory_return.h"
#include "pipeline/page_road.h"

namespace velta {

namespace {

// A header field as the log prints it: %d of its 32 bits, read without
// trusting an enum field to hold one of its enumerators.
template <typename Field>
int AsInt(const Field& field) {
  return static_cast<int>(RawField(field));
}

// Allocates count bytes without setting them, or returns nullptr.
std::unique_ptr<uint8_t[]> AllocateBytes(std::size_t count) {
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[count]);
}

// The page road's cancellation check: the SIGTERM flag.
bool PollCancelSignal(void*) { return CancelRequested(); }

// Reports a failed write of printer data. When the job is being cancelled the
// spooler stops the backend too, so a write that fails then is part of the
// cancellation, not an error.
PageOutcome WriteFailed(const PrinterOutput& output) {
  if (CancelRequested()) return PageOutcome::Cancelled;
  std::fprintf(stderr, "ERROR: Unable to write printer data - %s\n", std::strerror(output.failed_errno()));
  return PageOutcome::Failed;
}

// Ends a cancelled page with the closing commands.
PageOutcome EndCancelledPage(PrinterOutput& output, PagePlanes& planes) {
  return CancelJob(output, planes) == CommandResult::Failed ? WriteFailed(output) : PageOutcome::Cancelled;
}

}  // namespace

void LogPageHeader(const cups_page_header2_t& h, FILE* log) {
  std::fprintf(log, "DEBUG: MediaClass=%.64s\n", h.MediaClass);
  std::fprintf(log, "DEBUG: MediaType=%.64s\n", h.MediaType);
  std::fprintf(log, "DEBUG: OutputType=%.64s\n", h.OutputType);
  std::fprintf(log, "DEBUG: AdvanceDistance=%d\n", AsInt(h.AdvanceDistance));
  std::fprintf(log, "DEBUG: AdvanceMedia=%d\n", AsInt(h.AdvanceMedia));
  std::fprintf(log, "DEBUG: Collate=%d\n", AsInt(h.Collate));
  std::fprintf(log, "DEBUG: CutMedia=%d\n", AsInt(h.CutMedia));
  std::fprintf(log, "DEBUG: Duplex=%d\n", AsInt(h.Duplex));
  std::fprintf(log, "DEBUG: HWResolution=[%d][%d]\n", AsInt(h.HWResolution[0]), AsInt(h.HWResolution[1]));
  std::fprintf(log, "DEBUG: Duplex=%d\n", AsInt(h.Duplex));
  std::fprintf(log, "DEBUG: ImagingBoundingBox=[%d][%d][%d][%d]\n", AsInt(h.ImagingBoundingBox[0]),
               AsInt(h.ImagingBoundingBox[1]), AsInt(h.ImagingBoundingBox[2]), AsInt(h.ImagingBoundingBox[3]));
  std::fprintf(log, "DEBUG: InsertSheet=%d\n", AsInt(h.InsertSheet));
  std::fprintf(log, "DEBUG: Jog=%d\n", AsInt(h.Jog));
  std::fprintf(log, "DEBUG: LeadingEdge=%d\n", AsInt(h.LeadingEdge));
  std::fprintf(log, "DEBUG: Margins=[%d][%d]\n", AsInt(h.Margins[0]), AsInt(h.Margins[1]));
  std::fprintf(log, "DEBUG: ManualFeed=%d\n", AsInt(h.ManualFeed));
  std::fprintf(log, "DEBUG: MediaPosition=%d\n", AsInt(h.MediaPosition));
  std::fprintf(log, "DEBUG: MediaWeight=%d\n", AsInt(h.MediaWeight));
  std::fprintf(log, "DEBUG: MirrorPrint=%d\n", AsInt(h.MirrorPrint));
  std::fprintf(log, "DEBUG: NegativePrint=%d\n", AsInt(h.NegativePrint));
  std::fprintf(log, "DEBUG: NumCopies=%d\n", AsInt(h.NumCopies));
  std::fprintf(log, "DEBUG: Orientation=%d\n", AsInt(h.Orientation));
  std::fprintf(log, "DEBUG: OutputFaceUp=%d\n", AsInt(h.OutputFaceUp));
  std::fprintf(log, "DEBUG: PageSize=[%d][%d]\n", AsInt(h.PageSize[0]), AsInt(h.PageSize[1]));
  std::fprintf(log, "DEBUG: Separations=%d\n", AsInt(h.Separations));
  std::fprintf(log, "DEBUG: TraySwitch=%d\n", AsInt(h.TraySwitch));
  std::fprintf(log, "DEBUG: Tumble=%d\n", AsInt(h.Tumble));
  std::fprintf(log, "DEBUG: cupsWidth=%d\n", AsInt(h.cupsWidth));
  std::fprintf(log, "DEBUG: cupsHeight=%d\n", AsInt(h.cupsHeight));
  std::fprintf(log, "DEBUG: cupsMediaType=%d\n", AsInt(h.cupsMediaType));
  std::fprintf(log, "DEBUG: cupsBitsPerColor=%d\n", AsInt(h.cupsBitsPerColor));
  std::fprintf(log, "DEBUG: cupsBitsPerPixel=%d\n", AsInt(h.cupsBitsPerPixel));
  std::fprintf(log, "DEBUG: cupsBytesPerLine=%d\n", AsInt(h.cupsBytesPerLine));
  std::fprintf(log, "DEBUG: cupsColorOrder=%d\n", AsInt(h.cupsColorOrder));
  std::fprintf(log, "DEBUG: cupsColorSpace=%d\n", AsInt(h.cupsColorSpace));
  std::fprintf(log, "DEBUG: cupsCompression=%d\n", AsInt(h.cupsCompression));
  std::fprintf(log, "DEBUG: cupsRowCount=%d\n", AsInt(h.cupsRowCount));
  std::fprintf(log, "DEBUG: cupsRowFeed=%d\n", AsInt(h.cupsRowFeed));
  std::fprintf(log, "DEBUG: cupsRowStep=%d\n", AsInt(h.cupsRowStep));
}

bool RasterPageRows::Allocate(const PageGeometry& geometry) {
  line_ = AllocateBytes(geometry.line_bytes);
  return line_ != nullptr;
}

bool RasterPageRows::Fill(uint8_t* page_buffer, const PageGeometry& geometry, PageRoad& road) {
  const std::size_t stride = geometry.width_DIB;
  uint32_t y = 0;
  for (; y < geometry.height; ++y) {
    if (CancelRequested()) return false;
    if ((y & 127) == 0)
      std::fprintf(stderr, "INFO: Printing page %d, %d%% complete...\n", page_, AsInt(100u * y / geometry.height));
    const unsigned delivered = cupsRasterReadPixels(ras_, line_.get(), static_cast<unsigned>(geometry.line_bytes));
    if (delivered == 0) break;
    uint8_t* row = page_buffer + y * stride;
    const std::size_t kept = delivered < stride ? delivered : stride;
    std::memcpy(row, line_.get(), kept);
    std::memset(row + kept, 255, stride - kept);
    road.RowsFinal(y + 1);
  }
  std::memset(page_buffer + y * stride, 255, (geometry.height - y) * stride);
  road.RowsFinal(geometry.height);
  return !CancelRequested();
}

PageOutcome PrintPage(const cups_page_header2_t& header, int page, JobSettings& settings, JobTables& tables,
                      PrinterOutput& output, PageRows& rows) {
  PagePlanes planes;
  const CommandResult setup = StartPage(output, header, settings.high_quality);
  if (setup == CommandResult::Failed) return WriteFailed(output);
  if (setup == CommandResult::Cancelled) return EndCancelledPage(output, planes);

  // The reading sets every byte of the page buffer (rows the raster never
  // delivers and the pad bytes at row ends white); the rendering sets every
  // byte of the send buffer before it is sent, so neither is filled here.
  const PageGeometry geometry = PageGeometryOf(header);
  const bool work = rows.Allocate(geometry);
  if (work) planes.page = MappedBuffer::Allocate(geometry.page_bytes);
  if (planes.page) planes.send = MappedBuffer::Allocate(geometry.send_bytes);
  if (!work || !planes.page || !planes.send) {
    std::fprintf(stderr, "ERROR: Unable to allocate %zu bytes for page %d\n",
                 rows.WorkBytes(geometry) + geometry.page_bytes + geometry.send_bytes, page);
    // Close the page the printer has begun, so its stream stays well-formed.
    CancelJob(output, planes);
    return PageOutcome::Failed;
  }

  // The page road starts on the rows as they come in; resizing and rendering
  // follow once the page is complete. Rendered rows of the page buffer are
  // not read again: their memory moves under the send rows still to be
  // written, or goes back.
  PageMemoryReturn pageMemory(
      {planes.page.get(), geometry.width_DIB, planes.send.get(), geometry.width, geometry.height});
  const PageBuffers buffers{planes.page.get(), geometry.width_DIB, planes.send.get(),
                            geometry.width,    geometry.height,    pageMemory.Notice()};
  PageRoad road(buffers, settings, tables);
  if (!rows.Fill(planes.page.get(), geometry, road)) {
    road.Stop();
    return EndCancelledPage(output, planes);
  }

  int SpaceFlag = 1;
  switch (road.Finish(CancelCheck{PollCancelSignal, nullptr}, SpaceFlag)) {
    case PageRoadStatus::Done:
      break;
    case PageRoadStatus::Cancelled:
      return EndCancelledPage(output, planes);
    case PageRoadStatus::OutOfMemory:
      std::fprintf(stderr, "ERROR: Out of memory while processing page %d\n", page);
      CancelJob(output, planes);
      return PageOutcome::Failed;
    case PageRoadStatus::HelperFailed:
      std::fprintf(stderr, "ERROR: A helper thread failed while processing page %d\n", page);
      CancelJob(output, planes);
      return PageOutcome::Failed;
  }

  std::fprintf(stderr, "INFO: Transfer completion of the image data\n");
  const CommandResult data = OutputLine(output, header, planes.send.get());
  if (data == CommandResult::Failed) return WriteFailed(output);
  if (data == CommandResult::Cancelled) return EndCancelledPage(output, planes);
  if (EndPage(output, SpaceFlag, planes) == CommandResult::Failed) return WriteFailed(output);
  // A SIGTERM that came while the closing commands went out ends the job here.
  return CancelRequested() ? PageOutcome::Cancelled : PageOutcome::Printed;
}

}  // namespace velta
