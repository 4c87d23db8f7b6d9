// The pure stages of one page, in their fixed order, on in-memory buffers.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <thread>

#include "color/color_adjust.h"
#include "color/resize.h"
#include "render/cancel_check.h"
#include "pipeline/job_settings.h"
#include "render/rows_done.h"
#include "render/smear_control.h"

namespace velta {

// How the road of a page ended.
enum class PageRoadStatus { Done, Cancelled, OutOfMemory };

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

// Derives the per-job colour parameters from the settings, once before the first page.
JobTables PrepareJobTables(const JobSettings& settings);

// Runs the stages of a page that has been read: the blank-half test (which sets
// SpaceFlag and may move the lower half up), then colour, resize and rendering
// into the send buffer. Checks cancelled between stages and per rendered row. settings is written:
// Monochrome forces stp_saturation to -10 for the rest of the job. Does no I/O.
PageRoadStatus RunPageRoad(const PageBuffers& buffers, JobSettings& settings, JobTables& tables,
                           const CancelCheck& cancelled, int& SpaceFlag);

// The same road started while the page is still being read. When the renderer
// has two threads, a helper thread follows the reader on the processor the
// reading leaves idle: it notes each row's whiteness for the blank-half test,
// colour-corrects the row and reduces it across (when the page is reduced).
// With time to spare, once the blank-half test can no longer move rows, it
// does what the final rows allow of a reduction's pass down or of enlarging
// the upper rows of an enlarged page, and renders the rows that are final
// (unless the page is reduced). The rest of
// resizing and rendering follows once the page is complete. The bytes are
// those of RunPageRoad: the row steps work row by row, so they give the same
// rows before or after the blank-half move, which copies whole rows, and the
// steps that move rows between rows wait until no such move can come.
class PageRoadWhileReading {
 public:
  // Builds the page's colour tables and starts the helper when there is one.
  PageRoadWhileReading(const PageBuffers& buffers, JobSettings& settings, JobTables& tables);
  // Stops the helper.
  ~PageRoadWhileReading();
  PageRoadWhileReading(const PageRoadWhileReading&) = delete;
  PageRoadWhileReading& operator=(const PageRoadWhileReading&) = delete;

  // Rows [0, rows) of the page buffer are final; called with rising counts,
  // the last one the page's height.
  void RowsRead(uint32_t rows);
  // Once every row is final: completes the road, as RunPageRoad.
  PageRoadStatus Finish(const CancelCheck& cancelled, int& SpaceFlag);
  // Stops the helper where it is, for a page given up before it is complete;
  // the page buffer may be released afterwards.
  void Stop();

 private:
  static constexpr uint32_t kRowsPerStep = 16;
  static constexpr uint32_t kStopped = UINT32_MAX;  // beyond any row count (at most 65535)

  void FollowReader();
  // Tells whether the blank-half test may yet move the lower half up: the
  // page is a full sheet and its upper rows seen so far are white.
  bool MayMoveLowerHalfUp() const;

  const PageBuffers buffers_;
  JobSettings& settings_;
  JobTables& tables_;
  ColorTableSet colortable_{};
  int bTableRet_ = 0;
  std::optional<RememberingColorCorrection> correct_;  // when the colours change
  std::optional<PictureReduction> reduction_;          // when a reduction is to be done
  std::optional<PictureEnlargement> enlargement_;      // when an enlargement is to be done
  std::optional<SmearControlInParts> rendering_;       // when rows can be rendered as they are final
  bool upperBlank_ = true, lowerBlank_ = true;         // rows of each half seen so far all white
  uint32_t worked_ = 0;                                // rows the helper has done
  uint32_t announced_ = 0;                             // rows last handed to the helper
  std::atomic<uint32_t> read_{0};                      // rows handed to the helper, or kStopped
  std::thread helper_;
};

}  // namespace velta
