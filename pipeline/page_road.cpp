// The road of one page: the blank-half test and the stages in their fixed order.
#include "pipeline/page_road.h"

#include "cpu/cpu_variant.h"

namespace velta {

JobTables PrepareJobTables(const JobSettings& settings) {
  JobTables tables;
  tables.color_params = ComputeColorParams(settings.stp_brightness, settings.stp_contrast, settings.stp_red,
                                           settings.stp_green, settings.stp_blue);
  return tables;
}

PageRoad::PageRoad(const PageBuffers& buffers, JobSettings& settings, JobTables& tables)
    : buffers_(buffers),
      threads_(CurrentVariant().threads),
      blankHalf_(buffers.page, buffers.width_DIB, buffers.width, buffers.height) {
  stages_.push_back(MakeColourStage(buffers, settings, tables));
  if (auto resize = MakeResizeStage(buffers, settings.stp_resize, threads_)) stages_.push_back(std::move(resize));
  stages_.push_back(MakeRenderStage(buffers, settings, tables));
}

PageRoad::~PageRoad() { Stop(); }

void PageRoad::Stop() {
  if (!helper_.Running()) return;
  read_.store(kStopped, std::memory_order_release);
  read_.notify_one();
  helper_.Join();
}

void PageRoad::RowsFinal(uint32_t rows) {
  // A page that arrives whole, or a machine with one thread for it, goes
  // straight to Finish; otherwise the helper starts with the first rows.
  if (!following_) {
    if (rows >= buffers_.height || threads_ != 2 || buffers_.height <= kRowsPerStep) return;
    following_ = true;
    if (!helper_.Start([this] { FollowRows(); })) return;
  }
  if (!helper_.Running()) return;
  // The helper is woken a step of rows at a time, and for the last row.
  if (rows < buffers_.height && rows - announced_ < kRowsPerStep) return;
  announced_ = rows;
  read_.store(rows, std::memory_order_release);
  read_.notify_one();
}

void PageRoad::PassRowsOn(std::size_t rows) {
  for (auto& stage : stages_) {
    stage->RowsFinal(rows);
    rows = stage->RowsDone();
  }
}

bool PageRoad::WorkAhead() {
  for (auto& stage : stages_) {
    if (stage->WorkAhead()) {
      PassRowsOn(worked_);
      return true;
    }
  }
  return false;
}

void PageRoad::FollowRows() {
  for (;;) {
    const uint32_t read = read_.load(std::memory_order_acquire);
    if (read == kStopped) return;
    if (read == worked_) {
      if (worked_ == buffers_.height) return;
      // Caught up with the reader: the time left goes to work ahead, a step
      // at a time, unless a blank upper half could still move the lower half
      // up. What is left when the page is complete is shared between both
      // threads.
      if (!blankHalf_.MayMoveLowerHalfUp() && WorkAhead()) continue;
      read_.wait(read, std::memory_order_acquire);
      continue;
    }
    // A step at a time, so that a stop is seen soon. The blank-half test
    // looks at the rows as they were read, before any stage changes them.
    worked_ = read - worked_ > kRowsPerStep ? worked_ + kRowsPerStep : read;
    blankHalf_.RowsFinal(worked_);
    PassRowsOn(worked_);
  }
}

PageRoadStatus PageRoad::Finish(const CancelCheck& cancelled, int& SpaceFlag) {
  // A helper that failed may have left a stage half way through a row.
  if (!helper_.Join()) return PageRoadStatus::HelperFailed;
  // Rows the helper did not see are looked at as they were read, before any
  // stage's Finish changes them.
  blankHalf_.RowsFinal(buffers_.height);
  const bool moves = blankHalf_.MayMoveLowerHalfUp();
  SpaceFlag = blankHalf_.Result(buffers_.page);
  if (moves) {
    for (auto& stage : stages_) stage->RowsRewritten();
  }
  for (auto& stage : stages_) {
    if (cancelled()) return PageRoadStatus::Cancelled;
    const PageRoadStatus status = stage->Finish(threads_, cancelled);
    if (status != PageRoadStatus::Done) return status;
  }
  return PageRoadStatus::Done;
}

PageRoadStatus RunPageRoad(const PageBuffers& buffers, JobSettings& settings, JobTables& tables,
                           const CancelCheck& cancelled, int& SpaceFlag) {
  PageRoad road(buffers, settings, tables);
  road.RowsFinal(buffers.height);
  return road.Finish(cancelled, SpaceFlag);
}

}  // namespace velta
