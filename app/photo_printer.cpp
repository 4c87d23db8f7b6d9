// JPEG and PNG jobs in the printer application.
#include "app/photo_printer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/media_sizes.h"
#include "app/page_printer.h"
#include "cpu/cpu_variant.h"
#include "photo/photo_decode.h"
#include "photo/photo_placement.h"
#include "pipeline/mapped_buffer.h"
#include "pipeline/sheet_header.h"

namespace velta {

namespace {

// The largest photo file taken, as in the filter.
constexpr off_t kMaxPhotoFileBytes = off_t{256} << 20;

// Reads the job's document into bytes; false (and a log line) when it cannot.
bool ReadJobFile(pappl_job_t* job, std::vector<uint8_t>& bytes) {
  const int fd = open(papplJobGetFilename(job), O_RDONLY);
  struct stat info {};
  if (fd < 0 || fstat(fd, &info) != 0 || info.st_size > kMaxPhotoFileBytes) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, fd < 0 ? "Unable to open the photo: %s" : "The photo file is too large.",
                std::strerror(errno));
    if (fd >= 0) close(fd);
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

// PAPPL's print-scaling bit as the placing's scaling.
PrintScaling ScalingOf(pappl_scaling_t scaling) {
  switch (scaling) {
    case PAPPL_SCALING_AUTO:
      return PrintScaling::Auto;
    case PAPPL_SCALING_AUTO_FIT:
      return PrintScaling::AutoFit;
    case PAPPL_SCALING_FIT:
      return PrintScaling::Fit;
    case PAPPL_SCALING_NONE:
      return PrintScaling::None;
    default:
      return PrintScaling::Fill;
  }
}

// True for the dots of one of the printer's sheets.
bool IsPrinterSheet(uint32_t width, uint32_t height) {
  for (const SheetSize& sheet : kSheetSizes)
    if (width == static_cast<uint32_t>(sheet.dots_across) && height == static_cast<uint32_t>(sheet.dots_along))
      return true;
  return false;
}

// Asks PAPPL whether the job has been cancelled.
bool JobCancelled(void* job) { return papplJobIsCanceled(static_cast<pappl_job_t*>(job)); }

// Decodes the photo and plans its placing; false (and a log line) when it
// cannot, or quietly when the job was cancelled.
bool PreparePhoto(pappl_job_t* job, std::span<const uint8_t> file, const PlacementRequest& request,
                  PhotoImage& image, PhotoPlacer& placer) {
  std::string problem;
  const auto decoder = PhotoDecoder::Open(file, problem);
  if (decoder == nullptr) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", problem.c_str());
    return false;
  }
  const PhotoHeader& header = decoder->header();
  const DecodeSize needed = NeededDecodeSize(header.width, header.height, header.exif_orientation, header.dpi_x,
                                             header.dpi_y, request);
  if (!decoder->Decode(needed.width, needed.height, CancelCheck{JobCancelled, job}, image, problem)) {
    if (!problem.empty()) papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", problem.c_str());
    return false;
  }
  if (!placer.Prepare(image, request)) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Not enough memory to place the photo on the sheet.");
    return false;
  }
  return true;
}

// Prints the placed photo as one raster page through the page callbacks.
bool PrintSheet(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, PhotoPlacer& placer,
                const PlacementRequest& request) {
  const std::size_t stride = std::size_t{request.sheet_width} * 3;
  const MappedBuffer sheet = MappedBuffer::Allocate(stride * request.sheet_height);
  if (!sheet) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Not enough memory to place the photo on the sheet.");
    return false;
  }
  if (!placer.Render(sheet.get(), stride, CurrentVariant().threads, CancelCheck{JobCancelled, job})) return true;
  options->header = SheetHeader(request.sheet_width, request.sheet_height, 1);
  if (!StartRasterJob(job, options, device)) return false;
  bool ok = StartRasterPage(job, options, device, 1);
  for (uint32_t y = 0; ok && y < request.sheet_height && !papplJobIsCanceled(job); ++y)
    ok = WriteRasterLine(job, options, device, y, sheet.get() + y * stride);
  if (ok) ok = EndRasterPage(job, options, device, 1);
  return EndRasterJob(job, options, device) && ok;
}

}  // namespace

bool PrintPhotoFile(pappl_job_t* job, pappl_device_t* device, void*) {
  std::vector<uint8_t> file;
  if (!ReadJobFile(job, file)) return false;
  pappl_pr_options_t* options = papplJobCreatePrintOptions(job, 1, true);
  PlacementRequest request;
  request.sheet_width = static_cast<uint32_t>(DotsAt300Dpi(options->media.size_width));
  request.sheet_height = static_cast<uint32_t>(DotsAt300Dpi(options->media.size_length));
  request.scaling = ScalingOf(options->print_scaling);
  request.orientation_requested = static_cast<int>(options->orientation_requested);
  papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "Photo placing: sheet %ux%u dots, orientation-requested=%d.",
              request.sheet_width, request.sheet_height, request.orientation_requested);

  PhotoImage image;
  PhotoPlacer placer;
  bool ok = IsPrinterSheet(request.sheet_width, request.sheet_height);
  if (!ok)
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The media %s (%ux%u dots) is not a sheet this printer takes.",
                options->media.size_name, request.sheet_width, request.sheet_height);
  ok = ok && PreparePhoto(job, file, request, image, placer);
  std::vector<uint8_t>().swap(file);  // the decoded photo is all the page needs now
  if (ok && !papplJobIsCanceled(job)) {
    papplJobSetImpressions(job, 1);
    ok = PrintSheet(job, options, device, placer, request);
    if (ok) papplJobSetImpressionsCompleted(job, 1);
  }
  papplJobDeletePrintOptions(options);
  return ok || papplJobIsCanceled(job);
}

}  // namespace velta
