// The decoder reads back hand-written printer streams and finds every wrong byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "hand_stream.h"
#include "page_summary.h"
#include "stream_parser.h"

namespace velta {
namespace {

using test::HandPage;
using test::HandPageBytes;
using test::HandStream;

// Expects the stream to be read without fault into exactly these pages.
void ExpectPages(const std::vector<uint8_t>& stream, const std::vector<HandPage>& want) {
  const auto got = ParseStream(stream);
  ASSERT_FALSE(got.fault) << got.fault->what << " at byte " << got.fault->offset;
  ASSERT_EQ(got.pages.size(), want.size());
  uint64_t offset = 0;
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE("page " + std::to_string(i + 1));
    const auto& p = got.pages[i];
    EXPECT_EQ(p.start_offset, offset);
    EXPECT_EQ(p.width, want[i].width);
    EXPECT_EQ(p.height, want[i].height);
    EXPECT_EQ(p.copies, want[i].copies);
    EXPECT_EQ(p.high_quality, want[i].high_quality);
    EXPECT_EQ(p.tall_page_flag, want[i].height == 2492);
    EXPECT_EQ(p.SpaceFlag, want[i].SpaceFlag);
    EXPECT_EQ(p.cancelled, want[i].cancelled);
    if (want[i].cancelled) {
      EXPECT_FALSE(p.has_planes);
    } else {
      EXPECT_EQ(p.planes, test::HandData(want[i]));
    }
    offset += HandPageBytes(want[i]).size();
  }
}

// Expects a fault at exactly this offset.
void ExpectFaultAt(const std::vector<uint8_t>& stream, uint64_t offset, const std::string& word = "") {
  const auto got = ParseStream(stream);
  ASSERT_TRUE(got.fault) << "accepted, expected a fault at byte " << offset;
  EXPECT_EQ(got.fault->offset, offset) << got.fault->what;
  if (!word.empty()) {
    EXPECT_NE(got.fault->what.find(word), std::string::npos) << got.fault->what;
  }
}

TEST(StreamParser, ReadsValidStreams) {
  struct Case {
    const char* name;
    std::vector<HandPage> pages;
  };
  const std::vector<Case> cases = {
      {"one small page", {{}}},
      {"one pixel, high quality, 99 copies", {{.width = 1, .height = 1, .copies = 99, .high_quality = true}}},
      {"a 2492-row page with one half blank", {{.width = 2, .height = 2492, .copies = 2, .SpaceFlag = 0, .seed = 5}}},
      {"a width and height above 255", {{.width = 300, .height = 257, .seed = 9}}},
      {"two pages back to back", {{.copies = 3}, {.width = 5, .height = 4, .high_quality = true, .seed = 1}}},
      {"a page cancelled before its head data", {{.cancelled = true}}},
      {"a cancelled page between two printed ones",
       {{.seed = 2}, {.width = 7, .height = 1, .cancelled = true}, {.copies = 4, .seed = 3}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectPages(HandStream(c.pages), c.pages);
  }
}

TEST(StreamParser, TheSameStreamInAnySlicesGivesTheSamePages) {
  const std::vector<HandPage> pages = {{.width = 4, .height = 3, .copies = 2},
                                       {.cancelled = true},
                                       {.width = 2, .height = 2492, .SpaceFlag = 0, .seed = 4}};
  const auto stream = HandStream(pages);
  std::mt19937 rng(7);
  for (size_t largest : {size_t{1}, size_t{2}, size_t{13}, size_t{100}, stream.size()}) {
    SCOPED_TRACE("slices of up to " + std::to_string(largest) + " bytes");
    StreamParser parser(true);
    std::vector<DecodedPage> got;
    for (size_t at = 0; at < stream.size();) {
      const size_t n = std::min(stream.size() - at, 1 + rng() % largest);
      ASSERT_TRUE(parser.feed(std::span(stream).subspan(at, n)));
      for (auto& p : parser.take_pages()) got.push_back(std::move(p));
      at += n;
    }
    ASSERT_TRUE(parser.finish());
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].planes, test::HandData(pages[0]));
    EXPECT_TRUE(got[1].cancelled);
    EXPECT_EQ(got[2].planes, test::HandData(pages[2]));
  }
}

TEST(StreamParser, RandomPagesComeBackAsWritten) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 300; ++round) {
    std::vector<HandPage> pages(1 + rng() % 3);
    for (auto& p : pages) {
      p.width = static_cast<uint16_t>(1 + rng() % 40);
      p.height = static_cast<uint16_t>(rng() % 10 == 0 ? 2492 : 1 + rng() % 30);
      p.copies = static_cast<uint8_t>(1 + rng() % 99);
      p.high_quality = rng() % 2;
      p.SpaceFlag = static_cast<int>(rng() % 2);
      p.cancelled = rng() % 8 == 0;
      if (p.cancelled) p.SpaceFlag = 1;
      p.seed = static_cast<uint8_t>(rng());
    }
    ExpectPages(HandStream(pages), pages);
  }
}

