#include "render/sharpness.h"

namespace velta {
namespace {

// Luminance weights of red, green and blue.
constexpr double K_R = 0.298912;
constexpr double K_G = 0.586611;
constexpr double K_B = 0.114477;

// The per-channel coefficients of each sum: red, green, blue.
constexpr double Y_COEFFICIENTS[3] = {K_R, K_G, K_B};
constexpr double CB_COEFFICIENTS[3] = {-K_R / (2 * (1 - K_B)), -K_G / (2 * (1 - K_B)), 0.5};
constexpr double CR_COEFFICIENTS[3] = {0.5, -K_G / (2 * (1 - K_R)), -K_B / (2 * (1 - K_R))};

// Returns coefficient x 1024 x v in double precision.
constexpr double exact_entry(const double (&coefficients)[3], int index) {
  return coefficients[index / 256] * 1024.0 * static_cast<double>(index % 256);
}

// Rounds x to the nearest integer, halves away from zero.
constexpr int32_t round_nearest(double x) {
  return x < 0 ? -static_cast<int32_t>(-x + 0.5) : static_cast<int32_t>(x + 0.5);
}

// Builds one conversion table of three blocks of 256 rounded entries.
constexpr std::array<int32_t, 768> make_table(const double (&coefficients)[3]) {
  std::array<int32_t, 768> table{};
  for (int index = 0; index < 768; ++index) table[index] = round_nearest(exact_entry(coefficients, index));
  return table;
}

// Returns how close any entry of a table comes to a half, the one place where
// a rounding error of the double products could pick the other integer.
constexpr double closest_to_half(const double (&coefficients)[3]) {
  double closest = 1.0;
  for (int index = 0; index < 768; ++index) {
    const double x = exact_entry(coefficients, index);
    const double magnitude = x < 0 ? -x : x;
    const double fraction = magnitude - static_cast<double>(static_cast<int64_t>(magnitude));
    const double distance = fraction > 0.5 ? fraction - 0.5 : 0.5 - fraction;
    if (distance < closest) closest = distance;
  }
  return closest;
}

// Products of at most about 1024 x 255 carry errors near 1e-10, far below
// these margins, so every entry is the correctly rounded value.
static_assert(closest_to_half(Y_COEFFICIENTS) > 0.0007);
static_assert(closest_to_half(CB_COEFFICIENTS) > 0.0007);
static_assert(closest_to_half(CR_COEFFICIENTS) > 0.0007);

}  // namespace

const std::array<int32_t, 768> Y_TableInt = make_table(Y_COEFFICIENTS);
const std::array<int32_t, 768> Cb_TableInt = make_table(CB_COEFFICIENTS);
const std::array<int32_t, 768> Cr_TableInt = make_table(CR_COEFFICIENTS);

const std::array<int32_t, 9> WeightFace6k = {0, 61, 123, 184, 246, 307, 368, 430, 492};
const std::array<int32_t, 9> WeightBack6k = {0, 255, 451, 676, 901, 1126, 1351, 1577, 1802};

}  // namespace velta
