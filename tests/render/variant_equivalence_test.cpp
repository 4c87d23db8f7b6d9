// Every build of the row kernels (portable, AVX2, AVX-512 where the processor
// has them) on one and on two threads prints the same bytes as the plain
// reference renderer: on random pages of every small shape, on full photo
// pages, and up to the row where a job is cancelled. The environment's choice
// of the portable build on one thread reaches every stage.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <random>
#include <string>
#include <vector>

#include "color/byte_pair_blocks.h"
#include "color/resize_kernels.h"
#include "render/face_colour.h"
#include "render/face_sums.h"
#include "render/sharpen_arithmetic.h"
#include "render/random_source.h"
#include "render/render_kernel.h"
#include "cpu/cpu_variant.h"
#include "render/sharpness.h"
#include "render/smear_control.h"
#include "tests/render/reference_mt19937.h"
#include "tests/render/reference_render.h"

namespace velta {
namespace {

// Returns every variant this machine can run: each instruction set on one
// and on two threads.
std::vector<CpuVariant> AvailableVariants() {
  std::vector<CpuVariant> variants;
  for (Isa isa : AvailableIsas()) {
    variants.push_back({isa, 1});
    variants.push_back({isa, 2});
  }
  return variants;
}

// Names a variant in failure messages.
std::string Describe(CpuVariant variant) {
  return std::string(IsaName(variant.isa)) + " on " + std::to_string(variant.threads) + " thread(s)";
}

// Sets each variant in turn for a test and puts the default back afterwards.
class EveryVariant : public ::testing::Test {
 protected:
  void TearDown() override { ASSERT_TRUE(SetVariant(BestVariant())); }
};

// A page buffer: h rows of w pixels, rows padded to 4 bytes with random pad.
struct Page {
  uint32_t w, h;
  std::vector<uint8_t> bytes;
};

// Returns a page that mixes noise, skin tones, dense and light runs, so that
// both sharpening weights, the fades, the clamps and negative histories occur.
Page MixedPage(uint32_t w, uint32_t h, std::mt19937& random) {
  const std::size_t stride = (3 * std::size_t{w} + 3) / 4 * 4;
  Page page{w, h, std::vector<uint8_t>(stride * h)};
  for (uint8_t& byte : page.bytes) byte = static_cast<uint8_t>(random());
  for (std::size_t y = 0; y < h; ++y) {
    unsigned kind = 0;
    for (std::size_t x = 0; x < w; ++x) {
      if (random() % 4 == 0) kind = random() % 4;
      uint8_t* pixel = &page.bytes[y * stride + 3 * x];
      const auto jitter = [&random] { return static_cast<int>(random() % 21) - 10; };
      if (kind == 1) {  // skin around (230, 180, 150)
        pixel[0] = static_cast<uint8_t>(225 + jitter() / 2);
        pixel[1] = static_cast<uint8_t>(180 + jitter());
        pixel[2] = static_cast<uint8_t>(150 + jitter());
      } else if (kind == 2) {  // dark: the hottest energies
        for (int c = 0; c < 3; ++c) pixel[c] = static_cast<uint8_t>(random() % 12);
      } else if (kind == 3) {  // white: the coolest
        pixel[0] = pixel[1] = pixel[2] = static_cast<uint8_t>(245 + random() % 11);
      }
    }
  }
  return page;
}

// Returns a photo-like full page: smooth gradients, hard dark posts, a skin oval.
Page PhotoPage(uint32_t w, uint32_t h) {
  const std::size_t stride = (3 * std::size_t{w} + 3) / 4 * 4;
  Page page{w, h, std::vector<uint8_t>(stride * h, 0)};
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t* pixel = &page.bytes[y * stride + 3 * x];
      int r = 70 + static_cast<int>((x + y) % 97), g = 110 + static_cast<int>(y * 50 / h),
          b = 40 + static_cast<int>(x * 200 / w);
      if (x % 300 < 24) r = g = b = 20;
      const int64_t dx = int64_t{x} - w / 2, dy = int64_t{y} - h / 2;
      if (dx * dx * 4 + dy * dy * 3 < int64_t{w} * w) {
        const int shade = static_cast<int>((dx * dx + dy * dy) / 40000);
        r = 235 - shade, g = 185 - shade, b = 155 - shade;
      }
      pixel[0] = static_cast<uint8_t>(r), pixel[1] = static_cast<uint8_t>(g), pixel[2] = static_cast<uint8_t>(b);
    }
  }
  return page;
}

