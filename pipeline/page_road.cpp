// The pure stages of one page, in their fixed order, on in-memory buffers.
#include "pipeline/page_road.h"

#include <pthread.h>
#include <signal.h>

#include <system_error>

#include "color/direct_map.h"
#include "color/resize.h"
#include "color/row_bands.h"
#include "pipeline/blank_half.h"
#include "cpu/cpu_variant.h"
#include "render/smear_control.h"

namespace velta {

namespace {

// Builds the page's colour table set and, while DirectMap is on, loads the print
// mode's direct colour map; Monochrome forces stp_saturation to -10 for the job.
int BuildPageColours(ColorTableSet& colortable, JobSettings& settings, JobTables& tables) {
  BuildColorTables(colortable, settings.stp_saturation, settings.monochrome, tables.color_params);
  return settings.directmap != 0 ? InitDmapTbl(tables.DmapTbl.data(), 2187, settings.high_quality) : 0;
}

// Colour-corrects rows [begin, end) of the page in place. The row routine counts
// pixels in 16 bits, as the printer's own code always has.
void CorrectRows(const PageBuffers& buffers, RememberingColorCorrection& correct, std::size_t begin, std::size_t end) {
  const auto width = static_cast<int16_t>(buffers.width);
  for (std::size_t y = begin; y < end; ++y) correct(buffers.page + y * buffers.width_DIB, width);
}

// Colour-corrects every row of the page; bands of rows go to both threads when
// the renderer has two.
bool CorrectColours(const PageBuffers& buffers, JobSettings& settings, JobTables& tables, const CancelCheck& cancelled,
                    int threads) {
  ColorTableSet colortable;
  const int bTableRet = BuildPageColours(colortable, settings, tables);
  RememberingColorCorrection correct[2] = {{colortable, bTableRet, tables.DmapTbl.data()},
                                           {colortable, bTableRet, tables.DmapTbl.data()}};
  return ForRowBands(buffers.height, 64, threads, cancelled, [&](std::size_t begin, std::size_t end, int worker) {
    CorrectRows(buffers, correct[worker], begin, end);
  });
}

// Enlarges or reduces the picture by the sign of the resize setting; false when a
// work picture could not be had.
bool ResizeBySetting(const PageBuffers& buffers, int32_t stp_resize, int threads) {
  const auto width = static_cast<int32_t>(buffers.width);
  const auto height = static_cast<int32_t>(buffers.height);
  if (stp_resize > 0) return ResizePicture(buffers.page, width, height, stp_resize, stp_resize, threads) >= 0;
  if (stp_resize < 0) return ResizePictureAverage(buffers.page, width, height, stp_resize, stp_resize, threads) >= 0;
  return true;
}

// Renders the page into the send buffer.
PageRoadStatus Render(const PageBuffers& buffers, const JobSettings& settings, JobTables& tables,
                      const CancelCheck& cancelled) {
  if (cancelled()) return PageRoadStatus::Cancelled;
  GetSmearlut(tables.hotlut.data(), settings.high_quality);
  const int rendered =
      SmearControl(buffers.page, buffers.width, buffers.height, tables.hotlut.data(), buffers.send,
                   settings.high_quality, static_cast<int16_t>(settings.stp_sharpness), cancelled, buffers.rows_done);
  if (rendered < 0) return PageRoadStatus::OutOfMemory;
  if (rendered > 0) return PageRoadStatus::Cancelled;
  return PageRoadStatus::Done;
}

// The stages after the colour correction: resize and rendering.
PageRoadStatus ResizeAndRender(const PageBuffers& buffers, const JobSettings& settings, JobTables& tables,
                               const CancelCheck& cancelled, int threads) {
  if (cancelled()) return PageRoadStatus::Cancelled;
  if (!ResizeBySetting(buffers, settings.stp_resize, threads)) return PageRoadStatus::OutOfMemory;
  return Render(buffers, settings, tables, cancelled);
}

}  // namespace

JobTables PrepareJobTables(const JobSettings& settings) {
  JobTables tables;
  tables.color_params = ComputeColorParams(settings.stp_brightness, settings.stp_contrast, settings.stp_red,
                                           settings.stp_green, settings.stp_blue);
  return tables;
}

PageRoadStatus RunPageRoad(const PageBuffers& buffers, JobSettings& settings, JobTables& tables,
                           const CancelCheck& cancelled, int& SpaceFlag) {
  // The printer is told when one half of a full sheet is blank; a picture in the
  // lower half alone is moved to the top first.
  SpaceFlag = BlankHalfTest(buffers.page, buffers.width_DIB, buffers.width, buffers.height);
  if (cancelled()) return PageRoadStatus::Cancelled;

  const int threads = CurrentVariant().threads;
  if (!CorrectColours(buffers, settings, tables, cancelled, threads)) return PageRoadStatus::Cancelled;
  return ResizeAndRender(buffers, settings, tables, cancelled, threads);
}

PageRoadWhileReading::PageRoadWhileReading(const PageBuffers& buffers, JobSettings& settings, JobTables& tables)
    : buffers_(buffers), settings_(settings), tables_(tables) {
  if (CurrentVariant().threads != 2 || buffers.height <= kRowsPerStep) return;
  // Only colours that change, or a reduction's pass across, are row work
  // worth a second thread.
  bTableRet_ = BuildPageColours(colortable_, settings, tables);
  correct_.emplace(colortable_, bTableRet_, tables.DmapTbl.data());
  if (!correct_->changes_colours()) correct_.reset();
  const auto width = static_cast<int32_t>(buffers.width);
  const auto height = static_cast<int32_t>(buffers.height);
  if (settings.stp_resize < 0) {
    reduction_.emplace(buffers.page, width, height, settings.stp_resize, settings.stp_resize);
    if (reduction_->kind() != PictureReduction::Kind::Reduce) reduction_.reset();
  }
  if (settings.stp_resize > 0) {
    enlargement_.emplace(buffers.page, width, height, settings.stp_resize, settings.stp_resize, 2);
    if (enlargement_->kind() != PictureEnlargement::Kind::Enlarge) enlargement_.reset();
  }
  // Rows can be rendered before the page is complete unless a reduction
  // (or a resize that could not be planned) is still to move them.
  if (settings.stp_resize == 0 || enlargement_) {
    GetSmearlut(tables.hotlut.data(), settings.high_quality);
    rendering_.emplace(buffers.page, buffers.width, buffers.height, tables.hotlut.data(), buffers.send,
                       settings.high_quality, static_cast<int16_t>(settings.stp_sharpness), buffers.rows_done);
    if (rendering_->Start() < 0) rendering_.reset();
  }
  if (!correct_ && !reduction_ && !enlargement_ && !rendering_) return;
  try {
    helper_ = std::thread([this] { FollowReader(); });
  } catch (const std::system_error&) {
    // The road runs after the reading instead.
    correct_.reset();
    reduction_.reset();
    enlargement_.reset();
    rendering_.reset();
  }
}

PageRoadWhileReading::~PageRoadWhileReading() { Stop(); }

void PageRoadWhileReading::Stop() {
  if (!helper_.joinable()) return;
  read_.store(kStopped, std::memory_order_release);
  read_.notify_one();
  helper_.join();
}

void PageRoadWhileReading::RowsRead(uint32_t rows) {
  if (!helper_.joinable()) return;
  // The helper is woken a step of rows at a time, and for the last row.
  if (rows < buffers_.height && rows - announced_ < kRowsPerStep) return;
  announced_ = rows;
  read_.store(rows, std::memory_order_release);
  read_.notify_one();
}

void PageRoadWhileReading::FollowReader() {
  // Signals go to the reader: a SIGTERM must interrupt its read, which it
  // would not if this thread took it.
  sigset_t all;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, nullptr);
  for (;;) {
    const uint32_t read = read_.load(std::memory_order_acquire);
    if (read == kStopped) return;
    if (read == worked_) {
      if (worked_ == buffers_.height) return;
      // Caught up with the reader: the time left goes to the reduction's
      // pass down or to enlarging upper rows, then to rendering the rows
      // that are final, a step at a time. All wait while a blank upper half
      // could still move the lower half up. What is left when the page is
      // complete is shared between both threads.
      if (!MayMoveLowerHalfUp()) {
        if (reduction_ && reduction_->ReduceDownWithin(worked_, kRowsPerStep, 1) > 0) continue;
        if (enlargement_ && enlargement_->EnlargeUpperRows(worked_, kRowsPerStep) > 0) continue;
        const std::size_t finalRows = enlargement_ ? enlargement_->UpperRowsDone() : worked_;
        if (rendering_ && rendering_->RenderRowsWithin(finalRows, 1) > 0) continue;
      }
      read_.wait(read, std::memory_order_acquire);
      continue;
    }
    // A step at a time, so that a stop is seen soon.
    const uint32_t end = read - worked_ > kRowsPerStep ? worked_ + kRowsPerStep : read;
    // The blank-half test looks at the rows as they were read.
    if (buffers_.height == kBlankHalfTestRows) {
      const std::size_t pixelBytes = 3 * std::size_t{buffers_.width};
      for (uint32_t y = worked_; y < end; ++y) {
        const uint8_t* row = buffers_.page + y * buffers_.width_DIB;
        if (y < kUpperRowsTested && upperBlank_) upperBlank_ = RowIsWhite(row, pixelBytes);
        if (y >= kLowerHalfFirstRow && lowerBlank_) lowerBlank_ = RowIsWhite(row, pixelBytes);
      }
    }
    if (correct_) CorrectRows(buffers_, *correct_, worked_, end);
    if (reduction_) {
      reduction_->ReduceRowsAcross(worked_, end, 1);
      reduction_->RowsReducedAcross(worked_, end);
    }
    if (enlargement_) enlargement_->RowsFinal(worked_, end);
    worked_ = end;
  }
}

