// The picture as printed: the renderer's heat compensation and row-end fade
// taken back out of the head energies.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <random>
#include <tuple>

#include "fade_choice.h"
#include "fade_inversion.h"
#include "heat_replay.h"
#include "printed_picture.h"
#include "render/smear_control.h"
#include "render/tone_tables.h"
#include "tests/support/picture.h"
#include "tone_inversion.h"
#if defined(VELTA_FILTER_PROGRAM) && defined(VELTA_MKRASTER_PROGRAM) && defined(VELTA_SAMPLE_PHOTO)
#include "stream_parser.h"
#include "tests/support/files.h"
#include "tests/support/raster.h"
#include "tests/support/velta_programs.h"
#endif

namespace velta {
namespace {

// A sharpness setting outside -3..4 turns sharpening off.
constexpr int16_t kNoSharpening = 5;

// The built-in tone table of a print mode, block k for plane k.
std::span<const uint8_t, 768> ToneTable(bool high_quality) {
  return high_quality ? Zorv_K40_HighQuality : Zorv_K40_Normal;
}

// The page the printer receives for picture, rendered without sharpening.
DecodedPage Rendered(const test::Picture& picture, bool high_quality) {
  std::array<uint8_t, 768> hotlut;
  GetSmearlut(hotlut.data(), high_quality);
  DecodedPage page;
  page.width = static_cast<uint32_t>(picture.width);
  page.height = static_cast<uint32_t>(picture.height);
  page.high_quality = high_quality;
  page.has_planes = true;
  page.planes.resize(page.plane_size() * 3);
  EXPECT_EQ(SmearControl(picture.bytes.data(), page.width, page.height, hotlut.data(), page.planes.data(), high_quality,
                         kNoSharpening),
            0);
  return page;
}

// The mean difference of an RGB picture (rows of width x 3 bytes) from the
// picture it was printed from, over columns [x0, x1) of rows [y0, y1).
double MeanDifference(const std::vector<uint8_t>& rgb, const test::Picture& from, int x0, int x1, int y0, int y1) {
  double sum = 0;
  for (int y = y0; y < y1; ++y) {
    for (int b = 3 * x0; b < 3 * x1; ++b)
      sum += std::abs(rgb[static_cast<size_t>(y) * from.width * 3 + b] - from.pixel(0, y)[b]);
  }
  return sum / (3.0 * (x1 - x0) * (y1 - y0));
}

TEST(HeatReplay, WithTheTrueToneValuesEveryUnclampedEnergyGivesItsValueBackWithinTheDithersReach) {
  // A written energy E is (LongSmear + dither) / 1024, rounded down, with a
  // dither of 0 to 2047, so LongSmear lies within 1.5 energy steps of
  // 1024 E - 512; the two pushes scale a tone value by more than 2.1 (1.95 x
  // 1.15 in normal mode, 1.91 x 1.13 in high quality).
  constexpr double kReach = 1.5 / 2.1;
  for (const bool high_quality : {false, true}) {
    SCOPED_TRACE(high_quality ? "high quality" : "normal");
    // Random bytes, so that the histories matter: every row far from the
    // last. Light ones at the row ends, which stay below the fade.
    test::Picture picture(40, 24);
    std::mt19937 rng(high_quality ? 7 : 3);
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        const bool end = x < 10 || x >= picture.width - 10;
        for (int c = 0; c < 3; ++c) picture.pixel(x, y)[c] = static_cast<uint8_t>(end ? 240 + rng() % 16 : rng());
      }
    }
    const DecodedPage page = Rendered(picture, high_quality);
    const auto table = ToneTable(high_quality);
    HeatReplay heat(page.width, high_quality);
    std::vector<uint8_t> tones(3 * page.width);
    int checked = 0;
    for (int y = 1; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        for (int c = 0; c < 3; ++c) {
          const size_t i = 3 * static_cast<size_t>(x) + c;
          tones[i] = table[256 * (2 - c) + picture.pixel(x, y)[c]];
          const int written = page.plane(2 - c)[static_cast<size_t>(y) * page.width + x];
          if (written == 0 || written == 255) continue;
          EXPECT_NEAR(heat.ToneFor(written, i), tones[i], kReach) << "pixel " << x << ", " << y << " channel " << c;
          ++checked;
        }
      }
      heat.Advance(tones);
    }
    EXPECT_GT(checked, 600);
  }
}

