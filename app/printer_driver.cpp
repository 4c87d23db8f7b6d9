// The one printer driver of the application.
#include "app/printer_driver.h"

#include <cstring>

#include "app/media_sizes.h"
#include "app/page_printer.h"
#include "app/vendor_settings.h"

namespace velta {

pappl_pr_driver_t kDrivers[1] = {
    {const_cast<char*>(kDriverName), const_cast<char*>("Velta thermal photo printer"),
     const_cast<char*>("MFG:Velta;CMD:VELTA;"), nullptr},
};

namespace {

// Copies text into a fixed-size field, always terminated.
template <std::size_t N>
void CopyField(char (&field)[N], const char* text) {
  std::strncpy(field, text, N - 1);
  field[N - 1] = '\0';
}

// The media-col of a loaded sheet: borderless, from the only roll.
pappl_media_col_t LoadedSheet(const SheetSize& sheet) {
  pappl_media_col_t media{};
  CopyField(media.size_name, sheet.pwg_name);
  CopyField(media.source, "main-roll");
  CopyField(media.type, "photographic-glossy");
  media.size_width = sheet.width;
  media.size_length = sheet.length;
  return media;  // all four margins 0
}

// The attributes IPP Everywhere asks for that PAPPL 1.3 does not give.
void AddConformanceAttributes(ipp_t* attrs) {
  // No per-page overrides: the two selectors alone, nothing to override.
  static const char* const overrides[] = {"document-number", "pages"};
  ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "overrides-supported", 2, nullptr, overrides);
  ippAddBoolean(attrs, IPP_TAG_PRINTER, "preferred-attributes-supported", 0);
  // The printer's own colour handling decides; no intent can be chosen.
  ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "print-rendering-intent-default", nullptr,
               "auto");
  ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "print-rendering-intent-supported", nullptr,
               "auto");
  // One-sided: a back side is never printed, so it is never turned.
  ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "pwg-raster-document-sheet-back", nullptr,
               "normal");
}

// Identify-Printer: the printer has no light or buzzer, so it is only logged.
void IdentifyPrinter(pappl_printer_t* printer, pappl_identify_actions_t, const char*) {
  papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO, "Identify-Printer: the printer has no signal.");
}

}  // namespace

void VeltaPrinterCreated(pappl_printer_t* printer, void* setup) {
  // The level is unknown (-2, as the Printer MIB has it); PAPPL reports it as given.
  pappl_supply_t supplies[2] = {};
  supplies[0] = {PAPPL_SUPPLY_COLOR_MULTIPLE, "Ribbon", true, -2, PAPPL_SUPPLY_TYPE_INK_RIBBON};
  supplies[1] = {PAPPL_SUPPLY_COLOR_NO_COLOR, "Photo paper", true, -2, PAPPL_SUPPLY_TYPE_OTHER};
  papplPrinterSetSupplies(printer, 2, supplies);
  const auto& printer_setup = *static_cast<const PrinterSetup*>(setup);
  if (!printer_setup.advertise) papplPrinterSetDNSSDName(printer, nullptr);
  papplPrinterSetMaxPreservedJobs(printer, printer_setup.preserved_jobs);
}

bool VeltaDriverCallback(pappl_system_t*, const char* driver_name, const char*, const char*,
                         pappl_pr_driver_data_t* driver_data, ipp_t** driver_attrs, void*) {
  if (std::strcmp(driver_name, kDriverName) != 0) return false;

  driver_data->identify_cb = IdentifyPrinter;
  driver_data->printfile_cb = PrintReadyFile;
  driver_data->rstartjob_cb = StartRasterJob;
  driver_data->rstartpage_cb = StartRasterPage;
  driver_data->rwriteline_cb = WriteRasterLine;
  driver_data->rendpage_cb = EndRasterPage;
  driver_data->rendjob_cb = EndRasterJob;
  driver_data->format = kPrinterReadyFormat;

  CopyField(driver_data->make_and_model, "Velta thermal photo printer");
  driver_data->ppm = 1;
  driver_data->ppm_color = 1;
  driver_data->kind = PAPPL_KIND_PHOTO;
  driver_data->identify_supported = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
  driver_data->identify_default = PAPPL_IDENTIFY_ACTIONS_DISPLAY;

  driver_data->num_resolution = 1;
  driver_data->x_resolution[0] = 300;
  driver_data->y_resolution[0] = 300;
  driver_data->x_default = 300;
  driver_data->y_default = 300;
  driver_data->raster_types = PAPPL_PWG_RASTER_TYPE_SRGB_8;
  driver_data->force_raster_type = PAPPL_PWG_RASTER_TYPE_SRGB_8;
  // Monochrome prints through the Monochrome setting, from colour rows.
  driver_data->color_supported = static_cast<pappl_color_mode_t>(PAPPL_COLOR_MODE_COLOR | PAPPL_COLOR_MODE_MONOCHROME);
  driver_data->color_default = PAPPL_COLOR_MODE_COLOR;
  driver_data->content_default = PAPPL_CONTENT_PHOTO;
  driver_data->quality_default = IPP_QUALITY_NORMAL;
  driver_data->scaling_default = PAPPL_SCALING_FILL;
  // Portrait, as IPP requires of a default; a photo or page whose job names
  // no orientation is still turned to fit the sheet (see job_placing.h).
  driver_data->orient_default = IPP_ORIENT_PORTRAIT;
  driver_data->sides_supported = PAPPL_SIDES_ONE_SIDED;
  driver_data->sides_default = PAPPL_SIDES_ONE_SIDED;

  // Every size borderless, and bordered for documents.
  driver_data->borderless = true;
  driver_data->left_right = kBorderedMargin;
  driver_data->bottom_top = kBorderedMargin;
  driver_data->num_media = 0;
  for (const SheetSize& sheet : kSheetSizes) driver_data->media[driver_data->num_media++] = sheet.pwg_name;
  for (const SheetAlias& alias : kSheetAliases) driver_data->media[driver_data->num_media++] = alias.pwg_name;
  driver_data->num_source = 1;
  driver_data->source[0] = "main-roll";
  driver_data->num_type = 1;
  driver_data->type[0] = "photographic-glossy";
  driver_data->media_ready[0] = LoadedSheet(kDefaultSheet);
  driver_data->media_default = driver_data->media_ready[0];

  driver_data->num_vendor = 0;
  for (const VendorSetting& setting : kVendorSettings)
    if (!setting.standard_default) driver_data->vendor[driver_data->num_vendor++] = setting.name;
  *driver_attrs = ippNew();
  AddVendorAttributes(*driver_attrs);
  AddConformanceAttributes(*driver_attrs);
  return true;
}

}  // namespace velta
