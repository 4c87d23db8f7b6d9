// Undoing the row-end fade: which energies a byte written in the fade zones
// can have had before the fade.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "energy_range.h"

namespace velta {

// The energies before the fade that a written byte allows: one range, or two
// when the byte reads the same whether the fade acted or not.
struct FadeCandidates {
  std::array<EnergyRange, 2> ranges;
  int count = 0;
};

// Neighbouring pixels of a row that the fade acts on, walked from the
// unfaded pixel next to them (the anchor) outward to the row's end; a narrow
// row, faded from end to end, has no anchor (-1) and is walked left to right.
struct FadedRun {
  std::vector<uint32_t> walk;
  int64_t anchor = -1;
};

// The row-end fade of a page width, turned round. The head's edges run hot,
// so the renderer scales energies above 200 down over the ten pixels at each
// end of a row (render/edge_fade.h); this asks that same function which
// energies give each written value.
class FadeInversion {
 public:
  // Tabulates the fade of every pixel it changes, for rows of width pixels.
  explicit FadeInversion(uint32_t width);

  // True when the fade can change energies at pixel p.
  bool Faded(uint32_t p) const { return slot_[p] >= 0; }

  // The runs of faded pixels: the ten pixels at each end of a wide row.
  const std::vector<FadedRun>& Runs() const { return runs_; }

  // The energies before the fade and the clamp that write `written` at pixel
  // p: unfaded when written is 200 or less, and faded from above 200 when
  // some energy fades to it.
  FadeCandidates Before(uint8_t written, uint32_t p) const;

 private:
  int threshold_ = 0;          // the fade acts on energies above this
  std::vector<int32_t> slot_;  // per pixel: its table in faded_, or -1
  std::vector<FadedRun> runs_;
  std::vector<std::array<EnergyRange, 256>> faded_;  // per faded pixel: written -> energies above 200
};

}  // namespace velta
