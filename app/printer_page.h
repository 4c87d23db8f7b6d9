// One page on the printer: its set-up commands, its rows through the page
// road as they are written, then its image data and closing commands.
#pragma once

#include <cstdint>
#include <optional>

#include <pappl/pappl.h>

#include "pipeline/job_settings.h"
#include "pipeline/mapped_buffer.h"
#include "pipeline/page_header_check.h"
#include "pipeline/page_memory_return.h"
#include "pipeline/page_road.h"
#include "render/cancel_check.h"

namespace velta {

// What a job keeps from page to page: its settings (Monochrome changes the
// saturation for the rest of the job, as in the filter) and its tables.
struct JobInk {
  JobSettings settings;
  JobTables tables;
  unsigned pages_sent = 0;  // pages whose image data and closing commands reached the printer
};

class PrinterPage {
 public:
  PrinterPage() = default;
  ~PrinterPage() = default;
  PrinterPage(const PrinterPage&) = delete;
  PrinterPage& operator=(const PrinterPage&) = delete;

  // Writes the set-up commands of page number `page`, width x height dots
  // with `copies` copies, and takes its buffers. False, with a log line, when
  // the device or the memory fails; a page begun on the device is then closed.
  bool Open(pappl_job_t* job, pappl_device_t* device, JobInk& ink, uint32_t copies, uint32_t width, uint32_t height,
            unsigned page);

  // Row y of the page buffer: width x 3 bytes of RGB for the caller to write
  // before RowWritten takes it in.
  uint8_t* Row(uint32_t y) const { return page_.get() + y * geometry_.width_DIB; }
  // The page buffer's row stride.
  std::size_t stride() const { return geometry_.width_DIB; }

  // Row y (at least rows()) is written; rows skipped since the last one
  // print white, as rows that never arrive do.
  void RowWritten(uint32_t y);
  // Rows [rows(), end) are written whole, the bytes after each row's pixels
  // included.
  void RowsWritten(uint32_t end);

  // Completes the page: the rows still missing print white, then the page
  // road, the image data and the closing commands. A cancelled job gets the
  // closing commands alone and true; false, with a log line, on failure.
  bool Finish();
  // Ends the page early with the closing commands alone (a cancelled page).
  bool Abandon();

  bool open() const { return open_; }
  uint32_t rows() const { return rows_; }
  uint32_t width() const { return geometry_.width; }
  uint32_t height() const { return geometry_.height; }

 private:
  // Writes the closing commands with SpaceFlag and releases the page.
  bool Close(int SpaceFlag);

  pappl_job_t* job_ = nullptr;
  pappl_device_t* device_ = nullptr;
  JobInk* ink_ = nullptr;
  PageGeometry geometry_;
  MappedBuffer page_;                       // RGB rows of width_DIB bytes
  MappedBuffer send_;                       // three planes of head data
  std::optional<PageMemoryReturn> memory_;  // moves rendered page rows under the send rows
  std::optional<PageRoad> road_;            // declared last: stopped before the buffers go
  uint32_t rows_ = 0;                       // leading rows written so far
  bool open_ = false;                       // set-up written, closing commands not yet
};

// Says in the job's log and state message how many whole pages had been
// sent to the printer, which prints them, when the job was cancelled.
void ReportCancelled(pappl_job_t* job, unsigned pages_sent);

// The check the decoder, the placer and the page road poll: whether PAPPL has
// cancelled the job.
CancelCheck JobCancelCheck(pappl_job_t* job);

// Writes bytes to the printer; false (and a log line) when the device fails.
bool WriteToPrinter(pappl_job_t* job, pappl_device_t* device, const uint8_t* bytes, std::size_t count);

}  // namespace velta
