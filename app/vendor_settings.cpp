// The picture settings as PAPPL vendor attributes, and back to job settings.
#include "app/vendor_settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
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

// The setting's value from its attribute text, or its default when unreadable.
int32_t ValueFromText(const VendorSetting& setting, const char* text) {
  switch (setting.kind) {
    case VendorKind::Range: {
      long value = 0;
      if (!ReadWholeNumber(text, value)) return setting.default_value;
      return static_cast<int32_t>(std::clamp<long>(value, setting.min, setting.max));
    }
    case VendorKind::Flag:
      if (std::strcmp(text, "true") == 0) return 1;
      if (std::strcmp(text, "false") == 0) return 0;
      return setting.default_value;
    case VendorKind::PrintMode:
      for (std::size_t i = 0; i < kPrintModeKeywords.size(); ++i) {
        if (std::strcmp(text, kPrintModeKeywords[i]) == 0) return static_cast<int32_t>(i);
      }
      return setting.default_value;
  }
  return setting.default_value;
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
        ippAddBoolean(driver_attrs, IPP_TAG_PRINTER, preset.c_str(), setting.default_value != 0);
        break;
      case VendorKind::PrintMode:
        ippAddStrings(driver_attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, supported.c_str(),
                      static_cast<int>(kPrintModeKeywords.size()), nullptr, kPrintModeKeywords.data());
        ippAddString(driver_attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, preset.c_str(), nullptr,
                     kPrintModeKeywords[static_cast<std::size_t>(setting.default_value)]);
        break;
    }
  }
}

JobSettings JobSettingsFromVendor(int num_vendor, const cups_option_t* vendor) {
  JobSettings settings;
  for (const VendorSetting& setting : kVendorSettings) {
    const char* text = cupsGetOption(setting.name, num_vendor, const_cast<cups_option_t*>(vendor));
    settings.*setting.field = text ? ValueFromText(setting, text) : setting.default_value;
  }
  return settings;
}

}  // namespace velta
