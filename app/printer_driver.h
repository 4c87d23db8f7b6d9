// The one printer driver of the application.
#pragma once

#include <pappl/pappl.h>

namespace velta {

// The driver's name, as given to "add -m".
inline constexpr const char* kDriverName = "velta_photo";

// The list of drivers handed to papplMainloop.
extern pappl_pr_driver_t kDrivers[1];

// Fills the driver data and attributes of a new printer: a 300 dpi borderless
// photo printer on 8-bit sRGB raster with two sheet sizes and the picture
// settings as vendor attributes. False for an unknown driver name.
bool VeltaDriverCallback(pappl_system_t* system, const char* driver_name, const char* device_uri, const char* device_id,
                         pappl_pr_driver_data_t* driver_data, ipp_t** driver_attrs, void* data);

// What the application gives every printer it creates.
struct PrinterSetup {
  bool advertise = true;   // false when no DNS-SD is there to advertise it with
  int preserved_jobs = 0;  // finished jobs whose documents are kept (the newest), 0: none
};

// PAPPL's printer creation callback (setup is a PrinterSetup): the ribbon and
// the paper as supplies of unknown level, since the printer cannot report
// them, no DNS-SD name when nothing can be advertised, and the documents of
// finished jobs kept as the server was told.
void VeltaPrinterCreated(pappl_printer_t* printer, void* setup);

}  // namespace velta
