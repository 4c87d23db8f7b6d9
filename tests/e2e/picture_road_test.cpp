// Real pictures through the filter: a raster page goes in as a file, the filter
// runs as a process, and each of the three head data planes it sends is compared
// byte for byte with the planes worked out here from the page's own pixels.
#include <cstdlib>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "reference_page.h"
#include "stream_parser.h"
#include "tests/support/files.h"
#include "tests/support/raster.h"
#include "tests/support/velta_programs.h"

namespace velta::expected {
namespace {

// One job: the raster to make, how the filter is called, and the settings the
// filter should arrive at for it.
struct PrintCase {
  std::string name;
  std::vector<std::string> raster;  // velta-mkraster arguments
  std::string job_options;          // the options argument
  bool with_ppd = true;             // PPD set to the shipped PPD
  PictureOptions settings;          // what the options resolve to
};

std::ostream& operator<<(std::ostream& out, const PrintCase& c) { return out << c.name; }

// Names a parameterised test after its case.
std::string CaseName(const ::testing::TestParamInfo<PrintCase>& info) { return info.param.name; }

// The filter run on the raster file as the spooler would run it, with the
// case's options and the shipped PPD unless the case has none.
test::ProcessResult RunFilterOn(const PrintCase& c, const std::string& raster) {
  std::vector<std::string> args = test::JobArgs(c.job_options);
  args.push_back(raster);
  return test::Run(test::FilterCommand(args, c.with_ppd ? test::kShippedPpd : ""));
}

// velta-mkraster's arguments for the case's raster, written uncompressed to path.
std::vector<std::string> RasterArgs(const PrintCase& c, const std::string& path) {
  std::vector<std::string> args = {"-o", path, "--uncompressed"};
  args.insert(args.end(), c.raster.begin(), c.raster.end());
  return args;
}

// What the filter sent for a job, and the pages it was given.
struct JobRun {
  int status = -1;
  std::string messages;
  std::vector<Picture> pages_in;
  StreamContents stream;
};

// Makes the case's raster, runs the filter on it as the spooler would, and reads
// back both the pages given and the stream sent.
JobRun RunJob(const PrintCase& c) {
  const test::TempFolder folder("velta-e2e");
  const std::string raster = folder.File("page.ras");
  test::MakeRaster(RasterArgs(c, raster));
  JobRun run;
  run.pages_in = test::ReadRasterPages(raster);
  const test::ProcessResult filter = RunFilterOn(c, raster);
  run.status = filter.status;
  run.messages = filter.err;
  run.stream = ParseStream(std::span(reinterpret_cast<const uint8_t*>(filter.out.data()), filter.out.size()));
  return run;
}

// Compares the planes the filter sent with the expected ones and names the first
// byte that differs by plane, row and column.
::testing::AssertionResult SamePlanes(const DecodedPage& sent, const std::vector<uint8_t>& expected, int page_number) {
  const uint64_t plane_size = sent.plane_size();
  if (sent.planes.size() != expected.size())
    return ::testing::AssertionFailure() << "page " << page_number << " sent " << sent.planes.size()
                                         << " bytes of head data, expected " << expected.size();
  uint64_t differing = 0, first = 0;
  for (uint64_t i = 0; i < expected.size(); ++i) {
    if (sent.planes[i] != expected[i] && differing++ == 0) first = i;
  }
  if (differing == 0) return ::testing::AssertionSuccess();
  const uint64_t in_plane = first % plane_size;
  return ::testing::AssertionFailure() << "page " << page_number << ": " << differing
                                       << " bytes differ; the first is plane " << first / plane_size << " row "
                                       << in_plane / sent.width << " column " << in_plane % sent.width
                                       << ": filter sent " << int{sent.planes[first]} << ", expected "
                                       << int{expected[first]};
}

// Runs the job and checks every page against the expected road of its raster page.
void ExpectPrintedAsExpected(const PrintCase& c) {
  const JobRun run = RunJob(c);
  ASSERT_EQ(run.status, 0) << run.messages;
  ASSERT_FALSE(run.stream.fault) << run.stream.fault->what << " at byte " << run.stream.fault->offset;
  ASSERT_EQ(run.stream.pages.size(), run.pages_in.size());
  for (size_t p = 0; p < run.pages_in.size(); ++p) {
    const DecodedPage& sent = run.stream.pages[p];
    ASSERT_EQ(sent.width, static_cast<uint32_t>(run.pages_in[p].width));
    ASSERT_EQ(sent.height, static_cast<uint32_t>(run.pages_in[p].height));
    EXPECT_EQ(sent.high_quality, c.settings.high_quality);
    const PrintedPage expected = Print(run.pages_in[p], c.settings);
    EXPECT_EQ(sent.SpaceFlag, expected.SpaceFlag) << "page " << p + 1;
    EXPECT_TRUE(SamePlanes(sent, expected.planes, static_cast<int>(p + 1)));
  }
}

// Settings with the print mode and sharpness given and everything else 0.
PictureOptions Rendering(bool high_quality, int32_t sharpness) {
  PictureOptions o;
  o.high_quality = high_quality;
  o.sharpness = sharpness;
  return o;
}

const std::vector<std::string> kSmallPhoto = {"--pattern", "photo", "--width", "97", "--height", "61"};

// ---------------------------------------------------------------------------
// A whole sheet: 1800 x 2492 photo-like pixels with the shipped PPD's defaults,
// which sharpen with the middle strength (setting 0).

TEST(FullPage, PhotoWithTheShippedDefaultsMatchesTheWorkedOutPlanes) {
  ExpectPrintedAsExpected({"full", {"--pattern", "photo"}, "", true, Rendering(false, 0)});
}

// ---------------------------------------------------------------------------
// The renderer's own settings on a small photo: sharpening off and at several
// strengths, in both print modes.

class SharpnessAndPrintMode : public ::testing::TestWithParam<PrintCase> {};

TEST_P(SharpnessAndPrintMode, PlanesMatchTheWorkedOutPlanes) { ExpectPrintedAsExpected(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    SmallPhoto, SharpnessAndPrintMode,
    ::testing::Values(
        PrintCase{"OffBelowNormal", kSmallPhoto, "stpSharpness=-4", true, Rendering(false, -4)},
        PrintCase{"OffAboveHigh", kSmallPhoto, "stpSharpness=5 PrintMode=true", true, Rendering(true, 5)},
        PrintCase{"SettingZeroNormal", kSmallPhoto, "", true, Rendering(false, 0)},
        PrintCase{"SettingZeroHigh", kSmallPhoto, "PrintMode=true", true, Rendering(true, 0)},
        PrintCase{"WeakestNormal", kSmallPhoto, "stpSharpness=-3", true, Rendering(false, -3)},
        PrintCase{"StrongestHigh", kSmallPhoto, "stpSharpness=4 PrintMode=true", true, Rendering(true, 4)},
        // 65537 reaches the renderer in 16 bits, as 1.
        PrintCase{"Narrowed65537", kSmallPhoto, "stpSharpness=65537", true, Rendering(false, 65537)},
        // Narrower than the two fade zones together, and lower than the sharpening border.
        PrintCase{"TinyPage", {"--pattern", "photo", "--width", "13", "--height", "6"}, "", true, Rendering(false, 0)}),
    CaseName);

// ---------------------------------------------------------------------------
// Each picture option on its own, then all of them at once: the planes follow
// the option, and they differ from those of the untouched page, so the option
// visibly reached the printer.

class PictureOptionsCase : public ::testing::TestWithParam<PrintCase> {};

TEST_P(PictureOptionsCase, PlanesMatchTheWorkedOutPlanes) { ExpectPrintedAsExpected(GetParam()); }

TEST_P(PictureOptionsCase, TheOptionsChangeWhatIsPrinted) {
  const PrintCase& c = GetParam();
  const JobRun run = RunJob(c);
  ASSERT_EQ(run.status, 0) << run.messages;
  ASSERT_EQ(run.stream.pages.size(), run.pages_in.size());
  for (size_t p = 0; p < run.pages_in.size(); ++p) {
    const std::vector<uint8_t> untouched = Render(run.pages_in[p], c.settings.high_quality, c.settings.sharpness);
    EXPECT_NE(run.stream.pages[p].planes, untouched) << "page " << p + 1;
  }
}

// The case's settings, built up from one change to all-zero settings.
PictureOptions With(void (*change)(PictureOptions&)) {
  PictureOptions o;
  change(o);
  return o;
}

// Every option at once, with the given resize.
PictureOptions Everything(int32_t resize) {
  PictureOptions o;
  o.brightness = 3;
  o.contrast = 4;
  o.saturation = 5;
  o.red = 2;
  o.green = -1;
  o.blue = -3;
  o.resize = resize;
  o.sharpness = 2;
  o.directmap = true;
  o.high_quality = true;
  return o;
}

const std::string kEverything =
    "stpBrightness=3 stpContrast=4 stpSaturation=5 stpRed=2 stpGreen=-1 stpBlue=-3 DirectMap=true "
    "PrintMode=true stpSharpness=2";

INSTANTIATE_TEST_SUITE_P(
    SmallPhoto, PictureOptionsCase,
    ::testing::Values(
        PrintCase{"Brightness", kSmallPhoto, "stpBrightness=3", true,
                  With([](PictureOptions& o) { o.brightness = 3; })},
        PrintCase{"BrightnessDown10", kSmallPhoto, "stpBrightness=-10", true,
                  With([](PictureOptions& o) { o.brightness = -10; })},
        PrintCase{"Contrast", kSmallPhoto, "stpContrast=4", true, With([](PictureOptions& o) { o.contrast = 4; })},
        PrintCase{"Contrast25", kSmallPhoto, "stpContrast=25", true, With([](PictureOptions& o) { o.contrast = 25; })},
        PrintCase{"Contrast26", kSmallPhoto, "stpContrast=26", true, With([](PictureOptions& o) { o.contrast = 26; })},
        PrintCase{"ContrastDown10", kSmallPhoto, "stpContrast=-10", true,
                  With([](PictureOptions& o) { o.contrast = -10; })},
        PrintCase{"Saturation", kSmallPhoto, "stpSaturation=5", true,
                  With([](PictureOptions& o) { o.saturation = 5; })},
        PrintCase{"SaturationDown7", kSmallPhoto, "stpSaturation=-7", true,
                  With([](PictureOptions& o) { o.saturation = -7; })},
        PrintCase{"Red", kSmallPhoto, "stpRed=1", true, With([](PictureOptions& o) { o.red = 1; })},
        PrintCase{"Green", kSmallPhoto, "stpGreen=-3", true, With([](PictureOptions& o) { o.green = -3; })},
        PrintCase{"Blue", kSmallPhoto, "stpBlue=2", true, With([](PictureOptions& o) { o.blue = 2; })},
        PrintCase{"DirectMap", kSmallPhoto, "DirectMap=true", true,
                  With([](PictureOptions& o) { o.directmap = true; })},
        PrintCase{"Enlarge", kSmallPhoto, "stpResize=10", true, With([](PictureOptions& o) { o.resize = 10; })},
        PrintCase{"Reduce", kSmallPhoto, "stpResize=-10", true, With([](PictureOptions& o) { o.resize = -10; })},
        PrintCase{"EverythingEnlarged", kSmallPhoto, kEverything + " stpResize=10", true, Everything(10)},
        PrintCase{"EverythingReduced", kSmallPhoto, kEverything + " stpResize=-10", true, Everything(-10)},
        PrintCase{"EverythingNormalModeEnlarged40",
                  {"--pattern", "photo", "--width", "120", "--height", "90"},
                  "stpBrightness=-2 stpContrast=-3 stpSaturation=9 stpRed=-1 stpGreen=2 stpBlue=1 "
                  "DirectMap=true stpSharpness=-1 stpResize=40",
                  true,
                  With([](PictureOptions& o) {
                    o.brightness = -2, o.contrast = -3, o.saturation = 9, o.red = -1, o.green = 2, o.blue = 1;
                    o.directmap = true, o.sharpness = -1, o.resize = 40;
                  })},
        // Monochrome replaces any saturation by -10, on the second page as on the first.
        PrintCase{"MonochromeTwoPages",
                  {"--pattern", "photo", "--width", "97", "--height", "61", "--pages", "2"},
                  "Monochrome=true stpSaturation=7 stpBrightness=1",
                  true,
                  With([](PictureOptions& o) { o.monochrome = true, o.saturation = 7, o.brightness = 1; })}),
    CaseName);

// ---------------------------------------------------------------------------
// With every picture option 0 and no direct map, the page reaches the renderer
// exactly as the raster delivered it: the planes are the plain render of the
// raw page, worked out without any colour step at all.

class UnchangedBeforeRendering : public ::testing::TestWithParam<PrintCase> {};

TEST_P(UnchangedBeforeRendering, PlanesAreTheRenderOfTheRawPage) {
  const PrintCase& c = GetParam();
  const JobRun run = RunJob(c);
  ASSERT_EQ(run.status, 0) << run.messages;
  ASSERT_FALSE(run.stream.fault) << run.stream.fault->what;
  ASSERT_EQ(run.stream.pages.size(), run.pages_in.size());
  for (size_t p = 0; p < run.pages_in.size(); ++p) {
    const std::vector<uint8_t> raw = Render(run.pages_in[p], c.settings.high_quality, c.settings.sharpness);
    EXPECT_TRUE(SamePlanes(run.stream.pages[p], raw, static_cast<int>(p + 1)));
  }
}

INSTANTIATE_TEST_SUITE_P(
    SmallPhoto, UnchangedBeforeRendering,
    ::testing::Values(
        PrintCase{"ShippedDefaults", kSmallPhoto, "", true, Rendering(false, 0)},
        PrintCase{"EveryOptionNamedAsZero", kSmallPhoto,
                  "stpBrightness=0 stpContrast=0 stpSaturation=0 stpRed=0 stpGreen=0 stpBlue=0 stpResize=0 "
                  "DirectMap=false Monochrome=false stpSharpness=-4",
                  true, Rendering(false, -4)},
        PrintCase{"HighQualityOnly", kSmallPhoto, "PrintMode=true stpSharpness=3", true, Rendering(true, 3)},
        // Without a PPD the job's options are not read at all.
        PrintCase{"NoPpdIgnoresOptions", kSmallPhoto, "stpBrightness=9 DirectMap=true stpResize=50", false,
                  Rendering(false, 0)}),
    CaseName);

// ---------------------------------------------------------------------------
// A full-height sheet (2492 rows) with the picture in one half: a picture in the
// lower half alone is moved to the top before any colour step, and the printer is
// told a half is blank.

class HalfSheet : public ::testing::TestWithParam<PrintCase> {};

TEST_P(HalfSheet, PlanesMatchTheWorkedOutPlanes) { ExpectPrintedAsExpected(GetParam()); }

// A narrow full-height photo with content only in rows.
std::vector<std::string> TallPhoto(const std::string& rows) {
  return {"--pattern", "photo", "--width", "48", "--height", "2492", "--content-rows", rows};
}

INSTANTIATE_TEST_SUITE_P(
    TallPage, HalfSheet,
    ::testing::Values(PrintCase{"LowerHalfMovedUp", TallPhoto("1246:2492"), "stpBrightness=-4 stpSharpness=-4", true,
                                With([](PictureOptions& o) { o.brightness = -4, o.sharpness = -4; })},
                      PrintCase{"LowerHalfMovedUpSharpenedHigh", TallPhoto("1300:2400"),
                                "stpContrast=3 PrintMode=true DirectMap=true", true, With([](PictureOptions& o) {
                                  o.contrast = 3, o.high_quality = true, o.directmap = true;
                                })},
                      PrintCase{"UpperHalfStays", TallPhoto("0:1245"), "stpBrightness=-4", true,
                                With([](PictureOptions& o) { o.brightness = -4; })},
                      // Row 1245 belongs to neither half as examined: the page still moves up.
                      PrintCase{"OnlyRow1245MovesUp", TallPhoto("1245:1246"), "stpSaturation=4", true,
                                With([](PictureOptions& o) { o.saturation = 4; })},
                      PrintCase{"BothHalves", TallPhoto("1200:1300"), "stpResize=-20", true,
                                With([](PictureOptions& o) { o.resize = -20; })},
                      // Colour and the reduction's pass across run on the rows as they are
                      // read, before the move of the lower half.
                      PrintCase{"LowerHalfMovedUpReduced", TallPhoto("1246:2492"), "stpResize=-10 stpSaturation=3",
                                true, With([](PictureOptions& o) { o.resize = -10, o.saturation = 3; })},
                      PrintCase{"LowerHalfMovedUpEnlarged", TallPhoto("1400:2492"), "stpResize=10 stpRed=2", true,
                                With([](PictureOptions& o) { o.resize = 10, o.red = 2; })}),
    CaseName);

// ---------------------------------------------------------------------------
// The row routine counts pixels in 16 bits: a row of 40000 pixels counts as
// -25536 and keeps its colours, while 32767 pixels are all adjusted; the resize
// after it works on the whole row either way.

class SixteenBitRowCount : public ::testing::TestWithParam<PrintCase> {};

TEST_P(SixteenBitRowCount, PlanesMatchTheWorkedOutPlanes) { ExpectPrintedAsExpected(GetParam()); }

TEST(WideRow, ARowOf40000PixelsReachesTheRendererUnchanged) {
  const PrintCase c{"wide",
                    {"--pattern", "photo", "--width", "40000", "--height", "3"},
                    "stpBrightness=5 DirectMap=true stpSharpness=-4",
                    true,
                    With([](PictureOptions& o) { o.brightness = 5, o.directmap = true, o.sharpness = -4; })};
  const JobRun run = RunJob(c);
  ASSERT_EQ(run.status, 0) << run.messages;
  ASSERT_EQ(run.stream.pages.size(), 1u);
  EXPECT_TRUE(SamePlanes(run.stream.pages[0], Render(run.pages_in[0], false, -4), 1));
}

// A photo row of width pixels, three rows high.
std::vector<std::string> WideRows(int width) {
  return {"--pattern", "photo", "--width", std::to_string(width), "--height", "3"};
}

INSTANTIATE_TEST_SUITE_P(
    WideRows, SixteenBitRowCount,
    ::testing::Values(PrintCase{"Width40000Reduced", WideRows(40000), "stpBrightness=5 stpResize=-10 stpSharpness=-4",
                                true,
                                With([](PictureOptions& o) { o.brightness = 5, o.resize = -10, o.sharpness = -4; })},
                      PrintCase{"Width32767Adjusted", WideRows(32767),
                                "stpBrightness=5 stpSaturation=3 stpSharpness=-4", true,
                                With([](PictureOptions& o) { o.brightness = 5, o.saturation = 3, o.sharpness = -4; })}),
    CaseName);

// ---------------------------------------------------------------------------
// A raster that ends before its page does: the rows never delivered print as
// white rows, as if the raster had carried them white. The widths leave a pad
// at each row's end in the filter's page buffer (3 x 97 = 291 and 3 x 2 = 6 bytes).

class TruncatedRaster : public ::testing::TestWithParam<PrintCase> {};

TEST_P(TruncatedRaster, MissingRowsPrintAsWhiteRows) {
  const PrintCase& c = GetParam();
  // The raster arguments end with "--rows" N; the same page written whole with
  // only its first N rows drawn is what the filter should print.
  ASSERT_GE(c.raster.size(), 2u);
  ASSERT_EQ(c.raster[c.raster.size() - 2], "--rows");
  PrintCase whole = c;
  whole.raster.resize(c.raster.size() - 2);
  whole.raster.insert(whole.raster.end(), {"--content-rows", "0:" + c.raster.back()});
  const JobRun whole_run = RunJob(whole);
  ASSERT_EQ(whole_run.pages_in.size(), 1u);

  const test::TempFolder folder("velta-e2e");
  const std::string raster = folder.File("cut.ras");
  test::MakeRaster(RasterArgs(c, raster));
  const test::ProcessResult run = RunFilterOn(c, raster);
  ASSERT_EQ(run.status, 0) << run.err;
  const StreamContents stream =
      ParseStream(std::span(reinterpret_cast<const uint8_t*>(run.out.data()), run.out.size()));
  ASSERT_FALSE(stream.fault);
  ASSERT_EQ(stream.pages.size(), 1u);
  const PrintedPage expected = Print(whole_run.pages_in[0], c.settings);
  EXPECT_EQ(stream.pages[0].SpaceFlag, expected.SpaceFlag);
  EXPECT_TRUE(SamePlanes(stream.pages[0], expected.planes, 1));
}

INSTANTIATE_TEST_SUITE_P(
    CutPages, TruncatedRaster,
    ::testing::Values(PrintCase{"Defaults",
                                {"--pattern", "photo", "--width", "97", "--height", "61", "--rows", "40"},
                                "",
                                true,
                                With([](PictureOptions&) {})},
                      PrintCase{
                          "EveryStage",
                          {"--pattern", "photo", "--width", "97", "--height", "61", "--rows", "23"},
                          "stpBrightness=2 stpContrast=2 stpSaturation=3 DirectMap=true PrintMode=true stpResize=10",
                          true,
                          With([](PictureOptions& o) {
                            o.brightness = 2, o.contrast = 2, o.saturation = 3, o.directmap = true,
                            o.high_quality = true, o.resize = 10;
                          })},
                      PrintCase{"NarrowTallReduced",
                                {"--pattern", "photo", "--width", "2", "--height", "2492", "--rows", "1300"},
                                "stpResize=-10",
                                true,
                                With([](PictureOptions& o) { o.resize = -10; })}),
    CaseName);

}  // namespace
}  // namespace velta::expected
