// velta-printer-app: a driverless IPP Everywhere printer for the Velta photo printer.
#include <pappl/pappl.h>

#include "app/printer_driver.h"
#include "app/system_setup.h"

// Hands the command line to PAPPL's standard main loop with the one driver.
int main(int argc, char* argv[]) {
  return papplMainloop(argc, argv, "1.0.0", nullptr, 1, velta::kDrivers,
                       /*autoadd_cb=*/nullptr, velta::VeltaDriverCallback,
                       /*subcmd_name=*/nullptr, /*subcmd_cb=*/nullptr, velta::CreateVeltaSystem, /*usage_cb=*/nullptr,
                       /*data=*/nullptr);
}
