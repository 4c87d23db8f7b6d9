// How a photo job asks for its photo to be placed.
#include "filter/photo_options.h"

#include <cstdlib>
#include <cstring>

#include <cups/cups.h>

#include "filter/job_sheet.h"

namespace velta {

namespace {

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
  const SheetChoice sheet = ChooseSheet(ppd, num_options, options);
  request.sheet_width = sheet.width;
  request.sheet_height = sheet.height;
  if (!sheet.unknown.empty())
    std::fprintf(log, "WARNING: The job asks for the size \"%s\", which this printer does not take; it prints on the %s sheet\n",
                 sheet.unknown.c_str(), sheet.height == 1200 ? "6x4" : "6x8");

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
