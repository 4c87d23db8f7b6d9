// One page on the printer, from its set-up commands to its closing commands.
#include "app/printer_page.h"

#include <cstring>

#include "pipeline/command_stream.h"
#include "pipeline/sheet_header.h"

namespace velta {

namespace {

// Asks PAPPL whether the job has been cancelled.
bool JobCancelled(void* job) { return papplJobIsCanceled(static_cast<pappl_job_t*>(job)); }

// Writes a block of command bytes.
template <std::size_t N>
bool WriteBlock(pappl_job_t* job, pappl_device_t* device, const std::array<uint8_t, N>& bytes) {
  return WriteToPrinter(job, device, bytes.data(), bytes.size());
}

}  // namespace

CancelCheck JobCancelCheck(pappl_job_t* job) { return CancelCheck{JobCancelled, job}; }

bool WriteToPrinter(pappl_job_t* job, pappl_device_t* device, const uint8_t* bytes, std::size_t count) {
  if (papplDeviceWrite(device, bytes, count) < 0) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to send %zu bytes to the printer.", count);
    return false;
  }
  return true;
}

void ReportCancelled(pappl_job_t* job, unsigned pages_sent) {
  if (pages_sent == 0) {
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Cancelled before a whole page reached the printer.");
    papplJobSetMessage(job, "Cancelled before a whole page reached the printer.");
  } else {
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Cancelled after %u whole page%s had been sent to the printer.", pages_sent,
                pages_sent == 1 ? "" : "s");
    papplJobSetMessage(job, "Cancelled after %u whole page%s had been sent to the printer.", pages_sent,
                       pages_sent == 1 ? "" : "s");
  }
}

bool PrinterPage::Open(pappl_job_t* job, pappl_device_t* device, JobInk& ink, uint32_t copies, uint32_t width,
                       uint32_t height, unsigned page) {
  job_ = job;
  device_ = device;
  ink_ = &ink;
  geometry_ = PageGeometryOf(SheetHeader(width, height, copies));
  const unsigned count = CopyCount(copies);
  papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Page %u: %ux%u dots, %u %s.", page, width, height, count,
              count == 1 ? "copy" : "copies");
  if (!WriteBlock(job, device, BuildPageSetup(copies, width, height, ink.settings.high_quality))) return false;
  open_ = true;
  // The page's memory is not cleared: every row is written, or set white
  // when it is skipped or never comes.
  page_ = MappedBuffer::Allocate(geometry_.page_bytes);
  if (page_) send_ = MappedBuffer::Allocate(geometry_.send_bytes);
  if (!page_ || !send_) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to allocate %zu bytes for page %u.",
                geometry_.page_bytes + geometry_.send_bytes, page);
    Close(1);
    return false;
  }
  rows_ = 0;
  const PageGeometry& g = geometry_;
  memory_.emplace(PageMemoryLayout{page_.get(), g.width_DIB, send_.get(), g.width, g.height});
  road_.emplace(PageBuffers{page_.get(), g.width_DIB, send_.get(), g.width, g.height, memory_->Notice()}, ink.settings,
                ink.tables);
  return true;
}

void PrinterPage::RowWritten(uint32_t y) {
  const std::size_t pixel_bytes = std::size_t{geometry_.width} * 3;
  if (y > rows_) std::memset(Row(rows_), 255, (y - rows_) * geometry_.width_DIB);
  std::memset(Row(y) + pixel_bytes, 255, geometry_.width_DIB - pixel_bytes);
  RowsWritten(y + 1);
}

void PrinterPage::RowsWritten(uint32_t end) {
  rows_ = end;
  road_->RowsFinal(rows_);
}

bool PrinterPage::Finish() {
  if (!open_) return false;
  if (papplJobIsCanceled(job_)) return Abandon();
  if (rows_ < geometry_.height) {
    std::memset(Row(rows_), 255, (geometry_.height - rows_) * geometry_.width_DIB);
    rows_ = geometry_.height;
    road_->RowsFinal(rows_);
  }
  int SpaceFlag = 1;
  const PageRoadStatus status = road_->Finish(JobCancelCheck(job_), SpaceFlag);
  if (status == PageRoadStatus::Cancelled) return Abandon();
  if (status == PageRoadStatus::OutOfMemory || status == PageRoadStatus::HelperFailed) {
    papplLogJob(job_, PAPPL_LOGLEVEL_ERROR,
                status == PageRoadStatus::OutOfMemory ? "Not enough memory to process the page."
                                                      : "A helper thread failed while processing the page.");
    Close(1);
    return false;
  }
  const bool sent = WriteBlock(job_, device_, BuildSendDataHeader(geometry_.width, geometry_.height)) &&
                    WriteToPrinter(job_, device_, send_.get(), geometry_.send_bytes);
  const bool closed = Close(SpaceFlag);
  if (sent && closed) ++ink_->pages_sent;
  return sent && closed;
}

bool PrinterPage::Abandon() { return open_ ? Close(1) : true; }

bool PrinterPage::Close(int SpaceFlag) {
  open_ = false;
  road_.reset();
  memory_.reset();
  page_.reset();
  send_.reset();
  const bool written = WriteBlock(job_, device_, BuildPageClosing(SpaceFlag));
  papplDeviceFlush(device_);
  return written;
}

}  // namespace velta
