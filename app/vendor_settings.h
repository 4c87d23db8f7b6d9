// The picture settings as PAPPL vendor attributes, and back to job settings.
#pragma once

#include <array>
#include <cstdint>

#include <pappl/pappl.h>

#include "pipeline/job_settings.h"

namespace velta {

// How a vendor attribute is offered to IPP clients.
enum class VendorKind { Range, Flag, PrintMode };

// One picture setting: its IPP attribute name, its kind, the supported range
// (for Range), the printer default and the job setting it fills. A setting
// that a standard attribute also carries (standard_default) has no printer
// default of its own: print-quality's and print-color-mode's defaults stand
// for it, so the web page shows one control for each.
struct VendorSetting {
  const char* name;
  VendorKind kind;
  int min;
  int max;
  int default_value;  // for Flag and PrintMode 0 or 1
  int32_t JobSettings::*field;
  bool standard_default;
};

// The eleven settings in the order the filter resolves them.
inline constexpr std::array<VendorSetting, 11> kVendorSettings = {{
    {"brightness", VendorKind::Range, -10, 10, 0, &JobSettings::stp_brightness, false},
    {"contrast", VendorKind::Range, -10, 10, 0, &JobSettings::stp_contrast, false},
    {"saturation", VendorKind::Range, -10, 10, 0, &JobSettings::stp_saturation, false},
    {"resize", VendorKind::Range, -50, 50, 0, &JobSettings::stp_resize, false},
    {"sharpness", VendorKind::Range, -4, 4, 0, &JobSettings::stp_sharpness, false},
    {"red-balance", VendorKind::Range, -10, 10, 0, &JobSettings::stp_red, false},
    {"green-balance", VendorKind::Range, -10, 10, 0, &JobSettings::stp_green, false},
    {"blue-balance", VendorKind::Range, -10, 10, 0, &JobSettings::stp_blue, false},
    {"direct-map", VendorKind::Flag, 0, 1, 0, &JobSettings::directmap, false},
    {"monochrome", VendorKind::Flag, 0, 1, 0, &JobSettings::monochrome, true},
    {"print-mode", VendorKind::PrintMode, 0, 1, 0, &JobSettings::high_quality, true},
}};

// The print-mode keywords: index 0 is normal, 1 high quality.
inline constexpr std::array<const char*, 2> kPrintModeKeywords = {"normal", "high-quality"};

// Adds NAME-supported of every setting, and NAME-default of those with a
// printer default of their own, to the driver's attributes.
void AddVendorAttributes(ipp_t* driver_attrs);

// The job's settings: each setting the job names, else its printer default
// (saved from the web page or set with "modify -o NAME-default=VALUE"), else
// 0. The print mode, unless the job names print-mode, is high quality for
// print-quality high (the job's, else the printer's default); Monochrome,
// unless the job names monochrome, follows a monochrome print-color-mode.
// An unreadable value counts as not named; numbers are kept within range.
JobSettings JobSettingsForJob(pappl_job_t* job, const pappl_pr_options_t* options);

}  // namespace velta
