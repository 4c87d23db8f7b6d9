// A photo, or a page of another size, placed on the sheet and printed as one page.
#pragma once

#include <cstdint>

#include <pappl/pappl.h>

#include "app/printer_page.h"
#include "photo/photo_image.h"
#include "photo/photo_placement.h"

namespace velta {

// Places image on the request's sheet and prints it as page number `page`
// with `copies` copies. The placing takes its memory before the page's first
// command, so a placing that cannot have it sends nothing. False, with a log
// line, on failure; true when the job is cancelled.
bool PrintPlacedSheet(pappl_job_t* job, pappl_device_t* device, JobInk& ink, const PhotoImage& image,
                      const PlacementRequest& request, uint32_t copies, unsigned page);

}  // namespace velta
