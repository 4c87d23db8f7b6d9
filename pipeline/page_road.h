// The road of one page: the blank-half test and the stages in their fixed
// order (colour, resize, rendering), on in-memory buffers, as the rows come in.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "cpu/second_thread.h"
#include "pipeline/blank_half.h"
#include "pipeline/job_settings.h"
#include "pipeline/page_stage.h"
#include "render/cancel_check.h"

namespace velta {

// Derives the per-job colour parameters from the settings, once before the first page.
JobTables PrepareJobTables(const JobSettings& settings);

// The road of a page whose rows come in over time, from the raster or from a
// printer application's callbacks. When the machine has two threads for the
// page, a helper follows the rows on the processor the reading leaves idle:
// it notes each row's whiteness for the blank-half test and gives every stage
// the rows that are final (colour correction and a reduction's pass across
// happen there). With time to spare, once the blank-half test can no longer
// move rows, it lets the stages work ahead (a reduction's pass down, the
// upper rows of an enlargement, rendering the rows that are final). The rest
// follows on both threads once the page is complete. The bytes are those of
// the stages run one after the other on the whole page: the row work gives
// the same rows before or after the blank-half move, which copies whole rows,
// and what moves rows between rows waits until no such move can come.
class PageRoad {
 public:
  // Builds the page's stages; settings is written (Monochrome forces
  // stp_saturation to -10 for the rest of the job).
  PageRoad(const PageBuffers& buffers, JobSettings& settings, JobTables& tables);
  // Stops the helper.
  ~PageRoad();
  PageRoad(const PageRoad&) = delete;
  PageRoad& operator=(const PageRoad&) = delete;

  // Rows [0, rows) of the page buffer are final, as read; called with rising
  // counts, the last one the page's height.
  void RowsFinal(uint32_t rows);
  // Once every row is final: the blank-half test (which sets SpaceFlag and
  // may move the lower half up) and the rest of every stage. Checks cancelled
  // between stages and at the stages' safe points.
  PageRoadStatus Finish(const CancelCheck& cancelled, int& SpaceFlag);
  // Stops the helper where it is, for a page given up before it is complete;
  // the page buffer may be released afterwards.
  void Stop();

 private:
  static constexpr uint32_t kRowsPerStep = 16;
  static constexpr uint32_t kStopped = UINT32_MAX;  // beyond any row count (at most 65535)

  void FollowRows();
  // Gives every stage the rows its input has final, after the first `rows`
  // page rows are.
  void PassRowsOn(std::size_t rows);
  // One step of work ahead in the first stage that has some.
  bool WorkAhead();

  const PageBuffers buffers_;
  const int threads_;
  BlankHalfWatch blankHalf_;
  std::vector<std::unique_ptr<PageStage>> stages_;
  uint32_t worked_ = 0;            // rows the helper has passed on
  uint32_t announced_ = 0;         // rows last handed to the helper
  std::atomic<uint32_t> read_{0};  // rows handed to the helper, or kStopped
  bool following_ = false;         // a helper was asked for
  SecondThread helper_;
};

// The whole road of a page that has been read.
PageRoadStatus RunPageRoad(const PageBuffers& buffers, JobSettings& settings, JobTables& tables,
                           const CancelCheck& cancelled, int& SpaceFlag);

}  // namespace velta
