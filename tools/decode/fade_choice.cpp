// Choosing, along a run of faded bytes, between the faded and the unfaded
// reading of each written energy.
#include "fade_choice.h"

#include <algorithm>
#include <limits>

namespace velta {
namespace {

// How much a gap to the row above counts against a gap along the row: a
// little, to settle near ties, since the run crosses every horizontal edge of
// the picture where the row above is no guide.
constexpr double kAboveShare = 1.0 / 16;

}  // namespace

double Gap(const ToneRange& a, const ToneRange& b) { return std::max({0.0, a.low - b.high, b.low - a.high}); }

std::vector<int> SmoothestReadings(std::span<const FadedByte> run, const ToneRange* anchor, const ToneRange& reach) {
  // cost[k][r]: the least cost of the walk up to byte k with reading r there;
  // from[k][r]: the reading of byte k - 1 on that walk.
  std::vector<std::array<double, 2>> cost(run.size());
  std::vector<std::array<int, 2>> from(run.size());
  for (size_t k = 0; k < run.size(); ++k) {
    for (int r = 0; r < run[k].count; ++r) {
      const ToneRange& here = run[k].readings[r];
      const double own = Gap(here, reach) + kAboveShare * Gap(here, run[k].above);
      if (k == 0) {
        cost[k][r] = own + (anchor != nullptr ? Gap(here, *anchor) : 0);
        continue;
      }
      cost[k][r] = std::numeric_limits<double>::infinity();
      for (int q = 0; q < run[k - 1].count; ++q) {
        const double total = cost[k - 1][q] + Gap(here, run[k - 1].readings[q]) + own;
        if (total < cost[k][r]) cost[k][r] = total, from[k][r] = q;
      }
    }
  }
  std::vector<int> chosen(run.size());
  for (size_t k = run.size(); k-- > 0;) {
    if (k + 1 == run.size()) {
      chosen[k] = run[k].count > 1 && cost[k][1] < cost[k][0] ? 1 : 0;
    } else {
      chosen[k] = from[k + 1][chosen[k + 1]];
    }
  }
  return chosen;
}

}  // namespace velta
