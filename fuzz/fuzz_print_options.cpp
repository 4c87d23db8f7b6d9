// Fuzz target: the job settings from an option string and a PPD text.
//
// Input: the option string up to a zero byte, then the PPD text.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <cups/cups.h>
#include <cups/ppd.h>

#include "filter/print_options.h"
#include "fuzz_input.h"

namespace {

// The number options, each with where its value lands.
struct NumberOption {
  const char* keyword;
  int32_t velta::JobSettings::*setting;
};
constexpr NumberOption kNumberOptions[] = {
    {"stpBrightness", &velta::JobSettings::stp_brightness}, {"stpContrast", &velta::JobSettings::stp_contrast},
    {"stpSaturation", &velta::JobSettings::stp_saturation}, {"stpResize", &velta::JobSettings::stp_resize},
    {"stpSharpness", &velta::JobSettings::stp_sharpness},   {"stpRed", &velta::JobSettings::stp_red},
    {"stpGreen", &velta::JobSettings::stp_green},           {"stpBlue", &velta::JobSettings::stp_blue},
};

// The C library's reading of a number text, brought into the 32-bit range.
int32_t SaturatedStrtoll(const char* text) {
  const long long value = std::strtoll(text, nullptr, 10);
  return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static velta::fuzz::MemoryFile ppd_file("ppd");
  static FILE* log = std::fopen("/dev/null", "w");
  velta::fuzz::InputCursor input({data, size});
  const std::string options = input.Text();
  ppd_file.Write(input.Rest());
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  ppd_file_t* ppd = ppdOpenFile(ppd_file.path().c_str());
  if (ppd == nullptr) return 0;
  const velta::JobSettings settings = velta::ResolvePrintOptions(options.c_str(), ppd, log);

  // Every job value must read as the C library reads it, saturated; flags are 0 or 1.
  cups_option_t* parsed = nullptr;
  const int count = cupsParseOptions(options.c_str(), 0, &parsed);
  for (const NumberOption& option : kNumberOptions)
    if (const char* text = cupsGetOption(option.keyword, count, parsed))
      if (settings.*option.setting != SaturatedStrtoll(text)) std::abort();
  for (int32_t flag : {settings.directmap, settings.monochrome, settings.high_quality})
    if (flag != 0 && flag != 1) std::abort();
  cupsFreeOptions(count, parsed);
  ppdClose(ppd);
#pragma GCC diagnostic pop
  return 0;
}