TEST(FadeInversion, AWrittenEnergyAtTheRowEndsNamesTheEnergiesThatFadeToIt) {
  const FadeInversion fade(1800);
  // Ten pixels at each end are faded; at pixel w - 10 the factor is still 1.
  for (const uint32_t p : {0u, 9u, 1791u, 1799u}) EXPECT_TRUE(fade.Faded(p)) << p;
  for (const uint32_t p : {10u, 900u, 1790u}) EXPECT_FALSE(fade.Faded(p)) << p;
  ASSERT_EQ(fade.Runs().size(), 2u);
  EXPECT_EQ(fade.Runs()[0].anchor, 10);
  EXPECT_EQ(fade.Runs()[0].walk, (std::vector<uint32_t>{9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
  EXPECT_EQ(fade.Runs()[1].anchor, 1790);
  EXPECT_EQ(fade.Runs()[1].walk.front(), 1791u);

  // Pixel 5 keeps 5/20 of an energy above 200, pixel 0 nothing; above 200 a
  // written energy can only be faded; in the middle only the clamp hides.
  const double inf = kNoLimit;
  const std::vector<std::tuple<uint8_t, uint32_t, std::vector<std::pair<double, double>>>> cases = {
      {55, 5, {{55, 55}, {220, 223}}}, {0, 0, {{-inf, 0}, {201, inf}}}, {210, 9, {{467, 468}}},
      {130, 900, {{130, 130}}},        {255, 900, {{255, inf}}},
  };
  for (const auto& [written, p, want] : cases) {
    const FadeCandidates got = fade.Before(written, p);
    std::vector<std::pair<double, double>> ranges;
    for (int n = 0; n < got.count; ++n) ranges.emplace_back(got.ranges[n].low, got.ranges[n].high);
    EXPECT_EQ(ranges, want) << "written " << int{written} << " at pixel " << p;
  }
  // A row narrower than 20 pixels is faded from end to end, without anchor.
  const FadeInversion narrow(12);
  ASSERT_EQ(narrow.Runs().size(), 1u);
  EXPECT_EQ(narrow.Runs()[0].anchor, -1);
  EXPECT_EQ(narrow.Runs()[0].walk.size(), 12u);
}

TEST(FadeChoice, TheReadingsThatKeepTheRunSmoothWin) {
  const ToneRange reach{26, 240}, none{-kNoLimit, kNoLimit};
  // A byte that reads 60 unfaded or 200 faded.
  const FadedByte either{{ToneRange{60, 60}, ToneRange{200, 200}}, 2, none};
  const FadedByte sixty{{ToneRange{62, 62}}, 1, none};
  struct Case {
    const char* what;
    std::vector<FadedByte> run;
    std::optional<ToneRange> anchor;
    std::vector<int> want;
  };
  const std::vector<Case> cases = {
      {"the anchor decides a lone byte", {either}, ToneRange{190, 190}, {1}},
      {"the neighbour along the walk outweighs a far anchor", {sixty, either}, ToneRange{200, 200}, {0, 0}},
      {"values beyond the tone curve's reach lose, even beside a clamped anchor",
       {FadedByte{{ToneRange{100, 100}, ToneRange{400, 410}}, 2, none}},
       ToneRange{235, kNoLimit},
       {0}},
      {"the row above settles a tie",
       {FadedByte{{ToneRange{60, 60}, ToneRange{200, 200}}, 2, ToneRange{195, 205}}},
       ToneRange{130, 130},
       {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(SmoothestReadings(c.run, c.anchor ? &*c.anchor : nullptr, reach), c.want);
  }
}

TEST(PrintedPicture, GreyPagesAndBandsComeBackAsTheyWentInWhereThePreviewShowsStripesAndHotRows) {
  struct Case {
    int width, height;
    uint8_t grey, band;  // band: every other run of 12 rows, from row 12
    bool high_quality;
    int energy_steps;  // how far from its tone value a pixel may come back
  };
  // The first is the 20 x 3 page of 128s whose rows 1 and 2 run from 0 at
  // the left edge up to 255 in the middle. A dark band after a light one
  // clamps its first rows at 255 across the middle of the row, and the light
  // one after it at 0; those rows are read from the first unclamped row
  // below, whose dither leaves them up to three energy steps out.
  for (const Case& c :
       {Case{20, 3, 128, 128, false, 1}, Case{20, 3, 128, 128, true, 1}, Case{12, 6, 128, 128, false, 1},
        Case{40, 36, 230, 40, false, 3}, Case{40, 36, 200, 60, true, 3}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " of " + std::to_string(c.grey) + " and " +
                 std::to_string(c.band) + (c.high_quality ? ", high quality" : ", normal"));
    test::Picture picture(c.width, c.height);
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) std::fill_n(picture.pixel(x, y), 3, y / 12 % 2 == 1 ? c.band : c.grey);
    }
    const DecodedPage page = Rendered(picture, c.high_quality);
    const auto table = ToneTable(c.high_quality);
    const auto printed = PrintedPicture(page, table);
    ASSERT_EQ(printed.size(), page.plane_size() * 3);
    // An energy step is up to three levels where the tone curve is flat; the
    // 128s come back within two levels.
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        for (int k = 0; k < 3; ++k) {
          const size_t block = 256 * static_cast<size_t>(2 - k);
          const uint8_t got = printed[(static_cast<size_t>(y) * c.width + x) * 3 + k], want = picture.pixel(x, y)[k];
          EXPECT_LE(std::abs(table[block + got] - table[block + want]), c.energy_steps) << "pixel " << x << ", " << y;
          if (c.grey == 128) {
            EXPECT_LE(std::abs(got - want), 2) << "pixel " << x << ", " << y;
          }
        }
      }
    }
    // Row 0 goes through the tone table alone, as the raw preview reads it.
    const auto preview = PreviewPicture(page, table);
    EXPECT_TRUE(std::equal(printed.begin(), printed.begin() + 3 * c.width, preview.begin()));
    EXPECT_GT(MeanDifference(preview, picture, 0, c.width, 1, 3), 20);
  }
}

#if defined(VELTA_FILTER_PROGRAM) && defined(VELTA_MKRASTER_PROGRAM) && defined(VELTA_SAMPLE_PHOTO)

TEST(PrintedPicture, TheSamplePhotoAsTheFilterPrintsItComesBackCloseToThePageThatWentIn) {
  const std::string raster = test::MakeRasterFile("sample.ras", {"--photo", VELTA_SAMPLE_PHOTO, "--media", "6x4"});
  const test::Picture in = test::ReadRasterPages(raster).at(0);
  const auto run = test::RunFilter(test::JobArgs(), test::ReadFile(raster));
  ASSERT_EQ(run.status, 0) << run.err;
  const auto stream = ParseStream(std::span(reinterpret_cast<const uint8_t*>(run.out.data()), run.out.size()));
  ASSERT_EQ(stream.pages.size(), 1u);
  ASSERT_EQ(stream.pages[0].width, static_cast<uint32_t>(in.width));
  const auto printed = PrintedPicture(stream.pages[0], ToneTable(stream.pages[0].high_quality));
  const auto preview = PreviewPicture(stream.pages[0], ToneTable(stream.pages[0].high_quality));
  // The filter sharpens the page before rendering, so the picture as printed
  // differs from the input a little everywhere; the raw preview differs most
  // in the fade zones and the first rows after the cold start.
  const int w = in.width, h = in.height;
  for (const auto& [x0, x1, y0, y1, preview_at_least] :
       {std::tuple{0, w, 0, h, 5}, {0, 10, 0, h, 10}, {w - 10, w, 0, h, 10}, {0, w, 1, 3, 10}}) {
    SCOPED_TRACE("columns " + std::to_string(x0) + ".." + std::to_string(x1) + ", rows " + std::to_string(y0) + ".." +
                 std::to_string(y1));
    EXPECT_LE(MeanDifference(printed, in, x0, x1, y0, y1), 1.5);
    EXPECT_GE(MeanDifference(preview, in, x0, x1, y0, y1), preview_at_least);
  }
}

#endif

}  // namespace
}  // namespace velta