// Returns the reference renderer's planes for a page.
std::vector<uint8_t> ReferencePlanes(const Page& page, int iPrintMode, int16_t caSharpness) {
  std::array<uint8_t, 768> hotlut{};
  GetSmearlut(hotlut.data(), iPrintMode);
  std::vector<uint8_t> send(3 * std::size_t{page.w} * page.h, 0xA5);
  reference::SmearControl(page.bytes.data(), page.w, page.h, hotlut.data(), send.data(), iPrintMode, caSharpness);
  return send;
}

// Renders the page with the variant set now and reports the first byte that
// differs from expected.
void ExpectPlanes(const Page& page, int iPrintMode, int16_t caSharpness, const std::vector<uint8_t>& expected,
                  const std::string& what) {
  std::array<uint8_t, 768> hotlut{};
  GetSmearlut(hotlut.data(), iPrintMode);
  std::vector<uint8_t> send(expected.size(), 0x5A);
  ASSERT_EQ(SmearControl(page.bytes.data(), page.w, page.h, hotlut.data(), send.data(), iPrintMode, caSharpness), 0)
      << what;
  const std::size_t plane = std::size_t{page.w} * page.h;
  for (std::size_t n = 0; n < send.size(); ++n) {
    ASSERT_EQ(send[n], expected[n]) << what << ": plane " << n / plane << ", row " << n % plane / page.w << ", pixel "
                                    << n % page.w;
  }
}

// Sharpness settings: off (-4 and 5) and every index 1 to 8 (-3 to 4).
constexpr int16_t SETTINGS[] = {-4, 5, -3, -2, -1, 0, 1, 2, 3, 4};

TEST_F(EveryVariant, RandomPagesOfEveryShapeUpTo40By40) {
  const std::vector<CpuVariant> variants = AvailableVariants();
  std::mt19937 random(2024);
  for (int iPrintMode : {0, 1}) {
    for (int16_t caSharpness : SETTINGS) {
      // Every width and every height once, paired at random, plus a
      // random shape per step: odd, even, below the 5 x 5 block, below
      // the 20 pixels of the two fade zones and the four rows of a batch.
      std::vector<uint32_t> heights(40);
      for (uint32_t n = 0; n < 40; ++n) heights[n] = n + 1;
      std::shuffle(heights.begin(), heights.end(), random);
      for (uint32_t n = 0; n < 40; ++n) {
        for (const auto& [w, h] :
             {std::pair<uint32_t, uint32_t>{n + 1, heights[n]}, {1 + random() % 40, 1 + random() % 40}}) {
          const Page page = MixedPage(w, h, random);
          const std::vector<uint8_t> expected = ReferencePlanes(page, iPrintMode, caSharpness);
          for (CpuVariant variant : variants) {
            ASSERT_TRUE(SetVariant(variant));
            ExpectPlanes(page, iPrintMode, caSharpness, expected,
                         Describe(variant) + ", mode " + std::to_string(iPrintMode) + ", sharpness " +
                             std::to_string(caSharpness) + ", " + std::to_string(w) + "x" + std::to_string(h));
            if (HasFatalFailure()) return;
          }
        }
      }
    }
  }
}

// The full 6 x 8 inch page at 300 dpi; under the sanitizers, whose checks
// make every byte slow, a band of the full width stands in for it.
#if defined(__SANITIZE_ADDRESS__)
constexpr uint32_t FULL_PAGE_HEIGHT = 48;
#else
constexpr uint32_t FULL_PAGE_HEIGHT = 2492;
#endif

