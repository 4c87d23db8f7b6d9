// The page's colour correction: its tables laid out once, then every row
// through the chosen row kernel or, for the portable kernel on pages that
// saturate or map, through a memory of colours per worker.
#include "color/page_color_correction.h"

namespace velta {

PageColorCorrection::PageColorCorrection(const ColorTableSet& colortable, int bTableRet, const uint8_t* DmapTbl)
    : PageColorCorrection(colortable, bTableRet, DmapTbl, CurrentVariant().isa) {}

PageColorCorrection::PageColorCorrection(const ColorTableSet& colortable, int bTableRet, const uint8_t* DmapTbl,
                                         Isa isa)
    : kernels_(ColourRowKernelsFor(isa)), changes_(bTableRet != 0 || !LeavesColoursUnchanged(colortable)) {
  BuildColourLookups(lookups_, colortable, bTableRet, DmapTbl);
  if (kernels_.isa == Isa::Portable && (lookups_.saturates || lookups_.directmap)) {
    for (auto& memory : memories_)
      memory = std::make_unique<RememberingColorCorrection>(colortable, bTableRet, DmapTbl);
  }
}

void PageColorCorrection::operator()(uint8_t* lpdt, int16_t width, int worker) {
  // Without saturation, tone change or direct map every pixel stays as it is.
  if (!changes_ || width <= 0) return;
  if (memories_[worker]) {
    (*memories_[worker])(lpdt, width);
  } else {
    kernels_.correctRow(lpdt, static_cast<std::size_t>(width), lookups_);
  }
}

}  // namespace velta
