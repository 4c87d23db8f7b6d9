// Where a job's photos and pages land.
#include "app/job_placing.h"

#include "app/media_sizes.h"

namespace velta {

namespace {

// PAPPL's print-scaling bit as the placing's scaling.
PrintScaling ScalingOf(pappl_scaling_t scaling) {
  switch (scaling) {
    case PAPPL_SCALING_AUTO:
      return PrintScaling::Auto;
    case PAPPL_SCALING_AUTO_FIT:
      return PrintScaling::AutoFit;
    case PAPPL_SCALING_FIT:
      return PrintScaling::Fit;
    case PAPPL_SCALING_NONE:
      return PrintScaling::None;
    default:
      return PrintScaling::Fill;
  }
}

}  // namespace

bool PlacingForJob(pappl_job_t* job, const pappl_pr_options_t* options, PlacementRequest& request,
                   std::string& problem) {
  const pappl_media_col_t& media = options->media;
  const std::optional<std::size_t> sheet = SheetForMedia(media.size_width, media.size_length);
  if (!sheet) {
    problem = std::string("The media ") + media.size_name + " (" + std::to_string(media.size_width) + " x " +
              std::to_string(media.size_length) + " hundredths of a millimetre) is not a sheet this printer takes.";
    return false;
  }
  request.sheet_width = static_cast<uint32_t>(kSheetSizes[*sheet].dots_across);
  request.sheet_height = static_cast<uint32_t>(kSheetSizes[*sheet].dots_along);
  request.scaling = ScalingOf(options->print_scaling);
  const int orientation = static_cast<int>(options->orientation_requested);
  const bool named = papplJobGetAttribute(job, "orientation-requested") != nullptr;
  request.orientation_requested = named || orientation != IPP_ORIENT_PORTRAIT ? orientation : 0;
  return true;
}

}  // namespace velta
