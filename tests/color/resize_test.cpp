// Picture resizing on the page: enlargement about the centre and reduction onto a
// white page, checked by hand and against the reference worked out pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <functional>
#include <random>
#include <stdexcept>
#include <vector>

#include "color/resize.h"
#include "color/row_bands.h"
#include "tests/reference/resize_reference.h"

namespace velta {
namespace {

// A page buffer sized exactly, so the address sanitizer sees any read past it.
struct Page {
  int32_t width, height;
  size_t stride;
  std::vector<uint8_t> bytes;

  Page(int32_t w, int32_t h, std::function<int(int, int, int)> pixel, uint8_t pad = 0x5A)
      : width(w), height(h), stride((3 * static_cast<size_t>(w) + 3) & ~size_t{3}), bytes(stride * h, pad) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 3; ++c) bytes[y * stride + 3 * x + c] = static_cast<uint8_t>(pixel(x, y, c));
  }
  int at(int x, int y, int c = 0) const { return bytes[y * stride + 3 * x + c]; }
  std::vector<int> Row(int y) const {
    std::vector<int> row;
    for (int x = 0; x < width; ++x) row.push_back(at(x, y));
    return row;
  }
  bool PadIsWhite() const {
    for (int y = 0; y < height; ++y)
      for (size_t i = 3 * static_cast<size_t>(width); i < stride; ++i)
        if (bytes[y * stride + i] != 255) return false;
    return true;
  }
};

std::function<int(int, int, int)> Columns(std::vector<int> values) {
  return [values](int x, int, int) { return values[x]; };
}
std::function<int(int, int, int)> Rows(std::vector<int> values) {
  return [values](int, int y, int) { return values[y]; };
}
std::function<int(int, int, int)> Noise(unsigned seed) {
  return
      [seed](int x, int y, int c) { return static_cast<int>(std::mt19937(seed + 7919 * x + 104729 * y + c)() & 255); };
}

// --- enlargement ---------------------------------------------------------------

// The page as the reference enlarges it.
std::vector<uint8_t> ReferenceEnlarge(const Page& page, int mag) {
  reference::Picture picture(page.width, page.height);
  picture.bytes = page.bytes;
  reference::Enlarge(picture, mag, mag);
  return picture.bytes;
}

TEST(ResizePicture, DoublingAFourByFourPictureKeepsItsCentre) {
  Page columns(4, 4, Columns({0, 100, 200, 255}));
  ASSERT_EQ(ResizePicture(columns.bytes.data(), 4, 4, 100, 100), 0);
  for (int y = 0; y < 4; ++y) EXPECT_EQ(columns.Row(y), (std::vector<int>{100, 150, 200, 227})) << "row " << y;

  Page rows(4, 4, Rows({0, 100, 200, 255}));
  ASSERT_EQ(ResizePicture(rows.bytes.data(), 4, 4, 100, 100), 0);
  for (int x = 0; x < 4; ++x)
    for (int y = 0; y < 4; ++y) EXPECT_EQ(rows.at(x, y, 2), (std::vector<int>{100, 150, 200, 227})[y]);
}

TEST(ResizePicture, TenPercentOnNinePixelsStretchesTheLeftPart) {
  // 1.1 x 9 truncates to 9: the window starts at column 0 but steps by 1 / 1.1.
  Page page(9, 1, [](int x, int, int) { return 10 * x; });
  ASSERT_EQ(ResizePicture(page.bytes.data(), 9, 1, 10, 10), 0);
  EXPECT_EQ(page.Row(0), (std::vector<int>{0, 9, 18, 27, 36, 45, 54, 63, 72}));
}

