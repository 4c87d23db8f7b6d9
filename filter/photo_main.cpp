// phototovelta: CUPS filter from a JPEG or PNG photo straight to the Velta
// thermal photo printer's command stream.
#include <cstdio>
#include <cstdlib>

#include "filter/photo_job.h"

// Runs one photo job on the standard streams with the PPD named by the environment.
int main(int argc, char* argv[]) {
  std::setbuf(stderr, nullptr);
  velta::JobStreams streams;
  streams.ppd_path = std::getenv("PPD");
  return velta::RunPhotoJob(argc, argv, streams);
}
