// The renderer against the plain byte-by-byte reference, on random pages of
// every small shape, in both print modes and at every sharpness setting.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "render/smear_control.h"
#include "tests/render/reference_render.h"

namespace velta {
namespace {

// Returns a page of h rows of w pixels (row stride padded to 4 bytes): mostly
// random colours, with runs of skin tones, grey ramps and dense and light
// patches, so that face pixels, fades and clamps all occur.
std::vector<uint8_t> MixedPage(uint32_t w, uint32_t h, std::mt19937& random) {
  const std::size_t stride = (3 * std::size_t{w} + 3) / 4 * 4;
  std::vector<uint8_t> page(stride * h);
  for (std::size_t y = 0; y < h; ++y) {
    int kind = 0;
    for (std::size_t x = 0; x < w; ++x) {
      if (random() % 5 == 0) kind = static_cast<int>(random() % 4);
      uint8_t* pixel = &page[y * stride + 3 * x];
      const auto jitter = [&random] { return static_cast<int>(random() % 21) - 10; };
      switch (kind) {
        case 0:  // noise
          for (int c = 0; c < 3; ++c) pixel[c] = static_cast<uint8_t>(random());
          break;
        case 1:  // skin around (230, 180, 150)
          pixel[0] = static_cast<uint8_t>(225 + jitter() / 2);
          pixel[1] = static_cast<uint8_t>(180 + jitter());
          pixel[2] = static_cast<uint8_t>(150 + jitter());
          break;
        case 2:  // dark, dense energies
          for (int c = 0; c < 3; ++c) pixel[c] = static_cast<uint8_t>(random() % 12);
          break;
        default:  // light grey
          pixel[0] = pixel[1] = pixel[2] = static_cast<uint8_t>(240 + random() % 16);
      }
    }
    for (std::size_t pad = 3 * std::size_t{w}; pad < stride; ++pad)
      page[y * stride + pad] = static_cast<uint8_t>(random());
  }
  return page;
}

// Renders a page both ways and reports the first differing byte.
void ExpectSameAsReference(const std::vector<uint8_t>& page, uint32_t w, uint32_t h, const uint8_t* hotlut,
                           int iPrintMode, int16_t caSharpness, const std::string& what) {
  const std::size_t size = 3 * std::size_t{w} * h;
  std::vector<uint8_t> expected(size, 0xA5), actual(size, 0x5A);
  reference::SmearControl(page.data(), w, h, hotlut, expected.data(), iPrintMode, caSharpness);
  ASSERT_EQ(SmearControl(page.data(), w, h, hotlut, actual.data(), iPrintMode, caSharpness), 0) << what;
  for (std::size_t n = 0; n < size; ++n) {
    ASSERT_EQ(actual[n], expected[n]) << what << ": plane " << n / (std::size_t{w} * h) << ", row "
                                      << n % (std::size_t{w} * h) / w << ", pixel " << n % w;
  }
}

class AgainstReference : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(AgainstReference, EveryShapeUpTo40By40) {
  const auto [iPrintMode, setting] = GetParam();
  const auto caSharpness = static_cast<int16_t>(setting);
  std::array<uint8_t, 768> hotlut{};
  GetSmearlut(hotlut.data(), iPrintMode);
  std::mt19937 random(static_cast<uint32_t>(iPrintMode * 100 + setting + 50));
  for (uint32_t h = 1; h <= 40; ++h) {
    for (uint32_t w = 1; w <= 40; ++w) {
      const std::vector<uint8_t> page = MixedPage(w, h, random);
      ExpectSameAsReference(page, w, h, hotlut.data(), iPrintMode, caSharpness,
                            std::to_string(w) + "x" + std::to_string(h));
      if (HasFatalFailure()) return;
    }
  }
}

// Any tone table, not only the built-in ones: energies up to 255 in every
// channel drive the histories to their extremes.
TEST_P(AgainstReference, ArbitraryToneTables) {
  const auto [iPrintMode, setting] = GetParam();
  const auto caSharpness = static_cast<int16_t>(setting);
  std::mt19937 random(static_cast<uint32_t>(iPrintMode * 1000 + setting + 7));
  for (int round = 0; round < 12; ++round) {
    std::array<uint8_t, 768> hotlut{};
    for (uint8_t& energy : hotlut) energy = static_cast<uint8_t>(random());
    if (round % 3 == 0) {
      for (std::size_t n = 0; n < 768; ++n) hotlut[n] = (n / 8) % 2 == 0 ? 255 : 0;  // hot and cold alternate
    }
    const uint32_t w = 1 + random() % 64, h = 1 + random() % 64;
    ExpectSameAsReference(MixedPage(w, h, random), w, h, hotlut.data(), iPrintMode, caSharpness,
                          "round " + std::to_string(round));
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(ModesAndSettings, AgainstReference,
                         ::testing::Combine(::testing::Values(0, 1), ::testing::Range(-4, 6)), [](const auto& info) {
                           const int setting = std::get<1>(info.param);
                           return std::string(std::get<0>(info.param) != 0 ? "HighQuality" : "Normal") + "_Sharpness" +
                                  (setting < 0 ? "Minus" : "") + std::to_string(setting < 0 ? -setting : setting);
                         });

// Pages wider than the 2748 pixels the printer's own history arrays held.
TEST(AgainstReferenceWide, PagesWiderThan2748Pixels) {
  std::mt19937 random(11);
  for (int iPrintMode : {0, 1}) {
    std::array<uint8_t, 768> hotlut{};
    GetSmearlut(hotlut.data(), iPrintMode);
    for (int16_t caSharpness : {-4, 3}) {
      ExpectSameAsReference(MixedPage(3001, 9, random), 3001, 9, hotlut.data(), iPrintMode, caSharpness, "3001x9");
    }
  }
}

}  // namespace
}  // namespace velta