TEST_F(EveryVariant, FullPhotoPages) {
  const Page page = PhotoPage(1800, FULL_PAGE_HEIGHT);
  for (const auto& [iPrintMode, caSharpness] : {std::pair<int, int16_t>{0, 0}, {1, -4}, {1, 4}}) {
    const std::vector<uint8_t> expected = ReferencePlanes(page, iPrintMode, caSharpness);
    for (CpuVariant variant : AvailableVariants()) {
      ASSERT_TRUE(SetVariant(variant));
      ExpectPlanes(page, iPrintMode, caSharpness, expected,
                   Describe(variant) + ", full page, mode " + std::to_string(iPrintMode) + ", sharpness " +
                       std::to_string(caSharpness));
      if (HasFatalFailure()) return;
    }
  }
}

// A cancel check that turns true on its n-th question.
struct CancelAfter {
  int questions = 0;
  int limit = 0;
  // Counts a question and answers it.
  static bool Poll(void* context) {
    auto* self = static_cast<CancelAfter*>(context);
    return ++self->questions >= self->limit;
  }
};

TEST_F(EveryVariant, CancelledPageStopsWithTheRowsBeforeItPrinted) {
  std::mt19937 random(7);
  const Page page = MixedPage(37, 61, random);
  const std::vector<uint8_t> expected = ReferencePlanes(page, 0, 0);
  std::array<uint8_t, 768> hotlut{};
  GetSmearlut(hotlut.data(), 0);
  for (CpuVariant variant : AvailableVariants()) {
    ASSERT_TRUE(SetVariant(variant));
    for (int limit : {1, 2, 5, 30, 61}) {
      CancelAfter cancel{0, limit};
      std::vector<uint8_t> send(expected.size(), 0x5A);
      EXPECT_EQ(SmearControl(page.bytes.data(), page.w, page.h, hotlut.data(), send.data(), 0, 0,
                             CancelCheck{CancelAfter::Poll, &cancel}),
                1)
          << Describe(variant);
      // The question is asked before each row: rows before the last
      // question are complete in all three planes.
      EXPECT_EQ(cancel.questions, limit) << Describe(variant);
      const std::size_t plane = std::size_t{page.w} * page.h, done = std::size_t{page.w} * (limit - 1);
      for (std::size_t offset : {std::size_t{0}, plane, 2 * plane}) {
        EXPECT_TRUE(std::equal(send.begin() + offset, send.begin() + offset + done, expected.begin() + offset))
            << Describe(variant) << ", cancelled at question " << limit;
      }
    }
  }
}

// A rows-done notice that scribbles over what it is told is free, as a caller
// moving memory about may: the finished page rows, and the send rows not yet
// written in each plane. It records what it was told.
struct Scribbler {
  uint8_t* page;
  std::size_t stride;
  uint8_t* send;
  std::size_t w, h;
  std::vector<std::size_t> told, untouched;
  static void Notify(void* context, std::size_t rows, std::size_t sendRowsUntouched) {
    auto* self = static_cast<Scribbler*>(context);
    std::fill(self->page, self->page + rows * self->stride, uint8_t{0x5A});
    for (std::size_t plane = 0; plane < 3; ++plane) {
      uint8_t* planeStart = self->send + plane * self->w * self->h;
      std::fill(planeStart + sendRowsUntouched * self->w, planeStart + self->h * self->w, uint8_t{0xC3});
    }
    self->told.push_back(rows);
    self->untouched.push_back(sendRowsUntouched);
  }
};

