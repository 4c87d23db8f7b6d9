// How a photo job asks for its photo to be placed.
#include "filter/photo_options.h"

#include <cstdlib>
#include <cstring>

#include <cups/cups.h>

namespace velta {

namespace {

// The printer's sheets in dots at 300 dpi: the PPD's sizes in points give
// 432 x 598.1 -> 1800 x 2492 and 432 x 288 -> 1800 x 1200, truncated as the
// rasterisers truncate them.
struct SheetDots {
  uint32_t width;
  uint32_t height;
};
constexpr SheetDots kSheets[] = {{1800, 2492}, {1800, 1200}};

// The sheet the PPD marks for the job's options, or the 6x8 sheet.
SheetDots MarkedSheet(ppd_file_t* ppd, int num_options, cups_option_t* options) {
  if (ppd == nullptr) return kSheets[0];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  ppdMarkDefaults(ppd);
  cupsMarkOptions(ppd, num_options, options);
  const ppd_size_t* size = ppdPageSize(ppd, nullptr);
#pragma GCC diagnostic pop
  if (size == nullptr) return kSheets[0];
  const auto width = static_cast<uint32_t>(size->width * 300 / 72);
  const auto height = static_cast<uint32_t>(size->length * 300 / 72);
  for (const SheetDots& sheet : kSheets)
    if (sheet.width == width && sheet.height == height) return sheet;
  return kSheets[0];
}

// True when the option is present and says true, as CUPS writes booleans.
bool OptionTrue(const char* text) {
  return text != nullptr && (std::strcmp(text, "true") == 0 || std::strcmp(text, "yes") == 0 ||
                             std::strcmp(text, "on") == 0 || *text == '\0');
}

}  // namespace

PlacementRequest PhotoPlacementFromOptions(const char* option_text, ppd_file_t* ppd, FILE* log) {
  cups_option_t* options = nullptr;
  const int num_options = cupsParseOptions(option_text, 0, &options);
  PlacementRequest request;
  const SheetDots sheet = MarkedSheet(ppd, num_options, options);
  request.sheet_width = sheet.width;
  request.sheet_height = sheet.height;

  const char* scaling = cupsGetOption("print-scaling", num_options, options);
  if (scaling != nullptr && ParsePrintScaling(scaling)) {
    request.scaling = *ParsePrintScaling(scaling);
  } else if (OptionTrue(cupsGetOption("fit-to-page", num_options, options))) {
    request.scaling = PrintScaling::Fit;
  }
  if (const char* orientation = cupsGetOption("orientation-requested", num_options, options)) {
    request.orientation_requested = std::atoi(orientation);
  } else if (cupsGetOption("landscape", num_options, options) != nullptr) {
    request.orientation_requested = 4;
  }
  std::fprintf(log, "DEBUG: Photo placing: sheet %ux%u dots, print-scaling=%s, orientation-requested=%d\n",
               request.sheet_width, request.sheet_height, scaling != nullptr ? scaling : "(default)",
               request.orientation_requested);
  cupsFreeOptions(num_options, options);
  return request;
}

}  // namespace velta
