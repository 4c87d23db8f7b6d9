// The smear control: how a page becomes the printer's three head-data planes.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "render/random_source.h"
#include "render/smear_control.h"
#include "tests/render/reference_mt19937.h"

namespace velta {
namespace {

// A page buffer of h rows of w RGB pixels with its 4-byte row stride.
struct TestPage {
  uint32_t w, h;
  std::size_t stride;
  std::vector<uint8_t> bytes;
  TestPage(uint32_t width, uint32_t height, uint8_t fill)
      : w(width), h(height), stride((3 * std::size_t{width} + 3) / 4 * 4), bytes(stride * height, fill) {}
  uint8_t& At(std::size_t y, std::size_t i) { return bytes[y * stride + i]; }
};

// Returns a page of random bytes.
TestPage RandomPage(uint32_t w, uint32_t h, uint32_t seed) {
  TestPage page(w, h, 0);
  std::mt19937 random(seed);
  for (uint8_t& byte : page.bytes) byte = static_cast<uint8_t>(random() >> 24);
  return page;
}

// Renders a page in the given mode and returns the three planes.
std::vector<uint8_t> Render(const TestPage& page, int iPrintMode, int16_t caSharpness, const uint8_t* hotlut) {
  std::vector<uint8_t> send(3 * std::size_t{page.w} * page.h);
  EXPECT_EQ(SmearControl(page.bytes.data(), page.w, page.h, hotlut, send.data(), iPrintMode, caSharpness), 0);
  return send;
}

std::array<uint8_t, 768> Hotlut(int iPrintMode) {
  std::array<uint8_t, 768> hotlut{};
  GetSmearlut(hotlut.data(), iPrintMode);
  return hotlut;
}

// A page 20 pixels wide and 3 rows high, every byte 128, normal mode: plane 0
// (from blue, tone 129) byte for byte. Rows 1 and 2 draw the first 120
// numbers after seeding. The head is cold after row 0, so row 1 is pushed far
// above its tone: clamped at 255 in the middle, faded at both margins.
TEST(SmearControl, WorkedExampleOfAUniformPage) {
  const TestPage page(20, 3, 128);
  const auto hotlut = Hotlut(0);
  const std::vector<uint8_t> send = Render(page, 0, -4, hotlut.data());
  const uint8_t expected[3][20] = {
      {129, 129, 129, 129, 129, 129, 129, 129, 129, 129, 129, 129, 129, 129, 129, 129, 129, 129, 129, 129},
      {0, 14, 28, 43, 57, 72, 86, 100, 115, 130, 255, 255, 255, 245, 230, 216, 201, 187, 172, 158},
      {0, 12, 24, 37, 49, 62, 74, 86, 99, 112, 250, 235, 224, 211, 199, 186, 173, 161, 148, 136},
  };
  for (int row = 0; row < 3; ++row) {
    for (int x = 0; x < 20; ++x) EXPECT_EQ(send[20 * row + x], expected[row][x]) << "row " << row << " pixel " << x;
  }
}

// Before the head has printed anything there is no heat to compensate: the
// first row of every plane is its input through the tone table, with or
// without sharpening (the first rows are never sharpened).
TEST(SmearControl, FirstRowIsTheToneLookup) {
  for (int iPrintMode : {0, 1}) {
    const auto hotlut = Hotlut(iPrintMode);
    for (uint32_t h : {1u, 2u, 9u}) {
      for (int16_t caSharpness : {-4, 4}) {
        const TestPage page = RandomPage(31, h, h * 7 + iPrintMode);
        const std::vector<uint8_t> send = Render(page, iPrintMode, caSharpness, hotlut.data());
        const std::size_t plane = std::size_t{page.w} * h;
        for (std::size_t p = 0; p < page.w; ++p) {
          for (std::size_t c = 0; c < 3; ++c) {
            const uint8_t expected = hotlut[256 * c + page.bytes[3 * p + c]];
            EXPECT_EQ(send[(2 - c) * plane + p], expected)
                << "mode " << iPrintMode << " h=" << h << " pixel " << p << " channel " << c;
          }
        }
      }
    }
  }
}

// Red is printed by plane 2, green by plane 1, blue by plane 0.
TEST(SmearControl, ChannelsLandInReversePlanes) {
  TestPage page(2, 1, 0);
  page.At(0, 0) = 10, page.At(0, 1) = 20, page.At(0, 2) = 30;  // pixel 0: red, green, blue
  page.At(0, 3) = 40, page.At(0, 4) = 50, page.At(0, 5) = 60;
  std::array<uint8_t, 768> lut{};
  for (std::size_t n = 0; n < 768; ++n) lut[n] = static_cast<uint8_t>(n / 256 * 50 + n % 256);  // channel c adds 50c
  const std::vector<uint8_t> send = Render(page, 0, -4, lut.data());
  const uint8_t expected[6] = {
      130, 160,  // plane 0: blue + 100
      70,  100,  // plane 1: green + 50
      10,  40,   // plane 2: red
  };
  for (int n = 0; n < 6; ++n) EXPECT_EQ(send[n], expected[n]) << "send byte " << n;
}

// The dither is reseeded per page and drawn once per byte of every row but
// the first: after a page the generator stands (h - 1) x 3w numbers past the
// page seed, so a page of one row draws nothing.
TEST(SmearControl, DrawsOneNumberPerByteAfterTheFirstRow) {
  const auto hotlut = Hotlut(0);
  struct ShapeCase {
    uint32_t w, h;
  } shapes[] = {{1, 1}, {20, 1}, {1, 2}, {7, 2}, {7, 3}, {300, 2}};
  for (const ShapeCase& shape : shapes) {
    for (int16_t caSharpness : {-4, 0}) {
      const TestPage page = RandomPage(shape.w, shape.h, 5);
      init_genrand(99);  // an unrelated state the page must replace
      Render(page, 0, caSharpness, hotlut.data());
      reference::Mt19937 expected;
      expected.SeedByArray({0x123, 0x234, 0x345, 0x456});
      for (std::size_t n = 0; n < std::size_t{shape.h - 1} * 3 * shape.w; ++n) expected.Next();
      EXPECT_EQ(genrand_int32(), expected.Next()) << shape.w << "x" << shape.h << " sharpness " << caSharpness;
    }
  }
  const TestPage oneRow = RandomPage(5, 1, 3);
  Render(oneRow, 1, 0, Hotlut(1).data());
  EXPECT_EQ(genrand_int32(), 1067595299u);
}

// Nothing carries from page to page; every byte of the planes is written.
TEST(SmearControl, EqualPagesGiveEqualPlanes) {
  const auto hotlut = Hotlut(0);
  const TestPage page = RandomPage(37, 12, 1);
  const TestPage other = RandomPage(37, 12, 2);
  std::vector<uint8_t> first(3 * 37 * 12, 0x00), again(3 * 37 * 12, 0xFF);
  ASSERT_EQ(SmearControl(page.bytes.data(), 37, 12, hotlut.data(), first.data(), 0, 2), 0);
  Render(other, 1, -2, Hotlut(1).data());
  init_genrand(1);
  genrand_int32();
  ASSERT_EQ(SmearControl(page.bytes.data(), 37, 12, hotlut.data(), again.data(), 0, 2), 0);
  EXPECT_EQ(first, again);
}

TEST(SmearControl, SharpnessSettingSelectsTheIndex) {
  struct IndexCase {
    int16_t setting;
    int index;
  } cases[] = {{-32768, 0},
               {-5, 0},
               {-4, 0},
               {-3, 1},
               {-1, 3},
               {0, 4},
               {1, 5},
               {4, 8},
               {5, 0},
               {32767, 0},
               {static_cast<int16_t>(65537), 5}};
  for (const IndexCase& index : cases) EXPECT_EQ(SharpnessIndex(index.setting), index.index) << index.setting;
}

// Sharpening off (-4, 5) prints the page as it is; on (0) it changes a page
// with edges.
TEST(SmearControl, SharpeningOffLeavesThePageAlone) {
  const auto hotlut = Hotlut(0);
  TestPage page(16, 16, 60);
  for (std::size_t y = 0; y < 16; ++y) {
    for (std::size_t i = 24; i < 48; ++i) page.At(y, i) = 200;  // a bright band, pixels 8..15
  }
  const std::vector<uint8_t> off = Render(page, 0, -4, hotlut.data());
  EXPECT_EQ(Render(page, 0, 5, hotlut.data()), off);
  EXPECT_EQ(Render(page, 0, -32768, hotlut.data()), off);
  EXPECT_NE(Render(page, 0, 0, hotlut.data()), off);
}

// Counts the rows the renderer asked about, cancelling at a given poll.
struct CancelAfter {
  int polls = 0;
  int cancelAt = -1;
  static bool Poll(void* context) {
    auto* self = static_cast<CancelAfter*>(context);
    return ++self->polls == self->cancelAt;
  }
};

TEST(SmearControl, CancellationIsAskedEveryRow) {
  const auto hotlut = Hotlut(0);
  const TestPage page = RandomPage(9, 6, 4);
  std::vector<uint8_t> send(3 * 9 * 6);
  CancelAfter never;
  EXPECT_EQ(SmearControl(page.bytes.data(), 9, 6, hotlut.data(), send.data(), 0, -4, {CancelAfter::Poll, &never}), 0);
  EXPECT_GE(never.polls, 6);
  for (int cancelAt : {1, 3, 6}) {
    CancelAfter cancel{0, cancelAt};
    EXPECT_EQ(SmearControl(page.bytes.data(), 9, 6, hotlut.data(), send.data(), 0, -4, {CancelAfter::Poll, &cancel}), 1)
        << "cancel at poll " << cancelAt;
  }
}

TEST(SmearControl, EmptyPageWritesNothing) {
  const auto hotlut = Hotlut(0);
  uint8_t untouched = 77;
  EXPECT_EQ(SmearControl(&untouched, 0, 5, hotlut.data(), &untouched, 0, 0), 0);
  EXPECT_EQ(SmearControl(&untouched, 5, 0, hotlut.data(), &untouched, 0, 0), 0);
  EXPECT_EQ(untouched, 77);
}

}  // namespace
}  // namespace velta