TEST_F(EveryVariant, RowsToldFreeAreNotReadOrWrittenEarly) {
  std::mt19937 random(11);
  for (const auto& [w, h] : {std::pair<uint32_t, uint32_t>{37, 61}, {6, 9}, {23, 2}, {40, 17}, {13, 200}}) {
    const Page original = MixedPage(w, h, random);
    for (int16_t caSharpness : {int16_t{0}, int16_t{-4}}) {
      const std::vector<uint8_t> expected = ReferencePlanes(original, 0, caSharpness);
      std::array<uint8_t, 768> hotlut{};
      GetSmearlut(hotlut.data(), 0);
      for (CpuVariant variant : AvailableVariants()) {
        ASSERT_TRUE(SetVariant(variant));
        Page page = original;
        std::vector<uint8_t> send(expected.size(), 0x5A);
        Scribbler scribbler{page.bytes.data(), (3 * std::size_t{w} + 3) / 4 * 4, send.data(), w, h, {}, {}};
        ASSERT_EQ(SmearControl(page.bytes.data(), w, h, hotlut.data(), send.data(), 0, caSharpness, {},
                               PageRowsDone{Scribbler::Notify, &scribbler}),
                  0);
        const std::string what = Describe(variant) + ", " + std::to_string(w) + "x" + std::to_string(h);
        EXPECT_EQ(send, expected) << what;
        // The notices only move down the page; all rows are done by the
        // end of a page taller than one row.
        EXPECT_TRUE(std::is_sorted(scribbler.told.begin(), scribbler.told.end())) << what;
        EXPECT_TRUE(std::is_sorted(scribbler.untouched.begin(), scribbler.untouched.end())) << what;
        if (h > 1) {
          ASSERT_FALSE(scribbler.told.empty()) << what;
          EXPECT_EQ(scribbler.told.back(), h) << what;
        }
      }
    }
  }
}

TEST_F(EveryVariant, RowsRenderedWhileLaterRowsArriveEqualTheReference) {
  // The page fills a few rows at a time (the rows not yet in hold junk);
  // rows are rendered in parts in between, the rest at the end, with the
  // finished rows scribbled over as a caller moving memory may.
  std::mt19937 random(12);
  for (const auto& [w, h] : {std::pair<uint32_t, uint32_t>{37, 61}, {6, 9}, {23, 2}, {40, 17}, {13, 200}}) {
    const Page original = MixedPage(w, h, random);
    const std::size_t stride = (3 * std::size_t{w} + 3) / 4 * 4;
    for (int16_t caSharpness : {int16_t{0}, int16_t{-4}, int16_t{3}}) {
      const std::vector<uint8_t> expected = ReferencePlanes(original, 1, caSharpness);
      std::array<uint8_t, 768> hotlut{};
      GetSmearlut(hotlut.data(), 1);
      for (CpuVariant variant : AvailableVariants()) {
        ASSERT_TRUE(SetVariant(variant));
        std::vector<uint8_t> page(original.bytes.size(), 0xEE), send(expected.size(), 0x5A);
        Scribbler scribbler{page.data(), stride, send.data(), w, h, {}, {}};
        SmearControlByRows parts(page.data(), w, h, hotlut.data(), send.data(), 1, caSharpness,
                                 PageRowsDone{Scribbler::Notify, &scribbler});
        ASSERT_EQ(parts.Start(), 0);
        // One row at a time, or a few.
        const std::size_t step = variant.threads == 1 ? 1 : 1 + (w + h) % 5;
        for (std::size_t row = 0; row < h; row += step) {
          const std::size_t end = std::min<std::size_t>(row + step, h);
          std::copy(original.bytes.begin() + static_cast<std::ptrdiff_t>(row * stride),
                    original.bytes.begin() + static_cast<std::ptrdiff_t>(end * stride),
                    page.begin() + static_cast<std::ptrdiff_t>(row * stride));
          parts.RowsFinal(end);
          for (std::size_t k = 0; k < 1 + row % 2 && parts.WorkAhead(); ++k) {
          }
        }
        ASSERT_EQ(parts.Finish({}), 0);
        EXPECT_EQ(send, expected) << Describe(variant) << ", " << w << "x" << h << ", sharpness " << caSharpness;
      }
    }
  }
}

