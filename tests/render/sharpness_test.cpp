// The sharpness filter: conversion tables, the skin-tone window and the
// unsharp mask with its page-edge guard.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "render/sharpness.h"

namespace velta {
namespace {

// A page of h rows of w pixels, every byte `fill`, with the row stride the
// raster rows are stored with.
struct TestPage {
  std::size_t w, h, stride;
  std::vector<uint8_t> bytes;
  TestPage(std::size_t width, std::size_t height, uint8_t fill)
      : w(width), h(height), stride((3 * width + 3) / 4 * 4), bytes(stride * height, fill) {}
  void SetPixel(std::size_t x, std::size_t y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* pixel = &bytes[y * stride + 3 * x];
    pixel[0] = r, pixel[1] = g, pixel[2] = b;
  }
  uint8_t Byte(std::size_t x, std::size_t y) const { return bytes[y * stride + x]; }
  int Sharpened(int y, int x, int16_t s) const {
    return ChangeSharpness(bytes.data(), y, x, static_cast<int>(h), static_cast<int>(w), s);
  }
};

TEST(ConversionTables, EntriesAreTheRoundedCoefficientTimes1024) {
  struct Entry {
    const std::array<int32_t, 768>* table;
    const char* name;
    int index;
    int32_t value;
  } entries[] = {
      {&Y_TableInt, "Y", 0, 0},           {&Y_TableInt, "Y", 1, 306},        {&Y_TableInt, "Y", 255, 78052},
      {&Y_TableInt, "Y", 511, 153176},    {&Y_TableInt, "Y", 767, 29892},    {&Cb_TableInt, "Cb", 1, -173},
      {&Cb_TableInt, "Cb", 255, -44071},  {&Cb_TableInt, "Cb", 511, -86489}, {&Cb_TableInt, "Cb", 767, 130560},
      {&Cr_TableInt, "Cr", 1, 512},       {&Cr_TableInt, "Cr", 255, 130560}, {&Cr_TableInt, "Cr", 288, -13709},
      {&Cr_TableInt, "Cr", 511, -109242}, {&Cr_TableInt, "Cr", 767, -21318},
  };
  for (const Entry& entry : entries) {
    EXPECT_EQ((*entry.table)[entry.index], entry.value) << entry.name << "[" << entry.index << "]";
  }
}

// Sums of a pixel's three table entries.
int32_t Sum(const std::array<int32_t, 768>& table, int r, int g, int b) {
  return table[r] + table[256 + g] + table[512 + b];
}

TEST(ConversionTables, GreysHaveNoColourDifference) {
  EXPECT_EQ(Sum(Y_TableInt, 255, 255, 255), 261120);
  for (int v = 0; v < 256; ++v) {
    EXPECT_LE(std::abs(Sum(Y_TableInt, v, v, v) - 1024 * v), 1) << "grey " << v;
    EXPECT_EQ(Sum(Cb_TableInt, v, v, v), 0) << "grey " << v;
    EXPECT_EQ(Sum(Cr_TableInt, v, v, v), 0) << "grey " << v;
  }
}

TEST(FaceWindow, SkinTonePixelSumsAndClass) {
  EXPECT_EQ(Sum(Y_TableInt, 230, 180, 150), 196108);
  EXPECT_EQ(Sum(Cb_TableInt, 230, 180, 150), -24001);
  EXPECT_EQ(Sum(Cr_TableInt, 230, 180, 150), 28108);
  EXPECT_EQ(Sum(Cb_TableInt, 100, 180, 150), -1534);
  struct PixelCase {
    uint8_t r, g, b;
    bool face;
  } pixels[] = {{230, 180, 150, true}, {100, 180, 150, false}, {255, 255, 255, false}, {0, 0, 0, false}};
  for (const PixelCase& pixel : pixels) {
    EXPECT_EQ(IsFacePixel(pixel.r, pixel.g, pixel.b), pixel.face)
        << int(pixel.r) << "," << int(pixel.g) << "," << int(pixel.b);
  }
}

TEST(FaceWindow, LimitsAreInclusiveOrExclusiveAsCalibrated) {
  struct SumsCase {
    int32_t luminance, Cb, Cr;
    bool face;
  } cases[] = {
      {196108, -24001, 28108, true},  {90001, -24001, 28108, true},   {90000, -24001, 28108, false},
      {255999, -24001, 28108, true},  {256000, -24001, 28108, false}, {196108, -39999, 28108, true},
      {196108, -40000, 28108, false}, {196108, -9001, 28108, true},   {196108, -9000, 28108, false},
      {196108, -24001, 1025, true},   {196108, -24001, 1024, false},  {196108, -24001, 54999, true},
      {196108, -24001, 55000, false},
  };
  for (const SumsCase& sums : cases) {
    EXPECT_EQ(IsFaceWindow(sums.luminance, sums.Cb, sums.Cr), sums.face)
        << sums.luminance << " " << sums.Cb << " " << sums.Cr;
  }
}

// An 8 x 8 page of 100 with one pixel at row 4, pixel 4: a skin tone is
// sharpened gently, the same pixel with less red (background) strongly.
TEST(ChangeSharpness, SinglePixelOnAFlatPage) {
  struct PixelCase {
    uint8_t r, g, b;
    int16_t s;
    int expected[3];
  } cases[] = {
      {230, 180, 150, 1, {237, 184, 152}}, {230, 180, 150, 4, {255, 198, 161}}, {230, 180, 150, 8, {255, 216, 173}},
      {100, 180, 150, 1, {100, 199, 161}}, {100, 180, 150, 4, {100, 247, 192}}, {100, 180, 150, 8, {100, 255, 234}},
  };
  for (const PixelCase& pixel : cases) {
    TestPage page(8, 8, 100);
    page.SetPixel(4, 4, pixel.r, pixel.g, pixel.b);
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(page.Sharpened(4, 12 + c, pixel.s), pixel.expected[c])
          << int(pixel.r) << "," << int(pixel.g) << "," << int(pixel.b) << " s=" << pixel.s << " channel " << c;
    }
  }
}

TEST(ChangeSharpness, GainAndClamps) {
  // Grey centre 200 among 190s and two 185s: mean 190, background gain
  // 1802 at s = 8: (204800 + 10 x 1802) >> 10 = 217.
  TestPage contrast(8, 8, 190);
  contrast.SetPixel(4, 4, 200, 200, 200);
  contrast.SetPixel(3, 4, 185, 185, 185);
  contrast.SetPixel(5, 4, 185, 185, 185);
  // Centre 250 among 198s: mean 200, far over full energy.
  TestPage bright(8, 8, 198);
  bright.SetPixel(4, 4, 250, 250, 250);
  // A black pixel among brighter ones cannot go below 0.
  TestPage dark(8, 8, 120);
  dark.SetPixel(4, 4, 0, 0, 0);
  struct GainCase {
    const char* name;
    const TestPage* page;
    int16_t s;
    int expected;
  } cases[] = {
      {"background gain", &contrast, 8, 217},
      {"clamped to 255", &bright, 8, 255},
      {"clamped to 0", &dark, 8, 0},
      {"index 0 leaves it", &contrast, 0, 200},
      {"index 9 leaves it", &contrast, 9, 200},
      {"negative index leaves it", &contrast, -1, 200},
  };
  for (const GainCase& gain : cases) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(gain.page->Sharpened(4, 12 + c, gain.s), gain.expected) << gain.name;
  }
}

