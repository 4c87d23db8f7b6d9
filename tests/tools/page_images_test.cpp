// Pictures of decoded pages: grey planes, the colour preview, PNG files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "hand_stream.h"
#include "tests/support/files.h"
#ifdef VELTA_HAVE_TONE_TABLES
#include "render/tone_tables.h"
#endif
#include "png_file.h"
#include "stream_parser.h"
#include "tone_inversion.h"

namespace velta {
namespace {

using test::TempFolder;

TEST(PngFile, PicturesComeBackAsWritten) {
  TempFolder dir;
  ASSERT_FALSE(dir.path().empty());
  std::mt19937 rng(3);
  struct Case {
    uint32_t width, height;
    int channels;
  };
  for (const Case& c : {Case{1, 1, 1}, Case{1, 1, 3}, Case{17, 5, 1}, Case{5, 17, 3}, Case{300, 2, 3}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + "x" + std::to_string(c.channels));
    std::vector<uint8_t> pixels(size_t{c.width} * c.height * static_cast<size_t>(c.channels));
    for (auto& p : pixels) p = static_cast<uint8_t>(rng());
    const std::string path = dir.path() + "/picture.png";
    std::string error;
    ASSERT_TRUE(WritePng(path, c.width, c.height, c.channels, pixels, error)) << error;
    PngPicture back;
    ASSERT_TRUE(ReadPng(path, back, error)) << error;
    EXPECT_EQ(back.width, c.width);
    EXPECT_EQ(back.height, c.height);
    EXPECT_EQ(back.channels, c.channels);
    EXPECT_EQ(back.pixels, pixels);
  }
}

TEST(PngFile, WrongRequestsFailWithAReason) {
  TempFolder dir;
  std::string error;
  const std::vector<uint8_t> six(6);
  EXPECT_FALSE(WritePng(dir.path() + "/a.png", 2, 2, 1, six, error));  // 4 pixels wanted
  EXPECT_FALSE(WritePng(dir.path() + "/a.png", 0, 6, 1, six, error));
  EXPECT_FALSE(WritePng(dir.path() + "/a.png", 1, 3, 2, six, error));  // no grey+alpha
  EXPECT_FALSE(WritePng(dir.path() + "/no/such/folder/a.png", 6, 1, 1, six, error));
  EXPECT_NE(error.find("cannot create"), std::string::npos);
  PngPicture picture;
  EXPECT_FALSE(ReadPng(dir.path() + "/missing.png", picture, error));
  // A file that is not a PNG is refused through libpng's error path.
  const std::string junk = dir.path() + "/junk.png";
  std::FILE* f = std::fopen(junk.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("not a picture at all", f);
  std::fclose(f);
  EXPECT_FALSE(ReadPng(junk, picture, error));
}

TEST(ToneInversion, AStrictlyFallingCurveIsInvertedExactly) {
  std::array<uint8_t, 256> curve{};
  for (int v = 0; v < 256; ++v) curve[v] = static_cast<uint8_t>(255 - v);
  const auto inverse = InvertToneCurve(curve);
  for (int e = 0; e < 256; ++e) EXPECT_EQ(inverse[e], 255 - e) << "energy " << e;
}

TEST(ToneInversion, FlatRunsAndGapsGoToTheMiddleOfTheNearestInputs) {
  // Inputs 0..127 print with energy 200, inputs 128..255 with energy 100.
  std::array<uint8_t, 256> curve{};
  for (int v = 0; v < 256; ++v) curve[v] = v < 128 ? 200 : 100;
  const auto inverse = InvertToneCurve(curve);
  struct Case {
    int energy, input;
  };
  for (const Case& c : {Case{200, 63},                                  // mean of 0..127
                        Case{255, 63},                                  // hotter than any entry: nearest is 200
                        Case{151, 63},                                  // nearer 200
                        Case{149, 191},                                 // nearer 100: mean of 128..255
                        Case{100, 191}, Case{0, 191}, Case{150, 127}})  // as near to both: mean of 0..255, rounded down
    EXPECT_EQ(inverse[c.energy], c.input) << "energy " << c.energy;
}

TEST(ToneInversion, PreviewSendsPlaneZeroToBlueAndPlaneTwoToRed) {
  // Blocks 0 and 1: energy 255 - v. Block 2: energy 255 - v / 2, which only
  // reaches down to 128, so low energies come back as its last inputs.
  std::array<uint8_t, 768> table{};
  for (int v = 0; v < 256; ++v) {
    table[v] = table[256 + v] = static_cast<uint8_t>(255 - v);
    table[512 + v] = static_cast<uint8_t>(255 - v / 2);
  }
  const test::HandPage hand{.width = 2, .height = 1};
  auto bytes = test::HandPageBytes(hand);
  // Planes of 2 bytes: blue plane 10, 11; green 20, 21; red 30, 200.
  const uint8_t energies[6] = {10, 11, 20, 21, 30, 200};
  std::copy(energies, energies + 6, bytes.begin() + test::kDataAt);
  const auto decoded = ParseStream(bytes);
  ASSERT_FALSE(decoded.fault);
  const auto rgb = PreviewPicture(decoded.pages[0], table);
  // Red: energy 30 is nearest the entry 128 of inputs 254 and 255, mean 254;
  // energy 200 is the entry of inputs 110 and 111, mean 110.
  const std::vector<uint8_t> want = {254, 235, 245, 110, 234, 244};
  EXPECT_EQ(rgb, want);
}

TEST(ToneInversion, RealToneTablesAreInvertedWhereTheyFallStrictly) {
#ifdef VELTA_HAVE_TONE_TABLES
  for (const auto* table : {&Zorv_K40_Normal, &Zorv_K40_HighQuality})
    for (int k = 0; k < 3; ++k) {
      const std::span<const uint8_t, 256> curve(table->data() + 256 * k, 256);
      const auto inverse = InvertToneCurve(curve);
      for (int v = 1; v < 255; ++v) {
        if (curve[v - 1] > curve[v] && curve[v] > curve[v + 1]) {
          EXPECT_EQ(inverse[curve[v]], v) << "block " << k << " input " << v;
        }
      }
    }
#else
  GTEST_SKIP() << "the render library's tone tables are not built";
#endif
}

TEST(PlanePicture, MoreEnergyPrintsDarker) {
  const test::HandPage hand{.width = 3, .height = 1};
  auto bytes = test::HandPageBytes(hand);
  const uint8_t energies[9] = {0, 1, 255, 7, 8, 9, 128, 127, 254};
  std::copy(energies, energies + 9, bytes.begin() + test::kDataAt);
  const auto decoded = ParseStream(bytes);
  ASSERT_FALSE(decoded.fault);
  EXPECT_EQ(PlanePicture(decoded.pages[0], 0), (std::vector<uint8_t>{255, 254, 0}));
  EXPECT_EQ(PlanePicture(decoded.pages[0], 1), (std::vector<uint8_t>{248, 247, 246}));
  EXPECT_EQ(PlanePicture(decoded.pages[0], 2), (std::vector<uint8_t>{127, 128, 1}));
}

}  // namespace
}  // namespace velta
