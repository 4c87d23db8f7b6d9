// rastertovelta: CUPS filter from 8-bit RGB raster to the Velta thermal photo
// printer's command stream.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include <cups/ppd.h>
#include <cups/raster.h>

#include "filter/job_settings.h"
#include "filter/page_header_check.h"
#include "filter/print_options.h"
#include "filter/printer_output.h"
#include "filter/raster_job.h"

namespace {

// Opens the printer's PPD named by the environment, or returns nullptr.
ppd_file_t* OpenPrinterPpd() {
  const char* path = std::getenv("PPD");
  if (path == nullptr) return nullptr;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return ppdOpenFile(path);
#pragma GCC diagnostic pop
}

// Closes the PPD, if one was opened.
void ClosePrinterPpd(ppd_file_t* ppd) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (ppd != nullptr) ppdClose(ppd);
#pragma GCC diagnostic pop
}

}  // namespace

// Runs one print job: checks the arguments, opens the raster and the PPD,
// resolves the job settings and prints every page of the raster.
int main(int argc, char* argv[]) {
  std::setbuf(stderr, nullptr);
  if (argc != 6 && argc != 7) {
    std::fputs("ERROR: rastertovelta job-id user title copies options [file]\n", stderr);
    return 1;
  }
  int fd = 0;
  if (argc == 7 && (fd = open(argv[6], O_RDONLY)) < 0) {
    std::perror("ERROR: Unable to open raster file - ");
    sleep(1);
    return 1;
  }
  // A printer connection that goes away is a failed write, reported, not a kill.
  std::signal(SIGPIPE, SIG_IGN);

  cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_READ);
  if (ras == nullptr) std::fprintf(stderr, "ERROR: cupsRasterOpen fd=%d\n", fd);
  ppd_file_t* ppd = OpenPrinterPpd();
  velta::JobSettings settings;
  if (ppd != nullptr) settings = velta::ResolvePrintOptions(argv[5], ppd, stderr);
  velta::JobTables tables = velta::PrepareJobTables(settings);

  velta::PrinterOutput output(STDOUT_FILENO);
  velta::PageOutcome outcome = velta::PageOutcome::Printed;
  int page = 0;
  cups_page_header2_t header;
  while (ras != nullptr && cupsRasterReadHeader2(ras, &header)) {
    velta::LogPageHeader(header, stderr);
    std::string problem;
    if (!velta::CheckPageHeader(header, problem)) {
      std::fprintf(stderr, "ERROR: %s\n", problem.c_str());
      outcome = velta::PageOutcome::Failed;
      break;
    }
    ++page;
    std::fprintf(stderr, "PAGE: %d %d\n", page, static_cast<int>(header.NumCopies));
    outcome = velta::PrintPage(ras, header, page, settings, tables, output);
    if (outcome != velta::PageOutcome::Printed) break;
  }

  ClosePrinterPpd(ppd);
  if (ras != nullptr) cupsRasterClose(ras);
  if (fd != 0) close(fd);

  if (outcome == velta::PageOutcome::Failed) return 1;
  if (outcome == velta::PageOutcome::Cancelled) return 0;
  if (page == 0) {
    std::fputs("ERROR: No pages found!\n", stderr);
    return 1;
  }
  std::fputs("INFO: CUPS v1.2.12 is ready to print.\n", stderr);
  return 0;
}