TEST(ChangeSharpness, FlatAreaIsUnchanged) {
  for (uint8_t value : {0, 1, 128, 254, 255}) {
    TestPage page(9, 9, value);
    for (int16_t s = 1; s <= 8; ++s) EXPECT_EQ(page.Sharpened(4, 13, s), value) << int(value) << " s=" << s;
  }
}

// On a checkerboard of 100 and 140 every byte with a full 5 x 5 neighbourhood
// changes under the strongest gain, so the bytes left unchanged are exactly
// the guarded border: three rows at top and bottom, two pixels at each side,
// and every byte of a page lower than 7 rows or narrower than 3 pixels.
TEST(ChangeSharpness, BorderGuardOnPagesOfEveryShape) {
  for (std::size_t h = 1; h <= 10; ++h) {
    for (std::size_t w = 1; w <= 10; ++w) {
      TestPage page(w, h, 0);
      for (std::size_t y = 0; y < h; ++y) {
        for (std::size_t x = 0; x < w; ++x) {
          const uint8_t v = (x + y) % 2 == 0 ? 140 : 100;
          page.SetPixel(x, y, v, v, v);
        }
      }
      for (std::size_t y = 0; y < h; ++y) {
        for (std::size_t x = 0; x < 3 * w; ++x) {
          const long row = static_cast<long>(y), byte = static_cast<long>(x);
          const bool border =
              row < 3 || row >= static_cast<long>(h) - 3 || byte < 6 || byte >= 3 * static_cast<long>(w) - 6;
          const int sharpened = page.Sharpened(static_cast<int>(row), static_cast<int>(byte), 8);
          EXPECT_EQ(sharpened == page.Byte(x, y), border) << w << "x" << h << " row " << y << " byte " << x;
        }
      }
    }
  }
}

// The row form gives the same bytes as asking byte by byte, on a page with
// skin tones, background and the border.
TEST(SharpenRow, EqualsChangeSharpnessForEveryByte) {
  const std::size_t w = 23, h = 11;
  TestPage page(w, h, 0);
  for (std::size_t n = 0; n < page.bytes.size(); ++n) page.bytes[n] = static_cast<uint8_t>((n * 37 + n / 7) % 256);
  for (std::size_t x = 5; x < 15; ++x) page.SetPixel(x, 5, static_cast<uint8_t>(220 + x), 180, 150);
  std::vector<uint8_t> row(3 * w);
  for (int16_t s = 0; s <= 8; ++s) {
    for (std::size_t y = 0; y < h; ++y) {
      SharpenRow(page.bytes.data(), y, h, w, s, row.data());
      for (std::size_t x = 0; x < 3 * w; ++x) {
        ASSERT_EQ(row[x], page.Sharpened(static_cast<int>(y), static_cast<int>(x), s))
            << "s=" << s << " row " << y << " byte " << x;
      }
    }
  }
}

}  // namespace
}  // namespace velta
