// The pure stages of one page, in their fixed order, on in-memory buffers.
#include "filter/page_road.h"

#include "filter/blank_half.h"

namespace velta {

PageRoadStatus RunPageRoad(const PageBuffers& buffers, JobSettings& settings,
                           const CancelCheck& cancelled, int& SpaceFlag) {
  // The printer is told when one half of a full sheet is blank; a picture in the
  // lower half alone is moved to the top first.
  SpaceFlag = BlankHalfTest(buffers.page, buffers.width_DIB, buffers.width, buffers.height);
  if (cancelled()) return PageRoadStatus::Cancelled;

  // Colour, resize and rendering stages go here, in this order, each followed by
  // a cancellation check:
  //   1. build the colour table set from settings and the per-job colour
  //      parameters (Monochrome sets settings.stp_saturation to -10);
  //   2. InitDmapTbl(DmapTbl, 2187, high_quality) when settings.directmap is on;
  //   3. ColorCorrection on every row y of the page buffer, width as int16_t;
  //   4. ResizePicture (stp_resize > 0) or ResizePictureAverage (< 0), in place;
  //   5. GetSmearlut(hotlut, high_quality) and SmearControl from the page buffer
  //      into the send buffer, with stp_sharpness as int16_t and cancelled
  //      polled per row.
  // Until those stages are built the send buffer stays as the caller allocated
  // it, zero-filled, and the printer receives blank head data.
  (void)settings;
  return PageRoadStatus::Done;
}

}  // namespace velta
