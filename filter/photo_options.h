// How a photo job asks for its photo to be placed: the sheet from the PPD's
// page size, print-scaling and orientation-requested from the job's options.
#pragma once

#include <cstdio>

#include <cups/ppd.h>

#include "photo/photo_placement.h"

namespace velta {

// Reads the placing from the job's option string and the PPD (nullptr: the
// 6x8 sheet). print-scaling defaults to fill, as the queues' default;
// fit-to-page=true asks for fit and landscape for orientation-requested 4
// when the job names neither. Writes one DEBUG line to log.
PlacementRequest PhotoPlacementFromOptions(const char* option_text, ppd_file_t* ppd, FILE* log);

}  // namespace velta
