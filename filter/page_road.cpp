// The pure stages of one page, in their fixed order, on in-memory buffers.
#include "filter/page_road.h"

#include "color/direct_map.h"
#include "color/resize.h"
#include "color/row_bands.h"
#include "filter/blank_half.h"
#include "render/render_variant.h"
#include "render/smear_control.h"

namespace velta {

namespace {

// Colour-corrects every row of the page through a freshly built colour table set
// and, while DirectMap is on, the print mode's direct colour map; bands of rows
// go to both threads when the renderer has two.
bool CorrectColours(const PageBuffers& buffers, JobSettings& settings, JobTables& tables,
                    const CancelCheck& cancelled, int threads) {
  ColorTableSet colortable;
  BuildColorTables(colortable, settings.stp_saturation, settings.monochrome, tables.color_params);
  const int bTableRet = settings.directmap != 0
                            ? InitDmapTbl(tables.DmapTbl.data(), 2187, settings.high_quality)
                            : 0;
  // The row routine counts pixels in 16 bits, as the printer's own code always has.
  const auto width = static_cast<int16_t>(buffers.width);
  RememberingColorCorrection correct[2] = {{colortable, bTableRet, tables.DmapTbl.data()},
                                           {colortable, bTableRet, tables.DmapTbl.data()}};
  return ForRowBands(buffers.height, 64, threads, cancelled, [&](std::size_t begin, std::size_t end, int worker) {
    for (std::size_t y = begin; y < end; ++y) correct[worker](buffers.page + y * buffers.width_DIB, width);
  });
}

// Enlarges or reduces the picture by the sign of the resize setting; false when a
// work picture could not be had.
bool ResizeBySetting(const PageBuffers& buffers, int32_t stp_resize, int threads) {
  const auto width = static_cast<int32_t>(buffers.width);
  const auto height = static_cast<int32_t>(buffers.height);
  if (stp_resize > 0) return ResizePicture(buffers.page, width, height, stp_resize, stp_resize, threads) >= 0;
  if (stp_resize < 0)
    return ResizePictureAverage(buffers.page, width, height, stp_resize, stp_resize, threads) >= 0;
  return true;
}

}  // namespace

JobTables PrepareJobTables(const JobSettings& settings) {
  JobTables tables;
  tables.color_params = ComputeColorParams(settings.stp_brightness, settings.stp_contrast,
                                           settings.stp_red, settings.stp_green, settings.stp_blue);
  return tables;
}

PageRoadStatus RunPageRoad(const PageBuffers& buffers, JobSettings& settings, JobTables& tables,
                           const CancelCheck& cancelled, int& SpaceFlag) {
  // The printer is told when one half of a full sheet is blank; a picture in the
  // lower half alone is moved to the top first.
  SpaceFlag = BlankHalfTest(buffers.page, buffers.width_DIB, buffers.width, buffers.height);
  if (cancelled()) return PageRoadStatus::Cancelled;

  const int threads = CurrentRenderVariant().threads;
  if (!CorrectColours(buffers, settings, tables, cancelled, threads)) return PageRoadStatus::Cancelled;
  if (cancelled()) return PageRoadStatus::Cancelled;

  if (!ResizeBySetting(buffers, settings.stp_resize, threads)) return PageRoadStatus::OutOfMemory;
  if (cancelled()) return PageRoadStatus::Cancelled;

  GetSmearlut(tables.hotlut.data(), settings.high_quality);
  const int rendered = SmearControl(buffers.page, buffers.width, buffers.height,
                                    tables.hotlut.data(), buffers.send, settings.high_quality,
                                    static_cast<int16_t>(settings.stp_sharpness), cancelled,
                                    buffers.rows_done);
  if (rendered < 0) return PageRoadStatus::OutOfMemory;
  if (rendered > 0) return PageRoadStatus::Cancelled;
  return PageRoadStatus::Done;
}

}  // namespace velta
