// The picture settings as PAPPL vendor attributes, and back to job settings.
#pragma once

#include <array>
#include <cstdint>

#include <cups/cups.h>

#include "pipeline/job_settings.h"

namespace velta {

// How a vendor attribute is offered to IPP clients.
enum class VendorKind { Range, Flag, PrintMode };

// One picture setting: its IPP attribute name, its kind, the supported range
// (for Range), the printer default and the job setting it fills.
struct VendorSetting {
  const char* name;
  VendorKind kind;
  int min;
  int max;
  int default_value;  // for Flag and PrintMode 0 or 1
  int32_t JobSettings::*field;
};

// The eleven settings in the order the filter resolves them.
inline constexpr std::array<VendorSetting, 11> kVendorSettings = {{
    {"brightness", VendorKind::Range, -10, 10, 0, &JobSettings::stp_brightness},
    {"contrast", VendorKind::Range, -10, 10, 0, &JobSettings::stp_contrast},
    {"saturation", VendorKind::Range, -10, 10, 0, &JobSettings::stp_saturation},
    {"resize", VendorKind::Range, -50, 50, 0, &JobSettings::stp_resize},
    {"sharpness", VendorKind::Range, -4, 4, 0, &JobSettings::stp_sharpness},
    {"red-balance", VendorKind::Range, -10, 10, 0, &JobSettings::stp_red},
    {"green-balance", VendorKind::Range, -10, 10, 0, &JobSettings::stp_green},
    {"blue-balance", VendorKind::Range, -10, 10, 0, &JobSettings::stp_blue},
    {"direct-map", VendorKind::Flag, 0, 1, 0, &JobSettings::directmap},
    {"monochrome", VendorKind::Flag, 0, 1, 0, &JobSettings::monochrome},
    {"print-mode", VendorKind::PrintMode, 0, 1, 0, &JobSettings::high_quality},
}};

// The print-mode keywords: index 0 is normal, 1 high quality.
inline constexpr std::array<const char*, 2> kPrintModeKeywords = {"normal", "high-quality"};

// Adds NAME-supported and NAME-default of every setting to the driver's attributes.
void AddVendorAttributes(ipp_t* driver_attrs);

// The job settings from the vendor options PAPPL resolved for a job (the job's
// own values, else the printer's defaults). A missing or unreadable value
// leaves the setting at its printer default; numbers are kept within range.
JobSettings JobSettingsFromVendor(int num_vendor, const cups_option_t* vendor);

}  // namespace velta
