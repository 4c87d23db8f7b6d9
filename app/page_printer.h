// PAPPL's print callbacks: gather each raster page, then run the filter's page road.
#pragma once

#include <pappl/pappl.h>

namespace velta {

// The MIME type of data already in the printer's language, sent unchanged.
inline constexpr const char* kPrinterReadyFormat = "application/vnd.velta-photo";

// Sends a printer-ready file to the device as it is.
bool PrintReadyFile(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);

// Resolves the job's picture settings from its vendor options.
bool StartRasterJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);

// Checks the page header, takes the page's buffers and writes the set-up commands.
bool StartRasterPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned page);

// Stores raster row y in the page buffer and passes it to the page road.
bool WriteRasterLine(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned y,
                     const unsigned char* line);

// Completes the page road on the page and writes the image data and the
// closing commands; a cancelled page gets the closing commands alone.
bool EndRasterPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned page);

// Closes a page that was left open and releases the job's state.
bool EndRasterJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);

}  // namespace velta
