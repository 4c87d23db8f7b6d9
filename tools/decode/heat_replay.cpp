// The renderer's heat histories, run forward again over the tone values
// recovered from a page's written energies.
#include "heat_replay.h"

#include "render/render_kernel.h"

namespace velta {
namespace {

// The renderer smooths history entries 4 to 3 width - 4 across the row; the
// first four and the last three keep their own values.
constexpr std::size_t kFirstSmoothed = 4;
constexpr std::size_t kUnsmoothedAtEnd = 3;

}  // namespace

HeatReplay::HeatReplay(uint32_t width, bool high_quality)
    : k_(high_quality ? HIGH_QUALITY_CONSTANTS : NORMAL_CONSTANTS),
      middle_(3 * size_t{width}),
      long_(3 * size_t{width}) {}

double HeatReplay::ToneFor(double energy, std::size_t i) const { return ToneFor(energy, middle_[i], long_[i]); }

double HeatReplay::ToneFor(double energy, int32_t middle, int32_t longer) const {
  // The dither adds 1023.5/1024 on average and dropping the fraction takes
  // 0.5 away, so a written energy E stands for LongSmear = 1024 E - 512.
  const double long_smear = 1024 * energy - 512;
  // Each push is a straight line in the value pushed: solve them in turn.
  const double middle_smear =
      (1024 * long_smear + k_.LongWeight * static_cast<double>(longer)) / (1024 + k_.LongWeight);
  const double org = (1024 * middle_smear + k_.MiddleWeight * static_cast<double>(middle)) / (1024 + k_.MiddleWeight);
  return org / 1024;
}

int HeatReplay::HeldTone(std::size_t i, int rows, double energy, int low, int high) const {
  // How far the tone value read back on the last row lies above t. A higher
  // t heats the histories, and the same energy then stands for a higher
  // value, but by less than t rose: this falls as t rises, and the answer is
  // the last t where it is not below 0.
  const auto excess = [&](int t) {
    int32_t middle = middle_[i], longer = long_[i];
    for (int r = 0; r < rows; ++r) {
      const ByteStep step = SmearByte(PackTone(static_cast<uint32_t>(t)), 0, middle, longer, k_);
      middle = step.MiddleHistory;
      longer = step.LongHistory;
    }
    return ToneFor(energy, middle, longer) - t;
  };
  while (low < high) {
    const int mid = low + (high - low + 1) / 2;
    if (excess(mid) >= 0) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  return low;
}

void HeatReplay::Advance(std::span<const uint8_t> tones) {
  for (std::size_t i = 0; i < tones.size(); ++i) {
    // The dither only moves the written energy, not the histories.
    const ByteStep step = SmearByte(PackTone(tones[i]), 0, middle_[i], long_[i], k_);
    middle_[i] = step.MiddleHistory;
    long_[i] = step.LongHistory;
  }
  if (tones.size() < kFirstSmoothed + kUnsmoothedAtEnd + 1) return;
  SmoothingChain chain{{}, {}, false};
  ActiveKernels().chains(middle_.data(), long_.data(), k_.MWideWeight, chain, kFirstSmoothed,
                         tones.size() - kUnsmoothedAtEnd, nullptr, 0, 0);
}

}  // namespace velta