TEST_F(EveryVariant, BlocksOfRandomNumbersFollowTheSequence) {
  for (CpuVariant variant : AvailableVariants()) {
    ASSERT_TRUE(SetVariant(variant));
    reference::Mt19937 expected;
    expected.SeedByArray({0x123, 0x234, 0x345, 0x456});
    const uint32_t seed[4] = {0x123, 0x234, 0x345, 0x456};
    init_by_array(seed, 4);
    // Blocks that end before, on and across the 624-word regenerations.
    for (std::size_t count : {1u, 5u, 618u, 624u, 625u, 1247u, 5400u, 3u}) {
      std::vector<uint32_t> numbers(count);
      std::vector<uint16_t> dither(count);
      genrand_block(numbers.data(), count);
      for (std::size_t n = 0; n < count; ++n) ASSERT_EQ(numbers[n], expected.Next()) << Describe(variant);
      genrand_dither_block(dither.data(), count);
      for (std::size_t n = 0; n < count; ++n) {
        ASSERT_EQ(dither[n], expected.Next() & 0x7FFu) << Describe(variant);
      }
      ASSERT_EQ(genrand_int32(), expected.Next()) << Describe(variant);
    }
  }
}

TEST(RenderVariants, OnlyAvailableSetsAndOneOrTwoThreadsCanBeChosen) {
  EXPECT_TRUE(IsaAvailable(Isa::Portable));
  EXPECT_FALSE(SetVariant({Isa::Portable, 0}));
  EXPECT_FALSE(SetVariant({Isa::Portable, 3}));
  for (Isa isa : {Isa::Avx2, Isa::Avx512}) {
    if (!IsaAvailable(isa)) {
      EXPECT_FALSE(SetVariant({isa, 1}));
    }
  }
  EXPECT_TRUE(IsaAvailable(BestVariant().isa));
  ASSERT_TRUE(SetVariant(BestVariant()));
}

