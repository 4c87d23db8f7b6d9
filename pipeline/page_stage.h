// One stage of a page's road, as it meets a page whose rows come in over time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "color/color_adjust.h"
#include "pipeline/job_settings.h"
#include "render/cancel_check.h"
#include "render/rows_done.h"

namespace velta {

// How the road of a page ended.
enum class PageRoadStatus {
  Done,
  Cancelled,
  OutOfMemory,
  HelperFailed,  // a helper thread failed: the page is incomplete
};

// One page's buffers as the road sees them.
struct PageBuffers {
  uint8_t* page = nullptr;    // RGB rows of width_DIB bytes, height rows (Planes entry 0)
  std::size_t width_DIB = 0;  // width x 3 rounded up to a multiple of 4
  uint8_t* send = nullptr;    // head data: three planes of width x height (Planes entry 1)
  uint32_t width = 0;         // cupsWidth
  uint32_t height = 0;        // cupsHeight
  PageRowsDone rows_done{};   // told as the rendering finishes with leading page rows
};

// What a job keeps from page to page besides its settings.
struct JobTables {
  ColorParams color_params{};           // channel offsets and contrast line, fixed for the job
  std::array<uint8_t, 768> hotlut{};    // the print mode's tone table, refilled for each page
  std::array<uint8_t, 2187> DmapTbl{};  // the direct colour map, refilled while DirectMap is on
};

// A stage works on the page buffer in place. The road tells it which leading
// rows of its input (the previous stage's result) are final, lets it work
// ahead when there is time to spare, and finishes it once the page is
// complete. RowsFinal and WorkAhead come from one thread at a time, all before
// Finish; a page that arrives whole goes straight to Finish.
class PageStage {
 public:
  virtual ~PageStage() = default;

  // Input rows [0, rows) are final (rising counts): the work each new row
  // needs on its own, which gives the same bytes whether or not the
  // blank-half test later moves whole rows.
  virtual void RowsFinal(std::size_t rows) = 0;
  // One step of the work the final rows allow, called only once no row can
  // move any more; false when there is none now.
  virtual bool WorkAhead() { return false; }
  // The leading rows of the stage's result that are final.
  virtual std::size_t RowsDone() const = 0;
  // The blank-half test moved the final rows: what the stage kept of them is
  // taken again.
  virtual void RowsRewritten() {}
  // The rest of the stage once every row is final, on `threads` threads;
  // cancelled is asked at safe points.
  virtual PageRoadStatus Finish(int threads, const CancelCheck& cancelled) = 0;
};

// The stages in their fixed order. Each builds what it needs for the page:
// the colour stage the page's colour tables (Monochrome forces stp_saturation
// to -10 for the rest of the job) and the direct map, the resize stage its
// plan and work memory (nullptr when stp_resize is 0), the render stage the
// print mode's tone table, its histories and the random source's seed.
std::unique_ptr<PageStage> MakeColourStage(const PageBuffers& buffers, JobSettings& settings, JobTables& tables);
std::unique_ptr<PageStage> MakeResizeStage(const PageBuffers& buffers, int32_t stp_resize, int threads);
std::unique_ptr<PageStage> MakeRenderStage(const PageBuffers& buffers, const JobSettings& settings, JobTables& tables);

}  // namespace velta
