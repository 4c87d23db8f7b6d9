// PDF jobs in the printer application.
#include "app/pdf_printer.h"

#include <climits>
#include <string>
#include <vector>

#include "app/gathered_page.h"
#include "app/job_device.h"
#include "app/job_placing.h"
#include "app/media_sizes.h"
#include "app/pdf_pages.h"
#include "app/placed_sheet.h"
#include "app/printer_copies.h"
#include "app/printer_page.h"
#include "app/vendor_settings.h"

namespace velta {

namespace {

// What the pages of one PDF job share.
struct PdfJob {
  pappl_job_t* job;
  pappl_device_t* device;
  JobInk ink;
  PlacementRequest placing;
  std::string placing_problem;  // why a page of another size cannot be placed
  uint32_t copies = 1;
};

// Prints the next page, of width x height dots, as its rows come.
bool PrintSheetPage(PdfJob& pdf, PdfPages& pages, uint32_t width, uint32_t height, unsigned number) {
  const CancelCheck cancelled = JobCancelCheck(pdf.job);
  PrinterPage page;
  if (!page.Open(pdf.job, pdf.device, pdf.ink, pdf.copies, width, height, number)) return false;
  for (uint32_t y = 0; y < height; ++y) {
    if (!pages.ReadRow(page.Row(y), cancelled)) {
      page.Abandon();
      return papplJobIsCanceled(pdf.job);
    }
    page.RowWritten(y);
  }
  return page.Finish();
}

// Gathers the next page, of width x height dots, and prints it placed on the sheet.
bool PrintPlacedPage(PdfJob& pdf, PdfPages& pages, uint32_t width, uint32_t height, unsigned number) {
  std::string problem = pdf.placing_problem;
  GatheredPage gathered;
  if (problem.empty() && gathered.Begin(width, height, 300, 300, problem)) {
    papplLogJob(pdf.job, PAPPL_LOGLEVEL_INFO, "Page %u is %ux%u dots, not a sheet: placing it on the %ux%u sheet.",
                number, width, height, pdf.placing.sheet_width, pdf.placing.sheet_height);
    std::vector<uint8_t> row(std::size_t{width} * 3);
    for (uint32_t y = 0; y < height; ++y) {
      if (!pages.ReadRow(row.data(), JobCancelCheck(pdf.job))) return papplJobIsCanceled(pdf.job);
      gathered.AddRow(y, row.data());
    }
    return PrintPlacedSheet(pdf.job, pdf.device, pdf.ink, gathered.image(), pdf.placing, pdf.copies, number);
  }
  papplLogJob(pdf.job, PAPPL_LOGLEVEL_ERROR, "Page %u refused: %s", number, problem.c_str());
  return false;
}

// Prints every page of the job's PDF.
bool PrintPdf(pappl_job_t* job, pappl_device_t* device) {
  pappl_pr_options_t* options = papplJobCreatePrintOptions(job, 0, true);
  PdfJob pdf{job, device, {}, {}, {}, PrinterCopies(options->copies, 1)};
  pdf.ink.settings = JobSettingsForJob(job, options);
  pdf.ink.tables = PrepareJobTables(pdf.ink.settings);
  PlacingForJob(job, options, pdf.placing, pdf.placing_problem);
  const unsigned first = options->first_page > 0 ? options->first_page : 1;
  const unsigned last = options->last_page >= first && options->last_page < INT_MAX ? options->last_page : INT_MAX;
  papplJobDeletePrintOptions(options);

  PdfPages pages;
  std::string problem;
  bool ok = pages.Start(papplJobGetFilename(job), first, last, problem);
  unsigned number = 0;
  while (ok && !papplJobIsCanceled(job)) {
    uint32_t width = 0, height = 0;
    const PdfPages::Next next = pages.NextPage(width, height, JobCancelCheck(job), problem);
    if (next == PdfPages::Next::End) break;
    ok = next == PdfPages::Next::Page;
    if (!ok) break;
    ++number;
    ok = IsSheetDots(width, height) ? PrintSheetPage(pdf, pages, width, height, number)
                                    : PrintPlacedPage(pdf, pages, width, height, number);
    if (ok && !papplJobIsCanceled(job)) papplJobSetImpressionsCompleted(job, 1);
    problem.clear();
  }
  if (papplJobIsCanceled(job)) {
    pages.Stop();
    ReportCancelled(job, pdf.ink.pages_sent);
    return true;
  }
  if (!ok)
    pages.Stop();
  else if (!pages.Finish(problem))
    ok = false;
  if (!problem.empty()) papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", problem.c_str());
  if (ok && number == 0) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The PDF has no page to print.");
    ok = false;
  }
  return ok;
}

}  // namespace

bool PrintPdfFile(pappl_job_t* job, pappl_device_t* device, void*) { return RunSpooledJob(job, device, PrintPdf); }

}  // namespace velta
