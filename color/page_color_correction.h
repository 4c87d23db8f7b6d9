// The colour correction of a page's rows through the row kernel of the
// current instruction set: the bytes of ColorCorrection, 8 or 16 pixels at a
// time where the processor allows.
#pragma once

#include <cstdint>
#include <memory>

#include "color/color_adjust.h"
#include "color/colour_lookups.h"
#include "color/colour_row_kernels.h"

namespace velta {

// Built once per page from its tables, with the kernel of the variant chosen
// then (CurrentVariant) or of a given instruction set, which the machine has.
// The tables must outlive it. Each thread of a page corrects its rows as a
// worker of its own, 0 or 1.
class PageColorCorrection {
 public:
  PageColorCorrection(const ColorTableSet& colortable, int bTableRet, const uint8_t* DmapTbl);
  PageColorCorrection(const ColorTableSet& colortable, int bTableRet, const uint8_t* DmapTbl, Isa isa);
  // Corrects one row of width pixels at lpdt in place; the width counts in 16
  // bits, as ColorCorrection's does, and 0 or less leaves the row alone.
  void operator()(uint8_t* lpdt, int16_t width, int worker = 0);
  // Tells whether the tables change any colour at all.
  bool changes_colours() const { return changes_; }

 private:
  ColourLookups lookups_;
  const ColourRowKernels& kernels_;
  bool changes_;
  // The portable kernel saturates and maps a pixel at a time, slower than
  // the memory of colours met before answers a photo's repeated colours; for
  // pages that saturate or map, each worker keeps such a memory instead.
  std::unique_ptr<RememberingColorCorrection> memories_[2];
};

}  // namespace velta
