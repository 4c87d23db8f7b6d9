// The pages of a PDF drawn by Ghostscript, in its own process, at the
// printer's 300 dpi and each at its own size, read row by row as they come.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "render/cancel_check.h"

namespace velta {

class PdfPages {
 public:
  PdfPages() = default;
  // Stops Ghostscript if it still runs.
  ~PdfPages();
  PdfPages(const PdfPages&) = delete;
  PdfPages& operator=(const PdfPages&) = delete;

  // Starts Ghostscript on the PDF file for pages first to last. False, with
  // problem set, when it cannot start.
  bool Start(const std::string& file, unsigned first, unsigned last, std::string& problem);

  enum class Next { Page, End, Failed };
  // Reads the next page's size in pixels; End after the last page, Failed
  // (problem set) for a page that is not RGB or is larger than the printer
  // takes, for output that is not a page, or when cancelled waits.
  Next NextPage(uint32_t& width, uint32_t& height, const CancelCheck& cancelled, std::string& problem);

  // Reads the next row of the page: width x 3 bytes of RGB. False when the
  // output ends early or the job is cancelled.
  bool ReadRow(uint8_t* rgb, const CancelCheck& cancelled);

  // Waits for Ghostscript to end; false, with its last message in problem,
  // when it failed.
  bool Finish(std::string& problem);

  // Stops Ghostscript at once: the job was cancelled or failed.
  void Stop();

 private:
  // Fills the buffer with more output; false at its end or when cancelled.
  bool Refill(const CancelCheck& cancelled);
  // Reads n bytes into out.
  bool ReadBytes(uint8_t* out, std::size_t n, const CancelCheck& cancelled);
  // Reads one whitespace-separated number of the page header, skipping comments.
  bool ReadHeaderNumber(uint32_t& value, const CancelCheck& cancelled);
  // The last line Ghostscript wrote to its error output.
  std::string LastMessage() const;

  pid_t pid_ = -1;
  int out_ = -1;     // Ghostscript's standard output: the pages
  int errors_ = -1;  // a temporary file that takes its messages
  uint32_t width_ = 0;
  std::vector<uint8_t> buffer_;
  std::size_t begin_ = 0, end_ = 0;  // unread bytes of buffer_
};

}  // namespace velta
