// Rendering speed of a full photo page, 1800 x 2492 pixels in normal mode, and
// of its row kernels in each instruction set (0 portable, 1 AVX2, 2 AVX-512):
// sharpening, the smoothing chains, the dither numbers and the tone lookup.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#include "bench/photo_page.h"
#include "render/render_kernel.h"
#include "render/smear_control.h"

namespace {

using velta::bench::PAGE_HEIGHT;
using velta::bench::PAGE_WIDTH;
using velta::bench::PhotoPage;

// Returns the kernels of the instruction set the benchmark's argument names
// (0 portable, 1 AVX2, 2 AVX-512), or null, skipping the benchmark, when the
// processor lacks it.
const velta::RowKernels* KernelsUnderTest(benchmark::State& state) {
  const auto isa = static_cast<velta::Isa>(state.range(0));
  if (!velta::IsaAvailable(isa)) {
    state.SkipWithError("instruction set not available");
    return nullptr;
  }
  return &velta::KernelsFor(isa);
}

// Renders the page once per iteration with the given sharpness setting.
void RenderPhotoPage(benchmark::State& state) {
  const std::vector<uint8_t> page = PhotoPage();
  std::array<uint8_t, 768> hotlut{};
  velta::GetSmearlut(hotlut.data(), 0);
  std::vector<uint8_t> send(3 * std::size_t{PAGE_WIDTH} * PAGE_HEIGHT);
  const auto caSharpness = static_cast<int16_t>(state.range(0));
  for (auto _ : state) {
    velta::SmearControl(page.data(), PAGE_WIDTH, PAGE_HEIGHT, hotlut.data(), send.data(), 0, caSharpness);
    benchmark::DoNotOptimize(send.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(send.size()));
}

}  // namespace

BENCHMARK(RenderPhotoPage)->Arg(-4)->Arg(0)->ArgName("sharpness")->Unit(benchmark::kMillisecond);

namespace {

// Sharpens every row of the photo page with one build of the kernels.
void SharpenPhotoPage(benchmark::State& state) {
  const std::vector<uint8_t> page = PhotoPage();
  const velta::RowKernels* chosen = KernelsUnderTest(state);
  if (chosen == nullptr) return;
  const velta::RowKernels& kernels = *chosen;
  const std::size_t rowBytes = 3 * std::size_t{PAGE_WIDTH}, stride = (rowBytes + 3) / 4 * 4;
  std::vector<uint16_t> columnSums(rowBytes);
  std::vector<int16_t> byteWeights(rowBytes), pixelWeights(PAGE_WIDTH);
  std::vector<uint8_t> out(rowBytes);
  const velta::SharpenScratch scratch{columnSums.data(), byteWeights.data(), pixelWeights.data()};
  for (auto _ : state) {
    for (std::size_t y = 0; y < PAGE_HEIGHT; ++y) {
      kernels.sharpen(page.data(), stride, y, PAGE_HEIGHT, PAGE_WIDTH, 4, out.data(), scratch);
      benchmark::DoNotOptimize(out.data());
    }
  }
}

// Smooths the histories of every row of a page, two rows side by side as the
// renderer does, with one build of the kernels.
void SmoothPageRows(benchmark::State& state) {
  const velta::RowKernels* chosen = KernelsUnderTest(state);
  if (chosen == nullptr) return;
  const velta::RowKernels& kernels = *chosen;
  const std::size_t rowBytes = 3 * std::size_t{PAGE_WIDTH}, half = rowBytes / 2;
  std::vector<int32_t> middle(rowBytes), longer(rowBytes);
  for (std::size_t i = 0; i < rowBytes; ++i) middle[i] = longer[i] = static_cast<int32_t>(i * 97 % 261120);
  for (auto _ : state) {
    // Each round smooths one row's worth of entries in two chains.
    for (std::size_t y = 0; y < PAGE_HEIGHT; ++y) {
      velta::SmoothingChain first{{}, {}, false}, second{{}, {}, false};
      kernels.chains(middle.data(), longer.data(), 100, first, 4, half, &second, half, rowBytes - 3);
    }
    benchmark::DoNotOptimize(middle.data());
  }
}

}  // namespace

BENCHMARK(SharpenPhotoPage)->DenseRange(0, 2)->ArgName("isa")->Unit(benchmark::kMillisecond);
BENCHMARK(SmoothPageRows)->DenseRange(0, 2)->ArgName("isa")->Unit(benchmark::kMillisecond);

namespace {

// Draws a page's worth of dither numbers (3 x 1800 x 2491) with one build of
// the kernels.
void DrawPageDither(benchmark::State& state) {
  const velta::RowKernels* chosen = KernelsUnderTest(state);
  if (chosen == nullptr) return;
  const velta::RowKernels& kernels = *chosen;
  const std::size_t rowBytes = 3 * std::size_t{PAGE_WIDTH};
  std::vector<uint32_t> mt(624);
  for (std::size_t k = 0; k < mt.size(); ++k) mt[k] = static_cast<uint32_t>(k * 2654435761u);
  int mti = 624;
  std::vector<uint16_t> out(rowBytes);
  for (auto _ : state) {
    for (std::size_t y = 1; y < PAGE_HEIGHT; ++y) {
      kernels.generateDither(mt.data(), &mti, out.data(), rowBytes);
      benchmark::DoNotOptimize(out.data());
    }
  }
}

// Looks up the packed tones of every row of the photo page with one build of
// the kernels.
void LookUpPageTones(benchmark::State& state) {
  const std::vector<uint8_t> page = PhotoPage();
  const velta::RowKernels* chosen = KernelsUnderTest(state);
  if (chosen == nullptr) return;
  const velta::RowKernels& kernels = *chosen;
  const std::size_t rowBytes = 3 * std::size_t{PAGE_WIDTH}, stride = (rowBytes + 3) / 4 * 4;
  std::array<uint16_t, 768> toneTable{};
  for (std::size_t n = 0; n < toneTable.size(); ++n) toneTable[n] = static_cast<uint16_t>(n * 40503u >> 8);
  std::vector<uint16_t> out(rowBytes);
  for (auto _ : state) {
    for (std::size_t y = 1; y < PAGE_HEIGHT; ++y) {
      kernels.tone(page.data() + y * stride, PAGE_WIDTH, toneTable.data(), out.data());
      benchmark::DoNotOptimize(out.data());
    }
  }
}

}  // namespace

BENCHMARK(DrawPageDither)->DenseRange(0, 2)->ArgName("isa")->Unit(benchmark::kMillisecond);
BENCHMARK(LookUpPageTones)->DenseRange(0, 2)->ArgName("isa")->Unit(benchmark::kMillisecond);
