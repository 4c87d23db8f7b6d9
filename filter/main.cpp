// rastertovelta: CUPS filter from 8-bit RGB raster to the Velta thermal photo
// printer's command stream.
#include <cstdio>
#include <cstdlib>

#include "filter/print_job.h"

// Runs one print job on the standard streams with the PPD named by the environment.
int main(int argc, char* argv[]) {
  std::setbuf(stderr, nullptr);
  velta::JobStreams streams;
  streams.ppd_path = std::getenv("PPD");
  return velta::RunPrintJob(argc, argv, streams);
}