TEST(ResizePicture, TinyPicturesTakeTheirLastColumnAndRowAsNeighbours) {
  Page one(1, 1, [](int, int, int c) { return 40 + c; });
  ASSERT_EQ(ResizePicture(one.bytes.data(), 1, 1, 100, 100), 0);
  EXPECT_EQ(one.at(0, 0, 0), 40);
  EXPECT_EQ(one.at(0, 0, 2), 42);
  EXPECT_TRUE(one.PadIsWhite());

  // 2 x 2 doubled: positions 0.5 and 1.0 in each direction.
  const int values[2][2] = {{0, 100}, {200, 40}};
  Page two(2, 2, [&](int x, int y, int) { return values[y][x]; });
  ASSERT_EQ(ResizePicture(two.bytes.data(), 2, 2, 100, 100), 0);
  EXPECT_EQ(two.Row(0), (std::vector<int>{85, 70}));
  EXPECT_EQ(two.Row(1), (std::vector<int>{120, 40}));
  EXPECT_TRUE(two.PadIsWhite());

  Page pair(2, 1, Columns({0, 255}));
  ASSERT_EQ(ResizePicture(pair.bytes.data(), 2, 1, 100, 100), 0);
  EXPECT_EQ(pair.Row(0), (std::vector<int>{127, 255}));
}

TEST(ResizePicture, MatchesTheSecondReadingForManySizes) {
  struct Case {
    int w, h, mag;
  };
  // Small pictures, and tall ones whose top and bottom halves are worked apart
  // (on two threads at once with threads 2) around a few shared rows.
  const Case cases[] = {{3, 3, 1},     {5, 4, 10},    {7, 7, 25},    {16, 9, 50},  {33, 17, 100},
                        {1, 5, 300},   {6, 1, 75},    {2, 3, 99},    {64, 48, 13}, {11, 13, 1000},
                        {40, 301, 10}, {9, 250, 227}, {120, 150, 1}, {17, 500, 3}, {2, 400, 60}};
  for (int threads : {1, 2}) {
    for (const Case& c : cases) {
      Page page(c.w, c.h, Noise(c.w * 31 + c.h));
      const std::vector<uint8_t> expected = ReferenceEnlarge(page, c.mag);
      ASSERT_EQ(ResizePicture(page.bytes.data(), c.w, c.h, c.mag, c.mag, threads), 0);
      EXPECT_EQ(page.bytes, expected) << c.w << "x" << c.h << " by " << c.mag << " on " << threads << " thread(s)";
    }
  }
}

TEST(PictureEnlargement, UpperRowsThatFollowTheArrivingRowsMatchTheSecondReading) {
  struct Case {
    int w, h, mag;
  };
  const Case cases[] = {{5, 4, 10},    {16, 9, 50},   {33, 17, 100}, {1, 5, 300},  {64, 48, 13},
                        {40, 301, 10}, {9, 250, 227}, {17, 500, 3},  {2, 400, 60}, {11, 13, 1000}};
  for (int threads : {1, 2}) {
    for (const Case& c : cases) {
      const Page page(c.w, c.h, Noise(c.w * 17 + c.h));
      const std::vector<uint8_t> expected = ReferenceEnlarge(page, c.mag);
      // Rows arrive a few at a time into a page that holds nothing yet; the
      // upper rows are enlarged a few at a time in between.
      std::vector<uint8_t> bytes(page.bytes.size(), 0xAB);
      const std::size_t stride = page.bytes.size() / static_cast<std::size_t>(c.h);
      PictureEnlargement enlargement(bytes.data(), c.w, c.h, c.mag, c.mag, threads);
      ASSERT_EQ(enlargement.kind(), PictureEnlargement::Kind::Enlarge);
      const std::size_t step = 1 + static_cast<std::size_t>(c.w + c.h) % 7;
      for (std::size_t row = 0; row < static_cast<std::size_t>(c.h); row += step) {
        const std::size_t end = std::min(row + step, static_cast<std::size_t>(c.h));
        std::copy(page.bytes.begin() + static_cast<std::ptrdiff_t>(row * stride),
                  page.bytes.begin() + static_cast<std::ptrdiff_t>(end * stride),
                  bytes.begin() + static_cast<std::ptrdiff_t>(row * stride));
        enlargement.RowsFinal(end);
        for (std::size_t k = 0; k < 1 + row % 3 && enlargement.WorkAhead(); ++k) {
        }
      }
      ASSERT_EQ(enlargement.Finish(threads), 0);
      EXPECT_EQ(bytes, expected) << c.w << "x" << c.h << " by " << c.mag << " on " << threads << " thread(s)";
    }
  }
}

