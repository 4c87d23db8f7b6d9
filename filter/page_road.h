// The pure stages of one page, in their fixed order, on in-memory buffers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "filter/cancel_check.h"
#include "filter/job_settings.h"

namespace velta {

// How the road of a page ended.
enum class PageRoadStatus { Done, Cancelled, OutOfMemory };

// One page's buffers as the road sees them.
struct PageBuffers {
  uint8_t* page = nullptr;     // RGB rows of width_DIB bytes, height rows (Planes entry 0)
  std::size_t width_DIB = 0;   // width x 3 rounded up to a multiple of 4
  uint8_t* send = nullptr;     // head data: three planes of width x height (Planes entry 1)
  uint32_t width = 0;          // cupsWidth
  uint32_t height = 0;         // cupsHeight
};

// Runs the stages of a page that has been read: the blank-half test (which sets
// SpaceFlag and may move the lower half up), then colour, resize and rendering
// into the send buffer. Checks cancelled between stages. settings is written:
// Monochrome forces stp_saturation to -10 for the rest of the job. Does no I/O.
PageRoadStatus RunPageRoad(const PageBuffers& buffers, JobSettings& settings,
                           const CancelCheck& cancelled, int& SpaceFlag);

}  // namespace velta
