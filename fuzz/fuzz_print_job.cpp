// Fuzz target (run it with -close_fd_mask=2: the job logs about fifty lines a
// page): a whole print job in-process, from raster bytes, an option
// string and a PPD chosen by the input, to a printer stream that must decode.
//
// Input: one control byte, two bytes K (little-endian), the option string up
// to a zero byte, the PPD text up to a zero byte (only when the control byte
// asks for it), then the raster bytes.
//   control bits 0-1: PPD: 0 none, 1 the shipped PPD, 2 the PPD text, 3 a path that does not exist
//   control bit 2:    the raster is named as a file argument (else read as standard input)
//   control bit 3:    SIGTERM once the reader has handed out K bytes (standard input only)
#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <cups/raster.h>

#include "pipeline/page_header_check.h"
#include "filter/print_job.h"
#include "fuzz_input.h"
#include "stream_parser.h"

namespace {

using velta::fuzz::InputCursor;
using velta::fuzz::MemoryFile;

// Pages above this many pixels are left out, so that every run stays fast.
constexpr std::size_t kMaxFuzzPixels = 64 * 1024;

// A raster held in memory, read through cupsRasterOpenIO.
struct MemoryReader {
  std::span<const uint8_t> bytes;
  std::size_t at = 0;
  std::size_t cancel_at = SIZE_MAX;  // raise SIGTERM once this many bytes were handed out
};

// The reader callback: copies the next bytes, and raises SIGTERM at its moment.
ssize_t ReadMemory(void* context, unsigned char* buffer, size_t length) {
  auto& reader = *static_cast<MemoryReader*>(context);
  const std::size_t count = std::min(length, reader.bytes.size() - reader.at);
  std::copy_n(reader.bytes.data() + reader.at, count, buffer);
  reader.at += count;
  if (reader.at >= reader.cancel_at) {
    reader.cancel_at = SIZE_MAX;
    std::raise(SIGTERM);
  }
  return static_cast<ssize_t>(count);
}

// True when every page the filter would print is small; reads the raster the
// way the job does (headers, checks, rows) without printing it.
bool PagesAreSmall(std::span<const uint8_t> raster) {
  MemoryReader reader{raster};
  cups_raster_t* ras = cupsRasterOpenIO(ReadMemory, &reader, CUPS_RASTER_READ);
  if (ras == nullptr) return true;
  bool small = true;
  cups_page_header2_t header;
  std::string problem;
  while (small && cupsRasterReadHeader2(ras, &header) && velta::CheckPageHeader(header, problem)) {
    if (std::size_t{header.cupsWidth} * header.cupsHeight > kMaxFuzzPixels) {
      small = false;
      break;
    }
    std::vector<uint8_t> line(header.cupsBytesPerLine);
    for (uint32_t y = 0; y < header.cupsHeight; ++y)
      if (cupsRasterReadPixels(ras, line.data(), header.cupsBytesPerLine) == 0) break;
  }
  cupsRasterClose(ras);
  return small;
}

// True when stream is empty or a whole printer stream (a cancelled page included).
bool StreamDecodes(const std::vector<uint8_t>& stream) {
  if (stream.empty()) return true;
  velta::StreamParser parser(false);
  return parser.feed(stream) && parser.finish();
}

}  // namespace

// libcups callocs a compressed page's cupsBytesPerLine (up to 4 GiB) before the
// filter sees the header. Outside AddressSanitizer that memory is never touched;
// AddressSanitizer clears it, which takes seconds. Past 256 MiB calloc returns
// nullptr here instead, and libcups then reads no header: the filter refuses such
// rows anyway, and its own buffers in this target stay far below the limit.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1:max_allocation_size_mb=256"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static MemoryFile raster_file("raster"), ppd_file("ppd"), output_file("printer");
  InputCursor input({data, size});
  const uint8_t control = input.Byte();
  const std::size_t cancel_at = input.Byte() | (std::size_t{input.Byte()} << 8);
  std::string options = input.Text();
  const int ppd_choice = control & 3;
  const std::string ppd_text = ppd_choice == 2 ? input.Text() : std::string();
  const std::span<const uint8_t> raster = input.Rest();
  if (!PagesAreSmall(raster)) return -1;

  velta::JobStreams streams;
  streams.output_fd = output_file.fd();
  output_file.Clear();
  if (ppd_choice == 1) streams.ppd_path = VELTA_PPD_PATH;
  if (ppd_choice == 2) {
    ppd_file.Write({reinterpret_cast<const uint8_t*>(ppd_text.data()), ppd_text.size()});
    streams.ppd_path = ppd_file.path().c_str();
  }
  if (ppd_choice == 3) streams.ppd_path = "/nonexistent/velta.ppd";

  std::string raster_path;
  MemoryReader reader{raster};
  if (control & 4) {
    raster_file.Write(raster);
    raster_path = raster_file.path();
  } else {
    if (control & 8) reader.cancel_at = cancel_at;
    streams.read_input = ReadMemory;
    streams.read_context = &reader;
  }
  std::string words[] = {"rastertovelta", "1", "fuzz", "title", "1", options, raster_path};
  char* argv[] = {words[0].data(), words[1].data(), words[2].data(), words[3].data(),
                  words[4].data(), words[5].data(), words[6].data(), nullptr};

  // SIGTERM as the spooler leaves it is ignored here; the job sets its own and
  // the fuzzer's handler comes back afterwards.
  struct sigaction ignore {
  }, saved{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGTERM, &ignore, &saved);
  const int status = velta::RunPrintJob(raster_path.empty() ? 6 : 7, argv, streams);
  sigaction(SIGTERM, &saved, nullptr);

  if (status != 0 && status != 1) std::abort();
  if (!StreamDecodes(output_file.Read())) std::abort();
  return 0;
}
