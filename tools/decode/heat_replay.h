// The renderer's heat histories, run forward again over the tone values
// recovered from a page's written energies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "render/smear_step.h"

namespace velta {

// From its second row on, the renderer pushes each tone value t away from
// two per-byte heat histories (render/smear_step.h):
//   MiddleSmear = Org + (Org - Middle) * MiddleWeight / 1024,  Org = 1024 t
//   LongSmear = MiddleSmear + (MiddleSmear - Long) * LongWeight / 1024
// and writes (LongSmear + dither) / 1024, the dither 0 to 2047. Knowing the
// histories, a written energy gives t back; the recovered values then move
// the histories on exactly as the renderer's own values did.
class HeatReplay {
 public:
  // Histories at 0, as the first row leaves them, for rows of width pixels
  // in the given print mode.
  HeatReplay(uint32_t width, bool high_quality);

  // The tone value whose written energy at byte i, averaged over the dither,
  // would be `energy` (the energy before the fade and the clamp; infinities
  // give infinities).
  double ToneFor(double energy, std::size_t i) const;

  // The tone value t that, printed at byte i for `rows` rows running from
  // the histories as they stand, would write `energy` on the last of them
  // (averaged over the dither), searched among the whole values from low to
  // high. The smoothing across the row is left out: it moves the histories
  // little where neighbouring bytes print alike.
  int HeldTone(std::size_t i, int rows, double energy, int low, int high) const;

  // Moves the histories on by one row of tone values (3 width bytes, red,
  // green, blue per pixel) as the renderer does: each byte's own step, then
  // the smoothing across the row.
  void Advance(std::span<const uint8_t> tones);

 private:
  // ToneFor with the histories middle and long.
  double ToneFor(double energy, int32_t middle, int32_t longer) const;

  SmearConstants k_;
  std::vector<int32_t> middle_;  // MiddleHistory, one entry per byte of a row
  std::vector<int32_t> long_;    // LongHistory
};

}  // namespace velta
