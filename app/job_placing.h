// Where a job's photos and pages land: the sheet its media names, its
// print-scaling and its turn.
#pragma once

#include <string>

#include <pappl/pappl.h>

#include "photo/photo_placement.h"

namespace velta {

// Fills request from the job's options: the sheet of its media (the job's
// own, else the printer's default), its print-scaling and its turn. The turn
// is the job's own orientation-requested; a job that names none gets the
// printer's default unless that is portrait, the factory default, which
// turns a photo or page whose shape does not match the sheet onto it (as the
// CUPS filter does for a job without the option). False, with problem set,
// for a media that names no sheet.
bool PlacingForJob(pappl_job_t* job, const pappl_pr_options_t* options, PlacementRequest& request,
                   std::string& problem);

}  // namespace velta
