// Laying out the page's colour table set and direct map as the row kernels
// read them.
#include "color/colour_lookups.h"

namespace velta {

void BuildColourLookups(ColourLookups& lookups, const ColorTableSet& colortable, int bTableRet,
                        const uint8_t* DmapTbl) {
  lookups.saturation.fill(0);
  lookups.red.fill(0), lookups.green.fill(0), lookups.blue.fill(0);
  lookups.saturates = lookups.tones = false;
  // Entry 0 is never read.
  for (int i = 1; i < 512; ++i) {
    lookups.saturation[i] = colortable.clrsatable[i];
    lookups.saturates = lookups.saturates || colortable.clrsatable[i] != 0;
  }
  for (int n = 0; n < 256; ++n) {
    lookups.red[n] = colortable.red[n];
    lookups.green[n] = colortable.green[n];
    lookups.blue[n] = colortable.blue[n];
    lookups.tones = lookups.tones || colortable.red[n] != n || colortable.green[n] != n || colortable.blue[n] != n;
  }
  lookups.directmap = bTableRet != 0;
  // Without the map DmapTbl is not read (it may be unloaded). The 2187 bytes
  // run node by node, red index slowest, blue fastest, so node k's bytes are
  // 3k to 3k + 2 and k is the index of its word.
  lookups.nodes.fill(0);
  if (!lookups.directmap) return;
  for (int k = 0; k < 729; ++k) {
    const uint8_t* node = DmapTbl + 3 * k;
    lookups.nodes[k] = node[0] | node[1] << 8 | node[2] << 16;
  }
}

}  // namespace velta
