// Speed of the colour stages on a full photo page, 1800 x 2492 pixels, on one
// and on two threads (the argument): colour adjustment with the direct map,
// enlargement by 10 % and reduction by 10 %.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench/photo_page.h"
#include "color/color_adjust.h"
#include "color/direct_map.h"
#include "color/resize.h"
#include "color/row_bands.h"

namespace {

using velta::bench::PAGE_HEIGHT;
using velta::bench::PAGE_WIDTH;
using velta::bench::PhotoPage;

constexpr std::size_t STRIDE = (3 * std::size_t{PAGE_WIDTH} + 3) / 4 * 4;

// Adjusts every row with brightness, contrast, balance, saturation and the
// direct map all in play.
void CorrectPageColours(benchmark::State& state) {
  const std::vector<uint8_t> photo = PhotoPage();
  const velta::ColorParams params = velta::ComputeColorParams(2, 2, 1, -1, 2);
  velta::ColorTableSet tables;
  int32_t saturation = 3;
  velta::BuildColorTables(tables, saturation, 0, params);
  std::vector<uint8_t> map(velta::kDmapTblSize);
  velta::InitDmapTbl(map.data(), velta::kDmapTblSize, 1);
  std::vector<uint8_t> page;
  const auto threads = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    page = photo;
    state.ResumeTiming();
    velta::ForRowBands(
        PAGE_HEIGHT, 64, threads, [] { return false; },
        [&](std::size_t begin, std::size_t end, int) {
          velta::RememberingColorCorrection correct(tables, 1, map.data());
          for (std::size_t y = begin; y < end; ++y) correct(page.data() + y * STRIDE, static_cast<int16_t>(PAGE_WIDTH));
        });
    benchmark::DoNotOptimize(page.data());
  }
}

// Resizes the page by the given magnification.
void ResizePage(benchmark::State& state, int32_t magnification) {
  const std::vector<uint8_t> photo = PhotoPage();
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

BENCHMARK(CorrectPageColours)->Arg(1)->Arg(2)->ArgName("threads")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(EnlargePage)->Arg(1)->Arg(2)->ArgName("threads")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ReducePage)->Arg(1)->Arg(2)->ArgName("threads")->UseRealTime()->Unit(benchmark::kMillisecond);
