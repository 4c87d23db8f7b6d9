// One photo job: a JPEG or PNG file to the printer's stream in one process.
#pragma once

#include "filter/print_job.h"

namespace velta {

// Runs one photo job: checks the arguments (program name and five or six
// words), reads and decodes the photo before the page's first command, places
// it on the sheet the PPD marks and prints it through the page road with the
// job's settings and copies. A photo that cannot be read gives one "ERROR:"
// line and nothing on the printer stream. Returns the exit status.
int RunPhotoJob(int argc, char* argv[], const JobStreams& streams);

}  // namespace velta
