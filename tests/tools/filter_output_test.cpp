// The decoder accepts what rastertovelta writes, page for page.
#include <gtest/gtest.h>

#include "tests/support/process.h"
#include "stream_parser.h"
#include "tests/support/files.h"

#if defined(VELTA_FILTER_PROGRAM) && defined(VELTA_MKRASTER_PROGRAM)

namespace velta {
namespace {

// What one page of a job should look like on the wire.
struct WantPage {
  uint32_t width, height, copies;
  int SpaceFlag;
};

TEST(FilterOutput, EveryJobTheFilterWritesDecodesAsItsPages) {
  test::TempFolder dir;
  ASSERT_FALSE(dir.path().empty());
  // A printer description with nothing in it: its presence lets the job's own
  // options count; every option it does not name defaults to 0.
  const std::string ppd = dir.path() + "/printer.ppd";
  ASSERT_TRUE(test::WriteFile(ppd, std::string("*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n"
                                               "*LanguageVersion: English\n*ModelName: \"Velta\"\n")));
  struct Case {
    const char* name;
    std::string raster_args;  // velta-mkraster
    std::string options;      // the filter's option string
    bool high_quality;
    std::vector<WantPage> pages;
  };
  const std::vector<Case> cases = {
      {"one 6x8 photo", "--pattern photo", "", false, {{1800, 2492, 1, 1}}},
      {"6x8 with its lower half white", "--pattern photo --content-rows 0:1246", "", false, {{1800, 2492, 1, 0}}},
      {"three 6x4 pages, copies brought into range",
       "--width 1800 --height 1200 --pages 3 --copies 0,5,150",
       "",
       false,
       {{1800, 1200, 1, 1}, {1800, 1200, 5, 1}, {1800, 1200, 99, 1}}},
      {"high quality with colour options",
       "--pattern gradient --width 1800 --height 1200 --pages 2",
       "PrintMode=true DirectMap=true stpBrightness=3 stpSharpness=2 stpResize=5",
       true,
       {{1800, 1200, 1, 1}, {1800, 1200, 1, 1}}},
      {"a small odd page, monochrome",
       "--pattern photo --width 7 --height 3",
       "Monochrome=true stpResize=-5",
       false,
       {{7, 3, 1, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string raster = dir.path() + "/job.ras", out = dir.path() + "/job.prn";
    ASSERT_EQ(test::RunShell(std::string(VELTA_MKRASTER_PROGRAM) + " " + c.raster_args + " -o " + raster).status, 0);
    const auto run = test::RunShell("PPD=" + ppd + " " + VELTA_FILTER_PROGRAM + " 1 user title 1 '" + c.options + "' " +
                                    raster + " > " + out + " 2>/dev/null");
    ASSERT_EQ(run.status, 0);
    const std::string bytes = test::ReadFile(out);
    const auto decoded = ParseStream(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    ASSERT_FALSE(decoded.fault) << decoded.fault->what << " at byte " << decoded.fault->offset;
    ASSERT_EQ(decoded.pages.size(), c.pages.size());
    for (size_t i = 0; i < c.pages.size(); ++i) {
      const auto& got = decoded.pages[i];
      const auto& want = c.pages[i];
      EXPECT_EQ(got.width, want.width);
      EXPECT_EQ(got.height, want.height);
      EXPECT_EQ(got.copies, want.copies);
      EXPECT_EQ(got.high_quality, c.high_quality);
      EXPECT_EQ(got.SpaceFlag, want.SpaceFlag);
      EXPECT_FALSE(got.cancelled);
      EXPECT_EQ(got.planes.size(), uint64_t{want.width} * want.height * 3);
    }
  }
}

}  // namespace
}  // namespace velta

#endif
