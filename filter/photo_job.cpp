// One photo job: a JPEG or PNG file to the printer's stream in one process.
#include "filter/photo_job.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cpu/cpu_variant.h"
#include "filter/cancel_signal.h"
#include "filter/photo_options.h"
#include "filter/print_options.h"
#include "filter/printer_output.h"
#include "filter/raster_job.h"
#include "photo/photo_decode.h"
#include "photo/photo_placement.h"
#include "pipeline/sheet_header.h"

namespace velta {

namespace {

// The largest photo file taken, far above any camera's: a larger input is
// refused before it is held whole.
constexpr std::size_t kMaxPhotoFileBytes = std::size_t{256} << 20;

enum class InputRead { Read, Cancelled, Failed };

// Reads the whole file on fd into bytes. SIGTERM interrupts a waiting read
// (the handler is installed without SA_RESTART) and ends the reading.
InputRead ReadWholeInput(int fd, std::vector<uint8_t>& bytes) {
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
      static_cast<uint64_t>(info.st_size) <= kMaxPhotoFileBytes)
    bytes.reserve(static_cast<std::size_t>(info.st_size) + 1);
  std::size_t used = 0;
  for (;;) {
    if (CancelRequested()) return InputRead::Cancelled;
    if (bytes.size() - used < 64 * 1024) {
      if (bytes.size() >= kMaxPhotoFileBytes) {
        std::fprintf(stderr, "ERROR: The photo file is larger than %zu bytes.\n", kMaxPhotoFileBytes);
        return InputRead::Failed;
      }
      bytes.resize(std::min(kMaxPhotoFileBytes, std::max(bytes.capacity(), used + 256 * 1024)));
    }
    const ssize_t count = read(fd, bytes.data() + used, bytes.size() - used);
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "ERROR: Unable to read the photo - %s\n", std::strerror(errno));
      return InputRead::Failed;
    }
    used += static_cast<std::size_t>(count);
  }
  bytes.resize(used);
  return InputRead::Read;
}

// The page road's cancellation check: the SIGTERM flag.
bool PollCancelSignal(void*) { return CancelRequested(); }

// The sheet's rows: the placed photo, rendered once the page's buffers exist.
class PhotoPageRows : public PageRows {
 public:
  explicit PhotoPageRows(PhotoPlacer& placer) : placer_(placer) {}
  bool Fill(uint8_t* page_buffer, const PageGeometry& geometry, PageRoad& road) override {
    std::fputs("INFO: Placing the photo on the sheet\n", stderr);
    if (!placer_.Render(page_buffer, geometry.width_DIB, CurrentVariant().threads, CancelCheck{PollCancelSignal}))
      return false;
    road.RowsFinal(geometry.height);
    return !CancelRequested();
  }

 private:
  PhotoPlacer& placer_;
};

// Decodes the photo in file and plans its placing; false with an "ERROR:" line
// written when it cannot, false with nothing written when SIGTERM came.
bool PreparePhoto(std::span<const uint8_t> file, const PlacementRequest& request, PhotoImage& image,
                  PhotoPlacer& placer) {
  std::string problem;
  const auto decoder = PhotoDecoder::Open(file, problem);
  if (decoder == nullptr) {
    std::fprintf(stderr, "ERROR: %s\n", problem.c_str());
    return false;
  }
  const PhotoHeader& header = decoder->header();
  const DecodeSize needed = NeededDecodeSize(header.width, header.height, header.exif_orientation, header.dpi_x,
                                             header.dpi_y, request);
  std::fprintf(stderr, "DEBUG: Photo %ux%u pixels, EXIF orientation %d, decoded at no less than %ux%u\n",
               header.width, header.height, header.exif_orientation, needed.width, needed.height);
  std::fputs("INFO: Decoding the photo\n", stderr);
  if (!decoder->Decode(needed.width, needed.height, CancelCheck{PollCancelSignal}, image, problem)) {
    if (!problem.empty()) std::fprintf(stderr, "ERROR: %s\n", problem.c_str());
    return false;
  }
  if (!placer.Prepare(image, request)) {
    std::fputs("ERROR: Not enough memory to place the photo on the sheet.\n", stderr);
    return false;
  }
  return true;
}

}  // namespace

int RunPhotoJob(int argc, char* argv[], const JobStreams& streams) {
  if (argc != 6 && argc != 7) {
    std::fputs("ERROR: phototovelta job-id user title copies options [file]\n", stderr);
    return 1;
  }
  // Until the page begins, SIGTERM ends the job with nothing sent.
  ResetCancelRequest();
  InstallCancelHandler();
  std::signal(SIGPIPE, SIG_IGN);
  int fd = streams.input_fd;
  if (argc == 7 && (fd = open(argv[6], O_RDONLY)) < 0) {
    std::perror("ERROR: Unable to open photo file - ");
    return 1;
  }
  ppd_file_t* ppd = OpenPrinterPpd(streams.ppd_path);
  JobSettings settings;
  if (ppd != nullptr) settings = ResolvePrintOptions(argv[5], ppd, stderr);
  const PlacementRequest request = PhotoPlacementFromOptions(argv[5], ppd, stderr);
  ClosePrinterPpd(ppd);

  std::vector<uint8_t> file;
  const InputRead read = ReadWholeInput(fd, file);
  if (fd != streams.input_fd) close(fd);
  if (read != InputRead::Read) return read == InputRead::Cancelled ? 0 : 1;
  if (CancelRequested()) return 0;  // the input may have ended because the job was cancelled

  PhotoImage image;
  PhotoPlacer placer;
  const bool prepared = PreparePhoto(file, request, image, placer);
  if (CancelRequested()) return 0;
  if (!prepared) return 1;
  std::vector<uint8_t>().swap(file);  // the decoded photo is all the page needs now

  const int32_t copies = ParseOptionNumber(argv[4]);
  const cups_page_header2_t header =
      SheetHeader(request.sheet_width, request.sheet_height, copies > 1 ? static_cast<uint32_t>(copies) : 1);
  LogPageHeader(header, stderr);
  std::fprintf(stderr, "PAGE: 1 %d\n", static_cast<int>(header.NumCopies));
  JobTables tables = PrepareJobTables(settings);
  PrinterOutput output(streams.output_fd);
  PhotoPageRows rows(placer);
  const PageOutcome outcome = PrintPage(header, 1, settings, tables, output, rows);
  if (outcome == PageOutcome::Failed) return 1;
  if (outcome == PageOutcome::Printed) std::fputs("INFO: CUPS v1.2.12 is ready to print.\n", stderr);
  return 0;
}

}  // namespace velta