// VELTA_ISA=portable VELTA_THREADS=1 runs the plain code of every stage: a
// process started with them (a fresh one, which chooses its variant from the
// environment) finds the portable row kernels and resizing loops, no byte-pair
// blocks, and one thread.
TEST(CpuVariant, PortableOnOneThreadFromTheEnvironmentReachesEveryStage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::vector<std::pair<const char*, std::string>> saved;
  for (const char* name : {"VELTA_ISA", "VELTA_THREADS"}) {
    if (const char* value = std::getenv(name)) saved.emplace_back(name, value);
  }
  setenv("VELTA_ISA", "portable", 1);
  setenv("VELTA_THREADS", "1", 1);
  EXPECT_EXIT(
      {
        std::fprintf(stderr, "rows %s, resizing %s, pair blocks %d, threads %d\n", IsaName(ActiveKernels().isa),
                     IsaName(ActiveResizeKernels().isa), BytePairBlocksAvailable(), CurrentVariant().threads);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "rows portable, resizing portable, pair blocks 0, threads 1");
  unsetenv("VELTA_ISA");
  unsetenv("VELTA_THREADS");
  for (const auto& [name, value] : saved) setenv(name, value.c_str(), 1);
}

// The 5 x 5 mean divides by a multiply and a shift; it must equal the
// division for every sum the block can have.
TEST(SharpnessMean, MultiplyAndShiftEqualsDivisionBy25ForEverySum) {
  for (int32_t sum = 0; sum <= MAX_SUM_OF_25; ++sum) {
    ASSERT_EQ(MeanOf25(static_cast<uint16_t>(sum)), sum / 25) << "sum " << sum;
  }
  EXPECT_EQ(MAX_SUM_OF_25, 6375);
}

// A sharpened byte in 16-bit arithmetic equals the 32-bit formula for every
// byte, every mean and the gain of every sharpness index, face and background.
TEST(SharpnessMean, SixteenBitByteEqualsThe32BitFormula) {
  for (std::size_t s = 1; s <= 8; ++s) {
    for (int32_t w : {WeightFace6k[s], WeightBack6k[s]}) {
      for (int32_t c = 0; c < 256; ++c) {
        for (int32_t mean = 0; mean < 256; ++mean) {
          const int32_t V = c * 1024 + (c - mean) * w;
          const int32_t expected = V < 0 ? 0 : (V > 261120 ? 255 : V >> 10);
          ASSERT_EQ(SharpenedByte(static_cast<int16_t>(c), static_cast<int16_t>(mean), static_cast<int16_t>(w)),
                    expected)
              << "c " << c << ", mean " << mean << ", gain " << w;
        }
      }
    }
  }
}

// Each channel's contributions to the face test's sums, coefficient x 1024 x v
// rounded to nearest, worked out here on their own.
struct RoundedFaceEntries {
  int64_t Yr[256], Yg[256], Yb[256], Ur[256], Ug[256], Ub[256], Vr[256], Vg[256], Vb[256];
  RoundedFaceEntries() {
    constexpr double KR = 0.298912, KG = 0.586611, KB = 0.114477;
    for (int v = 0; v < 256; ++v) {
      const auto scaled = [v](double coefficient) { return std::llround(coefficient * 1024.0 * v); };
      Yr[v] = scaled(KR), Yg[v] = scaled(KG), Yb[v] = scaled(KB);
      Ur[v] = scaled(-KR / (2 * (1 - KB))), Ug[v] = scaled(-KG / (2 * (1 - KB))), Ub[v] = scaled(0.5);
      Vr[v] = scaled(0.5), Vg[v] = scaled(-KG / (2 * (1 - KR))), Vb[v] = scaled(-KB / (2 * (1 - KR)));
    }
  }
};

// Expects isFace(r, g, b) to tell face from background exactly as the
// separately rounded sums do, for every colour.
template <typename IsFace>
void ExpectFaceTestForEveryColour(const RoundedFaceEntries& e, IsFace isFace) {
  int64_t faces = 0;
  for (int r = 0; r < 256; ++r) {
    for (int g = 0; g < 256; ++g) {
      for (int b = 0; b < 256; ++b) {
        const int64_t Y = e.Yr[r] + e.Yg[g] + e.Yb[b], U = e.Ur[r] + e.Ug[g] + e.Ub[b], V = e.Vr[r] + e.Vg[g] + e.Vb[b];
        const bool face = Y >= 90001 && Y <= 255999 && U > -40000 && U < -9000 && V > 1024 && V <= 54999;
        faces += face;
        if (isFace(r, g, b) != face) {
          FAIL() << "colour " << r << ", " << g << ", " << b << " should be " << (face ? "face" : "background");
        }
      }
    }
  }
  EXPECT_GT(faces, 0);
}

// The packed sums of the face test must tell face from background exactly as
// the three separately rounded sums do, for every colour.
TEST(SharpnessFaceWindow, PackedSumsAgreeWithTheSeparateSumsForEveryColour) {
  const uint64_t* sums = PackedFaceSums();
  ExpectFaceTestForEveryColour(
      RoundedFaceEntries{}, [sums](int r, int g, int b) { return IsFaceSum(sums[r] + sums[256 + g] + sums[512 + b]); });
}

// The face test's multiplications and shifts give each table entry exactly,
// and so tell face from background exactly as the separately rounded sums do,
// for every colour.
TEST(SharpnessFaceWindow, MultipliedSumsAgreeWithTheRoundedSumsForEveryColour) {
  const RoundedFaceEntries e;
  for (int v = 0; v < 256; ++v) {
    // One channel at a time, the others 0: the single entries.
    ASSERT_EQ(FaceLuminance(v, 0, 0), e.Yr[v]) << v;
    ASSERT_EQ(FaceLuminance(0, v, 0), e.Yg[v]) << v;
    ASSERT_EQ(FaceLuminance(0, 0, v), e.Yb[v]) << v;
    ASSERT_EQ(FaceCb(v, 0, 0), e.Ur[v]) << v;
    ASSERT_EQ(FaceCb(0, v, 0), e.Ug[v]) << v;
    ASSERT_EQ(FaceCb(0, 0, v), e.Ub[v]) << v;
    ASSERT_EQ(FaceCr(v, 0, 0), e.Vr[v]) << v;
    ASSERT_EQ(FaceCr(0, v, 0), e.Vg[v]) << v;
    ASSERT_EQ(FaceCr(0, 0, v), e.Vb[v]) << v;
  }
  ExpectFaceTestForEveryColour(e, [](int r, int g, int b) { return IsFaceColour(r, g, b); });
}

}  // namespace
}  // namespace velta