TEST(ResizePicture, OneAxisAtZeroKeepsThatAxis) {
  Page page(3, 3, [](int x, int y, int) { return 10 * x + 50 * y; });
  ASSERT_EQ(ResizePicture(page.bytes.data(), 3, 3, 100, 0), 0);
  // Rows stay where they were; columns are doubled about the centre (1.5 -> 0.5 steps).
  for (int y = 0; y < 3; ++y) EXPECT_EQ(page.Row(y), (std::vector<int>{5 + 50 * y, 10 + 50 * y, 15 + 50 * y})) << y;
}

TEST(ResizePicture, NothingToEnlargeLeavesThePageAlone) {
  for (int mag : {0, -1, -50, -100, INT_MIN}) {
    Page page(3, 2, Noise(3));
    const std::vector<uint8_t> before = page.bytes;
    ASSERT_EQ(ResizePicture(page.bytes.data(), 3, 2, mag, mag), 0);
    EXPECT_EQ(page.bytes, before) << mag;
  }
}

TEST(ResizePicture, HugeMagnificationIsTheLargestThatFits) {
  // 200 columns: (m + 100) / 100 x 200 stays below 2^31 up to m = 1073741723.
  Page huge(200, 3, [](int x, int, int) { return x; });
  Page largest = huge, past = huge;
  ASSERT_EQ(ResizePicture(huge.bytes.data(), 200, 3, INT_MAX, INT_MAX), 0);
  ASSERT_EQ(ResizePicture(largest.bytes.data(), 200, 3, 1073741723, INT_MAX), 0);
  ASSERT_EQ(ResizePicture(past.bytes.data(), 200, 3, 1073741724, INT_MAX), 0);
  EXPECT_EQ(huge.bytes, largest.bytes);
  EXPECT_EQ(huge.bytes, past.bytes);
  // The window sits on the centre, between columns 99 and 100.
  for (int x = 0; x < 200; ++x) {
    EXPECT_GE(huge.at(x, 1), 99);
    EXPECT_LE(huge.at(x, 1), 100);
  }
  Page small(5, 5, Noise(5));
  EXPECT_EQ(ResizePicture(small.bytes.data(), 5, 5, INT_MAX, INT_MAX), 0);
}

// --- reduction -------------------------------------------------------------------

// The page as the reference reduces it.
std::vector<uint8_t> ReferenceReduce(const Page& page, int mag) {
  reference::Picture picture(page.width, page.height);
  picture.bytes = page.bytes;
  reference::Reduce(picture, mag, mag);
  return picture.bytes;
}

TEST(ResizePictureAverage, FortyPercentSmallerFiveByFive) {
  Page page(5, 5, Columns({0, 50, 100, 150, 250}));
  ASSERT_EQ(ResizePictureAverage(page.bytes.data(), 5, 5, -40, -40), 0);
  EXPECT_EQ(page.Row(0), (std::vector<int>{255, 255, 255, 255, 255}));
  for (int y = 1; y <= 3; ++y) EXPECT_EQ(page.Row(y), (std::vector<int>{255, 20, 100, 210, 255})) << y;
  EXPECT_EQ(page.Row(4), (std::vector<int>{255, 255, 255, 255, 255}));
  EXPECT_TRUE(page.PadIsWhite());
}

TEST(ResizePictureAverage, HalfOfEightByEightAveragesBlocksRowFirst) {
  Page page(8, 8, Noise(88));
  const Page source = page;
  ASSERT_EQ(ResizePictureAverage(page.bytes.data(), 8, 8, -50, -50), 0);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      for (int c = 0; c < 3; ++c) {
        int expected = 255;
        if (x >= 2 && x <= 5 && y >= 2 && y <= 5) {
          const int sx = 2 * (x - 2), sy = 2 * (y - 2);
          const int upper = (source.at(sx, sy, c) + source.at(sx + 1, sy, c)) / 2;
          const int lower = (source.at(sx, sy + 1, c) + source.at(sx + 1, sy + 1, c)) / 2;
          expected = (upper + lower) / 2;
        }
        EXPECT_EQ(page.at(x, y, c), expected) << x << "," << y << "," << c;
      }
}

