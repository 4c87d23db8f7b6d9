// The filter run as a process on bad input of every kind: each case ends with
// a defined status and message, never a crash, and the printer receives whole
// pages only.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "filter_job.h"

namespace velta::robustness {
namespace {

constexpr char kNoPages[] = "ERROR: No pages found!";

// The raster a case gives the filter: made by velta-mkraster, then cut or altered.
struct RasterInput {
  std::vector<std::string> mkraster;                        // arguments of velta-mkraster
  std::function<std::string(std::string)> alter = nullptr;  // applied to its bytes, or none
};

// One bad input and what must come of it.
struct Case {
  const char* name;
  RasterInput raster;
  std::vector<std::string> errors;  // every "ERROR:" line, in order
  int status;
  int pages;  // whole pages on the printer stream
};

// A small page that every stage handles quickly.
std::vector<std::string> Small(std::vector<std::string> more = {}) {
  std::vector<std::string> args{"--width", "8", "--height", "4", "--pattern", "photo"};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// The first count bytes of a raster.
std::function<std::string(std::string)> Keep(std::size_t count) {
  return [count](std::string bytes) { return bytes.substr(0, count); };
}

// The sync word and header of one page, before its rows.
constexpr std::size_t kSyncAndHeader = 4 + 1796;

// Runs one case with the raster on standard input and checks every promise.
void Check(const Case& c, const std::string& options = "", const std::string& ppd = "") {
  SCOPED_TRACE(c.name);
  std::string path = MakeRasterFile(std::string(c.name) + ".ras", c.raster.mkraster);
  if (c.raster.alter) {
    path = WriteTempFile(std::string(c.name) + ".ras", c.raster.alter(ReadFile(path)));
  }
  const ProcessResult run = RunJob(JobArgs(options), Input::File, path, ppd);
  EXPECT_LT(run.status, 128) << "killed by a signal";
  EXPECT_EQ(run.status, c.status) << run.err;
  EXPECT_EQ(Lines(run.err, "ERROR:"), c.errors) << run.err;
  std::vector<DecodedPage> pages;
  EXPECT_TRUE(DecodePages(run.out, pages)) << "the printer stream is broken";
  EXPECT_EQ(static_cast<int>(pages.size()), c.pages);
}

TEST(BadInput, BrokenRastersAndRefusedHeaders) {
  const Case cases[] = {
      {"truncated-header", {Small({"--uncompressed"}), Keep(4 + 900)}, {kNoPages}, 1, 0},
      {"truncated-rows", {Small({"--rows", "2"})}, {}, 0, 1},
      {"truncated-in-a-row", {Small({"--uncompressed"}), Keep(kSyncAndHeader + 24 * 2 + 5)}, {}, 0, 1},
      // The input ends inside a header: the job is cut, not complete.
      {"second-page-cut-in-its-header",
       {Small({"--pages", "2", "--uncompressed"}), Keep(kSyncAndHeader + 24 * 4 + 1000)},
       {"ERROR: The header of page 2 is corrupt; the 1 page before it printed"},
       1,
       1},
      {"wrong-sync-word",
       {Small(), [](std::string b) { return "XXXX" + b.substr(4); }},
       {"ERROR: cupsRasterOpen fd=0", kNoPages},
       1,
       0},
      // libcups itself reads no header whose row is not whole pixels; a row one
      // pixel longer or shorter reaches the filter, which refuses it. (libcups'
      // compressing writer reads past such rows, so these are written plain.)
      {"bytes-per-line-one-byte-more", {Small({"--bytes-per-line", "25", "--uncompressed"})}, {kNoPages}, 1, 0},
      {"bytes-per-line-one-byte-less", {Small({"--bytes-per-line", "23", "--uncompressed"})}, {kNoPages}, 1, 0},
      {"bytes-per-line-one-pixel-more",
       {Small({"--bytes-per-line", "27"})},
       {"ERROR: cupsBytesPerLine=27 does not match cupsWidth=8 (expected 24)"},
       1,
       0},
      {"bytes-per-line-one-pixel-less",
       {Small({"--bytes-per-line", "21"})},
       {"ERROR: cupsBytesPerLine=21 does not match cupsWidth=8 (expected 24)"},
       1,
       0},
      {"1-bit-colour", {Small({"--bits", "1"})}, {"ERROR: cupsBitsPerColor=1 is not supported (expected 8)"}, 1, 0},
      {"16-bit-colour", {Small({"--bits", "16"})}, {"ERROR: cupsBitsPerColor=16 is not supported (expected 8)"}, 1, 0},
      {"cmyk",
       {Small({"--colorspace", "6"})},
       {"ERROR: cupsColorSpace=6 is not supported (expected an RGB space: 1, 19 or 20)"},
       1,
       0},
      {"black-only",
       {Small({"--colorspace", "3", "--bits-per-pixel", "8"})},
       {"ERROR: cupsColorSpace=3 is not supported (expected an RGB space: 1, 19 or 20)"},
       1,
       0},
      {"banded",
       {Small({"--order", "1"})},
       {"ERROR: cupsColorOrder=1 is not supported (expected 0, chunky RGB)"},
       1,
       0},
      {"planar",
       {Small({"--order", "2"})},
       {"ERROR: cupsColorOrder=2 is not supported (expected 0, chunky RGB)"},
       1,
       0},
      {"width-0",
       {{"--width", "0", "--height", "4", "--bytes-per-line", "3"}},
       {"ERROR: cupsWidth=0 is out of range (1 to 65535)"},
       1,
       0},
      // libcups itself reads no header with no rows.
      {"height-0", {{"--width", "8", "--height", "0"}}, {kNoPages}, 1, 0},
      {"width-65536",
       {{"--width", "65536", "--height", "1"}},
       {"ERROR: cupsWidth=65536 is out of range (1 to 65535)"},
       1,
       0},
      // 65535 x 21846 x 3 = 4295032830, past 2^32: the size must not wrap.
      {"head-data-above-4-GiB",
       {{"--width", "65535", "--height", "21846", "--rows", "0"}},
       {"ERROR: cupsHeight=21846 with cupsWidth=65535 needs 4295032830 bytes of head data, more "
        "than the limit of 268435456"},
       1,
       0},
      {"good-page-then-refused-page",
       {Small({"--pages", "2", "--uncompressed"}),
        [](std::string b) {
          // The second header's cupsBitsPerColor (offset 384 of a header) becomes 16.
          return b.replace(kSyncAndHeader + 24 * 4 + 384, 1, 1, '\x10');
        }},
       {"ERROR: cupsBitsPerColor=16 is not supported (expected 8)"},
       1,
       1},
  };
  for (const Case& c : cases) Check(c);
}

TEST(BadInput, CopyCountsAtTheEndsOfTheirRange) {
  struct CopyCase {
    const char* copies;
    const char* page_line;
    uint32_t on_wire;
  };
  const CopyCase cases[] = {{"0", "PAGE: 1 0\n", 1}, {"4294967295", "PAGE: 1 -1\n", 99}};
  for (const CopyCase& c : cases) {
    SCOPED_TRACE(c.copies);
    const ProcessResult run =
        RunJob(JobArgs(""), Input::File, MakeRasterFile("copies.ras", Small({"--copies", c.copies})), "");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find(c.page_line), std::string::npos) << run.err;
    std::vector<DecodedPage> pages;
    ASSERT_TRUE(DecodePages(run.out, pages));
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].copies, c.on_wire);
  }
}

