// One page of a raster job, from its header to the printer's print command.
#pragma once

#include <cstdio>

#include <cups/raster.h>

#include "pipeline/job_settings.h"
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

// Runs one page whose header passed the checks: StartPage, the buffers, the
// rows, the page road, OutputLine and EndPage. page is the page number; settings
// and tables are the job's, carried from page to page.
PageOutcome PrintPage(cups_raster_t* ras, const cups_page_header2_t& header, int page, JobSettings& settings,
                      JobTables& tables, PrinterOutput& output);

}  // namespace velta
