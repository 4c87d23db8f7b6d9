// A photo, or a page of another size, placed on the sheet and printed as one page.
#include "app/placed_sheet.h"

#include "cpu/cpu_variant.h"

namespace velta {

bool PrintPlacedSheet(pappl_job_t* job, pappl_device_t* device, JobInk& ink, const PhotoImage& image,
                      const PlacementRequest& request, uint32_t copies, unsigned page) {
  PhotoPlacer placer;
  if (!placer.Prepare(image, request)) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Not enough memory to place page %u on the sheet.", page);
    return false;
  }
  if (papplJobIsCanceled(job)) return true;
  PrinterPage sheet;
  if (!sheet.Open(job, device, ink, copies, request.sheet_width, request.sheet_height, page)) return false;
  // The placed rows go straight into the page buffer, the bytes after each
  // row's pixels included.
  if (!placer.Render(sheet.Row(0), sheet.stride(), CurrentVariant().threads, JobCancelCheck(job)))
    return sheet.Abandon();
  sheet.RowsWritten(request.sheet_height);
  return sheet.Finish();
}

}  // namespace velta
