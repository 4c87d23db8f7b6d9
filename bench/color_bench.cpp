// Speed of the colour stages on a full photo page, 1800 x 2492 pixels: colour
// correction on the synthetic page and on a real camera photograph for four
// option sets and every instruction set, the synthetic page with every option
// on one and on two threads, and enlargement and reduction by 10 %.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/photo_page.h"
#include "color/color_adjust.h"
#include "color/direct_map.h"
#include "color/page_color_correction.h"
#include "color/resize.h"
#include "color/row_bands.h"
#include "cpu/cpu_variant.h"

namespace {

using velta::bench::PAGE_HEIGHT;
using velta::bench::PAGE_WIDTH;
using velta::bench::PhotoPage;

constexpr std::size_t STRIDE = (3 * std::size_t{PAGE_WIDTH} + 3) / 4 * 4;

// The camera photograph: scikit-image's coffee cup, 400 x 600, filled into
// the page by ImageMagick's Lanczos. About 480,000 distinct colours.
constexpr const char* COFFEE = "/usr/lib/python3/dist-packages/skimage/data/coffee.png";

// Returns the photograph as a page buffer, or an empty one when the picture
// or ImageMagick is missing.
std::vector<uint8_t> LoadCoffeePage() {
  if (!std::filesystem::exists(COFFEE)) return {};
  const std::string command = std::string("convert ") + COFFEE + " -filter Lanczos -resize " +
                              std::to_string(PAGE_WIDTH) + "x" + std::to_string(PAGE_HEIGHT) +
                              "^ -gravity center -extent " + std::to_string(PAGE_WIDTH) + "x" +
                              std::to_string(PAGE_HEIGHT) + " rgb:- 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  std::vector<uint8_t> page(STRIDE * PAGE_HEIGHT, 0);
  bool whole = true;
  for (std::size_t y = 0; y < PAGE_HEIGHT && whole; ++y) {
    whole = std::fread(page.data() + y * STRIDE, 3, PAGE_WIDTH, pipe) == PAGE_WIDTH;
  }
  const bool ended = pclose(pipe) == 0;
  return whole && ended ? page : std::vector<uint8_t>{};
}

// The photograph, converted once for every benchmark that uses it.
const std::vector<uint8_t>& CoffeePage() {
  static const std::vector<uint8_t> page = LoadCoffeePage();
  return page;
}

// The synthetic page, made once.
const std::vector<uint8_t>& SyntheticPage() {
  static const std::vector<uint8_t> page = PhotoPage();
  return page;
}

// An option set of the colour stage.
struct ColourCase {
  const char* name;
  int32_t brightness, contrast, saturation, red, green, blue;
  int directmap, high_quality;
};

// The default job, brightness alone, the direct map alone, and every colour
// option in play (monochrome aside, which replaces the saturation).
constexpr ColourCase CASES[] = {
    {"default", 0, 0, 0, 0, 0, 0, 0, 0},
    {"brightness2", 2, 0, 0, 0, 0, 0, 0, 0},
    {"directmap", 0, 0, 0, 0, 0, 0, 1, 0},
    {"all", 2, 2, 3, 1, -1, 2, 1, 1},
};

// The tables of one option set.
struct CaseTables {
  velta::ColorTableSet tables{};
  std::vector<uint8_t> map = std::vector<uint8_t>(velta::kDmapTblSize);
  int bTableRet = 0;

