// The render stage: the corrected page through the print mode's tone table
// into the three planes of head data, with the smear control.
#include "pipeline/page_stage.h"
#include "render/smear_control.h"

namespace velta {

namespace {

class RenderStage : public PageStage {
 public:
  RenderStage(const PageBuffers& buffers, const JobSettings& settings, JobTables& tables)
      : render_(buffers.page, buffers.width, buffers.height, LoadToneTable(tables, settings), buffers.send,
                settings.high_quality, static_cast<int16_t>(settings.stp_sharpness), buffers.rows_done),
        started_(render_.Start() == 0) {}

  void RowsFinal(std::size_t rows) override {
    if (started_) render_.RowsFinal(rows);
  }
  bool WorkAhead() override { return started_ && render_.WorkAhead(); }
  // The result is the send buffer, which no stage reads.
  std::size_t RowsDone() const override { return 0; }
  PageRoadStatus Finish(int, const CancelCheck& cancelled) override {
    if (!started_) return PageRoadStatus::OutOfMemory;
    if (cancelled()) return PageRoadStatus::Cancelled;
    switch (render_.Finish(cancelled)) {
      case 0:
        return PageRoadStatus::Done;
      case 1:
        return PageRoadStatus::Cancelled;
      default:
        return PageRoadStatus::HelperFailed;
    }
  }

 private:
  // Fills hotlut for the print mode and returns it.
  static const uint8_t* LoadToneTable(JobTables& tables, const JobSettings& settings) {
    GetSmearlut(tables.hotlut.data(), settings.high_quality);
    return tables.hotlut.data();
  }

  SmearControlByRows render_;
  bool started_;
};

}  // namespace

std::unique_ptr<PageStage> MakeRenderStage(const PageBuffers& buffers, const JobSettings& settings, JobTables& tables) {
  return std::make_unique<RenderStage>(buffers, settings, tables);
}

}  // namespace velta
