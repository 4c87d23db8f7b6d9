// JPEG and PNG jobs in the printer application.
#include "app/photo_printer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/job_device.h"
#include "app/job_placing.h"
#include "app/placed_sheet.h"
#include "app/printer_copies.h"
#include "app/printer_page.h"
#include "app/vendor_settings.h"
#include "photo/photo_decode.h"
#include "photo/photo_placement.h"

namespace velta {

namespace {

// The largest photo file taken, as in the filter.
constexpr off_t kMaxPhotoFileBytes = off_t{256} << 20;

// Reads the job's document into bytes; false (and a log line) when it cannot.
bool ReadJobFile(pappl_job_t* job, std::vector<uint8_t>& bytes) {
  const int fd = open(papplJobGetFilename(job), O_RDONLY);
  struct stat info {};
  if (fd < 0 || fstat(fd, &info) != 0) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to open the photo: %s", std::strerror(errno));
    if (fd >= 0) close(fd);
    return false;
  }
  if (info.st_size > kMaxPhotoFileBytes) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The photo file is larger than %lld bytes.",
                static_cast<long long>(kMaxPhotoFileBytes));
    close(fd);
    return false;
  }
  bytes.resize(static_cast<std::size_t>(info.st_size));
  std::size_t used = 0;
  while (used < bytes.size()) {
    const ssize_t count = read(fd, bytes.data() + used, bytes.size() - used);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    used += static_cast<std::size_t>(count);
  }
  close(fd);
  bytes.resize(used);
  return true;
}

// Decodes the photo no larger than its placing needs; false (and a log line)
// when it cannot, or quietly when the job was cancelled.
bool DecodePhoto(pappl_job_t* job, std::span<const uint8_t> file, const PlacementRequest& request, PhotoImage& image) {
  std::string problem;
  const auto decoder = PhotoDecoder::Open(file, problem);
  if (decoder == nullptr) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", problem.c_str());
    return false;
  }
  const PhotoHeader& header = decoder->header();
  const DecodeSize needed =
      NeededDecodeSize(header.width, header.height, header.exif_orientation, header.dpi_x, header.dpi_y, request);
  if (!decoder->Decode(needed.width, needed.height, JobCancelCheck(job), image, problem)) {
    if (!problem.empty()) papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", problem.c_str());
    return false;
  }
  return true;
}

// Prints the job's photo.
bool PrintPhoto(pappl_job_t* job, pappl_device_t* device) {
  std::vector<uint8_t> file;
  if (!ReadJobFile(job, file)) return false;
  pappl_pr_options_t* options = papplJobCreatePrintOptions(job, 1, true);
  PlacementRequest request;
  std::string problem;
  bool ok = PlacingForJob(job, options, request, problem);
  if (!ok) papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", problem.c_str());
  papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "Photo placing: sheet %ux%u dots, orientation-requested=%d.",
              request.sheet_width, request.sheet_height, request.orientation_requested);
  PhotoImage image;
  ok = ok && DecodePhoto(job, file, request, image);
  std::vector<uint8_t>().swap(file);  // the decoded photo is all the page needs now
  JobInk ink;
  if (ok && !papplJobIsCanceled(job)) {
    ink.settings = JobSettingsForJob(job, options);
    ink.tables = PrepareJobTables(ink.settings);
    papplJobSetImpressions(job, 1);
    ok = PrintPlacedSheet(job, device, ink, image, request, PrinterCopies(options->copies, 1), 1);
    if (ok && !papplJobIsCanceled(job)) papplJobSetImpressionsCompleted(job, 1);
  }
  papplJobDeletePrintOptions(options);
  if (papplJobIsCanceled(job)) ReportCancelled(job, ink.pages_sent);
  return ok || papplJobIsCanceled(job);
}

}  // namespace

bool PrintPhotoFile(pappl_job_t* job, pappl_device_t* device, void*) { return RunSpooledJob(job, device, PrintPhoto); }

}  // namespace velta
