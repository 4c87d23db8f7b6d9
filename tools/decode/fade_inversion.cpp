// Undoing the row-end fade: which energies a byte written in the fade zones
// can have had before the fade.
#include "fade_inversion.h"

#include "render/edge_fade.h"

namespace velta {
namespace {

// Above every energy the renderer can reach: each heat history stays within
// about -1.5 to 2.5 times 255, and the two pushes away from them bring a
// tone value of 255 to at most about four times itself.
constexpr int kHottest = 2048;

}  // namespace

FadeInversion::FadeInversion(uint32_t width) : slot_(width, -1) {
  // The fade leaves energies up to a threshold alone: the hottest that
  // pixel 0, which prints nothing above it, still keeps.
  while (width > 0 && FadeRowEnds(threshold_ + 1, 0, width) == threshold_ + 1) ++threshold_;
  // A pixel is faded when the fade changes the least energy it acts on; at
  // the first pixel of the right zone the factor is 1 and nothing changes.
  for (uint32_t p = 0; p < width; ++p) {
    if (FadeRowEnds(threshold_ + 1, 3 * size_t{p}, width) == threshold_ + 1) continue;
    slot_[p] = static_cast<int32_t>(faded_.size());
    auto& table = faded_.emplace_back();
    table.fill({kNoLimit, -kNoLimit});
    // The fade never lowers a hotter energy below a cooler one's result, so
    // the energies that give one written value are a run.
    for (int energy = threshold_ + 1; energy <= kHottest; ++energy) {
      EnergyRange& range = table[FadeRowEnds(energy, 3 * size_t{p}, width)];
      if (range.empty()) range.low = energy;
      range.high = energy == kHottest ? kNoLimit : energy;
    }
  }
  // Runs: a run touching the right end hangs from the unfaded pixel on its
  // left and is walked rightward; any other from the pixel on its right,
  // walked leftward.
  for (uint32_t first = 0; first < width;) {
    if (slot_[first] < 0) {
      ++first;
      continue;
    }
    uint32_t end = first;
    while (end < width && slot_[end] >= 0) ++end;
    FadedRun& run = runs_.emplace_back();
    if (end == width && first > 0) {
      run.anchor = first - 1;
      for (uint32_t p = first; p < end; ++p) run.walk.push_back(p);
    } else if (end < width) {
      run.anchor = end;
      for (uint32_t p = end; p-- > first;) run.walk.push_back(p);
    } else {
      for (uint32_t p = first; p < end; ++p) run.walk.push_back(p);
    }
    first = end;
  }
}

FadeCandidates FadeInversion::Before(uint8_t written, uint32_t p) const {
  FadeCandidates out;
  if (slot_[p] < 0 || written <= threshold_) out.ranges[out.count++] = UnfadedRange(written);
  if (slot_[p] >= 0 && !faded_[slot_[p]][written].empty()) out.ranges[out.count++] = faded_[slot_[p]][written];
  // No energy fades to this value: the stream was not written by the
  // renderer; read the byte as it stands.
  if (out.count == 0) out.ranges[out.count++] = UnfadedRange(written);
  return out;
}

}  // namespace velta
