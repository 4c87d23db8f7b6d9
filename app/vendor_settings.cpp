// The picture settings as PAPPL vendor attributes, and back to job settings.
#include "app/vendor_settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace velta {

namespace {

// Reads a whole decimal number; false when text is not one.
bool ReadWholeNumber(const char* text, long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text, &end, 10);
  return errno == 0 && end != text && *end == '\0';
}

// The setting's value from an attribute's text, or nothing when unreadable.
std::optional<int32_t> ValueFromText(const VendorSetting& setting, const char* text) {
  switch (setting.kind) {
    case VendorKind::Range: {
      long value = 0;
      if (!ReadWholeNumber(text, value)) return std::nullopt;
      return static_cast<int32_t>(std::clamp<long>(value, setting.min, setting.max));
    }
    case VendorKind::Flag:
      if (std::strcmp(text, "true") == 0) return 1;
      if (std::strcmp(text, "false") == 0) return 0;
      return std::nullopt;
    case VendorKind::PrintMode:
      for (std::size_t i = 0; i < kPrintModeKeywords.size(); ++i)
        if (std::strcmp(text, kPrintModeKeywords[i]) == 0) return static_cast<int32_t>(i);
      return std::nullopt;
  }
  return std::nullopt;
}

// The setting's value from an attribute with a single value, or nothing when
// the attribute is missing or unreadable.
std::optional<int32_t> ValueOf(const VendorSetting& setting, ipp_attribute_t* attr) {
  if (attr == nullptr || ippGetCount(attr) != 1) return std::nullopt;
  char text[256];
  ippAttributeString(attr, text, sizeof text);
  return ValueFromText(setting, text);
}

// True for the print-color-mode values that print in grey.
bool IsMonochromeMode(pappl_color_mode_t mode) {
  return mode == PAPPL_COLOR_MODE_MONOCHROME || mode == PAPPL_COLOR_MODE_AUTO_MONOCHROME ||
         mode == PAPPL_COLOR_MODE_PROCESS_MONOCHROME || mode == PAPPL_COLOR_MODE_BI_LEVEL;
}

}  // namespace

void AddVendorAttributes(ipp_t* driver_attrs) {
  for (const VendorSetting& setting : kVendorSettings) {
    const std::string supported = std::string(setting.name) + "-supported";
    const std::string preset = std::string(setting.name) + "-default";
    switch (setting.kind) {
      case VendorKind::Range:
        ippAddRange(driver_attrs, IPP_TAG_PRINTER, supported.c_str(), setting.min, setting.max);
        ippAddInteger(driver_attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, preset.c_str(), setting.default_value);
        break;
      case VendorKind::Flag:
        ippAddBoolean(driver_attrs, IPP_TAG_PRINTER, supported.c_str(), 1);
        if (!setting.standard_default)
          ippAddBoolean(driver_attrs, IPP_TAG_PRINTER, preset.c_str(), setting.default_value != 0);
        break;
      case VendorKind::PrintMode:
        ippAddStrings(driver_attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, supported.c_str(),
                      static_cast<int>(kPrintModeKeywords.size()), nullptr, kPrintModeKeywords.data());
        break;
    }
  }
}

JobSettings JobSettingsForJob(pappl_job_t* job, const pappl_pr_options_t* options) {
  // PAPPL 1.3 looks for a vendor attribute's default among the job's own
  // attributes, never the printer's, so the defaults are read here.
  ipp_t* defaults = papplPrinterGetDriverAttributes(papplJobGetPrinter(job));
  JobSettings settings;
  for (const VendorSetting& setting : kVendorSettings) {
    std::optional<int32_t> value = ValueOf(setting, papplJobGetAttribute(job, setting.name));
    if (!value && !setting.standard_default && defaults != nullptr)
      value =
          ValueOf(setting, ippFindAttribute(defaults, (std::string(setting.name) + "-default").c_str(), IPP_TAG_ZERO));
    if (!value && setting.field == &JobSettings::high_quality)
      value = options->print_quality == IPP_QUALITY_HIGH ? 1 : 0;
    if (!value && setting.field == &JobSettings::monochrome)
      value = IsMonochromeMode(options->print_color_mode) ? 1 : 0;
    settings.*setting.field = value.value_or(setting.default_value);
  }
  ippDelete(defaults);
  const JobSettings& s = settings;
  papplLogJob(job, PAPPL_LOGLEVEL_DEBUG,
              "Settings: brightness=%d contrast=%d saturation=%d resize=%d sharpness=%d red=%d "
              "green=%d blue=%d direct-map=%d monochrome=%d high-quality=%d",
              s.stp_brightness, s.stp_contrast, s.stp_saturation, s.stp_resize, s.stp_sharpness, s.stp_red, s.stp_green,
              s.stp_blue, s.directmap, s.monochrome, s.high_quality);
  return settings;
}

}  // namespace velta
