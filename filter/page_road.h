// The pure stages of one page, in their fixed order, on in-memory buffers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "color/color_adjust.h"
#include "filter/cancel_check.h"
#include "filter/job_settings.h"
#include "render/rows_done.h"

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
  PageRowsDone rows_done{};    // told as the rendering finishes with leading page rows
};

// What a job keeps from page to page besides its settings.
struct JobTables {
  ColorParams color_params{};           // channel offsets and contrast line, fixed for the job
  std::array<uint8_t, 768> hotlut{};    // the print mode's tone table, refilled for each page
  std::array<uint8_t, 2187> DmapTbl{};  // the direct colour map, refilled while DirectMap is on
};

// Derives the per-job colour parameters from the settings, once before the first page.
JobTables PrepareJobTables(const JobSettings& settings);

// Runs the stages of a page that has been read: the blank-half test (which sets
// SpaceFlag and may move the lower half up), then colour, resize and rendering
// into the send buffer. Checks cancelled between stages and per rendered row. settings is written:
// Monochrome forces stp_saturation to -10 for the rest of the job. Does no I/O.
PageRoadStatus RunPageRoad(const PageBuffers& buffers, JobSettings& settings, JobTables& tables,
                           const CancelCheck& cancelled, int& SpaceFlag);

}  // namespace velta
