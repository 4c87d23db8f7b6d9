// The picture as the printer prints it: a page's head energies with the
// renderer's heat compensation and row-end fade taken back out.
#include "printed_picture.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "fade_choice.h"
#include "fade_inversion.h"
#include "heat_replay.h"
#include "tone_inversion.h"

namespace velta {
namespace {

// What one channel needs: its plane, the inverse of its tone curve and the
// tone values the curve reaches.
struct Channel {
  std::span<const uint8_t> energies;
  std::array<uint8_t, 256> inverse;
  ToneRange reach;
};

// The three channels in the renderer's byte order (red, green, blue); red
// is printed from plane 2 through block 2, blue from plane 0 through block 0.
std::array<Channel, 3> Channels(const DecodedPage& page, std::span<const uint8_t, 768> tone_table) {
  std::array<Channel, 3> channels;
  for (int c = 0; c < 3; ++c) {
    const auto curve = tone_table.subspan(256 * static_cast<size_t>(2 - c)).first<256>();
    const auto [lowest, highest] = std::minmax_element(curve.begin(), curve.end());
    channels[c] = {
        page.plane(2 - c), InvertToneCurve(curve), {static_cast<double>(*lowest), static_cast<double>(*highest)}};
  }
  return channels;
}

// What a byte's written energy says about its tone value: the values it
// allows, within the curve's reach, and the one taken.
struct ToneReading {
  ToneRange range;
  double tone;
};

// The tone values that the energies in `energies` give at byte i.
ToneRange TonesFor(const HeatReplay& heat, size_t i, const EnergyRange& energies) {
  return {heat.ToneFor(energies.low, i), heat.ToneFor(energies.high, i)};
}

// Takes from the range a written energy allows the value `near` held inside
// it (an energy known exactly gives its own value), within the curve's reach.
ToneReading Take(const ToneRange& range, double near, const Channel& channel) {
  const auto within = [&](double t) { return std::clamp(t, channel.reach.low, channel.reach.high); };
  return {{within(range.low), within(range.high)}, within(std::clamp(near, range.low, range.high))};
}

// How far down a column to look for the end of a clamped run.
constexpr size_t kLookahead = 32;

// The tone value behind byte i (pixel p) of row j, whose energy is clamped
// at a sharp step from the row above (above lies outside range). Held
// through the clamped rows, the value must write the energy of the first
// unclamped row below; without one near (fine stripes keep a byte clamped
// down the page), the row above stands, which Take brings to the least value
// the clamp allows: lighter than printed after a step to dark.
double ToneBehindStep(const HeatReplay& heat, const Channel& channel, uint32_t width, size_t height, uint32_t p,
                      size_t i, size_t j, const ToneRange& range, double above) {
  const int low = static_cast<int>(std::ceil(std::max(range.low, channel.reach.low)));
  const int high = static_cast<int>(std::floor(std::min(range.high, channel.reach.high)));
  for (size_t r = 1; r <= kLookahead && j + r < height && low <= high; ++r) {
    const uint8_t energy = channel.energies[(j + r) * width + p];
    if (energy != 0 && energy != 255) return heat.HeldTone(i, static_cast<int>(r), energy, low, high);
  }
  return above;
}

// Reads the faded bytes of one run and channel c of a row into row, whose
// unfaded bytes are read already and whose faded ones hold the row above.
void ReadFadedRun(const HeatReplay& heat, const FadeInversion& fade, const FadedRun& run, const Channel& channel,
                  size_t c, size_t row_start, std::vector<ToneReading>& row) {
  std::vector<FadedByte> bytes(run.walk.size());
  for (size_t k = 0; k < run.walk.size(); ++k) {
    const size_t i = 3 * size_t{run.walk[k]} + c;
    const FadeCandidates candidates = fade.Before(channel.energies[row_start + run.walk[k]], run.walk[k]);
    bytes[k].count = candidates.count;
    for (int n = 0; n < candidates.count; ++n) bytes[k].readings[n] = TonesFor(heat, i, candidates.ranges[n]);
    bytes[k].above = row[i].range;
  }
  const ToneReading* anchor = run.anchor >= 0 ? &row[3 * static_cast<size_t>(run.anchor) + c] : nullptr;
  const std::vector<int> chosen = SmoothestReadings(bytes, anchor != nullptr ? &anchor->range : nullptr, channel.reach);
  // Along the walk, a range takes the value of the byte before it.
  double near = anchor != nullptr ? anchor->tone : row[3 * size_t{run.walk[0]} + c].tone;
  for (size_t k = 0; k < run.walk.size(); ++k) {
    ToneReading& reading = row[3 * size_t{run.walk[k]} + c];
    reading = Take(bytes[k].readings[chosen[k]], near, channel);
    near = reading.tone;
  }
}

// Reads the tone values of row j (j >= 1) into row, which holds row j - 1's
// on entry: first every unfaded byte from its written energy, then the faded
// runs, which lean on them. A clamped byte (255, or 0) allows a range open at
// one end: the renderer's value beyond the clamp is lost and cannot be
// recovered exactly. Where the byte's value in the row above lies in that
// range, as in a smooth picture through the cold-start rows, it stands in;
// at a sharp step the rows below tell.
void ReadRow(const HeatReplay& heat, const FadeInversion& fade, const std::array<Channel, 3>& channels, uint32_t width,
             size_t height, size_t j, std::vector<ToneReading>& row) {
  const size_t row_start = j * width;
  for (uint32_t p = 0; p < width; ++p) {
    if (fade.Faded(p)) continue;
    for (size_t c = 0; c < 3; ++c) {
      const size_t i = 3 * size_t{p} + c;
      const ToneRange range = TonesFor(heat, i, UnfadedRange(channels[c].energies[row_start + p]));
      double near = row[i].tone;
      if (near < range.low || near > range.high) {
        near = ToneBehindStep(heat, channels[c], width, height, p, i, j, range, near);
      }
      row[i] = Take(range, near, channels[c]);
    }
  }
  for (const FadedRun& run : fade.Runs()) {
    for (size_t c = 0; c < 3; ++c) ReadFadedRun(heat, fade, run, channels[c], c, row_start, row);
  }
}

}  // namespace

std::vector<uint8_t> PrintedPicture(const DecodedPage& page, std::span<const uint8_t, 768> tone_table) {
  if (!page.has_planes) return {};
  const uint32_t w = page.width;
  const auto channels = Channels(page, tone_table);
  std::vector<uint8_t> rgb(static_cast<size_t>(page.plane_size()) * 3);
  std::vector<ToneReading> row(3 * size_t{w});
  std::vector<uint8_t> tones(row.size());
  HeatReplay heat(w, page.high_quality);
  const FadeInversion fade(w);
  for (size_t j = 0; j < page.height; ++j) {
    if (j == 0) {
      // The first row goes through the tone table alone: no history, no
      // dither, no fade.
      for (size_t i = 0; i < row.size(); ++i) {
        const double tone = channels[i % 3].energies[i / 3];
        row[i] = {{tone, tone}, tone};
      }
    } else {
      ReadRow(heat, fade, channels, w, page.height, j, row);
    }
    for (size_t i = 0; i < row.size(); ++i) tones[i] = static_cast<uint8_t>(std::lround(row[i].tone));
    if (j > 0) heat.Advance(tones);
    uint8_t* out = rgb.data() + j * tones.size();
    for (size_t i = 0; i < tones.size(); ++i) out[i] = channels[i % 3].inverse[tones[i]];
  }
  return rgb;
}

}  // namespace velta