TEST(BadInput, NumberOptionsAtTheEndsOfTheirRangeAndBeyond) {
  const char* keywords[][2] = {{"stpBrightness", "stp_brightness"}, {"stpContrast", "stp_contrast"},
                               {"stpSaturation", "stp_saturation"}, {"stpResize", "stp_resize"},
                               {"stpSharpness", "stp_sharpness"},   {"stpRed", "stp_red"},
                               {"stpGreen", "stp_green"},           {"stpBlue", "stp_blue"}};
  // The job's text and the value it must resolve to (out-of-range numbers saturate).
  const char* values[][2] = {{"-2147483648", "-2147483648"},
                             {"2147483647", "2147483647"},
                             {"99999999999", "2147483647"},
                             {"-99999999999", "-2147483648"},
                             {"text", "0"}};
  const std::string raster = MakeRasterFile("options.ras", Small());
  for (const auto& [keyword, log_name] : keywords)
    for (const auto& [text, resolved] : values) {
      const std::string option = std::string(keyword) + "=" + text;
      SCOPED_TRACE(option);
      const ProcessResult run = RunJob(JobArgs(option), Input::File, raster, kShippedPpd);
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_NE(run.err.find(std::string("DEBUG: ") + log_name + "(1)=" + resolved + "\n"), std::string::npos);
      std::vector<DecodedPage> pages;
      EXPECT_TRUE(DecodePages(run.out, pages));
      EXPECT_EQ(pages.size(), 1u);
    }
}

