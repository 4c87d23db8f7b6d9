// One page of a job, from its header to the printer's print command.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include <cups/raster.h>

#include "pipeline/job_settings.h"
#include "pipeline/page_header_check.h"
#include "pipeline/page_road.h"
#include "filter/printer_output.h"

namespace velta {

// How a page ended, and so how the job goes on.
enum class PageOutcome {
  Printed,    // the next header may follow
  Cancelled,  // SIGTERM: the page was closed early, the job ends with status 0
  Failed,     // an "ERROR:" line was written, the job ends with status 1
};

// Writes the 39 header lines of a page to log.
void LogPageHeader(const cups_page_header2_t& header, FILE* log);

// Where a page's rows come from: the raster stream, or a photo placed on the sheet.
class PageRows {
 public:
  virtual ~PageRows() = default;
  // Bytes of work memory the rows need besides the page buffer (named in the
  // message when the page's memory cannot be had).
  virtual std::size_t WorkBytes(const PageGeometry&) const { return 0; }
  // Takes that memory; false when it cannot.
  virtual bool Allocate(const PageGeometry&) { return true; }
  // Fills every byte of the page buffer, the pad at the end of each row
  // included, telling the road as rows become final. False when cancelled.
  virtual bool Fill(uint8_t* page_buffer, const PageGeometry& geometry, PageRoad& road) = 0;
};

// The rows of the page the raster stream is at, with a progress line every
// 128 rows. Every byte the raster does not deliver, the rest of a short row,
// the pad at each row's end and the rows after the data ends, is set to white.
class RasterPageRows : public PageRows {
 public:
  RasterPageRows(cups_raster_t* ras, int page) : ras_(ras), page_(page) {}
  std::size_t WorkBytes(const PageGeometry& geometry) const override { return geometry.line_bytes; }
  bool Allocate(const PageGeometry& geometry) override;
  bool Fill(uint8_t* page_buffer, const PageGeometry& geometry, PageRoad& road) override;

 private:
  cups_raster_t* ras_;
  int page_;
  std::unique_ptr<uint8_t[]> line_;  // one raster row as read
};

// Runs one page whose header passed the checks: StartPage, the buffers, the
// rows, the page road, OutputLine and EndPage. page is the page
// number; settings and tables are the job's, carried from page to page.
PageOutcome PrintPage(const cups_page_header2_t& header, int page, JobSettings& settings, JobTables& tables,
                      PrinterOutput& output, PageRows& rows);

}  // namespace velta