TEST(StreamParser, WithoutPlanesTheHeadDataIsCheckedButNotKept) {
  const HandPage page{.width = 6, .height = 5};
  const auto stream = HandStream({page});
  StreamParser parser(false);
  ASSERT_TRUE(parser.feed(stream));
  ASSERT_TRUE(parser.finish());
  const auto pages = parser.take_pages();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_FALSE(pages[0].has_planes);
  EXPECT_TRUE(pages[0].planes.empty());
  EXPECT_TRUE(pages[0].plane(0).empty());
}

TEST(StreamParser, AFullSizePageInTheWorkedExampleIsAccepted) {
  // 1800 x 2492, two copies, normal mode, SpaceFlag 1, as the command tables
  // spell it out in hex; the head data streams through in 64 KiB slices.
  const std::vector<uint8_t> setup = {0x1B, 0x1E, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1B, 0xEE, 0x00, 0x00, 0x00, 0x02, 0x00,
                                      0x00, 0x02, 0x1B, 0xE1, 0x00, 0x00, 0x00, 0x0B, 0x00, 0x00, 0xA4, 0x0C, 0x00,
                                      0x00, 0x00, 0x00, 0x07, 0x08, 0x09, 0xBC, 0x1B, 0x15, 0x00, 0x00, 0x00, 0x0D,
                                      0x00, 0x00, 0x00, 0x00, 0x00, 0x67, 0x00, 0x00, 0x00, 0x00, 0x07, 0x08, 0x09,
                                      0xBC, 0x1B, 0xEA, 0x00, 0x00, 0x00, 0x00, 0x00, 0xCD, 0x55, 0xA0, 0x00};
  const std::vector<uint8_t> closing = {0x1B, 0x23, 0x00, 0x00, 0x00, 0x04, 0x00, 0xFF, 0xFF,
                                        0xFF, 0xFF, 0x1B, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00};
  StreamParser parser(false);
  ASSERT_TRUE(parser.feed(setup));
  const std::vector<uint8_t> slice(1 << 16, 0x80);
  uint64_t left = 13456800;
  while (left > 0) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, slice.size()));
    ASSERT_TRUE(parser.feed(std::span(slice).first(n)));
    left -= n;
  }
  ASSERT_TRUE(parser.feed(closing));
  ASSERT_TRUE(parser.finish());
  const auto pages = parser.take_pages();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(PageSummary(1, pages[0]), "page 1: 1800x2492, copies 2, normal mode, 2492-row page, SpaceFlag 1");
  EXPECT_EQ(parser.offset(), 66u + 11u + 13456800u + 18u);
}

// Offsets within a page of the bytes that may take more than one value.
std::set<size_t> VariableBytes(size_t page_size) {
  using namespace test;
  return {kCopiesAt,
          kRowFlagAt,
          kModeAt,
          kSltWidthAt,
          kSltWidthAt + 1,
          kSltHeightAt,
          kSltHeightAt + 1,
          kModeSelectWidthAt,
          kModeSelectWidthAt + 1,
          kModeSelectHeightAt,
          kModeSelectHeightAt + 1,
          page_size - kClosingBytes + 6};  // cpybuf parameter: SpaceFlag
}

