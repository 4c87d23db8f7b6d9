// phototovelta: a photo file to the printer's stream in one process.
#include <csignal>

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/velta_programs.h"
#include "wire_pages.h"

namespace velta::test {
namespace {

const std::string kSamplePhoto = VELTA_SAMPLE_PHOTO;

// Runs phototovelta on the photo file at path with the shipped PPD.
ProcessResult RunPhotoFilter(const std::string& path, const std::string& options = "", const char* copies = "1") {
  return velta::test::Run(FilterCommand({"7", "tester", "photo", copies, options, path}, kShippedPpd, kPhotoFilterProgram));
}

// A PNG made by ImageMagick from the sample photo, written to name.
std::string SamplePng(const std::string& name, const std::string& convert_options) {
  const std::string path = WriteTempFile(name, "");
  const auto made = RunShell("convert '" + kSamplePhoto + "' -resize 600x " + convert_options + " '" + path + "'");
  if (made.status != 0) ADD_FAILURE() << made.err;
  return path;
}

TEST(PhotoJob, IsThePlacedSheetThroughTheRasterFiltersRoad) {
  // The photo route hands the page road what velta-mkraster --photo writes:
  // rastertovelta on that raster gives the same bytes, settings, sheet and
  // copies included.
  struct Case {
    const char* options;
    std::vector<std::string> mkraster;
    const char* copies;
  } cases[] = {
      {"", {"--media", "6x8"}, "1"},
      {"media=4x6 print-scaling=fit stpBrightness=3 PrintMode=true", {"--media", "6x4", "--scaling", "fit"},
       "3"},
      {"orientation-requested=5 DirectMap=true", {"--orientation", "5"}, "2"},
  };
  const std::string png = SamplePng("sample.png", "-alpha set -channel A -fx 0.8");
  for (const auto& photo : {kSamplePhoto, png}) {
    for (const Case& c : cases) {
      const auto direct = RunPhotoFilter(photo, c.options, c.copies);
      ASSERT_EQ(direct.status, 0) << c.options << "\n" << direct.err;
      std::vector<std::string> args{"--photo", photo, "--copies", c.copies};
      args.insert(args.end(), c.mkraster.begin(), c.mkraster.end());
      const auto raster = velta::test::Run(FilterCommand({"7", "tester", "photo", "1", c.options}, kShippedPpd), MakeRaster(args));
      EXPECT_TRUE(direct.out == raster.out) << photo << " " << c.options;
      EXPECT_TRUE(Lines(direct.err, "ERROR:").empty()) << direct.err;
      EXPECT_EQ(Lines(direct.err, "PAGE:"), std::vector<std::string>{std::string("PAGE: 1 ") + c.copies});
    }
  }
}

TEST(PhotoJob, EveryNameOfASheetSelectsItAndAnUnknownSizeIsSaid) {
  const struct {
    const char* options;
    const char* height;
    bool warned;
  } cases[] = {
      {"", "2492", false},  // the PPD's default
      {"media=4x6", "1200", false},
      {"media=na_index-4x6_4x6in", "1200", false},  // the 6x4 sheet turned
      {"media=oe_photo-6x4_6x4in", "1200", false},
      {"PageSize=6x4", "1200", false},
      {"PageSize=w432h288", "1200", false},  // the PPD's earlier name
      {"media=photographic-glossy,6x8", "2492", false},
      {"media=A4", "2492", true},
  };
  for (const auto& c : cases) {
    const auto run = RunPhotoFilter(kSamplePhoto, c.options);
    ASSERT_EQ(run.status, 0) << c.options << "\n" << run.err;
    EXPECT_EQ(Lines(run.err, "DEBUG: cupsHeight="), std::vector<std::string>{std::string("DEBUG: cupsHeight=") + c.height})
        << c.options;
    EXPECT_EQ(Lines(run.err, "WARNING:").size(), c.warned ? 1u : 0u) << c.options;
  }
}

TEST(PhotoJob, BadPhotosGiveOneErrorAndNothingForThePrinter) {
  const std::string jpeg = ReadFile(kSamplePhoto);
  std::string corrupt = jpeg;
  for (std::size_t i = corrupt.size() / 3; i < corrupt.size() / 3 + 64; ++i) corrupt[i] = '\x5a';
  // A PNG header that claims 60000 x 60000 pixels: refused from its header.
  const std::string bomb = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\xea\x60\0\0\xea\x60\x08\x02\0\0\0", 29) +
                           std::string(4, '\0');
  const std::pair<const char*, std::string> cases[] = {
      {"truncated JPEG", jpeg.substr(0, jpeg.size() / 2)},
      {"corrupt JPEG", corrupt},
      {"decompression bomb", bomb},
      {"not a photo", "%!PS-Adobe-3.0\n"},
      {"empty file", ""},
  };
  for (const auto& [what, bytes] : cases) {
    const auto run = RunPhotoFilter(WriteTempFile("bad-photo", bytes));
    EXPECT_EQ(run.status, 1) << what;
    EXPECT_EQ(Lines(run.err, "ERROR:").size(), 1u) << what << "\n" << run.err;
    EXPECT_TRUE(run.out.empty()) << what;
  }
}

TEST(PhotoJob, SigtermBeforeThePhotoIsReadSendsNothing) {
  ChildProcess filter(FilterCommand({"7", "tester", "photo", "1", ""}, kShippedPpd, kPhotoFilterProgram));
  const std::string jpeg = ReadFile(kSamplePhoto);
  filter.Write(jpeg.substr(0, 1000));
  ASSERT_TRUE(filter.WaitForError("DEBUG: Photo placing"));
  const auto run = filter.Stop();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.empty());
  EXPECT_TRUE(Lines(run.err, "ERROR:").empty()) << run.err;
}

}  // namespace
}  // namespace velta::test
