// The resize stage: the picture enlarged about its centre or reduced onto the
// centre of a white page, by the resize setting.
#include "color/resize.h"
#include "pipeline/page_stage.h"

namespace velta {

namespace {

// Either resize speaks the stage's words already; this only adds the page's
// height and the road's status.
template <typename Resize>
class ResizeStage : public PageStage {
 public:
  template <typename... Plan>
  explicit ResizeStage(Plan&&... plan) : resize_(std::forward<Plan>(plan)...) {}

  void RowsFinal(std::size_t rows) override { resize_.RowsFinal(rows); }
  bool WorkAhead() override { return resize_.WorkAhead(); }
  std::size_t RowsDone() const override { return resize_.RowsDone(); }
  void RowsRewritten() override { resize_.RowsRewritten(); }
  PageRoadStatus Finish(int threads, const CancelCheck& cancelled) override {
    if (cancelled()) return PageRoadStatus::Cancelled;
    const int result = resize_.Finish(threads);
    if (result == kHelperFailed) return PageRoadStatus::HelperFailed;
    return result < 0 ? PageRoadStatus::OutOfMemory : PageRoadStatus::Done;
  }

 private:
  Resize resize_;
};

}  // namespace

std::unique_ptr<PageStage> MakeResizeStage(const PageBuffers& buffers, int32_t stp_resize, int threads) {
  const auto width = static_cast<int32_t>(buffers.width);
  const auto height = static_cast<int32_t>(buffers.height);
  if (stp_resize > 0)
    return std::make_unique<ResizeStage<PictureEnlargement>>(buffers.page, width, height, stp_resize, stp_resize,
                                                             threads);
  if (stp_resize < 0)
    return std::make_unique<ResizeStage<PictureReduction>>(buffers.page, width, height, stp_resize, stp_resize);
  return nullptr;
}

}  // namespace velta
