// The colour stage: brightness, contrast, balance, saturation, monochrome and
// the direct colour map, row by row in place.
#include <optional>

#include "color/color_adjust.h"
#include "color/direct_map.h"
#include "color/page_color_correction.h"
#include "color/row_bands.h"
#include "pipeline/page_stage.h"

namespace velta {

namespace {

class ColourStage : public PageStage {
 public:
  ColourStage(const PageBuffers& buffers, JobSettings& settings, JobTables& tables) : buffers_(buffers) {
    BuildColorTables(colortable_, settings.stp_saturation, settings.monochrome, tables.color_params);
    const int bTableRet = settings.directmap != 0 ? InitDmapTbl(tables.DmapTbl.data(), 2187, settings.high_quality) : 0;
    correct_.emplace(colortable_, bTableRet, tables.DmapTbl.data());
    changes_ = correct_->changes_colours();
  }

  void RowsFinal(std::size_t rows) override {
    // The rows come one call at a time, all before Finish: they are worker
    // 1's, as the helper's rows are in Finish, never at the same time.
    if (rows > done_) CorrectRows(done_, rows, 1);
    done_ = rows > done_ ? rows : done_;
  }

  std::size_t RowsDone() const override { return done_; }

  PageRoadStatus Finish(int threads, const CancelCheck& cancelled) override {
    if (!changes_) {
      done_ = buffers_.height;
      return cancelled() ? PageRoadStatus::Cancelled : PageRoadStatus::Done;
    }
    const std::size_t first = done_;
    const BandsEnd end = ForRowBands(
        buffers_.height - first, 64, threads, cancelled,
        [&](std::size_t begin, std::size_t end, int worker) { CorrectRows(first + begin, first + end, worker); });
    if (end == BandsEnd::Cancelled) return PageRoadStatus::Cancelled;
    if (end == BandsEnd::Failed) return PageRoadStatus::HelperFailed;
    done_ = buffers_.height;
    return PageRoadStatus::Done;
  }

 private:
  // Corrects rows [begin, end) as the given worker. The row routine counts
  // pixels in 16 bits, as the printer's own code always has.
  void CorrectRows(std::size_t begin, std::size_t end, int worker) {
    if (!changes_) return;
    const auto width = static_cast<int16_t>(buffers_.width);
    for (std::size_t y = begin; y < end; ++y) (*correct_)(buffers_.page + y * buffers_.width_DIB, width, worker);
  }

  const PageBuffers buffers_;
  ColorTableSet colortable_{};
  std::optional<PageColorCorrection> correct_;  // its tables are colortable_ and the job's DmapTbl
  bool changes_ = false;
  std::size_t done_ = 0;
};

}  // namespace

std::unique_ptr<PageStage> MakeColourStage(const PageBuffers& buffers, JobSettings& settings, JobTables& tables) {
  return std::make_unique<ColourStage>(buffers, settings, tables);
}

}  // namespace velta
