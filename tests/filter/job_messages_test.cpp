// The life of a job as the spooler sees it: messages, progress and exit status.
#include <chrono>
#include <cstddef>

#include <cups/raster.h>

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/velta_programs.h"
#include "wire_pages.h"

namespace velta::test {
namespace {

// The percentages of the progress lines of page 1, in order.
std::vector<std::string> ProgressOf(const std::string& err) {
  const std::string prefix = "INFO: Printing page 1, ";
  std::vector<std::string> percents;
  for (const auto& line : Lines(err))
    if (line.starts_with(prefix) && line.ends_with("% complete..."))
      percents.push_back(line.substr(prefix.size(), line.size() - prefix.size() - 13));
  return percents;
}

TEST(JobMessages, WrongArgumentCountsGiveTheUsageLine) {
  const std::vector<std::vector<std::string>> argument_lists = {
      {}, {"1", "u", "t", "1"}, {"1", "u", "t", "1", "", "file", "extra"}};
  for (const auto& args : argument_lists) {
    const auto run = RunFilter(args, "");
    EXPECT_EQ(run.status, 1) << args.size() << " arguments";
    EXPECT_EQ(run.err, "ERROR: rastertovelta job-id user title copies options [file]\n");
    EXPECT_TRUE(run.out.empty());
  }
}

TEST(JobMessages, MissingFileIsReportedAfterAPause) {
  const auto start = std::chrono::steady_clock::now();
  auto args = JobArgs();
  args.push_back("/nonexistent/velta/page.ras");
  const auto run = RunFilter(args, "");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "ERROR: Unable to open raster file - : No such file or directory\n");
  EXPECT_TRUE(run.out.empty());
  EXPECT_GE(elapsed, std::chrono::milliseconds(950));
}

TEST(JobMessages, RasterFromAFileArgument) {
  const auto path = WriteTempFile("file-arg.ras", MakeRaster({"--width", "4", "--height", "3"}));
  auto args = JobArgs();
  args.push_back(path);
  const auto run = RunFilter(args, "not read");
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<WirePage> pages;
  EXPECT_TRUE(SplitPages(run.out, 4, 3, 1, pages));
}

TEST(JobMessages, JobsWithoutPages) {
  struct Case {
    const char* what;
    std::string input;
    std::string err_tail;
  };
  const Case cases[] = {
      {"a raster of no pages", MakeRaster({"--pages", "0"}), "ERROR: No pages found!\n"},
      {"empty input", "", "ERROR: cupsRasterOpen fd=0\nERROR: No pages found!\n"},
      {"not a raster", "%!PS-Adobe-3.0\n", "ERROR: cupsRasterOpen fd=0\nERROR: No pages found!\n"},
  };
  for (const Case& c : cases) {
    const auto run = RunFilter(JobArgs(), c.input);
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_EQ(run.err, c.err_tail) << c.what;
    EXPECT_TRUE(run.out.empty()) << c.what;
  }
}

TEST(JobMessages, CorruptLaterHeaderIsAnErrorAfterThePagesBeforeIt) {
  // Two equal pages, the second header at 4 + 1796 + the first page's data;
  // libcups refuses a header of height 0 as if the stream had ended.
  struct Case {
    const char* what;
    bool compressed;
    bool truncate;  // cut inside the second header instead
  };
  const Case cases[] = {{"compressed, height 0", true, false},
                        {"uncompressed, height 0", false, false},
                        {"uncompressed, cut inside the header", false, true}};
  for (const Case& c : cases) {
    std::vector<std::string> args{"--width", "6", "--height", "5", "--pages", "2", "--pattern", "gradient"};
    if (!c.compressed) args.push_back("--uncompressed");
    const std::string clean = MakeRaster(args);
    const std::size_t header = sizeof(cups_page_header2_t);
    const std::size_t second = 4 + header + ((clean.size() - 4) / 2 - header);
    std::string broken = clean;
    if (c.truncate) {
      broken.resize(second + 100);
    } else {
      const uint32_t zero = 0;
      broken.replace(second + offsetof(cups_page_header2_t, cupsHeight), 4, reinterpret_cast<const char*>(&zero), 4);
    }
    const auto good = RunFilter(JobArgs(), clean);
    const auto run = RunFilter(JobArgs(), broken);
    EXPECT_EQ(good.status, 0) << c.what;
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_EQ(Lines(run.err, "ERROR:"),
              std::vector<std::string>{"ERROR: The header of page 2 is corrupt; the 1 page before it printed"})
        << c.what;
    std::vector<WirePage> pages;
    EXPECT_TRUE(SplitPages(run.out, 6, 5, 1, pages)) << c.what;
    EXPECT_TRUE(good.out.starts_with(run.out)) << c.what;
  }
}

TEST(JobMessages, ProgressEvery128Rows) {
  struct Case {
    uint32_t height;
    std::vector<std::string> percents;
  };
  const Case cases[] = {
      {1, {"0"}},
      {128, {"0"}},
      {129, {"0", "99"}},
      {257, {"0", "49", "99"}},
      {2492, {"0",  "5",  "10", "15", "20", "25", "30", "35", "41", "46",
              "51", "56", "61", "66", "71", "77", "82", "87", "92", "97"}},
  };
  for (const Case& c : cases) {
    const auto run = RunFilter(JobArgs(), MakeRaster({"--width", "2", "--height", std::to_string(c.height)}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ProgressOf(run.err), c.percents) << c.height << " rows";
  }
}

TEST(JobMessages, PageHeaderDumpThenPageLine) {
  const auto run = RunFilter(JobArgs(), MakeRaster({"--width", "8", "--height", "2", "--copies", "3"}));
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = Lines(run.err);
  // No PPD: the first line is the first of the header dump.
  const std::vector<std::string> expected = {"DEBUG: MediaClass=PwgRaster",
                                             "DEBUG: MediaType=",
                                             "DEBUG: OutputType=",
                                             "DEBUG: AdvanceDistance=0",
                                             "DEBUG: AdvanceMedia=0",
                                             "DEBUG: Collate=0",
                                             "DEBUG: CutMedia=0",
                                             "DEBUG: Duplex=0",
                                             "DEBUG: HWResolution=[300][300]",
                                             "DEBUG: Duplex=0",
                                             "DEBUG: ImagingBoundingBox=[0][0][1][0]",
                                             "DEBUG: InsertSheet=0",
                                             "DEBUG: Jog=0",
                                             "DEBUG: LeadingEdge=0",
                                             "DEBUG: Margins=[0][0]",
                                             "DEBUG: ManualFeed=0",
                                             "DEBUG: MediaPosition=0",
                                             "DEBUG: MediaWeight=0",
                                             "DEBUG: MirrorPrint=0",
                                             "DEBUG: NegativePrint=0",
                                             "DEBUG: NumCopies=3",
                                             "DEBUG: Orientation=0",
                                             "DEBUG: OutputFaceUp=0",
                                             "DEBUG: PageSize=[1][0]",
                                             "DEBUG: Separations=0",
                                             "DEBUG: TraySwitch=0",
                                             "DEBUG: Tumble=0",
                                             "DEBUG: cupsWidth=8",
                                             "DEBUG: cupsHeight=2",
                                             "DEBUG: cupsMediaType=0",
                                             "DEBUG: cupsBitsPerColor=8",
                                             "DEBUG: cupsBitsPerPixel=24",
                                             "DEBUG: cupsBytesPerLine=24",
                                             "DEBUG: cupsColorOrder=0",
                                             "DEBUG: cupsColorSpace=1",
                                             "DEBUG: cupsCompression=0",
                                             "DEBUG: cupsRowCount=1",
                                             "DEBUG: cupsRowFeed=0",
                                             "DEBUG: cupsRowStep=1",
                                             "PAGE: 1 3",
                                             "INFO: Printing page 1, 0% complete...",
                                             "INFO: Transfer completion of the image data",
                                             "INFO: CUPS v1.2.12 is ready to print."};
  EXPECT_EQ(lines, expected);
}

TEST(JobMessages, ShortPageIsPrintedInFull) {
  // The raster ends after 100 of 2492 rows: the page still goes out whole.
  const auto run =
      RunFilter(JobArgs(), MakeRaster({"--width", "8", "--height", "2492", "--rows", "100", "--pattern", "photo"}));
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<WirePage> pages;
  EXPECT_TRUE(SplitPages(run.out, 8, 2492, 1, pages));
}

TEST(JobMessages, FailedPrinterWriteIsAnError) {
  // /dev/full refuses every byte, like a printer connection that broke.
  Command command = FilterCommand({"1", "u", "t", "1", ""});
  command.stdout_file = "/dev/full";
  ChildProcess child(command);
  child.Write(MakeRaster({"--width", "600", "--height", "400"}));
  const auto run = child.Finish();
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("ERROR: Unable to write printer data - No space left on device\n"), std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("ready to print"), std::string::npos);
}

}  // namespace
}  // namespace velta::test