TEST(ResizePictureAverage, NineShrunkToFourSitsAtColumnsTwoToFive) {
  Page page(9, 9, [](int, int, int) { return 0; });
  ASSERT_EQ(ResizePictureAverage(page.bytes.data(), 9, 9, -50, -50), 0);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x) {
      const bool inside = x >= 2 && x <= 5 && y >= 2 && y <= 5;
      EXPECT_EQ(page.at(x, y, 1), inside ? 0 : 255) << x << "," << y;
    }
}

TEST(ResizePictureAverage, BlackAndWhiteAverageDownTo127) {
  Page page(2, 2, [](int x, int, int) { return x ? 255 : 0; });
  ASSERT_EQ(ResizePictureAverage(page.bytes.data(), 2, 2, -50, -50), 0);
  EXPECT_EQ(page.at(0, 0), 255) << "placed at row 1 - 0, column 1 - 0";
  EXPECT_EQ(page.at(1, 1), 127);
}

TEST(ResizePictureAverage, MatchesTheSecondReadingForManySizes) {
  struct Case {
    int w, h, mag;
  };
  // Small pictures, and tall ones whose rows go out in several bands (shared
  // between two threads with threads 2).
  const Case cases[] = {{5, 5, -40},    {9, 9, -50},   {7, 3, -33},   {13, 11, -25}, {10, 10, -1},
                        {31, 17, -99},  {100, 7, -10}, {64, 64, -75}, {3, 200, -67}, {1, 1, -1},
                        {40, 301, -10}, {7, 500, -33}, {120, 257, -1}};
  for (int threads : {1, 2}) {
    for (const Case& c : cases) {
      Page page(c.w, c.h, Noise(c.w + 100 * c.h));
      const std::vector<uint8_t> expected = ReferenceReduce(page, c.mag);
      ASSERT_EQ(ResizePictureAverage(page.bytes.data(), c.w, c.h, c.mag, c.mag, threads), 0);
      EXPECT_EQ(page.bytes, expected) << c.w << "x" << c.h << " by " << c.mag << " on " << threads << " thread(s)";
    }
  }
}

TEST(ResizePictureAverage, WidestPageNeedsASixtyFourBitCommonUnit) {
  // lcm(65535, 64879) passes 2^31: a 32-bit unit count would wrap.
  Page page(65535, 2, [](int x, int, int c) { return (x * 7 + c) & 255; });
  const std::vector<uint8_t> expected = ReferenceReduce(page, -1);
  ASSERT_EQ(ResizePictureAverage(page.bytes.data(), 65535, 2, -1, -1), 0);
  EXPECT_EQ(page.bytes, expected);
}

TEST(PictureReduction, PassDownThatFollowsTheArrivingRowsMatchesTheSecondReading) {
  struct Case {
    int w, h, mag;
  };
  const Case cases[] = {{9, 9, -50},    {13, 11, -25}, {100, 7, -10},  {64, 64, -75},  {4, 200, -67},
                        {40, 301, -10}, {7, 500, -33}, {120, 257, -1}, {300, 200, -90}};
  for (int threads : {1, 2}) {
    for (const Case& c : cases) {
      const Page page(c.w, c.h, Noise(c.w + 7 * c.h));
      const std::vector<uint8_t> expected = ReferenceReduce(page, c.mag);
      // Rows arrive a few at a time into a page that holds nothing yet; each
      // is reduced across as it comes, and the pass down does what it can in
      // between.
      std::vector<uint8_t> bytes(page.bytes.size(), 0xAB);
      const std::size_t stride = page.bytes.size() / static_cast<std::size_t>(c.h);
      PictureReduction reduction(bytes.data(), c.w, c.h, c.mag, c.mag);
      ASSERT_EQ(reduction.kind(), PictureReduction::Kind::Reduce) << c.w << "x" << c.h << " by " << c.mag;
      const std::size_t step = 1 + static_cast<std::size_t>(c.w + c.h) % 5;
      for (std::size_t row = 0; row < static_cast<std::size_t>(c.h); row += step) {
        const std::size_t end = std::min(row + step, static_cast<std::size_t>(c.h));
        std::copy(page.bytes.begin() + static_cast<std::ptrdiff_t>(row * stride),
                  page.bytes.begin() + static_cast<std::ptrdiff_t>(end * stride),
                  bytes.begin() + static_cast<std::ptrdiff_t>(row * stride));
        reduction.RowsFinal(end);
        for (std::size_t k = 0; k < 1 + row % 3 && reduction.WorkAhead(); ++k) {
        }
      }
      ASSERT_EQ(reduction.Finish(threads), 0);
      EXPECT_EQ(bytes, expected) << c.w << "x" << c.h << " by " << c.mag << " on " << threads << " thread(s)";
    }
  }
}

