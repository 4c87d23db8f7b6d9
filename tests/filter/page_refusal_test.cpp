// Pages the filter refuses before it allocates anything for them.
#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/velta_programs.h"
#include "wire_pages.h"

namespace velta::test {
namespace {

TEST(PageRefusal, BadHeadersGiveOneErrorAndNothingOnTheWire) {
  struct Case {
    std::vector<std::string> raster;
    std::string error;
  };
  const Case cases[] = {
      {{"--width", "1800", "--height", "2", "--bytes-per-line", "5403"},
       "ERROR: cupsBytesPerLine=5403 does not match cupsWidth=1800 (expected 5400)"},
      {{"--width", "1800", "--height", "2", "--bytes-per-line", "5397"},
       "ERROR: cupsBytesPerLine=5397 does not match cupsWidth=1800 (expected 5400)"},
      {{"--width", "4", "--height", "2", "--bits", "16"}, "ERROR: cupsBitsPerColor=16 is not supported (expected 8)"},
      {{"--width", "4", "--height", "2", "--bits-per-pixel", "32", "--bytes-per-line", "12"},
       "ERROR: cupsBitsPerPixel=32 is not supported (expected 24)"},
      {{"--width", "4", "--height", "2", "--colorspace", "6"},
       "ERROR: cupsColorSpace=6 is not supported (expected an RGB space: 1, 19 or 20)"},
      {{"--width", "4", "--height", "2", "--order", "1"},
       "ERROR: cupsColorOrder=1 is not supported (expected 0, chunky RGB)"},
      {{"--width", "0", "--height", "2", "--bytes-per-line", "3"}, "ERROR: cupsWidth=0 is out of range (1 to 65535)"},
      // The CUPS library itself refuses a header with no bytes per line or no rows.
      {{"--width", "0", "--height", "2"}, "ERROR: No pages found!"},
      {{"--width", "4", "--height", "0"}, "ERROR: No pages found!"},
      {{"--width", "100000", "--height", "1"}, "ERROR: cupsWidth=100000 is out of range (1 to 65535)"},
      {{"--width", "4", "--height", "65536", "--rows", "0"}, "ERROR: cupsHeight=65536 is out of range (1 to 65535)"},
      {{"--width", "65535", "--height", "2000", "--rows", "0"},
       "ERROR: cupsHeight=2000 with cupsWidth=65535 needs 393210000 bytes of head data, more "
       "than the limit of 268435456"},
      // More than 32 bits of head data: refused with the true size on a 32-bit machine too.
      {{"--width", "65535", "--height", "65535", "--rows", "0"},
       "ERROR: cupsHeight=65535 with cupsWidth=65535 needs 12884508675 bytes of head data, more "
       "than the limit of 268435456"},
  };
  for (const Case& c : cases) {
    const auto run = RunFilter(JobArgs(), MakeRaster(c.raster));
    EXPECT_EQ(run.status, 1) << c.error;
    EXPECT_EQ(Lines(run.err, "ERROR:"), std::vector<std::string>{c.error}) << run.err;
    EXPECT_TRUE(run.out.empty()) << c.error;
    EXPECT_EQ(run.err.find("PAGE:"), std::string::npos) << c.error;
  }
}

TEST(PageRefusal, LargestPageWithinTheLimitIsPrinted) {
  // 65535 x 1365 x 3 = 268365825 bytes, just under 256 MiB; header only, rows white.
  // The stream goes to a file, and only its framing is read back.
  const std::string path = WriteTempFile("largest.prn", "");
  Command command = FilterCommand({"1", "u", "t", "1", ""});
  command.stdout_file = path;
  ChildProcess child(command);
  child.Write(MakeRaster({"--width", "65535", "--height", "1365", "--rows", "0"}));
  const auto run = child.Finish();
  EXPECT_EQ(run.status, 0) << run.err;
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  EXPECT_EQ(static_cast<std::size_t>(file.tellg()), 95u + 268365825u);
  std::string head(77, '\0');
  file.seekg(0);
  file.read(head.data(), 77);
  EXPECT_EQ(head.substr(42, 4), Hex("FF FF 05 55"));
  EXPECT_EQ(head.substr(66), Hex("1B EA 00 00 00 00 0F FE F0 01 00"));
  std::remove(path.c_str());
}

TEST(PageRefusal, GoodPagesBeforeARefusedOneStayPrinted) {
  std::string raster = MakeRaster({"--width", "4", "--height", "2"});
  // A second stream appended is read on as more pages of the first.
  std::string bad = MakeRaster({"--width", "4", "--height", "2", "--bits", "16"});
  raster += bad.substr(4);  // without its sync word
  const auto run = RunFilter(JobArgs(), raster);
  EXPECT_EQ(run.status, 1);
  std::vector<WirePage> pages;
  EXPECT_TRUE(SplitPages(run.out, 4, 2, 1, pages));
  EXPECT_EQ(Lines(run.err, "ERROR:"),
            std::vector<std::string>{"ERROR: cupsBitsPerColor=16 is not supported (expected 8)"});
}

}  // namespace
}  // namespace velta::test