bool PageRoadWhileReading::MayMoveLowerHalfUp() const { return buffers_.height == kBlankHalfTestRows && upperBlank_; }

PageRoadStatus PageRoadWhileReading::Finish(const CancelCheck& cancelled, int& SpaceFlag) {
  if (!helper_.joinable()) return RunPageRoad(buffers_, settings_, tables_, cancelled, SpaceFlag);
  helper_.join();
  // The rows were corrected and reduced across one by one before the
  // blank-half move, which copies whole rows: the same rows as after it.
  SpaceFlag = BlankHalfResult(buffers_.page, buffers_.width_DIB, buffers_.height, upperBlank_, lowerBlank_);
  const int threads = CurrentVariant().threads;
  if (!reduction_ && !enlargement_ && !rendering_)
    return ResizeAndRender(buffers_, settings_, tables_, cancelled, threads);
  if (cancelled()) return PageRoadStatus::Cancelled;
  if (reduction_) {
    // After a move the rows kept for the pass down are those of the moved page.
    if (MayMoveLowerHalfUp()) reduction_->RowsReducedAcross(0, buffers_.height);
    if (reduction_->Finish(threads) < 0) return PageRoadStatus::OutOfMemory;
  }
  if (enlargement_) {
    // After a move the rows kept for the enlargement are those of the moved page.
    if (MayMoveLowerHalfUp()) enlargement_->RowsFinal(0, buffers_.height);
    if (enlargement_->Finish(threads) < 0) return PageRoadStatus::OutOfMemory;
  }
  if (!rendering_) return Render(buffers_, settings_, tables_, cancelled);
  return rendering_->Finish(cancelled) == 0 ? PageRoadStatus::Done : PageRoadStatus::Cancelled;
}

}  // namespace velta