TEST(ResizePictureAverage, ShrunkToNothingLeavesAWhitePage) {
  for (int mag : {-100, -101, INT_MIN}) {
    Page page(6, 4, Noise(6));
    ASSERT_EQ(ResizePictureAverage(page.bytes.data(), 6, 4, mag, mag), 0);
    EXPECT_EQ(page.bytes, std::vector<uint8_t>(page.bytes.size(), 255)) << mag;
  }
  Page narrow(50, 50, Noise(50));  // 0.01 x 50 truncates to 0
  ASSERT_EQ(ResizePictureAverage(narrow.bytes.data(), 50, 50, -99, -99), 0);
  EXPECT_EQ(narrow.bytes, std::vector<uint8_t>(narrow.bytes.size(), 255));
}

TEST(ResizePictureAverage, NothingToReduceLeavesThePageAlone) {
  for (int mag : {0, 1, 100, INT_MAX}) {
    Page page(5, 3, Noise(4));
    const std::vector<uint8_t> before = page.bytes;
    ASSERT_EQ(ResizePictureAverage(page.bytes.data(), 5, 3, mag, mag), 0);
    EXPECT_EQ(page.bytes, before) << mag;
  }
}

TEST(CalcLCM, LeastCommonMultiples) {
  struct Case {
    int64_t a, b, lcm;
  };
  const Case cases[] = {{5, 3, 15}, {3, 5, 15}, {4, 6, 12},       {9, 4, 36},
                        {7, 7, 7},  {1, 1, 1},  {8, 4, 8},        {65535, 65534, 4294770690},
                        {0, 5, 0},  {-3, 4, 0}, {INT64_MAX, 2, 0}};
  for (const Case& c : cases) EXPECT_EQ(CalcLCM(c.a, c.b), c.lcm) << c.a << "," << c.b;
}

}  // namespace
}  // namespace velta

namespace velta {
namespace {

// Rows shared with a helper that fails half way: the calling thread is never
// left waiting, takes the bands the helper did not, and hears of the failure.
TEST(RowBands, AHelperThatFailsIsReportedAndTheOtherBandsAreDone) {
  std::vector<int> done(1000, 0);
  // The calling thread holds its first band until the helper has taken one.
  std::atomic<bool> helperTook{false};
  const BandsEnd end = ForRowBands(
      done.size(), 10, 2, [] { return false; },
      [&](size_t begin, size_t end, int worker) {
        if (worker == 1) {
          helperTook.store(true);
          helperTook.notify_one();
          throw std::runtime_error("the helper fails");
        }
        if (begin == 0) helperTook.wait(false);
        for (size_t row = begin; row < end; ++row) ++done[row];
      });
  EXPECT_EQ(end, BandsEnd::Failed);
  // Every band but the one the helper took is done, once.
  EXPECT_EQ(std::count(done.begin(), done.end(), 1), 990);
  EXPECT_EQ(std::count(done.begin(), done.end(), 0), 10);
}

}  // namespace
}  // namespace velta
