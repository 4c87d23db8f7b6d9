// How a photo job asks for its photo to be placed: the sheet from the PPD's
// page size, print-scaling and orientation-requested from the job's options.
#pragma once

#include <cstdio>

#include <cups/ppd.h>

#include "photo/photo_placement.h"

namespace velta {

// Reads the placing from the job's option string and the PPD (nullptr: the
// 6x8 sheet unless the job names the other): the sheet by ChooseSheet,
// print-scaling (fill by default, as the queues' default; fit-to-page=true
// asks for fit) and orientation-requested (landscape asks for 4). Writes one
// DEBUG line to log, and a WARNING line when the job names a size that is no
// sheet of this printer.
PlacementRequest PhotoPlacementFromOptions(const char* option_text, ppd_file_t* ppd, FILE* log);

}  // namespace velta
