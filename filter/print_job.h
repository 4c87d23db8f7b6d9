// One print job from the spooler's arguments to its exit status.
#pragma once

#include <cups/raster.h>
#include <unistd.h>

namespace velta {

// Where a job's bytes come from and go to. The filter passes its standard
// streams and the PPD named by its environment; an in-process caller (a fuzz
// target) passes its own.
struct JobStreams {
  int input_fd = STDIN_FILENO;              // the raster when argv names no file
  int output_fd = STDOUT_FILENO;            // the printer stream
  const char* ppd_path = nullptr;           // the printer's PPD, nullptr for none
  cups_raster_iocb_t read_input = nullptr;  // when set, reads the raster instead of input_fd
  void* read_context = nullptr;             // handed to read_input
};

// Runs one job: checks the arguments (program name and five or six words),
// opens the raster and the PPD, resolves the job settings, prints every page and
// writes the closing line. Messages go to standard error. Returns the exit status.
int RunPrintJob(int argc, char* argv[], const JobStreams& streams);

}  // namespace velta
