// Memory of the filter as a process: the peak for one 6x8 inch page with and
// without resizing, and no growth from page to page over a long job.
#include <fstream>
#include <iostream>
#include <string>

#include <gtest/gtest.h>

#include "filter_job.h"
#include "tests/support/process.h"

namespace velta::robustness {
namespace {

using test::kUnderAddressSanitizer;

// Peak resident memory in KiB of a job on raster with the given options, its
// output and messages discarded. A child starts from a copy of this process,
// whose peak the kernel counts as the child's too: this process's own peak is
// therefore first brought down to its present size, and no output is held here.
long PeakKiB(const std::string& raster, const std::string& options) {
  Command command = FilterCommand(JobArgs(options), kShippedPpd);
  command.stdin_file = raster;
  command.stdout_file = command.stderr_file = "/dev/null";
  std::ofstream("/proc/self/clear_refs") << "5";  // resets this process's peak
  const ProcessResult run = test::Run(command);
  EXPECT_EQ(run.status, 0) << options;
  return run.peak_rss_kb;
}

TEST(Memory, A6x8PageHoldsAboutOneBufferResizedOrNot) {
  if (kUnderAddressSanitizer) GTEST_SKIP() << "AddressSanitizer's shadow and quarantine hide the filter's own use";
  // 1800 x 2400 at 300 dpi: page buffer and send buffer of 12960000 bytes each.
  constexpr long kBufferKiB = 1800L * 2400 * 3 / 1024;
  const long tiny = PeakKiB(MakeRasterFile("tiny.ras", {"--width", "8", "--height", "8"}), "");
  const std::string page = MakeRasterFile("6x8.ras", {"--width", "1800", "--height", "2400", "--pattern", "photo"});
  // The page buffer's memory moves under the send buffer as it fills, so a
  // page holds about one buffer's worth; both resizes work in the page
  // buffer itself and save only a few rows.
  struct Case {
    const char* options;
    long buffers;
  };
  const Case cases[] = {{"", 1}, {"stpResize=20", 1}, {"stpResize=-20", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const long peak = PeakKiB(page, c.options);
    std::cout << "6x8 page, options \"" << c.options << "\": peak " << peak / 1024 << " MiB (" << (peak - tiny) / 1024
              << " MiB above a job of one tiny page)\n";
    // The send buffer is written whole; beyond the buffers, only the memory
    // that goes back in one step (1 MiB), a few rows and the threads' stacks.
    EXPECT_GE(peak - tiny, c.buffers * kBufferKiB * 9 / 10);
    EXPECT_LE(peak - tiny, c.buffers * kBufferKiB + 3072);
  }
}

TEST(Memory, FiftyPagesPeakWhereFivePagesDo) {
  if (kUnderAddressSanitizer) GTEST_SKIP() << "AddressSanitizer keeps freed pages in quarantine";
  // Each page holds 2 x 1.4 MB; a page left behind would add that much per page.
  const auto job = [](int pages) {
    return MakeRasterFile("pages-" + std::to_string(pages) + ".ras", {"--width", "600", "--height", "800", "--pattern",
                                                                      "photo", "--pages", std::to_string(pages)});
  };
  const long five = PeakKiB(job(5), "stpResize=10 DirectMap=true stpSharpness=2");
  const long fifty = PeakKiB(job(50), "stpResize=10 DirectMap=true stpSharpness=2");
  std::cout << "peak of 5 pages: " << five << " KiB, of 50 pages: " << fifty << " KiB\n";
  EXPECT_LE(fifty, five + 1024);
}

}  // namespace
}  // namespace velta::robustness
