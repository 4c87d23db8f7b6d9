// Resolution of the job settings from the job's option string and the PPD defaults.
#include "filter/print_options.h"

#include <cctype>
#include <climits>
#include <cstring>

#include <cups/cups.h>

namespace velta {

namespace {

// How one option is read from its text.
enum class OptionKind { Number, Flag };

// One row of the option table: the keyword the job and the PPD use, the name
// of the setting in the log lines, and where the resolved value goes.
struct OptionRow {
  const char* keyword;
  const char* log_name;
  OptionKind kind;
  int32_t JobSettings::*setting;
};

// The eleven options in the order they are resolved and logged.
constexpr OptionRow kOptionTable[] = {
    {"stpBrightness", "stp_brightness", OptionKind::Number, &JobSettings::stp_brightness},
    {"stpContrast", "stp_contrast", OptionKind::Number, &JobSettings::stp_contrast},
    {"stpSaturation", "stp_saturation", OptionKind::Number, &JobSettings::stp_saturation},
    {"stpResize", "stp_resize", OptionKind::Number, &JobSettings::stp_resize},
    {"stpSharpness", "stp_sharpness", OptionKind::Number, &JobSettings::stp_sharpness},
    {"stpRed", "stp_red", OptionKind::Number, &JobSettings::stp_red},
    {"stpGreen", "stp_green", OptionKind::Number, &JobSettings::stp_green},
    {"stpBlue", "stp_blue", OptionKind::Number, &JobSettings::stp_blue},
    {"DirectMap", "directmap", OptionKind::Flag, &JobSettings::directmap},
    {"Monochrome", "monochrome", OptionKind::Flag, &JobSettings::monochrome},
    {"PrintMode", "high_quality", OptionKind::Flag, &JobSettings::high_quality},
};

// Returns the PPD's default choice for keyword, or nullptr when the PPD lacks it.
const char* PpdDefaultChoice(ppd_file_t* ppd, const char* keyword) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  ppd_option_t* option = ppdFindOption(ppd, keyword);
#pragma GCC diagnostic pop
  return option != nullptr ? option->defchoice : nullptr;
}

// Reads one option's text as its kind says.
int32_t ParseOptionText(OptionKind kind, const char* text) {
  return kind == OptionKind::Number ? ParseOptionNumber(text) : ParseOptionFlag(text);
}

}  // namespace

ppd_file_t* OpenPrinterPpd(const char* path) {
  if (path == nullptr) return nullptr;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return ppdOpenFile(path);
#pragma GCC diagnostic pop
}

void ClosePrinterPpd(ppd_file_t* ppd) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (ppd != nullptr) ppdClose(ppd);
#pragma GCC diagnostic pop
}

int32_t ParseOptionNumber(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (std::isspace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  // Accumulate the magnitude in 64 bits and stop growing once it passes the
  // int32_t range, so that no digit count can overflow.
  const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
  int64_t magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > limit) magnitude = limit;
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

int32_t ParseOptionFlag(const char* text) { return std::strcmp(text, "true") == 0 ? 1 : 0; }

JobSettings ResolvePrintOptions(const char* option_text, ppd_file_t* ppd, FILE* log) {
  if (option_text == nullptr) option_text = "";
  cups_option_t* options = nullptr;
  int num_options = cupsParseOptions(option_text, 0, &options);
  std::fprintf(log, "DEBUG: argv[5]=%s\n", option_text);
  std::fprintf(log, "DEBUG: cupsParseOptions=%d\n", num_options);

  JobSettings settings;
  for (const OptionRow& row : kOptionTable) {
    int32_t& value = settings.*row.setting;
    if (const char* job_value = cupsGetOption(row.keyword, num_options, options)) {
      value = ParseOptionText(row.kind, job_value);
      // Flags also show the job's text, so a rejected "True" or "yes" is visible.
      if (row.kind == OptionKind::Flag)
        std::fprintf(log, "DEBUG: %s(1)=%d val=%s\n", row.log_name, value, job_value);
      else
        std::fprintf(log, "DEBUG: %s(1)=%d\n", row.log_name, value);
    } else if (const char* default_choice = PpdDefaultChoice(ppd, row.keyword)) {
      value = ParseOptionText(row.kind, default_choice);
      std::fprintf(log, "DEBUG: %s(2)=%d\n", row.log_name, value);
    } else {
      value = 0;
      std::fprintf(log, "DEBUG: %s(3)=%d\n", row.log_name, 0);
    }
  }
  cupsFreeOptions(num_options, options);
  return settings;
}

}  // namespace velta