// Replaces the descriptor number of "cupsRasterOpen fd=N" lines by "N" when it
// is not standard input: which descriptor open() gives is not the filter's choice.
std::vector<std::string> WithFileDescriptorsNamed(std::vector<std::string> lines) {
  for (std::string& line : lines) {
    const std::size_t at = line.rfind("fd=");
    if (at == std::string::npos || at + 3 >= line.size() || line[at + 3] == '0') continue;
    if (line.find_first_not_of("0123456789", at + 3) == std::string::npos) line.replace(at + 3, std::string::npos, "N");
  }
  return lines;
}

TEST(BadInput, MissingUnreadableAndEmptySources) {
  const std::string raster = MakeRasterFile("good.ras", Small());
  const std::string empty = WriteTempFile("empty.ras", "");
  const std::string not_a_ppd = WriteTempFile("not-a.ppd", "This is a shopping list, not a PPD.\n");
  struct SourceCase {
    const char* name;
    std::vector<std::string> extra_words;  // the file argument, if any
    Input input;
    std::string stdin_path;
    std::string ppd;
    std::vector<std::string> errors;
    int status;
    int pages;
  };
  const SourceCase cases[] = {
      {"ppd-that-is-not-a-ppd", {}, Input::File, raster, not_a_ppd, {}, 0, 1},
      {"missing-file",
       {"/nonexistent/job.ras"},
       Input::File,
       empty,
       "",
       {"ERROR: Unable to open raster file - : No such file or directory"},
       1,
       0},
      {"folder-as-file", {"/tmp"}, Input::File, empty, "", {"ERROR: cupsRasterOpen fd=N", kNoPages}, 1, 0},
      {"empty-file", {empty}, Input::File, empty, "", {"ERROR: cupsRasterOpen fd=N", kNoPages}, 1, 0},
      {"empty-standard-input", {}, Input::File, empty, "", {"ERROR: cupsRasterOpen fd=0", kNoPages}, 1, 0},
      {"standard-input-closed", {}, Input::Closed, "", "", {"ERROR: cupsRasterOpen fd=0", kNoPages}, 1, 0},
      {"too-few-words",
       {},
       Input::File,
       raster,
       "",
       {"ERROR: rastertovelta job-id user title copies options [file]"},
       1,
       0},
  };
  for (const SourceCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> words = JobArgs("");
    if (std::string(c.name) == "too-few-words") words.pop_back();
    words.insert(words.end(), c.extra_words.begin(), c.extra_words.end());
    const ProcessResult run = RunJob(words, c.input, c.stdin_path, c.ppd);
    EXPECT_LT(run.status, 128);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(WithFileDescriptorsNamed(Lines(run.err, "ERROR:")), c.errors) << run.err;
    std::vector<DecodedPage> pages;
    EXPECT_TRUE(DecodePages(run.out, pages));
    EXPECT_EQ(static_cast<int>(pages.size()), c.pages);
  }
}

}  // namespace
}  // namespace velta::robustness

namespace velta::robustness {
namespace {

// A helper thread that fails (made to, through the environment) ends the job
// at once with an error and a printer stream that closes the page it opened:
// the road's helper that follows the rows of a whole sheet, and the render's
// helper on a page too short for the road to follow.
TEST(HelperFailure, EndsTheJobWithAnErrorAndAClosedPageNotAHang) {
  for (const char* height : {"2492", "16"}) {
    const std::string raster =
        MakeRasterFile(std::string("helper-") + height + ".ras",
                       {"--width", "600", "--height", height, "--pages", "2", "--pattern", "photo"});
    Command command = FilterCommand(JobArgs("stpBrightness=2"), kShippedPpd);
    command.env->insert(command.env->end(), {"VELTA_THREADS=2", "VELTA_FAIL_SECOND_THREAD=1"});
    command.stdin_file = raster;
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult run = test::Run(command);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(run.status, 1) << height << " rows";
    EXPECT_EQ(Lines(run.err, "ERROR:"),
              std::vector<std::string>{"ERROR: A helper thread failed while processing page 1"})
        << height << " rows";
    std::vector<DecodedPage> pages;
    EXPECT_TRUE(DecodePages(run.out, pages)) << height << " rows: the printer stream is broken";
    EXPECT_EQ(pages.size(), 1u) << height << " rows";
    // A hang would meet the test's timeout; a slow end would still be a fault.
    EXPECT_LT(seconds, 5.0) << height << " rows";
  }
}

}  // namespace
}  // namespace velta::robustness