  explicit CaseTables(const ColourCase& options) {
    int32_t saturation = options.saturation;
    velta::BuildColorTables(
        tables, saturation, 0,
        velta::ComputeColorParams(options.brightness, options.contrast, options.red, options.green, options.blue));
    if (options.directmap) bTableRet = velta::InitDmapTbl(map.data(), velta::kDmapTblSize, options.high_quality);
  }
};

// How a page's rows are corrected: as the colour stage does now, through the
// row kernels, or through the memory of colours met before, one per thread,
// as it did until the kernels came.
enum class Method { Kernels, Remembering };

// Runs correctRow(row, worker) on every row of the page, on `threads`
// threads in bands of 64 rows as the colour stage does.
template <typename CorrectRow>
void CorrectAllRows(std::vector<uint8_t>& page, int threads, CorrectRow&& correctRow) {
  velta::ForRowBands(
      PAGE_HEIGHT, 64, threads, [] { return false; },
      [&](std::size_t begin, std::size_t end, int worker) {
        for (std::size_t y = begin; y < end; ++y) correctRow(page.data() + y * STRIDE, worker);
      });
}

// Corrects a copy of the page per iteration, with what the stage builds per
// page (the laid-out tables, or the empty memories) built in the timing.
void CorrectColours(benchmark::State& state, const std::vector<uint8_t>& photo, const ColourCase& options,
                    velta::Isa isa, int threads, Method method) {
  if (photo.empty()) {
    state.SkipWithError("the coffee photograph or ImageMagick's convert is missing");
    return;
  }
  if (!velta::IsaAvailable(isa)) {
    state.SkipWithError("this machine lacks the instruction set");
    return;
  }
  const CaseTables tables(options);
  const auto width = static_cast<int16_t>(PAGE_WIDTH);
  std::vector<uint8_t> page;
  for (auto _ : state) {
    state.PauseTiming();
    page = photo;
    state.ResumeTiming();
    if (method == Method::Kernels) {
      velta::PageColorCorrection correct(tables.tables, tables.bTableRet, tables.map.data(), isa);
      CorrectAllRows(page, threads, [&](uint8_t* row, int worker) { correct(row, width, worker); });
    } else {
      velta::RememberingColorCorrection memories[2] = {{tables.tables, tables.bTableRet, tables.map.data()},
                                                       {tables.tables, tables.bTableRet, tables.map.data()}};
      CorrectAllRows(page, threads, [&](uint8_t* row, int worker) { memories[worker](row, width); });
    }
    benchmark::DoNotOptimize(page.data());
  }
  state.SetLabel(std::string(options.name) + " " + (method == Method::Kernels ? velta::IsaName(isa) : "remembering"));
}

// The photograph, by option set (the first argument) and instruction set
// (the second: 0 portable, 1 AVX2, 2 AVX-512), on one thread.
void CorrectPhotoColours(benchmark::State& state) {
  CorrectColours(state, CoffeePage(), CASES[state.range(0)], static_cast<velta::Isa>(state.range(1)), 1,
                 Method::Kernels);
}

// The photograph through the memory of colours, by option set.
void CorrectPhotoColoursRemembering(benchmark::State& state) {
  CorrectColours(state, CoffeePage(), CASES[state.range(0)], velta::Isa::Portable, 1, Method::Remembering);
}

// The synthetic page, likewise.
void CorrectSyntheticColours(benchmark::State& state) {
  CorrectColours(state, SyntheticPage(), CASES[state.range(0)], static_cast<velta::Isa>(state.range(1)), 1,
                 Method::Kernels);
}

void CorrectSyntheticColoursRemembering(benchmark::State& state) {
  CorrectColours(state, SyntheticPage(), CASES[state.range(0)], velta::Isa::Portable, 1, Method::Remembering);
}

// The synthetic page with every option on, on one and on two threads with
// the fastest instruction set.
void CorrectPageColours(benchmark::State& state) {
  CorrectColours(state, SyntheticPage(), CASES[3], velta::BestVariant().isa, static_cast<int>(state.range(0)),
                 Method::Kernels);
}

// Resizes the page by the given magnification.
void ResizePage(benchmark::State& state, int32_t magnification) {
  const std::vector<uint8_t>& photo = SyntheticPage();
  std::vector<uint8_t> page;
  const auto threads = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    page = photo;
    state.ResumeTiming();
    if (magnification > 0) {
      velta::ResizePicture(page.data(), PAGE_WIDTH, PAGE_HEIGHT, magnification, magnification, threads);
    } else {
      velta::ResizePictureAverage(page.data(), PAGE_WIDTH, PAGE_HEIGHT, magnification, magnification, threads);
    }
    benchmark::DoNotOptimize(page.data());
  }
}

void EnlargePage(benchmark::State& state) { ResizePage(state, 10); }
void ReducePage(benchmark::State& state) { ResizePage(state, -10); }

}  // namespace

// Each iteration copies the page untimed, so the count is fixed: a default
// job, which leaves the page alone, would otherwise run for minutes.
BENCHMARK(CorrectPhotoColours)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1, 2}})
    ->ArgNames({"case", "isa"})
    ->Iterations(10)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(CorrectPhotoColoursRemembering)
    ->DenseRange(0, 3)
    ->ArgName("case")
    ->Iterations(10)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(CorrectSyntheticColours)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1, 2}})
    ->ArgNames({"case", "isa"})
    ->Iterations(10)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(CorrectSyntheticColoursRemembering)
    ->DenseRange(0, 3)
    ->ArgName("case")
    ->Iterations(10)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(CorrectPageColours)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("threads")
    ->Iterations(10)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(EnlargePage)->Arg(1)->Arg(2)->ArgName("threads")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ReducePage)->Arg(1)->Arg(2)->ArgName("threads")->UseRealTime()->Unit(benchmark::kMillisecond);
