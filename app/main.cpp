// velta-printer-app: a driverless IPP Everywhere printer for the Velta photo printer.
#include <pappl/pappl.h>

#include <malloc.h>

#include <cstring>

#include "app/printer_delete.h"
#include "app/printer_driver.h"
#include "app/system_setup.h"

// Hands the command line to PAPPL's standard main loop with the one driver;
// "delete" is the application's own (see printer_delete.h).
int main(int argc, char* argv[]) {
  // One job prints at a time: a heap for every one of the many short-lived
  // client and job threads only keeps freed memory out of reach.
  mallopt(M_ARENA_MAX, 2);
  // A job's large buffers (a decoded photo, a page) are mapped and go back to
  // the system when freed. Left to itself, malloc raises this threshold after
  // the first such buffer and keeps the next ones in a heap, whose size then
  // depends on how the jobs happened to interleave.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  if (argc >= 2 && std::strcmp(argv[1], "delete") == 0) {
    const char* slash = std::strrchr(argv[0], '/');
    return velta::DeletePrinterCommand(slash ? slash + 1 : argv[0], argc - 2, argv + 2);
  }
  return papplMainloop(argc, argv, "1.0.0", nullptr, 1, velta::kDrivers,
                       /*autoadd_cb=*/nullptr, velta::VeltaDriverCallback,
                       /*subcmd_name=*/nullptr, /*subcmd_cb=*/nullptr, velta::CreateVeltaSystem, /*usage_cb=*/nullptr,
                       /*data=*/nullptr);
}
