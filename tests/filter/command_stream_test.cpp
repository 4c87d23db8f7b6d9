// The printer's bytes for whole pages, read back from the filter's output.
#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/velta_programs.h"
#include "wire_pages.h"

namespace velta::test {
namespace {

const std::string kClosingNormal = Hex("1B 23 00 00 00 04 00 FF FF FF FF 1B 0A 00 00 00 00 00");
const std::string kClosingHalfBlank = Hex("1B 23 00 00 00 04 01 FF FF FF FF 1B 0A 00 00 00 00 00");

// A PPD whose only option is the print mode, defaulting to normal.
std::string PrintModePpd() {
  return WriteTempFile("printmode.ppd",
                       "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
                       "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n"
                       "*PCFileName: \"TEST.PPD\"\n*Manufacturer: \"Test\"\n*Product: \"(Test)\"\n"
                       "*ModelName: \"Test\"\n*ShortNickName: \"Test\"\n*NickName: \"Test\"\n"
                       "*OpenUI *PrintMode/Print Mode: PickOne\n*DefaultPrintMode: false\n"
                       "*PrintMode false/Normal: \"\"\n*PrintMode true/High Quality: \"\"\n"
                       "*CloseUI: *PrintMode\n");
}

TEST(PageOnTheWire, FullSheetWithTwoCopiesIsTheWorkedExample) {
  const auto raster = MakeRaster({"--width", "1800", "--height", "2492", "--copies", "2", "--pattern", "photo"});
  const auto run = RunFilter(JobArgs(), raster);
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<WirePage> pages;
  ASSERT_TRUE(SplitPages(run.out, 1800, 2492, 1, pages)) << run.out.size();
  EXPECT_EQ(pages[0].setup, Hex("1B 1E 00 00 00 0C 00  01 00 00 00 00 00 00 00 00 00 00 00"
                                "1B EE 00 00 00 02 00  00 02"
                                "1B E1 00 00 00 0B 00  00 A4 0C 00 00 00 00 07 08 09 BC"
                                "1B 15 00 00 00 0D 00  00 00 00 00 67 00 00 00 00 07 08 09 BC"));
  EXPECT_EQ(pages[0].send_cmd, Hex("1B EA 00 00 00 00 00 CD 55 A0 00"));
  EXPECT_EQ(pages[0].closing, kClosingNormal);
}

TEST(PageOnTheWire, HighQualityHalfBlankSheetWith150Copies) {
  // Picture in the upper half only: the printer is told a half is blank.
  const auto raster = MakeRaster(
      {"--width", "1800", "--height", "2492", "--copies", "150", "--pattern", "photo", "--content-rows", "0:1200"});
  const auto run = RunFilter(JobArgs("PrintMode=true"), raster, PrintModePpd());
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<WirePage> pages;
  ASSERT_TRUE(SplitPages(run.out, 1800, 2492, 1, pages));
  EXPECT_EQ(pages[0].setup, Hex("1B 1E 00 00 00 0C 00  01 00 00 00 00 00 00 00 00 00 00 00"
                                "1B EE 00 00 00 02 00  00 63"
                                "1B E1 00 00 00 0B 00  00 A4 00 00 00 00 00 07 08 09 BC"
                                "1B 15 00 00 00 0D 00  00 00 00 00 67 00 00 00 00 07 08 09 BC"));
  EXPECT_EQ(pages[0].send_cmd, Hex("1B EA 00 00 00 00 00 CD 55 A0 00"));
  EXPECT_EQ(pages[0].closing, kClosingHalfBlank);
}

TEST(PageOnTheWire, PrintModeNeedsThePpd) {
  // Without a PPD the job's options are not read: normal mode (0C).
  const auto raster = MakeRaster({"--width", "4", "--height", "2"});
  const auto run = RunFilter(JobArgs("PrintMode=true"), raster);
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<WirePage> pages;
  ASSERT_TRUE(SplitPages(run.out, 4, 2, 1, pages));
  EXPECT_EQ(pages[0].setup.substr(35, 3), Hex("00 04 0C"));
}

TEST(PageOnTheWire, CopyCountIsBroughtIntoOneTo99) {
  struct Case {
    const char* NumCopies;
    const char* CopiesDAT;
  };
  const Case cases[] = {{"0", "00 01"},  {"1", "00 01"},   {"2", "00 02"},
                        {"99", "00 63"}, {"100", "00 63"}, {"4294967295", "00 63"}};
  for (const Case& c : cases) {
    const auto run = RunFilter(JobArgs(), MakeRaster({"--width", "4", "--height", "2", "--copies", c.NumCopies}));
    ASSERT_EQ(run.status, 0) << c.NumCopies << run.err;
    std::vector<WirePage> pages;
    ASSERT_TRUE(SplitPages(run.out, 4, 2, 1, pages)) << c.NumCopies;
    EXPECT_EQ(pages[0].setup.substr(19, 9), Hex("1B EE 00 00 00 02 00") + Hex(c.CopiesDAT))
        << "NumCopies " << c.NumCopies;
  }
}

TEST(PageOnTheWire, PageSizeAndFullSheetMark) {
  // White pages: a white 2492-row sheet counts as half blank, other heights never do.
  struct Case {
    uint32_t width, height;
    const char* PrntModeSltDAT;  // all 11 bytes
    const char* ModeSelectSize;  // ModeSelectDAT bytes 9-12
    const char* length;          // SendDataCMD bytes 6-9: W x H x 3
    const std::string& closing;
  };
  const Case cases[] = {
      {8, 2491, "00 04 0C 00 00 00 00 00 08 09 BB", "00 08 09 BB", "00 00 E9 88", kClosingNormal},
      {8, 2492, "00 A4 0C 00 00 00 00 00 08 09 BC", "00 08 09 BC", "00 00 E9 A0", kClosingHalfBlank},
      {8, 2493, "00 04 0C 00 00 00 00 00 08 09 BD", "00 08 09 BD", "00 00 E9 B8", kClosingNormal},
      {1800, 1200, "00 04 0C 00 00 00 00 07 08 04 B0", "07 08 04 B0", "00 62 E0 80", kClosingNormal},
      {1, 1, "00 04 0C 00 00 00 00 00 01 00 01", "00 01 00 01", "00 00 00 03", kClosingNormal},
  };
  for (const Case& c : cases) {
    const auto run =
        RunFilter(JobArgs(), MakeRaster({"--width", std::to_string(c.width), "--height", std::to_string(c.height)}));
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<WirePage> pages;
    ASSERT_TRUE(SplitPages(run.out, c.width, c.height, 1, pages)) << c.width << "x" << c.height;
    const std::string where = std::to_string(c.width) + "x" + std::to_string(c.height);
    EXPECT_EQ(pages[0].setup.substr(35, 11), Hex(c.PrntModeSltDAT)) << where;
    EXPECT_EQ(pages[0].setup.substr(62, 4), Hex(c.ModeSelectSize)) << where;
    EXPECT_EQ(pages[0].send_cmd, Hex("1B EA 00 00 00 00") + Hex(c.length) + Hex("00")) << where;
    EXPECT_EQ(pages[0].closing, c.closing) << where;
  }
}

TEST(PageOnTheWire, TwoPagesFollowEachOtherWithNothingBetween) {
  const auto raster =
      MakeRaster({"--width", "16", "--height", "10", "--pages", "2", "--copies", "3,5", "--pattern", "gradient"});
  const auto run = RunFilter(JobArgs(), raster);
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<WirePage> pages;
  ASSERT_TRUE(SplitPages(run.out, 16, 10, 2, pages));
  EXPECT_EQ(pages[0].setup.substr(26, 2), Hex("00 03"));
  EXPECT_EQ(pages[1].setup.substr(26, 2), Hex("00 05"));
  for (const auto& page : pages) {
    EXPECT_EQ(page.send_cmd, Hex("1B EA 00 00 00 00 00 00 01 E0 00"));
    EXPECT_EQ(page.closing, kClosingNormal);
  }
  EXPECT_NE(run.err.find("PAGE: 1 3\n"), std::string::npos);
  EXPECT_NE(run.err.find("PAGE: 2 5\n"), std::string::npos);
  EXPECT_TRUE(run.err.ends_with("INFO: CUPS v1.2.12 is ready to print.\n"));
}

TEST(PageOnTheWire, BlankHalfOfAFullSheetSetsTheFlag) {
  // Black rows on white; the upper half the printer looks at is rows 0 to 1244.
  struct Case {
    const char* content_rows;
    uint8_t cpybuf6;
  };
  const Case cases[] = {
      {"1246:2492", 0x01},  // picture in the lower half only
      {"0:1245", 0x01},     // picture in the upper half only
      {"1245:1246", 0x01},  // only row 1245, which the upper test skips
      {"1245:1247", 0x01},  // rows 1245 and 1246: upper counts as blank
      {"1244:1245", 0x01},  // last row of the upper half only
      {"1000:1500", 0x00},  // picture across both halves
      {"2491:2492", 0x01},  // last row only
      {"0:1", 0x01},        // first row only
      {"0:2492", 0x00},     // picture everywhere
  };
  for (const Case& c : cases) {
    const auto raster =
        MakeRaster({"--width", "8", "--height", "2492", "--color", "000000", "--content-rows", c.content_rows});
    const auto run = RunFilter(JobArgs(), raster);
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<WirePage> pages;
    ASSERT_TRUE(SplitPages(run.out, 8, 2492, 1, pages));
    EXPECT_EQ(static_cast<uint8_t>(pages[0].closing[6]), c.cpybuf6) << "rows " << c.content_rows;
  }
}

}  // namespace
}  // namespace velta::test
