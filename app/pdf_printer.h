// PDF jobs in the printer application. CUPS sends a driverless queue's
// documents as PDF to a printer that takes it, and only then leaves the
// copies to the printer.
#pragma once

#include <pappl/pappl.h>

namespace velta {

// PAPPL's MIME filter for application/pdf: Ghostscript draws each page at
// 300 dpi; a page the size of one of the sheets goes through the page road
// as its rows come, any other is placed on the job's sheet by print-scaling.
// Each page carries the job's copies. A PDF Ghostscript cannot draw ends the
// job with its message in the job's log.
bool PrintPdfFile(pappl_job_t* job, pappl_device_t* device, void* data);

}  // namespace velta
