// The eleven settings that tune every page of a job.
#pragma once

#include <cstdint>

namespace velta {

// One job's settings, resolved once before the first page. All are 0 when the
// job has no PPD. Only stp_saturation changes later: Monochrome forces it to -10
// while the colour tables are built.
struct JobSettings {
  int32_t stp_brightness = 0;
  int32_t stp_contrast = 0;
  int32_t stp_saturation = 0;
  int32_t stp_resize = 0;     // > 0 enlarges, < 0 reduces, 0 leaves the picture alone
  int32_t stp_sharpness = 0;  // reaches the renderer as a 16-bit signed value
  int32_t stp_red = 0;
  int32_t stp_green = 0;
  int32_t stp_blue = 0;
  int32_t directmap = 0;     // 1: colours go through the 9x9x9 direct colour map
  int32_t monochrome = 0;    // 1: the picture is printed in grey
  int32_t high_quality = 0;  // 1: high-quality print mode (slower head, own tone table)
};

}  // namespace velta
