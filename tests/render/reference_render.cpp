#include "tests/render/reference_render.h"

#include <cmath>
#include <vector>

#include "tests/render/reference_mt19937.h"

namespace velta::reference {
namespace {

constexpr double KR = 0.298912, KG = 0.586611, KB = 0.114477;

// Returns coefficient x 1024 x v rounded to the nearest integer.
int64_t Scaled(double coefficient, int v) { return std::llround(coefficient * 1024.0 * v); }

// Luminance, Cb and Cr sums of a pixel, in 1/1024.
int64_t Luminance(int r, int g, int b) { return Scaled(KR, r) + Scaled(KG, g) + Scaled(KB, b); }
int64_t Cb(int r, int g, int b) {
  return Scaled(-KR / (2 * (1 - KB)), r) + Scaled(-KG / (2 * (1 - KB)), g) + Scaled(0.5, b);
}
int64_t Cr(int r, int g, int b) {
  return Scaled(0.5, r) + Scaled(-KG / (2 * (1 - KR)), g) + Scaled(-KB / (2 * (1 - KR)), b);
}

}  // namespace

int ChangeSharpness(const uint8_t* page, int64_t y, int64_t x, int64_t h, int64_t w, int s) {
  static const int64_t face[9] = {0, 61, 123, 184, 246, 307, 368, 430, 492};
  static const int64_t back[9] = {0, 255, 451, 676, 901, 1126, 1351, 1577, 1802};
  const int64_t stride = (3 * w + 3) / 4 * 4;
  const int64_t pos = y * stride + x;
  if (y < 3 || x < 6 || y >= h - 3 || x >= 3 * w - 6) return page[pos];
  const int64_t first = pos - x % 3;
  const int r = page[first], g = page[first + 1], b = page[first + 2];
  int64_t sum = 0;
  for (int64_t dy = -2; dy <= 2; ++dy) {
    for (int64_t dx = -6; dx <= 6; dx += 3) sum += page[pos + dy * stride + dx];
  }
  const int64_t mean = sum / 25;
  const int64_t Y = Luminance(r, g, b), U = Cb(r, g, b), V = Cr(r, g, b);
  const bool isFace = Y >= 90001 && Y <= 255999 && U > -40000 && U < -9000 && V > 1024 && V <= 54999;
  const int64_t weight = isFace ? face[s] : back[s];
  const int64_t c = page[pos];
  const int64_t value = c * 1024 + (c - mean) * weight;
  if (value < 0) return 0;
  if (value > 261120) return 255;
  return static_cast<int>(value / 1024);
}

void SmearControl(const uint8_t* page, uint32_t w32, uint32_t h32, const uint8_t* hotlut, uint8_t* send, int iPrintMode,
                  int16_t caSharpness) {
  const int64_t w = w32, h = h32;
  std::vector<int32_t> MiddleHistory(3 * w + 1), LongHistory(3 * w + 1);
  const int s = (caSharpness >= -3 && caSharpness <= 4) ? caSharpness + 4 : 0;
  Mt19937 generator;
  generator.SeedByArray({0x123, 0x234, 0x345, 0x456});
  const bool hq = iPrintMode != 0;
  const int32_t MiddleWeight = hq ? 930 : 970, LongWeight = hq ? 135 : 150, LongLength = hq ? 1019 : 1020,
                MiddleLength_H = hq ? 750 : 835, MiddleLength_L = hq ? 830 : 900, MWideWeight = hq ? 200 : 100;
  const int64_t iLength = (3 * w + 3) / 4 * 4;
  for (int64_t j = 0; j < h; ++j) {
    for (int64_t i = 0; i < 3 * w; ++i) {
      const int iData = s > 0 ? ChangeSharpness(page, j, i, h, w, s) : page[iLength * j + i];
      const int64_t c = i % 3, p = i / 3;
      const int64_t d = (c == 0 ? 2 * w * h : c == 1 ? w * h : 0) + w * j + p;
      const int32_t t = hotlut[256 * c + iData];
      if (j == 0) {
        send[d] = static_cast<uint8_t>(t);
        MiddleHistory[i] = 0;
        LongHistory[i] = 0;
      } else {
        const int32_t OrgData = t * 1024;
        const int32_t MiddleSmear = OrgData + ((OrgData - MiddleHistory[i]) * MiddleWeight >> 10);
        const int32_t LongSmear = MiddleSmear + ((MiddleSmear - LongHistory[i]) * LongWeight >> 10);
        int32_t Temp = (LongSmear + static_cast<int32_t>(generator.Next() & 0x7FF)) >> 10;
        if (Temp > 200) {
          if (i < 30) Temp = static_cast<int32_t>(std::trunc(static_cast<double>(Temp * p) * 0.05));
          if (i > 3 * w - 30) {
            const int64_t k = 10 - (w - p);
            const double f = 1.0 + static_cast<double>(k) * (-0.05);
            Temp = static_cast<int32_t>(std::trunc(f * static_cast<double>(Temp)));
          }
          if (Temp > 255) Temp = 255;
        }
        if (Temp < 0) Temp = 0;
        send[d] = static_cast<uint8_t>(Temp);
        LongHistory[i] = (LongLength * LongHistory[i] >> 10) + LongSmear - (LongLength * LongSmear >> 10);
        const int32_t Mhigh = MiddleLength_H + (OrgData * 80) / 261120;
        const int32_t a = MiddleSmear < 0 ? MiddleLength_L : Mhigh;
        MiddleHistory[i] = (a * MiddleHistory[i] >> 10) + MiddleSmear - (a * MiddleSmear >> 10);
      }
      if (i > 6) {
        LongHistory[i - 3] = (310 * LongHistory[i - 6] + 404 * LongHistory[i - 3] + 310 * LongHistory[i]) >> 10;
        MiddleHistory[i - 3] = (MWideWeight * MiddleHistory[i - 6] + (1024 - 2 * MWideWeight) * MiddleHistory[i - 3] +
                                MWideWeight * MiddleHistory[i]) >>
                               10;
      }
    }
  }
}

}  // namespace velta::reference