TEST(StreamParser, EveryFixedCommandByteChangedIsFoundWhereItIs) {
  // Page 2 of a two-page stream, so the offsets must count the first page.
  const HandPage first{.width = 2, .height = 3}, second{.width = 3, .height = 2, .seed = 0x40};
  const auto stream = HandStream({first, second});
  const size_t base = HandPageBytes(first).size();
  const size_t page_size = HandPageBytes(second).size();
  const auto variable = VariableBytes(page_size);
  const size_t data_end = test::kDataAt + 18;  // 3 x 2 x 3 bytes of head data
  for (size_t at = 0; at < page_size; ++at) {
    if (variable.count(at) || (at >= test::kDataAt && at < data_end)) continue;
    for (uint8_t flip : {0x01, 0x10, 0x80, 0xFF}) {
      auto bad = stream;
      bad[base + at] ^= flip;
      // A wrong SendDataCMD length byte is reported at the start of the length.
      const bool in_length = at >= test::kLengthAt && at < test::kLengthAt + 4;
      SCOPED_TRACE("page byte " + std::to_string(at) + " xor " + std::to_string(flip));
      ExpectFaultAt(bad, base + (in_length ? test::kLengthAt : at));
    }
  }
}

TEST(StreamParser, ValuesOutsideTheirRangeAreFoundWhereTheyAre) {
  using namespace test;
  struct Case {
    const char* name;
    HandPage page;
    size_t at;         // byte of the page to change
    uint8_t value;     // its new value
    size_t fault_at;   // where the fault is reported
    const char* word;  // a word the message must hold
  };
  const size_t small_closing = HandPageBytes(HandPage{}).size() - kClosingBytes;
  const std::vector<Case> cases = {
      {"0 copies", {}, kCopiesAt, 0, kCopiesAt, "copy count"},
      {"100 copies", {}, kCopiesAt, 100, kCopiesAt, "copy count"},
      {"255 copies", {}, kCopiesAt, 255, kCopiesAt, "copy count"},
      {"row flag neither 0x04 nor 0xA4", {}, kRowFlagAt, 0x05, kRowFlagAt, "2492-row"},
      {"row flag on a 2-row page", {}, kRowFlagAt, 0xA4, kRowFlagAt, "2492-row"},
      {"no row flag on a 2492-row page", {.width = 1, .height = 2492}, kRowFlagAt, 0x04, kRowFlagAt, "2492"},
      {"print mode 0x01", {}, kModeAt, 0x01, kModeAt, "mode"},
      {"print mode 0x0D", {}, kModeAt, 0x0D, kModeAt, "mode"},
      {"ModeSelectDAT width differs", {}, kModeSelectWidthAt + 1, 4, kModeSelectWidthAt + 1, "PrntModeSltDAT"},
      {"ModeSelectDAT width high byte differs", {}, kModeSelectWidthAt, 1, kModeSelectWidthAt, "PrntModeSltDAT"},
      {"ModeSelectDAT height differs", {}, kModeSelectHeightAt + 1, 3, kModeSelectHeightAt + 1, "PrntModeSltDAT"},
      {"PrntModeSltDAT width differs from the repeat", {}, kSltWidthAt + 1, 4, kModeSelectWidthAt + 1, ""},
      {"SendDataCMD length one short", {}, kLengthAt + 3, 17, kLengthAt, "18"},
      {"SendDataCMD length 2^24 too long", {}, kLengthAt, 1, kLengthAt, "needs"},
      {"SpaceFlag parameter 0x02", {}, small_closing + 6, 0x02, small_closing + 6, "SpaceFlag"},
      {"cancelled page with SpaceFlag 0", {.cancelled = true}, kSetupBytes + 6, 0x01, kSetupBytes + 6, "cancelled"},
      {"opcode after the set-up neither data nor closing",
       {},
       kSetupBytes + 1,
       0x0A,
       kSetupBytes + 1,
       "after the set-up"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto bytes = HandPageBytes(c.page);
    bytes[c.at] = c.value;
    ExpectFaultAt(bytes, c.fault_at, c.word);
  }
}

TEST(StreamParser, AZeroSizedPageIsRefused) {
  using namespace test;
  for (size_t at : {kSltWidthAt, kSltHeightAt}) {
    auto bytes = HandPageBytes(HandPage{});
    bytes[at] = bytes[at + 1] = 0;
    ExpectFaultAt(bytes, at, "is 0");
  }
}

TEST(StreamParser, HeadDataOfTheWrongLengthIsCaughtAtTheClosingCommands) {
  using namespace test;
  const HandPage page{.width = 3, .height = 2, .seed = 1};  // no data byte is 0x1B
  const size_t data_end = kDataAt + 18;
  const auto data = HandData(page);
  ASSERT_EQ(std::count(data.begin(), data.end(), 0x1B), 0);
  auto short_data = HandPageBytes(page);
  short_data.erase(short_data.begin() + kDataAt);
  // The parser takes cpybuf's ESC as the last data byte and finds its opcode
  // where the ESC belongs.
  ExpectFaultAt(short_data, data_end, "cpybuf starts with 0x23");
  auto long_data = HandPageBytes(page);
  long_data.insert(long_data.begin() + kDataAt, 0x00);
  ExpectFaultAt(long_data, data_end, "cpybuf starts with");
}

TEST(StreamParser, EveryCutShortStreamEndsWithAFaultAtItsEnd) {
  const std::vector<HandPage> pages = {{.width = 2, .height = 2}, {.cancelled = true}};
  const auto stream = HandStream(pages);
  const size_t first = HandPageBytes(pages[0]).size();
  for (size_t cut = 0; cut < stream.size(); ++cut) {
    SCOPED_TRACE("cut after " + std::to_string(cut) + " bytes");
    const std::vector<uint8_t> head(stream.begin(), stream.begin() + cut);
    const auto got = ParseStream(head);
    if (cut == first) {
      EXPECT_FALSE(got.fault);
      EXPECT_EQ(got.pages.size(), 1u);
      continue;
    }
    ASSERT_TRUE(got.fault);
    EXPECT_EQ(got.fault->offset, cut);
    EXPECT_NE(got.fault->what.find(cut == 0 ? "no page" : "ends inside"), std::string::npos) << got.fault->what;
    EXPECT_EQ(got.pages.size(), cut > first ? 1u : 0u);
  }
}

TEST(StreamParser, NothingMayFollowTheLastPage) {
  const auto page = HandPageBytes(HandPage{});
  struct Case {
    const char* name;
    std::vector<uint8_t> tail;
    uint64_t fault_after_page;  // fault offset, counted from the end of the page
    const char* word;
  };
  const std::vector<Case> cases = {
      {"a zero byte", {0x00}, 0, "after the end of page 1"},
      {"a line feed", {0x0A}, 0, "after the end of page 1"},
      {"a lone ESC", {0x1B}, 1, "ends inside TransCMD"},
      {"ESC and the wrong opcode", {0x1B, 0x0A}, 1, "opcode"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto bytes = page;
    bytes.insert(bytes.end(), c.tail.begin(), c.tail.end());
    ExpectFaultAt(bytes, page.size() + c.fault_after_page, c.word);
  }
}

TEST(StreamParser, FaultsNameThePageTheyAreIn) {
  auto bytes = HandStream({{}, {}, {}});
  const size_t page_size = HandPageBytes(HandPage{}).size();
  bytes[2 * page_size + 1] = 0x1F;
  const auto got = ParseStream(bytes);
  ASSERT_TRUE(got.fault);
  EXPECT_EQ(got.fault->what, "page 3: TransCMD has opcode 0x1F, expected 0x1E");
  EXPECT_EQ(got.pages.size(), 2u);
}

TEST(StreamParser, FeedingAfterAFaultChangesNothing) {
  auto bytes = HandPageBytes(HandPage{});
  bytes[0] = 0x1C;
  StreamParser parser(true);
  EXPECT_FALSE(parser.feed(bytes));
  EXPECT_FALSE(parser.feed(HandPageBytes(HandPage{})));
  EXPECT_FALSE(parser.finish());
  ASSERT_TRUE(parser.fault());
  EXPECT_EQ(parser.fault()->offset, 0u);
  EXPECT_TRUE(parser.take_pages().empty());
}

TEST(PageSummary, SaysWhatThePrinterWasTold) {
  struct Case {
    HandPage page;
    const char* line;
  };
  const std::vector<Case> cases = {
      {{.width = 1800, .height = 1200}, "page 1: 1800x1200, copies 1, normal mode, SpaceFlag 1"},
      {{.width = 1800, .height = 2492, .copies = 3, .high_quality = true, .SpaceFlag = 0},
       "page 1: 1800x2492, copies 3, high-quality mode, 2492-row page, SpaceFlag 0"},
      {{.width = 1800, .height = 1200, .cancelled = true},
       "page 1: cancelled before the image data (1800x1200, copies 1, normal mode)"},
  };
  for (const auto& c : cases) {
    const auto got = ParseStream(HandPageBytes(c.page));
    ASSERT_FALSE(got.fault);
    ASSERT_EQ(got.pages.size(), 1u);
    EXPECT_EQ(PageSummary(1, got.pages[0]), c.line);
  }
}

}  // namespace
}  // namespace velta
